#pragma once
// Writing the match list in the command line's formats.

#include "cli/CliOptions.h"

#include <QByteArray>
#include <QIODevice>

#include <vector>

// A path as one line of text output: backslash, control characters (those of
// the text's direction too) and bytes that are not UTF-8 are escaped, so every
// line names exactly one file and shows as itself.
QByteArray EscapedPathLine(const QString &path);

bool WriteText(QIODevice &device);
bool WriteJson(QIODevice &device, RunOutcome outcome, int matches);

// The output file as it is written: a worksheet's name gets ".xls" when it has
// no dot. Empty for standard output.
QString OutputFileName(const CliArguments &arguments);

// Checks before the search what can be checked without opening the output; a
// FIFO is opened only once, when the result is written. On failure error is
// the one line that names the cause.
bool CheckOutput(const QString &fileName, QString &error);

// The files the search must leave out because the result is written over them:
// the output file, or standard output when that is a file.
std::vector<FileIdentity> OutputFiles(const QString &fileName);

// Writes the match list in the chosen format to the output file or standard
// output. An output file takes the place of an old one only when it is complete.
// leftOut gets the files a worksheet had no room for. On failure error names
// the cause.
bool WriteResult(const CliArguments &arguments, RunOutcome outcome, int matches, int &leftOut,
                 QString &error);
