#pragma once
// The steps of a search run that do not depend on a window. The window's
// search button and the command line call them in this order:
//   SettleBaseFolders, CheckSystemPaths, BeginRun, ScanBaseFolders,
//   PlaceCertainFile, FinishScan, CompareScannedFiles, EndRun.

#include <QString>
#include <QtGlobal>

enum class SettleProblem {
    None,
    Missing1, // folder 1 does not exist
    Missing2, // folder 2 does not exist
    NotAFolder1,
    NotAFolder2,
    Unreadable1,
    Unreadable2,
    NoFolder,        // neither folder given
    NestedCancelled, // the user refused to drop a nested folder
};

struct BaseFolders {
    QString Folder1;
    QString Folder2; // empty when only one folder is searched
};

// Turns the typed folders into full paths with every link resolved, drops a
// second folder that is the first one (also when reached through a link) and
// asks about nested folders when subfolders are included. Sets the base folder
// keys and the include-subfolders flag.
SettleProblem SettleBaseFolders(BaseFolders &folders, bool includeSubfolders);

// The warning text for system folders among the base folders; empty when none.
QString CheckSystemPaths(const QString &upperFolder1, const QString &upperFolder2);
bool ConfirmNestedFolders(const QString &outerDigit, const QString &innerDigit);

// Validation passed: the options become those of the result on display.
void BeginRun(const BaseFolders &folders);
void ScanBaseFolders(const BaseFolders &folders);
// The certain file goes to position 0; false (and an empty table) when a
// content search names a file that does not exist.
bool PlaceCertainFile();
// Trims the table and reports its size.
void FinishScan();
// Sorts unless a certain file is sought, then compares. The run was
// cancelled during the scan when stopped is true.
int CompareScannedFiles(quint8 &outcome, bool includeHundred = true);
void EndRun(quint8 outcome);

// Checks a certain-file name as the search button does; returns the id of the
// main window's message for a refused name, 0 when it is fine. May cut a
// trailing ".*" and ask for different extensions.
int ValidateCertainFile(QString &certainFile, bool compareContents, bool &differentExts);
