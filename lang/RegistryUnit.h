#pragma once
// The program's per-user values ("Exec", "Ver", "Dirs"), kept where the
// platform keeps such values: QSettings("Kelmo", "Dupliscan").

#include <QString>
#include <QStringList>

// localMachine selects the machine-wide store instead; the program never sets it.
void RegWriteString(bool localMachine, const QString &name, const QString &text);
// Empty when absent or not a string value.
QString RegReadString(bool localMachine, const QString &name);

// A list as one line: items with blanks, control characters, commas or
// double quotes are quoted, inner quotes doubled.
QString CommaText(const QStringList &items);
// Items are separated by commas and by unquoted blanks or control characters.
QStringList FromCommaText(const QString &text);
