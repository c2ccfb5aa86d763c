#pragma once
// The phrase table travels inside the program file, in named sections behind
// the program image; a ".lng" file beside the program stands in when the
// section is missing. Translators get the table back as a text file.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

class tMLSystem;
struct tMLGroup;
class TWStringList;

// 0xF7, the name's bytes each XORed with 0xA3, 0xF7.
QByteArray SectionMarker(const QString &name);
// The section as stored: marker, 4-byte little-endian length, content.
QByteArray BuildSection(const QString &name, const QByteArray &content);

constexpr const char *BeginningMarkSection = "Section:BeginningMark";
constexpr const char *PhraseTableSection = "Section:Dupliscan.lng";

// Reads the program file once.
void LoadSections();
// Size of the program image in front of the section area.
qint64 ProgramPartSize();
QByteArrayView SectionArea();
bool GetSection(const QString &name, QByteArrayView area, QByteArray &content);

// Replaces the phrase table with the program's own; keepLines keeps every
// line as read, for writing the table back. The table is the program file's
// section, else the first of PhraseFilesOf(program file) that can be read.
void LoadPhraseTable(bool keepLines);
// Where a program that lost its section (distributions strip what they
// install) finds its table, in this order: a ".lng" file of the program's name
// beside it, then the table installed for every program in the data folder
// (<prefix>/bin/program -> <prefix>/share/dupliscan/Dupliscan.lng).
QStringList PhraseFilesOf(const QString &programFile);
void LoadPhraseText(tMLSystem *table, const QString &text, bool keepLines);
bool LoadPhraseFile(tMLSystem *table, const QString &path, bool keepLines);
void LoadGroups(tMLSystem *table, const TWStringList &lines, bool keepLines);
// Reads the next block of lines into row; false when no language line came.
bool ReadGroup(tMLGroup &row, const TWStringList &lines, int &index, bool keepLines);

// All rows (code empty) or those lacking the language code, as written to a
// translation file.
TWStringList BuildSaveLines(const tMLSystem *table, const QString &code);
// Writes the file as UTF-16 with byte order mark; false and errorText when it
// could not be written.
bool SavePhrases(const tMLSystem *table, bool missingOnly, const QString &path,
                 QString *errorText = nullptr);

// Tests: read this file as the program file, and forget what was read.
void SetProgramFileForTests(const QString &path);
void ResetSections();
