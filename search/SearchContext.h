#pragma once
// Records and run-wide values that every stage of a search shares.

#include "run/RunControl.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

// The lowest and highest match a person can ask for, of contents and of names.
inline constexpr quint8 MinMatchPercent = 60;
inline constexpr quint8 MaxMatchPercent = 100;

struct SearchOptions {
    bool CompareContents = true;
    bool ImageMode = false;
    quint8 ContentPercent = 100;
    bool CompareNames = false;
    quint8 NamePercent = 80;
    bool DifferentExts = false;
    bool IdenticalSize = false;
    quint8 NameCompareMaxLength = 0; // 0 = no limit
    qint32 FolderMode = 0;           // 0 all, 1 different folders, 2 different base folders
    QString CertainFile;             // empty = off
    qint32 MaxDuplicates = 1000;     // below 1 = no limit
};

// How a compare ended.
enum class RunOutcome : quint8 {
    Completed = 0,
    LimitReached = 1, // MaxDuplicates reached
    Stopped = 2,      // the user cancelled
    Terminated = 3,   // the program is closing; no result is built
    Failed = 4,       // an error that was shown ended the compare; the blocks are incomplete
};

enum MarkState : quint8 {
    Virtual = 0,
    Deleted = 1,
    Stay = 2,
    StayNoDelete = 3,
    Delete = 4,
};

// A file on disk, whichever of its names (hard links) was used to reach it.
struct FileIdentity {
    quint64 Device = 0;
    quint64 Inode = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The search context lives for the whole program; tests reset it between cases.
// Folders are compared by their keys (Platform::FolderKey): the exact text here,
// where the file system tells letter case apart; Windows compares upper-cased
// folders instead.
struct SearchContext {
    SearchOptions Options;
    SearchOptions LastRunOptions;

    // The system folders (their files are locked, a search of them is warned
    // about) and the folders of installed programs (their files are locked).
    QStringList SystemFolderKeys;
    QStringList ProgramFolderKeys;
    QString BaseFolderKey1;
    QString BaseFolderKey2;
    QString CommonBaseFolder;
    bool IncludeSubfolders = true;
    QString ScanPrefix;
    // Files the run leaves out wherever they are (see SearchRequest::Excluded).
    std::vector<FileIdentity> ExcludedFiles;
};

SearchContext &Context();
// Back to the values the program starts with.
void ResetSearchContext();
