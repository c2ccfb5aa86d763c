#pragma once
// Removing the files the user marked for deletion: the rule that every block
// keeps a file, the three ways a file goes (into the holding folder, into the
// trash, deleted directly), the links left in place of removed files, the
// report in the status lines, and putting the last removal back.
//
// Nothing is removed on the strength of the search alone: right before a file
// goes, it must still be the file the search found (size, last-write time,
// identity), its block must still have another file that stays, unchanged,
// and after a search for identical contents the two must still be equal byte
// for byte. Anything else keeps the file and says why.

#include "lang/MultiLingua.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <functional>

// The deleters' results.
enum DeleteCode : int {
    DeleteDone = 0,
    DeleteMissing = 1, // the file was not there (any more): counts as removed
    DeleteLocked = 2,  // the system keeps it from being removed
    DeleteFailed = 3,
    DeleteKept = 4, // kept by the user's decision in the deletion-problem dialog
};

// The confirmation's answer: one way in the low seven bits, plus the link flag.
enum DeleteWay : int {
    WayRecycle = 1,
    WayKill = 2,
    WayMove = 4,
};
inline constexpr int WayMask = 0x7F;
inline constexpr int WithLinksFlag = 128;

// Why a file marked for deletion stayed; the report gives one line per reason.
enum class KeptReason : quint8 {
    Changed,         // not the file the search found any more
    NoSurvivor,      // no other file of its block stays unchanged
    ContentDiffers,  // no longer equal to the file that stays
    Unreadable,      // could not be read to compare it
    Locked,          // the system keeps it from being removed
    TargetExists,    // the holding folder has a file of that name already
    OtherFileSystem, // a rename into the holding folder would have to copy
    NoPermission,
    Failed,
    KeptByUser,
};
inline constexpr int KeptReasonCount = int(KeptReason::KeptByUser) + 1;

// The phrases of the report and of the undo ("Deletion").
const TMLStringList &DeletionPhrases();

// ------------------------------------------------------------ single files

// 0 ready, 1 the file is not there, 2 the system keeps it from being removed.
int PrepareFile(const QString &path);
// Deletes the file; a file that is not there counts as done.
int KillFile(const QString &path);
// Into the desktop's trash; where the file system has none, or the trash
// cannot take the file, the deletion-problem dialog decides.
int RecycleFile(const QString &path);
// Renamed to <root>/dupliscanned/<path below root>, where root is the mount
// point of its file system, or the home folder for a file below it on the
// same file system. Never copied, never over an existing file.
int MoveToHoldingFolder(const QString &path);
// Why the last deleter that failed did so.
KeptReason LastFailureReason();

// The holding folder's root for a file, with a trailing delimiter; empty
// when its file system cannot be told.
QString HoldingRootOf(const QString &path);
// Where MoveToHoldingFolder puts the file; empty when it has no place.
QString HoldingPathOf(const QString &path);
// The distinct holding roots of the rows marked for deletion, at most limit
// of them, so the confirmation can name the folder when there is only one.
QStringList HoldingRootsOfMarkedRows(int limit);

// A symbolic link at linkPath pointing to target by its absolute path; an
// existing file there is never replaced. True when the link was made.
bool CreateShortcut(const QString &target, const QString &linkPath);

// ------------------------------------------------------------ per file system

// File systems (mount points with a trailing delimiter) whose files the
// user chose to delete directly, or to keep, without being asked again.
QStringList &KillDrives();
QStringList &KeepDrives();
// Empties both lists and what is known about each file system (every search
// run and every deletion starts so).
void ResetDeletionDrives();

// The deletion-problem dialog: the file the trash could not take and its file
// system's mount point. Without a dialog installed the file stays.
struct DeletionProblemAnswer {
    bool DeleteDirectly = false;
    bool AlsoOtherFiles = false; // the same answer for the rest of that file system
};
using DeletionProblemHandler =
    std::function<DeletionProblemAnswer(const QString &path, const QString &driveRoot)>;
void SetDeletionProblemHandler(DeletionProblemHandler handler);
// Asks the dialog unless the file system has its answer already; true means
// delete directly.
bool AskDeletionProblem(const QString &path);

// ------------------------------------------------------------ the keep-one rule

// The first block that would lose all its files, or -1. A block keeps a file
// when one of its rows stays (Stay or StayNoDelete) that is not another name
// of a file marked for deletion: two names of one file are one file.
struct BlockWithoutSurvivor {
    int FirstRow = -1;
    bool OnlyOtherNames = false; // what stays are other names of removed files
};
BlockWithoutSurvivor FirstBlockWithoutSurvivor();
// True when some block would lose all its files: showRow brings the block's
// first row into view, then a warning says why nothing is deleted.
bool CheckBlocksKeepOne(const std::function<void(int row)> &showRow);

// ------------------------------------------------------------ the whole removal

struct DeletionSummary {
    int Removed = 0;
    int Failed = 0;
    qint64 RemovedBytes = 0;
    std::array<int, KeptReasonCount> Kept{};
    // Rows still marked when the program began to close; they were not tried.
    int NotReached = 0;
};

// Removes every row marked Delete the way the confirmation chose (see
// DeleteWay), reporting its progress and, at the end, what it did in the
// status lines. Removed rows become Deleted; the others keep their mark, so a
// second run retries exactly them. Events are let through every 8 rows; when
// the program closes meanwhile the file at hand is finished (every file is
// either in its place or removed) and the rest stays.
DeletionSummary DeleteMarkedFiles(int choice);
// The report's lines: removed count and size, the failed count, one line
// per reason.
QStringList DeletionReport(const DeletionSummary &summary);

// ------------------------------------------------------------ undo

// True when the last removal moved files (into the holding folder or the
// trash) that can still be put back.
bool CanUndoRemoval();
struct UndoSummary {
    int PutBack = 0;
    QStringList Refused; // one line per file: why it stays where it is
};
// Puts every file of the last removal back where it was, removes the links
// that removal made, and gives the rows their mark Delete again. A file whose
// place is taken meanwhile stays where it is, and the report says so.
UndoSummary UndoLastRemoval();
// The rows are about to go (a new search): what was removed stays removed.
void ForgetLastRemoval();

// Back to the start: no decisions per file system, no dialog, no undo.
void ResetDeletion();
