#pragma once
// The steps of a search run behind RunSearch, for the tests and for a window
// that needs one of them on its own.

#include "search/SearchRequest.h"

struct BaseFolders {
    QString Folder1;
    QString Folder2; // empty when only one folder is searched
};

struct SettledFolders {
    BaseFolderProblem Problem = BaseFolderProblem::None;
    int Folder = 0; // 1 or 2: the folder Problem speaks of
    bool NestedDeclined = false;
};

// Turns the typed folders into full paths with every link resolved, drops a
// second folder that is the first one (also when reached through a link) and
// asks about nested folders when subfolders are included. Sets the base folder
// keys and the include-subfolders flag. Without askNested the second of two
// nested folders is dropped unasked: the caller refuses one folder anyway.
SettledFolders SettleBaseFolders(BaseFolders &folders, bool includeSubfolders,
                                 bool askNested = true);

// The warning text for system folders among the base folders (keys); empty
// when none.
QString CheckSystemPaths(const QString &folderKey1, const QString &folderKey2);
bool ConfirmNestedFolders(const QString &outerDigit, const QString &innerDigit);

// Checks a certain-file name as the search button does. May cut a trailing
// ".*" (names only) and ask for different extensions.
CertainFileProblem ValidateCertainFile(QString &certainFile, bool compareContents,
                                       bool &differentExts);
// A certain file given with a folder is looked up as a full path, with the
// folder's links resolved like the base folders'.
QString ResolveCertainFile(const QString &typed);
