#include "results/DeletionUnit.h"

#include "compare/FileCompareUnit.h"
#include "lang/MsgDlgUnit.h"
#include "platform/FileRemoval.h"
#include "platform/Platform.h"
#include "results/ResultListUnit.h"
#include "run/RunControl.h"
#include "search/FileSearchUnit.h"
#include "search/MainPhrases.h"
#include "search/MatchList.h"

#include <QHash>
#include <QSet>

#include <optional>
#include <vector>

const TMLStringList &DeletionPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("Deletion"));
        l.Add255Obj(QStringLiteral("%1 davon: seit der Suche verändert"), 1);
        l.Add255Obj(QStringLiteral("%1 davon: keine unveränderte verbleibende Datei im Block"), 2);
        l.Add255Obj(QStringLiteral("%1 davon: Inhalt weicht von der verbleibenden Datei ab"), 3);
        l.Add255Obj(QStringLiteral("%1 davon: für den Vergleich nicht lesbar"), 4);
        l.Add255Obj(QStringLiteral("%1 davon: vom System gegen Löschen gesperrt"), 5);
        l.Add255Obj(
            QStringLiteral("%1 davon: im Ablageordner liegt schon eine Datei dieses Namens"), 6);
        l.Add255Obj(QStringLiteral("%1 davon: auf einem anderen Dateisystem als der Ablageordner"),
                    7);
        l.Add255Obj(QStringLiteral("%1 davon: keine Berechtigung"), 8);
        l.Add255Obj(QStringLiteral("%1 davon: Löschen oder Verschieben fehlgeschlagen"), 9);
        l.Add255Obj(QStringLiteral("%1 davon: auf Ihre Entscheidung behalten"), 10);
        l.Add255Obj(QStringLiteral("%1 Dateien nicht mehr bearbeitet, das Programm wird beendet"),
                    11);
        l.Add255Obj(QStringLiteral("%1 Dateien zurückgelegt"), 12);
        l.Add255Obj(QStringLiteral("Nicht zurückgelegt, der ursprüngliche Platz ist belegt: %1"),
                    13);
        l.Add255Obj(
            QStringLiteral("Nicht zurückgelegt, nicht mehr im Ablageordner oder Papierkorb: %1"),
            14);
        l.Add255Obj(QStringLiteral("Nicht zurückgelegt, Verschieben fehlgeschlagen: %1"), 15);
        l.Add255Obj(QStringLiteral("In dem Block mit der Zeile, die jetzt aktiviert wurde (blau), "
                                   "bliebe nur ein zweiter Name (harter Link) einer ausgewählten "
                                   "Datei übrig.#13#Das ist zum Schutz vor Dateiverlust jedoch "
                                   "nicht gestattet."),
                    16);
        return l;
    }();
    return list;
}

namespace {
const QString HoldingFolderName = QStringLiteral("dupliscanned/");
const QString LinkExtension = QStringLiteral(".lnk");

// One removed file, as undo needs it.
struct RemovedFile {
    int Row = -1;
    QString Original;
    QString NowAt;
    bool InTrash = false;
    QString HoldingTop; // <root>/dupliscanned/ of a file in the holding folder
    QString Link;       // the link left in its place, if any
    QString LinkTarget;
    quint64 Device = 0;
    quint64 Inode = 0;
};

struct DeletionState {
    QStringList KillDrives;
    QStringList KeepDrives;
    // What is known about the file systems during one deletion.
    QHash<QString, QString> MountPoints;   // folder -> mount point
    QHash<QString, bool> LocalFileSystems; // mount point -> local
    QString Home;
    DeletionProblemHandler Dialog;
    KeptReason LastFailure = KeptReason::Failed;
    // Where the last deleter put its file; empty when it deleted it.
    QString NewPlace;
    bool NewPlaceInTrash = false;
    // Asked right before the file system is changed: a reason when the file
    // must stay after all.
    std::function<std::optional<KeptReason>()> Guard;
    std::vector<RemovedFile> LastRemoval;
};

DeletionState &State() {
    static DeletionState state;
    return state;
}

QString FolderOf(const QString &path) {
    return path.left(path.lastIndexOf(Platform::PathDelimiter()) + 1);
}

QString CachedMountPoint(const QString &path) {
    DeletionState &s = State();
    const QString folder = FolderOf(path);
    const auto known = s.MountPoints.constFind(folder);
    if (known != s.MountPoints.constEnd())
        return *known;
    const QString mount = Platform::MountPointOf(path);
    s.MountPoints.insert(folder, mount);
    return mount;
}

bool CachedLocal(const QString &mountPoint) {
    DeletionState &s = State();
    const auto known = s.LocalFileSystems.constFind(mountPoint);
    if (known != s.LocalFileSystems.constEnd())
        return *known;
    const bool local = Platform::IsLocalFileSystem(mountPoint);
    s.LocalFileSystems.insert(mountPoint, local);
    return local;
}

int Fail(KeptReason reason) {
    State().LastFailure = reason;
    return DeleteFailed;
}

KeptReason ReasonOf(Platform::FileError error) {
    switch (error) {
    case Platform::FileError::Exists:
        return KeptReason::TargetExists;
    case Platform::FileError::OtherFileSystem:
        return KeptReason::OtherFileSystem;
    case Platform::FileError::NoPermission:
        return KeptReason::NoPermission;
    case Platform::FileError::NotAFile:
        return KeptReason::Changed;
    default:
        return KeptReason::Failed;
    }
}

// True when the removal's last check keeps the file after all.
bool GuardKeeps() {
    DeletionState &s = State();
    if (!s.Guard)
        return false;
    if (const std::optional<KeptReason> reason = s.Guard()) {
        s.LastFailure = *reason;
        return true;
    }
    return false;
}

bool Exists(const QString &path) {
    return Platform::StatPath(path, false).Exists;
}
} // namespace

// ------------------------------------------------------------ single files

int PrepareFile(const QString &path) {
    if (!Exists(path))
        return DeleteMissing;
    // Read-only files need no change here: the folder, not the file, decides
    // whether a name may go, and the file keeps its mode wherever it goes.
    if (Platform::RemovalLockedBySystem(path)) {
        State().LastFailure = KeptReason::Locked;
        return DeleteLocked;
    }
    return DeleteDone;
}

int KillFile(const QString &path) {
    State().NewPlace.clear();
    const Platform::FileInfo info = Platform::StatPath(path, false);
    if (!info.Exists)
        return DeleteDone;
    if (info.IsFolder)
        return Fail(KeptReason::Changed);
    if (GuardKeeps())
        return DeleteFailed;
    const Platform::FileError error = Platform::DeleteFile(path);
    if (error == Platform::FileError::None || error == Platform::FileError::Missing)
        return DeleteDone;
    return Fail(ReasonOf(error));
}

int RecycleFile(const QString &path) {
    DeletionState &s = State();
    s.NewPlace.clear();
    if (Platform::StatPath(path, false).IsFolder)
        return Fail(KeptReason::Changed);
    const QString root = CachedMountPoint(path);
    if (!root.isEmpty() && s.KeepDrives.contains(root)) {
        s.LastFailure = KeptReason::KeptByUser;
        return DeleteKept;
    }
    if (!root.isEmpty() && s.KillDrives.contains(root))
        return KillFile(path);
    if (const int prepared = PrepareFile(path); prepared != DeleteDone)
        return prepared;
    if (!root.isEmpty() && CachedLocal(root)) {
        if (GuardKeeps())
            return DeleteFailed;
        QString inTrash;
        if (Platform::MoveToTrash(path, inTrash)) {
            s.NewPlace = inTrash;
            s.NewPlaceInTrash = true;
            return DeleteDone;
        }
        if (!Exists(path))
            return DeleteMissing;
    }
    if (AskDeletionProblem(path))
        return KillFile(path);
    s.LastFailure = KeptReason::KeptByUser;
    return DeleteKept;
}

int MoveToHoldingFolder(const QString &path) {
    DeletionState &s = State();
    s.NewPlace.clear();
    if (Platform::StatPath(path, false).IsFolder)
        return Fail(KeptReason::Changed);
    if (const int prepared = PrepareFile(path); prepared != DeleteDone)
        return prepared;
    const QString target = HoldingPathOf(path);
    if (target.isEmpty())
        return Fail(KeptReason::Failed);
    if (const Platform::FileError error = Platform::MakeFolderChain(FolderOf(target));
        error != Platform::FileError::None)
        return Fail(error == Platform::FileError::NotAFile ? KeptReason::Failed : ReasonOf(error));
    if (GuardKeeps())
        return DeleteFailed;
    const Platform::FileError error = Platform::RenameWithoutReplacing(path, target);
    if (error == Platform::FileError::None) {
        s.NewPlace = target;
        s.NewPlaceInTrash = false;
        return DeleteDone;
    }
    if (error == Platform::FileError::Missing && !Exists(path))
        return DeleteMissing;
    return Fail(ReasonOf(error));
}

KeptReason LastFailureReason() {
    return State().LastFailure;
}

QString HoldingRootOf(const QString &path) {
    const QString mount = CachedMountPoint(path);
    if (mount.isEmpty())
        return {};
    DeletionState &s = State();
    if (s.Home.isEmpty())
        s.Home = Platform::HomeFolder();
    // Like the desktop's trash: below the home folder on its own file system.
    if (path.startsWith(s.Home) && CachedMountPoint(s.Home) == mount)
        return s.Home;
    return mount;
}

QString HoldingPathOf(const QString &path) {
    const QString root = HoldingRootOf(path);
    if (root.isEmpty() || !path.startsWith(root) || path.size() == root.size())
        return {};
    return root + HoldingFolderName + path.mid(root.size());
}

QStringList HoldingRootsOfMarkedRows(int limit) {
    QStringList roots;
    const FileList &list = MatchList();
    QString lastFolder;
    for (int i = 0; i < int(list.size()) && roots.size() < limit; ++i) {
        const FileRecord *r = list[std::size_t(i)].Record.get();
        if (!r || r->Group < 0 || r->Mark != Delete)
            continue;
        const QString path = RowPath(i);
        const QString folder = FolderOf(path);
        if (folder == lastFolder)
            continue;
        lastFolder = folder;
        const QString root = HoldingRootOf(path);
        if (!root.isEmpty() && !roots.contains(root))
            roots.append(root);
    }
    return roots;
}

bool CreateShortcut(const QString &target, const QString &linkPath) {
    return Platform::MakeSymbolicLink(target, linkPath) == Platform::FileError::None;
}

// ------------------------------------------------------------ per file system

QStringList &KillDrives() {
    return State().KillDrives;
}

QStringList &KeepDrives() {
    return State().KeepDrives;
}

void ResetDeletionDrives() {
    DeletionState &s = State();
    s.KillDrives.clear();
    s.KeepDrives.clear();
    s.MountPoints.clear();
    s.LocalFileSystems.clear();
    s.Home.clear();
}

void SetDeletionProblemHandler(DeletionProblemHandler handler) {
    State().Dialog = std::move(handler);
}

bool AskDeletionProblem(const QString &path) {
    DeletionState &s = State();
    const QString root = CachedMountPoint(path);
    if (!root.isEmpty() && s.KeepDrives.contains(root))
        return false;
    if (!root.isEmpty() && s.KillDrives.contains(root))
        return true;
    DeletionProblemAnswer answer;
    if (s.Dialog)
        answer = s.Dialog(path, root);
    ProcessMessages();
    if (answer.AlsoOtherFiles && !root.isEmpty())
        (answer.DeleteDirectly ? s.KillDrives : s.KeepDrives).append(root);
    return answer.DeleteDirectly;
}

// ------------------------------------------------------------ blocks

namespace {
FileRecord *RecordAt(int row) {
    return MatchList()[std::size_t(row)].Record.get();
}

bool Stays(quint8 mark) {
    return mark == Stay || mark == StayNoDelete;
}

using Identity = QPair<quint64, quint64>;
Identity IdentityOf(const FileRecord &r) {
    return {r.Device, r.Inode};
}
bool HasIdentity(const FileRecord &r) {
    return r.Inode != 0;
}

bool Unchanged(const Platform::FileInfo &now, const FileRecord &r) {
    return now.Exists && now.IsFile && now.Size == r.Size && now.WriteTime == r.WriteTime &&
           now.Device == r.Device && now.Inode == r.Inode;
}

bool UnchangedOnDisk(int row) {
    return Unchanged(Platform::StatPath(RowPath(row), false), *RecordAt(row));
}

// One block's rows and the files its rows marked for deletion are.
struct Block {
    qint32 Group = -1;
    int First = -1;
    int Last = -1;
    QSet<Identity> Removed;
};

Block BlockAt(int row) {
    const BlockRows rows = BlockRange(row);
    Block block{rows.Group, rows.First, rows.Last, {}};
    for (int k = rows.First; k <= rows.Last; ++k)
        if (const FileRecord *r = RecordAt(k); r && r->Mark == Delete && HasIdentity(*r))
            block.Removed.insert(IdentityOf(*r));
    return block;
}

// A row that stays and may stand for the block: another name of a file
// marked for deletion is that file, and goes with it where the two names are
// one entry (a folder mounted twice).
bool CountsAsSurvivor(const Block &block, const FileRecord &r) {
    return Stays(r.Mark) && !(HasIdentity(r) && block.Removed.contains(IdentityOf(r)));
}

// The first row of the block that stays for the file at row: unchanged on
// disk and no name of a file marked for deletion; -1 when there is none.
int SurvivorFor(const Block &block, int row) {
    const FileRecord &removed = *RecordAt(row);
    for (int k = block.First; k <= block.Last; ++k) {
        const FileRecord *r = RecordAt(k);
        if (k == row || !r || !CountsAsSurvivor(block, *r))
            continue;
        if (HasIdentity(removed) && IdentityOf(*r) == IdentityOf(removed))
            continue;
        if (UnchangedOnDisk(k))
            return k;
    }
    return -1;
}
} // namespace

BlockWithoutSurvivor FirstBlockWithoutSurvivor() {
    const int count = int(MatchList().size());
    for (int i = 0; i < count;) {
        const FileRecord *r = RecordAt(i);
        if (!r || r->Group < 0) {
            ++i;
            continue;
        }
        const Block block = BlockAt(i);
        bool anyStays = false, survives = false;
        for (int k = block.First; k <= block.Last; ++k) {
            const FileRecord *x = RecordAt(k);
            anyStays = anyStays || (x && Stays(x->Mark));
            survives = survives || (x && CountsAsSurvivor(block, *x));
        }
        if (!survives)
            return {block.First, anyStays};
        i = block.Last + 1;
    }
    return {};
}

bool CheckBlocksKeepOne(const std::function<void(int row)> &showRow) {
    const BlockWithoutSurvivor block = FirstBlockWithoutSurvivor();
    if (block.FirstRow < 0)
        return false;
    if (showRow)
        showRow(block.FirstRow);
    const QString text =
        block.OnlyOtherNames ? GetPhrase(DeletionPhrases(), 16) : GetPhrase(MainFormPhrases(), 22);
    ShowMessageBox(text, TMsgDlgType::Warning, mbCancel);
    return true;
}

// ------------------------------------------------------------ the whole removal

namespace {
// The checks right before a file goes: it must be the file the search found,
// and another file of its block must stay, unchanged, and after a search for
// identical contents still equal to it.
struct Verdict {
    std::optional<KeptReason> Reason;
    int Survivor = -1;
    bool Stopped = false;
};

Verdict CheckBeforeRemoval(const Block &block, int row, bool identicalContents) {
    const QString path = RowPath(row);
    const Platform::FileInfo now = Platform::StatPath(path, false);
    // Gone already: the deleter says so, and nothing is lost.
    if (!now.Exists)
        return {};
    if (!Unchanged(now, *RecordAt(row)))
        return {KeptReason::Changed};
    const int survivor = SurvivorFor(block, row);
    if (survivor < 0)
        return {KeptReason::NoSurvivor};
    if (identicalContents) {
        switch (FilesEqual(path, RowPath(survivor), RecordAt(row)->Size)) {
        case ByteComparison::Equal:
            break;
        case ByteComparison::Different:
            return {KeptReason::ContentDiffers};
        case ByteComparison::Unreadable:
            return {KeptReason::Unreadable};
        case ByteComparison::Stopped:
            return {std::nullopt, -1, true};
        }
    }
    return {std::nullopt, survivor};
}

// The link in place of a removed file, to the file that stays; none for a
// file that is a link file itself or where anything has the link's name.
QString LeaveLink(const QString &removed, int survivor) {
    if (removed.endsWith(LinkExtension, Qt::CaseInsensitive) || !UnchangedOnDisk(survivor))
        return {};
    const QString link = removed + LinkExtension;
    if (Exists(link) || !CreateShortcut(RowPath(survivor), link))
        return {};
    return link;
}

using Deleter = int (*)(const QString &);
Deleter DeleterOf(int way) {
    switch (way) {
    case WayRecycle:
        return RecycleFile;
    case WayKill:
        return KillFile;
    case WayMove:
        return MoveToHoldingFolder;
    default:
        return nullptr;
    }
}
} // namespace

DeletionSummary DeleteMarkedFiles(int choice) {
    DeletionSummary summary;
    const Deleter deleter = DeleterOf(choice & WayMask);
    if (!deleter)
        return summary;
    const bool withLinks = (choice & WithLinksFlag) != 0;
    const SearchOptions &options = Context().LastRunOptions;
    const bool identicalContents = options.CompareContents && options.ContentPercent >= 100;
    DeletionState &s = State();
    ResetDeletionDrives();
    s.LastRemoval.clear();

    SearchHost &host = Host();
    host.AddStatusLine(GetPhrase(MainFormPhrases(), 23));
    const int reportLine = host.StatusLineCount() - 1;
    ProcessMessages();

    const int count = int(MatchList().size());
    host.SetProgress(0, count - 1);
    Block block;
    bool stopping = false;
    for (int i = 0; i < count; ++i) {
        FileRecord *record = RecordAt(i);
        if (record && record->Group >= 0 && record->Mark == Delete) {
            if (stopping) {
                ++summary.NotReached;
                continue;
            }
            if (record->Group != block.Group)
                block = BlockAt(i);
            const QString path = RowPath(i);
            const Verdict verdict = CheckBeforeRemoval(block, i, identicalContents);
            if (verdict.Stopped) {
                stopping = true;
                ++summary.NotReached;
                continue;
            }
            int code = DeleteFailed;
            if (verdict.Reason) {
                s.LastFailure = *verdict.Reason;
            } else {
                s.Guard = [&]() -> std::optional<KeptReason> {
                    const Platform::FileInfo now = Platform::StatPath(path, false);
                    if (now.Exists && !Unchanged(now, *record))
                        return KeptReason::Changed;
                    if (verdict.Survivor >= 0 && !UnchangedOnDisk(verdict.Survivor))
                        return KeptReason::NoSurvivor;
                    return std::nullopt;
                };
                code = deleter(path);
                s.Guard = nullptr;
            }
            if (code == DeleteDone || code == DeleteMissing) {
                record->Mark = Deleted;
                ++summary.Removed;
                summary.RemovedBytes += record->Size;
                RemovedFile removed;
                removed.Row = i;
                removed.Original = path;
                removed.NowAt = s.NewPlace;
                removed.InTrash = s.NewPlaceInTrash;
                removed.Device = record->Device;
                removed.Inode = record->Inode;
                if (!removed.NowAt.isEmpty() && !removed.InTrash)
                    removed.HoldingTop = HoldingRootOf(path) + HoldingFolderName;
                // Only where the program removed the file: a link never
                // takes the place of a file that went some other way.
                if (code == DeleteDone && withLinks && verdict.Survivor >= 0) {
                    removed.Link = LeaveLink(path, verdict.Survivor);
                    removed.LinkTarget = RowPath(verdict.Survivor);
                }
                if (!removed.NowAt.isEmpty())
                    s.LastRemoval.push_back(removed);
            } else {
                ++summary.Failed;
                const KeptReason reason = code == DeleteKept     ? KeptReason::KeptByUser
                                          : code == DeleteLocked ? KeptReason::Locked
                                                                 : s.LastFailure;
                ++summary.Kept[std::size_t(reason)];
            }
        }
        if (i % 8 == 0 && !stopping) {
            host.SetProgress(i, count - 1);
            ProcessMessages();
            stopping = StopOrTerminate();
        }
    }
    host.SetProgress(0, count - 1);

    const QStringList report = DeletionReport(summary);
    host.SetStatusLine(reportLine, report.first());
    for (qsizetype k = 1; k < report.size(); ++k)
        host.AddStatusLine(report[k]);
    return summary;
}

QStringList DeletionReport(const DeletionSummary &summary) {
    QStringList lines{GetPhraseParam(MainFormPhrases(), 24, QString::number(summary.Removed)) +
                      QStringLiteral(" (") + SizeText(summary.RemovedBytes / 1024) +
                      QLatin1Char(')')};
    if (summary.Failed > 0)
        lines << GetPhraseParam(MainFormPhrases(), 25, QString::number(summary.Failed));
    for (int reason = 0; reason < KeptReasonCount; ++reason)
        if (const int n = summary.Kept[std::size_t(reason)]; n > 0)
            lines << GetPhraseParam(DeletionPhrases(), reason + 1, QString::number(n));
    if (summary.NotReached > 0)
        lines << GetPhraseParam(DeletionPhrases(), 11, QString::number(summary.NotReached));
    return lines;
}

// ------------------------------------------------------------ undo

bool CanUndoRemoval() {
    return !State().LastRemoval.empty();
}

namespace {
enum class UndoRefusal { None, PlaceTaken, Gone, Failed };

// Empty folders the move made in the holding folder go again, up to its top.
void RemoveEmptyHoldingFolders(const RemovedFile &file) {
    QString folder = FolderOf(file.NowAt);
    while (folder.size() >= file.HoldingTop.size() && folder.startsWith(file.HoldingTop) &&
           Platform::RemoveEmptyFolder(folder))
        folder = FolderOf(folder.chopped(1));
}

UndoRefusal PutBack(const RemovedFile &file) {
    const Platform::FileInfo original = Platform::StatPath(file.Original, false);
    if (original.Exists)
        // Put back by hand already, or something else took its place.
        return original.Device == file.Device && original.Inode == file.Inode
                   ? UndoRefusal::None
                   : UndoRefusal::PlaceTaken;
    const Platform::FileInfo now = Platform::StatPath(file.NowAt, false);
    const QString info = file.InTrash ? Platform::TrashInfoFileOf(file.NowAt) : QString();
    if (!now.Exists || now.Device != file.Device || now.Inode != file.Inode ||
        (file.InTrash && Platform::TrashInfoOriginalPath(info) != file.Original))
        return UndoRefusal::Gone;
    Platform::MakeFolderChain(FolderOf(file.Original));
    switch (Platform::RenameWithoutReplacing(file.NowAt, file.Original)) {
    case Platform::FileError::None:
        break;
    case Platform::FileError::Exists:
        return UndoRefusal::PlaceTaken;
    default:
        return UndoRefusal::Failed;
    }
    if (file.InTrash)
        Platform::DeleteFile(info);
    else
        RemoveEmptyHoldingFolders(file);
    return UndoRefusal::None;
}
} // namespace

UndoSummary UndoLastRemoval() {
    UndoSummary summary;
    std::vector<RemovedFile> &files = State().LastRemoval;
    std::vector<RemovedFile> retry;
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        const UndoRefusal refusal = PutBack(*file);
        if (refusal != UndoRefusal::None) {
            const int phrase = refusal == UndoRefusal::PlaceTaken ? 13
                               : refusal == UndoRefusal::Gone     ? 14
                                                                  : 15;
            summary.Refused << GetPhraseParam(DeletionPhrases(), phrase, file->Original);
            // Once its place is free again, a second undo may take it back.
            if (refusal != UndoRefusal::Gone)
                retry.insert(retry.begin(), *file);
            continue;
        }
        ++summary.PutBack;
        if (!file->Link.isEmpty() && Platform::SymbolicLinkTarget(file->Link) == file->LinkTarget)
            Platform::DeleteFile(file->Link);
        const FileList &list = MatchList();
        if (file->Row >= 0 && file->Row < int(list.size()) && RowPath(file->Row) == file->Original)
            if (FileRecord *r = RecordAt(file->Row); r && r->Mark == Deleted)
                r->Mark = Delete;
    }
    files = std::move(retry);

    SearchHost &host = Host();
    host.AddStatusLine(GetPhraseParam(DeletionPhrases(), 12, QString::number(summary.PutBack)));
    for (const QString &line : std::as_const(summary.Refused))
        host.AddStatusLine(line);
    return summary;
}

void ForgetLastRemoval() {
    State().LastRemoval.clear();
}

void ResetDeletion() {
    ResetDeletionDrives();
    DeletionState &s = State();
    s.Dialog = nullptr;
    s.Guard = nullptr;
    s.LastFailure = KeptReason::Failed;
    s.NewPlace.clear();
    s.LastRemoval.clear();
}
