#include "search/SimilarityDriver.h"

#include "compare/FilterUnit.h"
#include "search/MainPhrases.h"
#include "search/SearchHost.h"
#include "search/SearchRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <vector>

namespace {
QByteArray RandomBytes(qint64 count, quint32 seed) {
    QRandomGenerator generator(seed);
    std::vector<quint32> words(std::size_t(count + 3) / 4);
    generator.fillRange(words.data(), qsizetype(words.size()));
    QByteArray bytes(count, Qt::Uninitialized);
    std::memcpy(bytes.data(), words.data(), std::size_t(count));
    return bytes;
}

class RecordingHost : public SearchHost {
public:
    void AddStatusLine(const QString &text) override { Lines << text; }
    int StatusLineCount() const override { return int(Lines.size()); }
    void SetStatusLine(int index, const QString &text) override {
        while (Lines.size() <= index)
            Lines << QString();
        Lines[index] = text;
    }
    QStringList Lines;
};

// What a driver leaves in the table, to compare two runs.
struct TableState {
    int Matches = 0;
    quint8 Outcome = 0;
    QList<qint32> Groups;
    QList<int> Percents;
    QList<quint32> Sums;
    QStringList Lines;
};
} // namespace

class TestSimilarityDriver : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    RecordingHost Recorder;

    QString Write(const QString &name, const QByteArray &bytes) const {
        const QString path = Dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Scans the test folder with the given options, as a search run does.
    void Scan(const SearchOptions &options) {
        Context().Options = options;
        BaseFolders folders{Dir.path(), QString()};
        QCOMPARE(SettleBaseFolders(folders, true), SettleProblem::None);
        BeginRun(folders);
        ScanBaseFolders(folders);
        FinishScan();
        SortFileTable();
        Recorder.Lines.clear();
    }

    // The match list as "head> member:percent ..." with " | " between blocks.
    static QString Blocks() {
        QStringList rows;
        for (const FileEntry &entry : MatchList()) {
            const QString name = entry.Text.section(QLatin1Char('/'), -1);
            if (entry.Record->IsBlockHead)
                rows << (rows.isEmpty() ? QString() : QStringLiteral("| ")) + name + u'>';
            else
                rows << name + u':' + QString::number(entry.Record->Percent);
        }
        return rows.join(QLatin1Char(' '));
    }

    QString Search(quint8 percent, bool include100 = true, bool imageMode = false) {
        SearchOptions options;
        options.ContentPercent = percent;
        options.ImageMode = imageMode;
        options.MaxDuplicates = 0;
        Scan(options);
        quint8 outcome = 0;
        RunCompare(outcome, include100);
        return Blocks();
    }

    static qint32 RecordOf(const QString &name, quint32 *sum = nullptr) {
        for (const FileEntry &entry : FileTable())
            if (entry.Text.endsWith(name)) {
                if (sum)
                    *sum = entry.Record->QuickSum;
                return entry.Record->Group;
            }
        qFatal("no entry %s", qPrintable(name));
    }

    static TableState Walk(const SearchOptions &options, bool include100, bool everyPair,
                           RecordingHost &host) {
        for (FileEntry &entry : FileTable()) {
            entry.Record->Group = -1;
            entry.Record->Percent = 0;
            entry.Record->QuickSum = 0;
        }
        host.Lines.clear();
        TableState state;
        {
            SimilarityPairs driver(options, include100, everyPair);
            state.Matches = RunPairwiseLoop(options, driver, state.Outcome);
        }
        for (const FileEntry &entry : FileTable()) {
            state.Groups << entry.Record->Group;
            state.Percents << entry.Record->Percent;
            state.Sums << entry.Record->QuickSum;
        }
        state.Lines = host.Lines;
        return state;
    }

private slots:
    void init() {
        ResetSearchContext();
        ResetFilter();
        ClearFileTable();
        ClearMatchList();
        SetHost(&Recorder);
        QDir(Dir.path()).removeRecursively();
        QDir().mkpath(Dir.path());
    }

    void cleanup() { SetHost(nullptr); }

    void isMp3_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("mp3");
        QTest::newRow("lower case") << "music/a.mp3" << true;
        QTest::newRow("upper case") << "A.MP3" << true;
        QTest::newRow("mixed case") << "a.Mp3" << true;
        QTest::newRow("last dot decides") << "a.mp3.bak" << false;
        QTest::newRow("no dot") << "mp3" << false;
        QTest::newRow("longer extension") << "a.mp3x" << false;
        QTest::newRow("other sound") << "a.wav" << false;
    }

    void isMp3() {
        QFETCH(QString, text);
        QFETCH(bool, mp3);
        QCOMPARE(IsMp3(text), mp3);
    }

    void sizeRatio_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("ratio");
        QTest::newRow("199 and 1000") << 199 << 1000 << 0;
        QTest::newRow("200 and 200") << 200 << 200 << 100;
        QTest::newRow("500 and 1000") << 500 << 1000 << 50;
        QTest::newRow("1000 and 1000") << 1000 << 1000 << 100;
        QTest::newRow("1000 and 1200") << 1000 << 1200 << 83;
        QTest::newRow("1300 and 1000") << 1300 << 1000 << 76;
        QTest::newRow("negative size") << -5 << 1000 << 0;
    }

    void sizeRatio() {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(int, ratio);
        QCOMPARE(SizeRatio(first, second), ratio);
    }

    void theSizeRatioDecidesBeforeAnyFileIsRead() {
        const QByteArray a = RandomBytes(1000, 1), tail = RandomBytes(300, 2);
        Write("a.bin", a);
        Write("b.bin", a + tail.left(200)); // 1200 bytes: ratio 83
        Write("c.bin", a + tail);           // 1300 bytes: ratio 76 to a, 92 to b
        QCOMPARE(Search(80), QStringLiteral("a.bin> b.bin:83"));
        // Each compared pair shows its partner; a and c were never compared.
        const QString prefix = ComparePrefix();
        QVERIFY(Recorder.Lines.contains(prefix + QStringLiteral("b.bin")));
        QVERIFY(!Recorder.Lines.contains(prefix + QStringLiteral("c.bin")));
        QCOMPARE(Search(75), QStringLiteral("a.bin> b.bin:83 c.bin:76"));
    }

    void eachMatchShowsTwoStatusLines() {
        const QByteArray a = RandomBytes(1000, 3);
        const QString first = Write("a.bin", a), second = Write("b.bin", a + RandomBytes(200, 4));
        Search(80);
        const QString match = GetPhrase(FileSearchPhrases(), 31);
        const qsizetype at = Recorder.Lines.indexOf(QStringLiteral("83% ") + match + ": " + first);
        QVERIFY(at >= 0);
        QCOMPARE(Recorder.Lines.value(at + 1), QStringLiteral("            ") + second);
    }

    void smallFilesNeverMatchByContents() {
        const QByteArray tiny = RandomBytes(150, 5), small = RandomBytes(300, 6);
        Write("a.bin", tiny);
        Write("b.bin", tiny);
        Write("c.bin", small);
        Write("d.bin", small);
        QCOMPARE(Search(60), QString());
    }

    void identicalCopiesFollowTheIncludeHundredFlag() {
        const QByteArray bytes = RandomBytes(2000, 7);
        Write("a.bin", bytes);
        Write("b.bin", bytes);
        // Same blocks in another order score 100 without being a copy.
        Write("c.bin", bytes.mid(100, 100) + bytes.left(100) + bytes.mid(200));
        QCOMPARE(Search(80, true), QStringLiteral("a.bin> b.bin:100 c.bin:100"));
        QCOMPARE(Search(80, false), QStringLiteral("a.bin> c.bin:100"));
    }

    void recordingsAreMatchedByTheirInnerPart() {
        const qint64 mib = 1048576;
        const QByteArray smaller = RandomBytes(4 * mib, 8);
        const QByteArray inner = smaller.mid(51200, smaller.size() - 102400);
        const QByteArray larger = RandomBytes(60000, 9) + inner +
                                  RandomBytes(qint64(4.1 * mib) - 60000 - inner.size(), 10);
        Write("a.mp3", smaller);
        Write("b.mp3", larger);
        QCOMPARE(Search(80), QStringLiteral("a.mp3> b.mp3:95"));
        // 95 cannot reach 96, and no block comparison follows.
        QCOMPARE(Search(96), QString());
        // The same files under other names are compared block by block.
        QFile::rename(Dir.filePath("a.mp3"), Dir.filePath("a.bin"));
        QFile::rename(Dir.filePath("b.mp3"), Dir.filePath("b.bin"));
        // Blocks 1..18 of the smaller file lie inside the shared part.
        QCOMPARE(Search(80), QStringLiteral("a.bin> b.bin:87"));
    }

    // Two recordings that share their first bytes: inside 1 MiB..15 MiB the
    // inner part decides; outside it no comparison follows at all.
    void recordingsAreJudgedOnlyInsideTheirSizeRange_data() {
        QTest::addColumn<qint64>("firstSize");
        QTest::addColumn<qint64>("secondSize");
        QTest::addColumn<QString>("blocks");
        const qint64 kib = 1024, mib = 1048576;
        QTest::newRow("900 KiB") << 900 * kib << 900 * kib << QString();
        QTest::newRow("exactly 1 MiB") << mib << mib << "a.mp3> b.mp3:90";
        QTest::newRow("exactly 15 MiB") << 15 * mib << 15 * mib << "a.mp3> b.mp3:99";
        QTest::newRow("15 MiB and one byte") << 15 * mib << 15 * mib + 1 << QString();
    }

    void recordingsAreJudgedOnlyInsideTheirSizeRange() {
        QFETCH(qint64, firstSize);
        QFETCH(qint64, secondSize);
        QFETCH(QString, blocks);
        const QByteArray bytes = RandomBytes(std::max(firstSize, secondSize), 11);
        Write("a.mp3", bytes.left(firstSize));
        Write("b.mp3", bytes.left(secondSize));
        QCOMPARE(Search(80), blocks);
    }

    void otherFilesOfRecordingSizeAreComparedByBlocks() {
        const QByteArray small = RandomBytes(900 * 1024, 11);
        Write("a.mp3", small);
        Write("b.bin", small);
        QCOMPARE(Search(80), QStringLiteral("a.mp3> b.bin:100"));
    }

    void aRecordingWhoseInnerPartDiffersIsComparedByBlocks() {
        const QByteArray bytes = RandomBytes(2 * 1048576, 13);
        QByteArray changed = bytes;
        changed[1048576] = char(~changed[1048576]);
        Write("a.mp3", bytes);
        Write("b.mp3", changed);
        // Nineteen of twenty blocks of 104857 bytes occur.
        QCOMPARE(Search(80), QStringLiteral("a.mp3> b.mp3:94"));
    }

    void filesThatVanishAfterTheScanAreMarkedUnreadable_data() {
        QTest::addColumn<QString>("gone");
        QTest::addColumn<bool>("asFolder");
        QTest::addColumn<QString>("blocks");
        QTest::newRow("head deleted") << "a.bin" << false << "b.bin> c.bin:100";
        QTest::newRow("partner deleted") << "b.bin" << false << "a.bin> c.bin:100";
        QTest::newRow("head now a folder") << "a.bin" << true << "b.bin> c.bin:100";
        QTest::newRow("partner now a folder") << "b.bin" << true << "a.bin> c.bin:100";
    }

    void filesThatVanishAfterTheScanAreMarkedUnreadable() {
        QFETCH(QString, gone);
        QFETCH(bool, asFolder);
        QFETCH(QString, blocks);
        const QByteArray bytes = RandomBytes(4000, 14);
        for (const char *name : {"a.bin", "b.bin", "c.bin"})
            Write(QString::fromLatin1(name), bytes);
        SearchOptions options;
        options.ContentPercent = 80;
        options.MaxDuplicates = 0;
        Scan(options);
        QVERIFY(QFile::remove(Dir.filePath(gone)));
        if (asFolder)
            QVERIFY(QDir().mkdir(Dir.filePath(gone)));
        quint8 outcome = 0;
        QCOMPARE(SimilarityDriver(options, true, outcome), 1);
        QCOMPARE(outcome, quint8(Completed));
        quint32 sum = 0;
        QCOMPARE(RecordOf(gone, &sum), -1);
        QCOMPARE(sum, UnreadableSum);
        BuildMatchList();
        QCOMPARE(Blocks(), blocks);
    }

    void aStopDuringTheComparisonKeepsTheBlocksFoundSoFar() {
        const QByteArray bytes = RandomBytes(2000, 18);
        for (const char *name : {"a.bin", "b.bin", "c.bin", "d.bin", "e.bin"})
            Write(QString::fromLatin1(name), bytes);
        struct StoppingHost : RecordingHost {
            void AddStatusLine(const QString &text) override {
                RecordingHost::AddStatusLine(text);
                if (text == ComparePrefix() + QStringLiteral("d.bin"))
                    Context().RunState = StopRequested;
            }
        } host;
        SetHost(&host);
        SearchOptions options;
        options.ContentPercent = 80;
        options.MaxDuplicates = 0;
        Scan(options);
        quint8 outcome = 0;
        QCOMPARE(RunCompare(outcome, true), 2);
        QCOMPARE(outcome, quint8(Stopped));
        QCOMPARE(Blocks(), QStringLiteral("a.bin> b.bin:100 c.bin:100"));
    }

    void imageModeComparesPairsOfAnySize() {
        const QByteArray tiny = RandomBytes(150, 15);
        Write("a.png", tiny);
        Write("b.png", tiny + tiny + tiny);
        SetImagePreset();
        // Pictures that give no fingerprint fall back to their contents,
        // which are too small to judge.
        QCOMPARE(Search(80, true, true), QString());
        QVERIFY(Recorder.Lines.contains(ComparePrefix() + QStringLiteral("b.png")));
        QCOMPARE(Search(80, true, false), QString());
        QVERIFY(!Recorder.Lines.contains(ComparePrefix() + QStringLiteral("b.png")));
    }

    // The walk over the files of fitting size must give exactly what the walk
    // over every later file gives: blocks, percentages, marks and status lines.
    void theSizeOrderedWalkEqualsThePlainLoop_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("maxDuplicates");
        QTest::addColumn<bool>("names");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("include100");
        QTest::addColumn<bool>("vanish");
        QTest::newRow("80 %") << 80 << 0 << false << 0 << true << false;
        QTest::newRow("60 %") << 60 << 0 << false << 0 << true << false;
        QTest::newRow("95 % without copies") << 95 << 0 << false << 0 << false << false;
        QTest::newRow("limit of 7") << 70 << 7 << false << 0 << true << false;
        QTest::newRow("similar names") << 70 << 0 << true << 0 << true << false;
        QTest::newRow("different folders") << 80 << 0 << false << 1 << true << false;
        QTest::newRow("vanished files") << 80 << 0 << false << 0 << true << true;
    }

    void theSizeOrderedWalkEqualsThePlainLoop() {
        QFETCH(int, percent);
        QFETCH(int, maxDuplicates);
        QFETCH(bool, names);
        QFETCH(int, folderMode);
        QFETCH(bool, include100);
        QFETCH(bool, vanish);
        QRandomGenerator generator(2024);
        QList<QByteArray> originals;
        for (int k = 0; k < 30; ++k) {
            const qint64 size = qint64(std::exp2(7.0 + generator.bounded(9.0)));
            originals << RandomBytes(size, generator.generate());
        }
        QStringList written;
        for (int k = 0; k < 240; ++k) {
            QByteArray bytes = originals[generator.bounded(int(originals.size()))];
            switch (generator.bounded(5)) {
            case 0: // exact copy
                break;
            case 1: // a few changed blocks
                for (int c = 0; c < 3 && !bytes.isEmpty(); ++c)
                    bytes[generator.bounded(int(bytes.size()))] ^= 0x5A;
                break;
            case 2: // grown at the end
                bytes += RandomBytes(generator.bounded(int(bytes.size() / 3 + 1)), k);
                break;
            case 3: // cut at the end
                bytes.chop(generator.bounded(int(bytes.size() / 3 + 1)));
                break;
            default: // unrelated
                bytes = RandomBytes(bytes.size(), quint32(k) + 7);
            }
            written << Write(QStringLiteral("d%1/f%2_%3.bin").arg(k % 4).arg(k % 60).arg(k), bytes);
        }
        SearchOptions options;
        options.ContentPercent = quint8(percent);
        options.MaxDuplicates = maxDuplicates;
        options.CompareNames = names;
        options.NamePercent = 60;
        options.FolderMode = folderMode;
        Scan(options);
        if (vanish)
            for (int k = 0; k < int(written.size()); k += 9)
                QFile::remove(written[k]);

        const TableState plain = Walk(options, include100, true, Recorder);
        const TableState ordered = Walk(options, include100, false, Recorder);
        QVERIFY(plain.Matches > 3);
        QCOMPARE(ordered.Matches, plain.Matches);
        QCOMPARE(ordered.Outcome, plain.Outcome);
        QCOMPARE(ordered.Groups, plain.Groups);
        QCOMPARE(ordered.Percents, plain.Percents);
        QCOMPARE(ordered.Sums, plain.Sums);
        QCOMPARE(ordered.Lines, plain.Lines);
    }

    void theCommandLineShowsEachFilesMatch() {
        const QByteArray a = RandomBytes(1000, 16), tail = RandomBytes(300, 17);
        const QString first = Write("a.bin", a), second = Write("b.bin", a + tail.left(200));
        Write("c.bin", a + tail);
        const QString fourth = Write("d.bin", a);
        auto run = [](const QStringList &arguments, QByteArray *errors = nullptr) {
            QProcess cli;
            cli.start(QStringLiteral(DUPLISCAN_CLI), QStringList{"--language", "DE"} + arguments);
            if (!cli.waitForFinished(60000))
                qFatal("dupliscan-cli did not finish");
            if (errors)
                *errors = cli.readAllStandardError();
            return std::make_pair(cli.exitCode(), cli.readAllStandardOutput());
        };
        const QString folder = Dir.path();
        auto [code, out] = run({"--quiet", "--percent", "80", folder});
        QCOMPARE(code, 0);
        QCOMPARE(out, (">\t" + first + "\n83%\t" + second + "\n100%\t" + fourth + "\n").toUtf8());

        std::tie(code, out) = run({"--quiet", "--percent", "80", "--no-incl100", folder});
        QCOMPARE(code, 0);
        QCOMPARE(out, (">\t" + first + "\n83%\t" + second + "\n").toUtf8());

        QByteArray errors;
        std::tie(code, out) = run({"--images", folder}, &errors);
        QCOMPARE(code, 2);
        QVERIFY(out.isEmpty());
        QVERIFY(errors.contains(GetPhrase(MainFormPhrases(), 39).replace('\n', ' ').toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestSimilarityDriver)
#include "TestSimilarityDriver.moc"
