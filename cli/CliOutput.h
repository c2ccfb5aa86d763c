#pragma once
// Writing the match list in the command line's formats.

#include "cli/CliOptions.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>

// A path as one line of text output: backslash, control characters and bytes
// that are not UTF-8 are escaped, so every line names exactly one file.
QByteArray EscapedPathLine(const QString &path);

bool WriteText(QIODevice &device);
bool WriteJson(QIODevice &device, RunOutcome outcome, int matches);

// Opens the output file by its exact bytes, so a name that is not valid UTF-8
// is written as itself and never as another file. Without truncate an existing
// file keeps its contents. On failure reason names the cause.
bool OpenOutputFile(QFile &file, const QString &fileName, bool truncate, QString &reason);

// Writes the match list in the chosen format to the output file or standard
// output. On failure error names the cause.
bool WriteResult(const CliArguments &arguments, RunOutcome outcome, int matches, QString &error);
