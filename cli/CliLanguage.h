#pragma once
// The command line speaks the user's language: the one the window would
// choose at start, unless --language names another.

#include <QString>
#include <QStringList>

// The value of --language among the raw arguments (before they are parsed, so
// that even a usage error is reported in that language); empty when absent.
QString LanguageArgument(const QStringList &arguments);

// Loads the phrase table and switches to the language. False with error
// set when a language asked for by name is not in the table.
bool SetupCliLanguage(const QString &requested, bool keepLines, QString &error);

// Writes the translation file: all phrases, or only those the language lacks.
bool SaveCliPhrases(const QString &path, bool missingOnly, QString &error);
