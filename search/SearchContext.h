#pragma once
// Records and run-wide values that every stage of a search shares.

#include <QString>
#include <QStringList>
#include <QtGlobal>

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

enum RunStateValue : quint8 {
    Idle = 0,
    StopRequested = 1,
    Finished = 2,
    Running = 3,
    Paused = 4,
};

enum RunOutcome : quint8 {
    Completed = 0,
    LimitReached = 1,
    Stopped = 2,
    Terminated = 3,
};

enum MarkState : quint8 {
    Virtual = 0,
    Deleted = 1,
    Stay = 2,
    StayNoDelete = 3,
    Delete = 4,
};

// The search context lives for the whole program; tests reset it between cases.
struct SearchContext {
    SearchOptions Options;
    SearchOptions LastRunOptions;
    quint8 RunState = Idle;

    // Keys of the system and program folders (see Platform::FolderKey).
    QStringList WindowsFolderUpper;
    QStringList ProgramFilesFolderUpper;
    QString BaseFolderUpper1;
    QString BaseFolderUpper2;
    QString CommonBaseFolder;
    bool IncludeSubfolders = true;
    QString ScanPrefix;
};

SearchContext &Context();
// Back to the values the program starts with.
void ResetSearchContext();

// True when a stop was requested or the program is closing.
bool StopOrTerminate();
