#pragma once
// Saving the result as tab-separated text or as an Excel worksheet: one line
// per file that matched a block head, beside its head.

#include <QIODevice>
#include <QString>

// fileName gets ".csv" / ".xls" when its name part has no dot.
bool ExportCsv(QString &fileName);
bool ExportXls(QString &fileName);

// The CSV lines written to any device (standard output too).
bool WriteCsv(QIODevice &device);

// Appends the extension when the name part of fileName has no dot.
void AddDefaultExtension(QString &fileName, const QString &extension);
