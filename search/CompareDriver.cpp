#include "search/CompareDriver.h"

#include "compare/FileCompareUnit.h"
#include "compare/ImageCompareUnit.h"
#include "platform/Platform.h"
#include "search/ExactDriver.h"
#include "search/MainPhrases.h"
#include "search/SearchHost.h"
#include "search/SimilarityDriver.h"

namespace {
FileList TheMatchList;
QString ThePrefix;
int ProgressPosition = 0;
int ProgressMaximum = 0;
quint8 LastTitlePercent = 255;

constexpr int PollInterval = 16;

QString FolderPart(const QString &path) {
    return Platform::FolderKey(path.left(path.lastIndexOf(Platform::PathDelimiter()) + 1));
}

// Waits while paused; false when the run must leave the j loop afterwards.
bool WaitIfPaused() {
    SearchContext &c = Context();
    if (c.RunState == Paused) {
        do {
            if (c.RunState != Paused)
                break;
            Host().Sleep(50);
            ProcessMessages();
            if (c.RunState == StopRequested)
                break;
        } while (!Terminating());
        return !StopOrTerminate();
    }
    return true;
}

bool SameFileOnDisk(const FileRecord &a, const FileRecord &b) {
    return a.Inode != 0 && a.Device == b.Device && a.Inode == b.Inode;
}
} // namespace

FileList &MatchList() {
    return TheMatchList;
}

void ClearMatchList() {
    FreeRecords(TheMatchList);
}

const TMLStringList &FileSearchPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("FileSearchUnit"));
        l.Add255Obj(QStringLiteral("%1 gleiche Namen gefunden"), 1);
        l.Add255Obj(QStringLiteral("%1 ähnliche Namen gefunden"), 2);
        l.Add255Obj(QStringLiteral("%1 Duplikate gefunden"), 17);
        l.Add255Obj(QStringLiteral("%1 ähnliche Dateien gefunden"), 30);
        l.Add255Obj(QStringLiteral("Übereinstimmung"), 31);
        return l;
    }();
    return list;
}

QString ComparePrefix() {
    return ThePrefix;
}

void SetProgress(int position, int maximum) {
    ProgressPosition = position;
    ProgressMaximum = maximum;
    Host().SetProgress(position, maximum);
}

bool FolderCriterion(const QString &pathA, const QString &pathB, int mode) {
    if (mode != 1 && mode != 2)
        return true;
    const QString da = FolderPart(pathA), db = FolderPart(pathB);
    if (mode == 1)
        return da != db;
    const SearchContext &c = Context();
    const bool firstIsLonger = c.BaseFolderUpper1.size() >= c.BaseFolderUpper2.size();
    const QString &longer = firstIsLonger ? c.BaseFolderUpper1 : c.BaseFolderUpper2;
    const QString &shorter = firstIsLonger ? c.BaseFolderUpper2 : c.BaseFolderUpper1;
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
    const QString text = GetPhraseParam(FileSearchPhrases(), phraseId, QString::number(count)) +
                         QStringLiteral(" (") + SizeText(kilobytes) + QLatin1Char(')');
    Host().SetStatusLine(line, text);
    ProcessMessages();
}

void ShowTitlePercent() {
    if (ProgressMaximum <= 0)
        return;
    const quint8 p =
        quint8(std::min<qint64>(qint64(ProgressPosition) * 100 / ProgressMaximum, 100));
    if (p == LastTitlePercent)
        return;
    LastTitlePercent = p;
    Host().SetTitle(QString::number(p) + QStringLiteral("%  Dupliscan"));
}

int RunPairwiseLoop(const SearchOptions &options, PairDriver &driver, quint8 &outcome) {
    FileList &table = FileTable();
    const int n = int(table.size());
    if (n < 2)
        return 0;
    SearchContext &c = Context();
    int matches = 0;
    qint64 matchedBytes = 0;
    int statusLine = -1;
    int visited = 0;
    for (int i = 0; i <= n - 2; ++i) {
        if (!options.CertainFile.isEmpty() && i > 0)
            return matches;
        SetProgress(i, ProgressMaximum);
        ShowTitlePercent();
        ProcessMessages();
        if (Terminating()) {
            outcome = Terminated;
            return matches;
        }
        if (c.RunState == StopRequested) {
            outcome = Stopped;
            return matches;
        }
        FileRecord &head = *table[std::size_t(i)].Record;
        if (head.Group >= 0 || head.QuickSum == UnreadableSum)
            continue;
        driver.PrepareHead(i);
        const QString headPath =
            options.FolderMode != 0 ? FullPathOf(table[std::size_t(i)]) : QString();
        for (int j = driver.FirstCandidate(i); j < n && j >= 0; j = driver.NextCandidate(i, j)) {
            if (++visited % PollInterval == 0) {
                ProcessMessages();
                if (StopOrTerminate())
                    break;
            }
            if (!WaitIfPaused())
                break;
            FileRecord &other = *table[std::size_t(j)].Record;
            if (other.Group >= 0 || SameFileOnDisk(head, other))
                continue;
            if (options.FolderMode != 0 &&
                !FolderCriterion(headPath, FullPathOf(table[std::size_t(j)]), options.FolderMode))
                continue;
            quint8 percent = 0;
            const PairDriver::Verdict verdict = driver.TestPair(i, j, percent);
            if (verdict == PairDriver::Verdict::EndHead)
                break;
            if (verdict == PairDriver::Verdict::Skip)
                continue;
            ++matches;
            other.Group = i;
            other.Percent = percent;
            if (head.Group < 0) {
                head.Group = i;
                head.Percent = 100;
            }
            matchedBytes += other.Size;
            StatusLine(driver.PhraseId(), matches, matchedBytes / 1024, statusLine);
            if (options.MaxDuplicates >= 1 && matches >= options.MaxDuplicates) {
                outcome = LimitReached;
                break;
            }
        }
        if (outcome != Completed)
            return matches;
    }
    return matches;
}

int RunCompare(quint8 &outcome, bool includeHundred) {
    outcome = Completed;
    int matches = 0;
    ClearMatchList();
    ResetImageDatabase();
    FileList &table = FileTable();
    if (table.empty())
        return 0;
    const SearchOptions options = Context().Options;
    ThePrefix = GetPhrase(MainFormPhrases(), 6) + QStringLiteral(": ");
    if (options.ContentPercent == 100 && !AllocCompareBuffers()) {
        Host().ShowError(GetPhrase(MainFormPhrases(), 5));
        return 0;
    }
    const int count = int(table.size());
    SetProgress(0, count - 2 >= 1 ? count - 2 : 1);
    ProcessMessages();
    if (options.ContentPercent < 100)
        matches = SimilarityDriver(options, includeHundred, outcome);
    else
        matches = ExactDriver(options, outcome);
    FreeCompareBuffers();
    SetProgress(ProgressMaximum, ProgressMaximum);
    ProcessMessages();
    if (outcome != Terminated) {
        BuildMatchList();
        if (TheMatchList.empty()) {
            const QString none = GetPhrase(MainFormPhrases(), 38);
            Host().AddStatusLine(none);
            Host().ShowInfo(none);
        }
    }
    SetProgress(0, ProgressMaximum);
    return matches;
}

int BuildMatchList() {
    FileList &table = FileTable();
    int widestWidth = 0;
    qsizetype widestLength = 0;
    std::size_t colorIndex = 0;
    auto move = [&](std::size_t from, bool isHead, quint32 color, int headIndex) {
        FileEntry &entry = table[from];
        entry.Record->BlockColor = color;
        entry.Record->IsBlockHead = isHead;
        entry.Record->Group = headIndex < 0 ? int(TheMatchList.size()) : headIndex;
        if (entry.Text.size() > widestLength / 2) {
            const int width = Host().TextWidth(entry.Text);
            if (width > widestWidth) {
                widestWidth = width;
                widestLength = entry.Text.size();
            }
        }
        TheMatchList.push_back(std::move(entry));
    };
    // Members follow their head in table order. One pass links each head to
    // its members: next[head] is its first member, next[member] the one after.
    const int n = int(table.size());
    std::vector<int> next(std::size_t(n), -1), tail(std::size_t(n), -1);
    for (int j = 0; j < n; ++j) {
        const FileRecord *r = table[std::size_t(j)].Record.get();
        if (!r || r->Group < 0 || r->Group == j)
            continue;
        const int head = r->Group;
        const int last = tail[std::size_t(head)];
        next[std::size_t(last < 0 ? head : last)] = j;
        tail[std::size_t(head)] = j;
    }
    TheMatchList.reserve(std::size_t(CountInBlocks()));
    for (int i = 0; i < n; ++i) {
        const FileRecord *r = table[std::size_t(i)].Record.get();
        if (!r || r->Group < 0 || r->Group != i)
            continue;
        const quint32 color = BlockColors[colorIndex];
        const int h = int(TheMatchList.size());
        move(std::size_t(i), true, color, -1);
        for (int j = next[std::size_t(i)]; j >= 0; j = next[std::size_t(j)])
            move(std::size_t(j), false, color, h);
        colorIndex = (colorIndex + 1) % BlockColors.size();
    }
    FreeRecords(table);
    return widestWidth + 20;
}
