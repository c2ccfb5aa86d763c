#pragma once
// The command line's options, mapped one to one onto the start page.

#include "search/SearchContext.h"

#include <QString>
#include <QStringList>
#include <optional>

enum class OutputFormat { Text, Csv, Xls, Json };

struct CliArguments {
    QString Folder1;
    QString Folder2;
    bool IncludeSubfolders = true;
    SearchOptions Options;
    bool Images = false;        // compare pictures by what they show
    bool IncludeHundred = true; // similar runs also show identical copies
    QString Include;
    QString Exclude;
    QString Never = QStringLiteral("exe dll com drv vxd 386 ocx sys inf ini lnk");
    qint32 MinSizeKB = 0;
    qint32 MaxSizeKB = 2097151;
    OutputFormat Format = OutputFormat::Text;
    QString OutputFile;
    bool Quiet = false;
    bool AssumeYes = false;
    bool ShowHelp = false;
    bool ShowVersion = false;
    QString Language;        // empty: as the window would choose
    QString SavePhrasesFile; // set: write the translation file instead of searching
    bool SaveNewPhrasesOnly = false;
};

// Parses the arguments (without the program name). On a usage error returns
// nothing and sets error to one line naming the cause.
std::optional<CliArguments> ParseArguments(const QStringList &arguments, QString &error);

QString UsageText();
