#pragma once
// Saving the result as tab-separated text or as an Excel worksheet: one line
// per file that matched a block head, beside its head.

#include "lang/MultiLingua.h"

#include <QIODevice>
#include <QString>

// fileName gets ".csv" / ".xls" when its name part has no dot. The file is
// written as a whole (see Platform::ReplacingFile): an old file of that name
// stays as it was on any failure, and error gets the cause.
bool ExportCsv(QString &fileName, QString *error = nullptr);
// A worksheet ends at its last row; leftOut gets the number of files that did
// not fit (0 when all did).
bool ExportXls(QString &fileName, QString *error = nullptr, int *leftOut = nullptr);

// The CSV lines, or the worksheet, written to any device (standard output too).
bool WriteCsv(QIODevice &device);
bool WriteXls(QIODevice &device, int *leftOut = nullptr);

// Appends the extension when the name part of fileName has no dot.
void AddDefaultExtension(QString &fileName, const QString &extension);

// ---- The desktop program's save dialog and clipboard commands.

enum class ExportFormat { Xls, Csv };

// The save dialog's filters, worksheet first.
QString ExportFilter(ExportFormat format);
QString ExportFilters();
// The format the dialog's answer asks for: a name ending in ".xls" or ".csv"
// (any case) is written in that format whatever filter was chosen, so that a
// file's content always matches its extension; other names follow the filter.
ExportFormat ExportFormatOf(const QString &fileName, ExportFormat chosen);
// The name the export writes: with the format's extension when the name part
// has no dot.
QString ExportFileName(const QString &fileName, ExportFormat format);
// Writes the match list in the format; fileName gets its extension. error and
// leftOut as for ExportCsv and ExportXls.
bool ExportResult(QString &fileName, ExportFormat format, QString *error, int *leftOut);

// The result as a list of paths: a "-" line before every block and one after
// the last, each path on a line of its own. Empty when the list holds no file.
QString ResultListText();
// The full path of the file in a row; empty when the row holds none.
QString RowFileName(int row);

// Messages of saving the result.
const TMLStringList &ExportPhrases();
enum ExportPhrase {
    ExportPhraseNotSaved = 1,  // followed by the name and the cause
    ExportPhraseExists = 2,    // the name got an extension that names an existing file
    ExportPhraseSheetFull = 3, // %1 files left out of the worksheet
};
