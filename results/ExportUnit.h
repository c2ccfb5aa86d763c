#pragma once
// Saving the result as tab-separated text or as an Excel worksheet: one line
// per file that matched a block head, beside its head.

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
