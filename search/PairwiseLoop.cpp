#include "search/PairwiseLoop.h"

#include "platform/Platform.h"
#include "run/RunControl.h"

namespace {
struct LoopProgress {
    QString Prefix;
    int Position = 0;
    int Maximum = 0;
    // 255 so that the first percentage of the first run is always shown.
    quint8 LastTitlePercent = 255;
    // The status line's phrase, looked up once per language rather than for
    // every match (a look-up walks the whole phrase table).
    int StatusPhraseId = -1;
    QString StatusPhraseLanguage;
    QString StatusPhrase;
};
LoopProgress Progress;

// Events are let through every this many partners visited.
constexpr int PollInterval = 16;

QString FolderPart(const QString &path) {
    return Platform::FolderKey(path.left(path.lastIndexOf(Platform::PathDelimiter()) + 1));
}

// Progress and events before head i; false with the outcome set when the run
// must end here.
bool MayStartHead(int i, RunOutcome &outcome) {
    SetProgress(i, Progress.Maximum);
    ShowTitlePercent();
    ProcessMessages();
    if (Terminating()) {
        outcome = RunOutcome::Terminated;
        return false;
    }
    if (RunState() == RunStateValue::StopRequested) {
        outcome = RunOutcome::Stopped;
        return false;
    }
    return true;
}

// Rules out a head that is in a block already or could not be read.
bool IsFreeHead(const FileRecord &head) {
    return head.Group < 0 && !head.Unreadable;
}

// Every PollInterval partners: events, stop and pause; false ends the partner
// loop of this head.
bool PollPartners(int &visited) {
    if (++visited % PollInterval == 0) {
        ProcessMessages();
        if (StopOrTerminate())
            return false;
    }
    return WaitWhilePaused();
}

// Rules out a partner that is in a block already, or is the head itself under
// another name (a hard link): deleting "the copy" would delete the only file.
bool IsFreePartner(const FileRecord &head, const FileRecord &other) {
    const bool sameFileOnDisk =
        head.Inode != 0 && head.Device == other.Device && head.Inode == other.Inode;
    return other.Group < 0 && !sameFileOnDisk;
}

// Rules out a pair that the folder mode does not let count.
bool PassesFolderMode(const SearchOptions &options, const QString &headPath,
                      const FileEntry &other) {
    return options.FolderMode == 0 ||
           FolderCriterion(headPath, FullPathOf(other), options.FolderMode);
}

void JoinBlock(FileRecord &head, FileRecord &other, int i, quint8 percent) {
    other.Group = i;
    other.Percent = percent;
    if (head.Group < 0) {
        head.Group = i;
        head.Percent = 100;
    }
}

bool LimitReached(const SearchOptions &options, int matches) {
    return options.MaxDuplicates >= 1 && matches >= options.MaxDuplicates;
}
} // namespace

const TMLStringList &FileSearchPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("FileSearchUnit"));
        l.Add255Obj(QStringLiteral("%1 gleiche Namen gefunden"), 1);
        l.Add255Obj(QStringLiteral("%1 ähnliche Namen gefunden"), 2);
        l.Add255Obj(QStringLiteral("%1 Duplikate gefunden"), 17);
        l.Add255Obj(QStringLiteral("%1 ähnliche Dateien gefunden"), 30);
        l.Add255Obj(QStringLiteral("Übereinstimmung"), 31);
        l.Add255Obj(QStringLiteral("Ordner nicht durchsucht: %1"), 32);
        l.Add255Obj(QStringLiteral(
                        "Die Datei hat sich während der Suche geändert und wurde weggelassen: %1"),
                    33);
        l.Add255Obj(QStringLiteral("Die Fingerabdrücke der Bilder passen weder in den temporären "
                                   "Ordner (%1) noch in den für sie vorgesehenen Speicher; die "
                                   "Suche wurde abgebrochen"),
                    34);
        return l;
    }();
    return list;
}

QString ComparePrefix() {
    return Progress.Prefix;
}

void SetComparePrefix(const QString &prefix) {
    Progress.Prefix = prefix;
}

void SetProgress(int position, int maximum) {
    Progress.Position = position;
    Progress.Maximum = maximum;
    Host().SetProgress(position, maximum);
}

int ProgressMaximum() {
    return Progress.Maximum;
}

void ResetPairwiseLoop() {
    Progress = LoopProgress();
}

bool FolderCriterion(const QString &pathA, const QString &pathB, int mode) {
    if (mode != 1 && mode != 2)
        return true;
    const QString da = FolderPart(pathA), db = FolderPart(pathB);
    if (mode == 1)
        return da != db;
    // The longer base folder is tested first, so that a base folder inside the
    // other (possible without subfolders) still gets its own number.
    const SearchContext &c = Context();
    const bool firstIsLonger = c.BaseFolderKey1.size() >= c.BaseFolderKey2.size();
    const QString &longer = firstIsLonger ? c.BaseFolderKey1 : c.BaseFolderKey2;
    const QString &shorter = firstIsLonger ? c.BaseFolderKey2 : c.BaseFolderKey1;
    auto baseNumber = [&](const QString &d) {
        if (d.startsWith(longer))
            return 1;
        return d.startsWith(shorter) ? 2 : 0;
    };
    return baseNumber(da) != baseNumber(db);
}

void StatusLine(int phraseId, int count, qint64 kilobytes, int &line) {
    if (line < 0)
        line = Host().StatusLineCount();
    const QString &language = PhraseTable()->CurrentCode;
    if (phraseId != Progress.StatusPhraseId || language != Progress.StatusPhraseLanguage) {
        Progress.StatusPhraseId = phraseId;
        Progress.StatusPhraseLanguage = language;
        Progress.StatusPhrase = GetPhrase(FileSearchPhrases(), phraseId);
    }
    const QString text =
        QString(Progress.StatusPhrase).replace(QLatin1String("%1"), QString::number(count)) +
        QStringLiteral(" (") + SizeText(kilobytes) + QLatin1Char(')');
    Host().SetStatusLine(line, text);
    ProcessMessages();
}

void ShowTitlePercent() {
    if (Progress.Maximum <= 0)
        return;
    const quint8 p =
        quint8(std::min<qint64>(qint64(Progress.Position) * 100 / Progress.Maximum, 100));
    if (p == Progress.LastTitlePercent)
        return;
    Progress.LastTitlePercent = p;
    Host().SetTitle(QString::number(p) + QStringLiteral("%  Dupliscan"));
}

int RunPairwiseLoop(const SearchOptions &options, PairDriver &driver, RunOutcome &outcome) {
    FileList &table = FileTable();
    const int n = int(table.size());
    if (n < 2)
        return 0;
    int matches = 0;
    qint64 matchedBytes = 0;
    int statusLine = -1;
    Progress.StatusPhraseId = -1; // the phrase table may have been loaded anew
    int visited = 0;
    for (int i = 0; i <= n - 2; ++i) {
        // In certain-file mode only the certain file at position 0 is a head.
        if (!options.CertainFile.isEmpty() && i > 0)
            return matches;
        if (!MayStartHead(i, outcome))
            return matches;
        FileRecord &head = *table[std::size_t(i)].Record;
        if (!IsFreeHead(head))
            continue;
        driver.PrepareHead(i);
        const QString headPath =
            options.FolderMode != 0 ? FullPathOf(table[std::size_t(i)]) : QString();
        for (int j = driver.FirstCandidate(i); j < n && j >= 0; j = driver.NextCandidate(i, j)) {
            if (!PollPartners(visited))
                break;
            FileRecord &other = *table[std::size_t(j)].Record;
            if (!IsFreePartner(head, other) ||
                !PassesFolderMode(options, headPath, table[std::size_t(j)]))
                continue;
            quint8 percent = 0;
            const PairDriver::Verdict verdict = driver.TestPair(i, j, percent);
            if (verdict == PairDriver::Verdict::EndHead)
                break;
            if (verdict == PairDriver::Verdict::Skip)
                continue;
            ++matches;
            JoinBlock(head, other, i, percent);
            matchedBytes += other.Size;
            StatusLine(driver.PhraseId(), matches, matchedBytes / 1024, statusLine);
            if (LimitReached(options, matches)) {
                outcome = RunOutcome::LimitReached;
                break;
            }
        }
        if (outcome != RunOutcome::Completed)
            return matches;
    }
    return matches;
}
