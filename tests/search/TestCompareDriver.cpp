#include "search/CompareDriver.h"

#include "search/ExactDriver.h"
#include "search/SearchRun.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <atomic>

#include <memory>

using namespace TestSupport;

namespace {
using Blocks = QList<QStringList>;

Blocks MatchBlocks() {
    Blocks blocks;
    for (const FileEntry &entry : MatchList()) {
        if (entry.Record->IsBlockHead)
            blocks.append(QStringList());
        blocks.last().append(entry.Text);
    }
    return blocks;
}

// The exact tests as the plain rule states them, on every later file j: the
// reference the candidate chains of the exact driver must agree with.
class AllPairsExact : public PairDriver {
public:
    explicit AllPairsExact(const SearchOptions &options) : Options(options) {}
    int PhraseId() const override { return 17; }
    Verdict TestPair(int i, int j, quint8 &percent) override {
        FileEntry &first = FileTable()[std::size_t(i)], &second = FileTable()[std::size_t(j)];
        const bool sameSize = first.Record->Size == second.Record->Size;
        if (Options.CompareNames) {
            if ((Options.IdenticalSize && !sameSize) ||
                !NamesSimilar(first.Text, second.Text, Options.NamePercent, Options.DifferentExts,
                              Options.NameCompareMaxLength))
                return Verdict::Skip;
            percent = 1;
        }
        auto sum = [](FileEntry &entry) {
            if (entry.Record->QuickSum == 0)
                entry.Record->QuickSum = ComputeQuickSum(FullPathOf(entry));
            return entry.Record->QuickSum;
        };
        if (Options.CompareContents) {
            if (sameSize && sum(first) == UnreadableSum)
                return Verdict::EndHead;
            if (!sameSize || sum(second) == UnreadableSum || sum(second) != sum(first))
                return Verdict::Skip;
            // A stop acts before the next byte comparison, as in the driver.
            ProcessMessages();
            if (StopOrTerminate())
                return Verdict::EndHead;
            if (FilesEqual(FullPathOf(first), FullPathOf(second), first.Record->Size) !=
                ByteComparison::Equal)
                return Verdict::Skip;
            percent = 100;
        }
        return Options.CompareNames || Options.CompareContents ? Verdict::Match : Verdict::Skip;
    }

private:
    SearchOptions Options;
};

// Byte comparisons may run on the worker threads.
class ChunkCounter : public ReadTrace {
public:
    std::atomic<int> Chunks = 0;
    ChunkCounter() { SetReadTrace(this); }
    ~ChunkCounter() override { SetReadTrace(nullptr); }
    void ChunkRead(qint64) override { ++Chunks; }
};

// Two files, the base folders, the folder mode and whether the pair may match.
struct FolderRow {
    const char *Name, *A, *B, *Base1, *Base2;
    int Mode;
    bool Passes;
};
const FolderRow FolderRows[] = {
    {"all files", "/d/x", "/d/y", "", "", 0, true},
    {"one folder", "/d/x", "/d/y", "", "", 1, false},
    {"letter case tells folders apart", "/d/x", "/D/x", "", "", 1, true},
    {"one base folder", "/p/a/x", "/p/b/y", "/p/", "/q/", 2, false},
    {"inner base folder first", "/p/x", "/p/in/y", "/p/in/", "/p/", 2, true},
    {"both in the inner base folder", "/p/in/x", "/p/in/y", "/p/", "/p/in/", 2, false},
    {"names that only begin alike", "/p/x", "/pp/y", "/p/", "/pp/", 2, true},
};

// Whether a status line tells of the given number of matches.
bool CountShown(const QStringList &lines, int count) {
    for (const int phrase : {1, 2, 17})
        for (const QString &line : lines)
            if (line.startsWith(
                    GetPhraseParam(FileSearchPhrases(), phrase, QString::number(count)) + " ("))
                return true;
    return false;
}
} // namespace

class TestCompareDriver : public QObject {
    Q_OBJECT

    // The status line of an exact run: "%1 Duplikate gefunden (1 KB)".
    static QString Found(int count) {
        return GetPhraseParam(FileSearchPhrases(), 17, QString::number(count)) + " (1 KB)";
    }

    std::unique_ptr<Scratch> S;

    // Scans the temporary folder as a single-folder run does, then compares.
    int ScanAndCompare(RunOutcome &outcome) {
        ClearFileTable();
        ClearMatchList();
        Context().CommonBaseFolder = Context().BaseFolderKey1 = S->Root;
        ScanFolder(S->Root);
        SortFileTable();
        SetRunState(RunStateValue::Running);
        return RunCompare(outcome);
    }

private slots:
    void init() {
        S = std::make_unique<Scratch>();
        Context().Options.MaxDuplicates = 0;
    }
    void cleanup() { S.reset(); }

    void identicalFilesFormOneBlockAndTheLimitEndsTheRun() {
        for (const char *name : {"a", "b", "c", "d", "e"})
            S->Write(name, QByteArray(name) < "d" ? "same" : "diff");
        RunOutcome outcome{};
        QCOMPARE(ScanAndCompare(outcome), 3);
        QCOMPARE(outcome, RunOutcome::Completed);
        QCOMPARE(MatchBlocks(), (Blocks{{"a", "b", "c"}, {"d", "e"}}));
        QCOMPARE(MatchList()[2].Record->Percent, quint8(100));
        QVERIFY(S->Host.StatusLines.contains(Found(3)));
        Context().Options.MaxDuplicates = 1;
        QCOMPARE(ScanAndCompare(outcome), 1);
        QCOMPARE(outcome, RunOutcome::LimitReached);
        QCOMPARE(MatchBlocks(), (Blocks{{"a", "b"}}));
    }

    void aFileJoinsOnlyByMatchingTheHead() {
        for (const char *name : {"aaaaa.txt", "aaaab.txt", "aaabb.txt", "aaabc.txt"})
            S->Write(name, name);
        Context().Options.CompareContents = false;
        Context().Options.CompareNames = true;
        RunOutcome outcome{};
        QCOMPARE(ScanAndCompare(outcome), 2);
        QCOMPARE(MatchBlocks(), (Blocks{{"aaaaa.txt", "aaaab.txt"}, {"aaabb.txt", "aaabc.txt"}}));
        QCOMPARE(MatchList()[1].Record->Percent, quint8(1)); // a name match scores 1
    }

    // Every member is compared with its head at its own moment. A file that
    // is no longer as the scan saw it leaves the result with one notice; a
    // block whose head changed is given up whole, one left with its head
    // alone goes.
    void filesChangedDuringTheSearchLeaveTheResult_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("changed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<Blocks>("blocks");
        for (const int percent : {100, 80}) {
            const auto row = [&](const char *name, const char *changed, const char *how,
                                 const Blocks &blocks) {
                QTest::addRow("%d %%, %s", percent, name) << percent << QString::fromLatin1(changed)
                                                          << QString::fromLatin1(how) << blocks;
            };
            row("a member rewritten", "c", "rewrite", {{"a", "b"}, {"d", "e"}});
            row("a member grown, its head left alone", "e", "grow", {{"a", "b", "c"}});
            row("the head touched", "a", "touch", {{"d", "e"}});
            row("a member removed", "b", "remove", {{"a", "c"}, {"d", "e"}});
        }
    }
    void filesChangedDuringTheSearchLeaveTheResult() {
        QFETCH(int, percent);
        QFETCH(QString, changed);
        QFETCH(QString, how);
        QFETCH(Blocks, blocks);
        // Written long ago, so that any change gives a new last-write time.
        const QDateTime past = QDateTime::currentDateTime().addDays(-3);
        for (const char *name : {"a", "b", "c", "d", "e"}) {
            QFile file(S->Write(name, RandomData(3000, QByteArray(name) < "d" ? 1 : 2)));
            QVERIFY(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(past, QFileDevice::FileModificationTime));
        }
        const QString path = S->Root + changed;
        bool done = false;
        S->Host.OnMessages = [&](int) {
            if (done || CountInBlocks() < 5) // all five compared and in blocks
                return;
            done = true;
            QFile file(path);
            if (how == "rewrite")
                QVERIFY(WriteFile(path, RandomData(3000, 3)));
            else if (how == "grow")
                QVERIFY(file.open(QIODevice::Append) && file.write("x") == 1);
            else if (how == "touch")
                QVERIFY(file.open(QIODevice::ReadWrite) &&
                        file.setFileTime(QDateTime::currentDateTime(),
                                         QFileDevice::FileModificationTime));
            else
                QVERIFY(file.remove());
        };
        Context().Options.ContentPercent = quint8(percent);
        RunOutcome outcome{};
        const int matches = ScanAndCompare(outcome);
        QVERIFY(done);
        QCOMPARE(MatchBlocks(), blocks);
        QCOMPARE(matches, int(MatchList().size()) - int(blocks.size()));
        QCOMPARE(S->Host.Notes, QStringList{GetPhraseParam(FileSearchPhrases(), 33, path)});
    }

    void certainFileOnlyFindsItsOwnTwins() {
        S->Write("x1", "pair");
        S->Write("x2", "pair");
        SearchRequest request;
        request.Folder1 = S->Root;
        request.CertainFileMode = true;
        request.Options.CertainFile = S->Write("z-certain", "twin");
        request.Options.MaxDuplicates = 0;
        S->Write("y", "twin");
        QCOMPARE(RunSearch(request).Matches, 1);
        QCOMPARE(MatchBlocks(), (Blocks{{S->Root + "z-certain", S->Root + "y"}}));
    }

    void folderCriterionHoldsBothWays_data() { AddRows(FolderRows); }
    void folderCriterionHoldsBothWays() {
        const FolderRow &row = FolderRows[Data<int>("row")];
        Context().BaseFolderKey1 = QString::fromLatin1(row.Base1);
        Context().BaseFolderKey2 = QString::fromLatin1(row.Base2);
        const QString a = QString::fromLatin1(row.A), b = QString::fromLatin1(row.B);
        QCOMPARE(FolderCriterion(a, b, row.Mode), row.Passes);
        QCOMPARE(FolderCriterion(b, a, row.Mode), row.Passes);
    }

    void stopKeepsBlocksAndTerminatingDropsThem() {
        for (const bool terminate : {false, true}) {
            cleanup();
            init();
            for (const char *name : {"p0a", "p0b", "p1a", "p1b", "p2a", "p2b", "p3a", "p3b"})
                S->Write(name, QByteArray(name).left(2));
            S->Host.OnMessages = [&](int) {
                if (!S->Host.StatusLines.contains(Found(1)))
                    return;
                if (terminate)
                    S->Host.IsTerminating = true;
                else
                    SetRunState(RunStateValue::StopRequested);
            };
            RunOutcome outcome{};
            ScanAndCompare(outcome);
            QCOMPARE(outcome, terminate ? RunOutcome::Terminated : RunOutcome::Stopped);
            QCOMPARE(MatchBlocks(), (terminate ? Blocks() : Blocks{{"p0a", "p0b"}}));
            QCOMPARE(int(FileTable().size()), terminate ? 8 : 0);
        }
    }

    // The sums are read on worker threads; a pause holds them and the run goes
    // on where it stopped.
    void aPauseWhileSumsAreReadLosesNothing() {
        for (int k = 0; k < 40; ++k)
            S->Write(QStringLiteral("f%1").arg(k, 2, 10, QLatin1Char('0')),
                     QByteArray(4000, char('a' + k % 4)));
        S->Host.OnMessages = [&](int calls) {
            if (calls == 1)
                SetRunState(RunStateValue::Paused);
            else if (calls == 20)
                SetRunState(RunStateValue::Running);
        };
        RunOutcome outcome{};
        QCOMPARE(ScanAndCompare(outcome), 36);
        QCOMPARE(outcome, RunOutcome::Completed);
        QCOMPARE(MatchBlocks().size(), 4);
    }

    void hardLinksAreNeverAPair() {
        const QByteArray first = Platform::EncodeName(S->Write("doc1", "same"));
        QCOMPARE(::link(first.constData(), (first.chopped(1) + "2").constData()), 0);
        S->Write("doc3", "same");
        RunOutcome outcome{};
        QCOMPARE(ScanAndCompare(outcome), 1);
        QCOMPARE(MatchBlocks(), (Blocks{{"doc1", "doc3"}}));
        Context().Options.CompareContents = false;
        Context().Options.CompareNames = true;
        Context().Options.NamePercent = 60;
        QCOMPARE(ScanAndCompare(outcome), 1);
        QCOMPARE(MatchBlocks(), (Blocks{{"doc1", "doc3"}}));
    }

    void aSecondBaseFolderReachedThroughALinkIsDropped() {
        MakeFolder(S->Root + "real");
        QCOMPARE(::symlink(Platform::EncodeName(S->Root + "real").constData(),
                           Platform::EncodeName(S->Root + "link").constData()),
                 0);
        BaseFolders folders{S->Root + "real", S->Root + "link/"};
        QCOMPARE(SettleBaseFolders(folders, true).Problem, BaseFolderProblem::None);
        QVERIFY(folders.Folder2.isEmpty());
        QVERIFY(Context().BaseFolderKey2.isEmpty());
    }

    void candidateChainsMatchTheAllPairsWalk() {
        QRandomGenerator random(4242);
        const QStringList folders = {"", "d1/", "d2/", "D1/"},
                          extensions = {".txt", ".TXT", ".jpg", ""};
        const QStringList stems = {"a",       "ab",      "AB",      "ab (2)",     "Copy of ab",
                                   "holiday", "Holiday", "holyday", "abcdefghij", "abcdefgh"};
        // Many files share size and quick read and part later: soon after it,
        // or only beyond the first window in which the rest of a file is hashed.
        const QByteArray shared(QuickChunk, 's'), far = shared + QByteArray(300000, 'f');
        const QList<QByteArray> contents = {"x",
                                            "y",
                                            "xy",
                                            shared + "tail-1",
                                            shared + "tail-2",
                                            shared + "tail-3",
                                            shared + "tail-4",
                                            far + "end-1",
                                            far + "end-2",
                                            far + "end-3"};
        // Contents, image mode, content %, names, name %, any extension, equal sizes,
        // name length cut, folder mode, certain file, limit.
        const QList<SearchOptions> cases = {
            {true, false, 100, false, 80, false, false, 0, 0, {}, 0},
            {true, false, 100, false, 80, false, false, 0, 1, {}, 3},
            {true, false, 100, true, 80, true, false, 0, 0, {}, 0},
            {false, false, 100, true, 100, false, false, 2, 0, {}, 0},
            {false, false, 100, true, 100, true, false, 0, 1, {}, 0},
            {false, false, 100, true, 80, true, true, 0, 0, {}, 0},
            {false, false, 100, true, 75, false, false, 7, 0, {}, 5},
        };
        int total = 0;
        for (int round = 0; round < 3; ++round) {
            const QString tree = S->Root + QStringLiteral("t%1/").arg(round);
            QStringList paths;
            while (paths.size() < 60) {
                const QString relative = folders[random.bounded(int(folders.size()))] +
                                         stems[random.bounded(int(stems.size()))] +
                                         extensions[random.bounded(int(extensions.size()))];
                if (!paths.contains(tree + relative))
                    paths.append(
                        WriteAt(tree, relative, contents[random.bounded(int(contents.size()))]));
            }
            // One file vanishes after the scan, so both walks meet an unreadable
            // file, and one that shares its start with others is cut short.
            const QString vanishing = paths[random.bounded(int(paths.size()))];
            QString shrinking;
            while (shrinking.isEmpty() || shrinking == vanishing ||
                   QFileInfo(shrinking).size() <= QuickChunk)
                shrinking = paths[random.bounded(int(paths.size()))];
            const QByteArray shrinkingContent = ReadAll(shrinking);
            // A stop after the second match, in the runs with contents.
            for (int c = 0; c < cases.size() + 3; ++c) {
                const SearchOptions &options = cases[c % cases.size()];
                const bool stops = c >= cases.size();
                auto run = [&](bool plain) {
                    ClearFileTable();
                    ClearMatchList();
                    Context().CommonBaseFolder = tree;
                    Context().Options = options;
                    SetRunState(RunStateValue::Running);
                    ScanFolder(tree);
                    SortFileTable();
                    QFile::rename(vanishing, S->Root + "gone");
                    QFile(shrinking).resize(QuickChunk + 3);
                    S->Host.StatusLines.clear();
                    S->Host.OnMessages = [&](int) {
                        if (stops && CountShown(S->Host.StatusLines, 2))
                            SetRunState(RunStateValue::StopRequested);
                    };
                    RunOutcome outcome = RunOutcome::Completed;
                    AllocCompareBuffers();
                    AllPairsExact reference(options);
                    const int matches = plain ? RunPairwiseLoop(options, reference, outcome)
                                              : ExactDriver(options, outcome);
                    FreeCompareBuffers();
                    S->Host.OnMessages = nullptr;
                    BuildMatchList();
                    QFile::rename(S->Root + "gone", vanishing);
                    WriteFile(shrinking, shrinkingContent);
                    QStringList rows{QString::number(matches), QString::number(int(outcome))};
                    for (const FileEntry &entry : MatchList())
                        rows << QString::asprintf("%d %d ", entry.Record->Percent,
                                                  entry.Record->Group) +
                                    entry.Text;
                    total += matches;
                    return rows;
                };
                const QStringList expected = run(true);
                if (stops)
                    QCOMPARE(expected[1], QString::number(int(RunOutcome::Stopped)));
                QVERIFY2(run(false) == expected,
                         qPrintable(QStringLiteral("round %1, case %2").arg(round).arg(c)));
            }
        }
        QVERIFY(total > 20); // the trees do hold matches
    }

    // Files that share size and quick read are told apart by reading each
    // once; only the equal ones meet in a byte comparison.
    void manyFilesWithOneStartAreComparedOnlyWithTheirEquals() {
        const QByteArray shared(QuickChunk, 's');
        for (int k = 0; k < 30; ++k) {
            const int tail = k < 3 ? 0 : k == 20 ? 10 : k;
            S->Write(QStringLiteral("f%1").arg(k, 2, 10, QLatin1Char('0')),
                     shared + QByteArray::number(tail).rightJustified(2000, '-'));
        }
        const ChunkCounter counter;
        RunOutcome outcome{};
        QCOMPARE(ScanAndCompare(outcome), 3);
        QCOMPARE(MatchBlocks(), (Blocks{{"f00", "f01", "f02"}, {"f10", "f20"}}));
        QCOMPARE(counter.Chunks.load(), 3); // one for each file that joined a head
    }

    // The byte comparisons made ahead of the loop stop where a limited run
    // would: no more pairs are read than matches are wanted.
    void aLimitedRunReadsNoMorePairsThanItNeeds() {
        for (int k = 0; k < 10; ++k) {
            const QByteArray bytes = QByteArray::number(k).repeated(50 + k);
            S->Write(QStringLiteral("p%1a").arg(k), bytes);
            S->Write(QStringLiteral("p%1b").arg(k), bytes);
        }
        Context().Options.MaxDuplicates = 3;
        const ChunkCounter counter;
        RunOutcome outcome{};
        QCOMPARE(ScanAndCompare(outcome), 3);
        QCOMPARE(counter.Chunks.load(), 3);
    }
};

QTEST_GUILESS_MAIN(TestCompareDriver)
#include "TestCompareDriver.moc"
