#pragma once
// The command line's options, mapped one to one onto the start page.

#include "search/SearchRequest.h"

#include <QString>
#include <QStringList>
#include <optional>

enum class OutputFormat { Text, Csv, Xls, Json };

struct CliArguments {
    // The search as the options set it; without folders it searches ".".
    SearchRequest Request;
    OutputFormat Format = OutputFormat::Text;
    QString OutputFile;
    bool Quiet = false;
    bool AssumeYes = false;
    bool ShowHelp = false;
    bool ShowVersion = false;
    bool UseCache = true;
    bool ClearCache = false; // remove the cache instead of searching
    QString Language;        // empty: as the window would choose
    QString SavePhrasesFile; // set: write the translation file instead of searching
    bool SaveNewPhrasesOnly = false;
};

// Parses the arguments (without the program name). On a usage error returns
// nothing and sets error to one line naming the cause.
std::optional<CliArguments> ParseArguments(const QStringList &arguments, QString &error);

QString UsageText();
