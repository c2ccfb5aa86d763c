#include "search/SimilarityDriver.h"

#include "compare/ImageCompareUnit.h"
#include "search/MainPhrases.h"
#include "search/SearchRun.h"

#include "TestSupport.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {
// A photo-like picture: smooth colour ramps with some texture.
QImage Photo(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x * y) % 97 + 80));
    return image;
}

// A temporary folder the fingerprint store cannot use, undone when it goes:
// a read-only one by its mode, or, for root, by a read-only mount or one that
// is full after the first fingerprint.
struct UnusableTemp {
    QTemporaryDir Dir;
    QString Path; // empty when this machine cannot make such a folder
    bool Made = false;
    explicit UnusableTemp(const QString &kind) {
        const QByteArray folder = QFile::encodeName(Dir.path());
        if (kind == "missing")
            Path = Dir.filePath("missing");
        else if (::geteuid() == 0)
            Made = ::mount("tmpfs", folder.constData(), "tmpfs",
                           kind == "read-only" ? MS_RDONLY : 0, "size=40k") == 0;
        else if (kind == "read-only")
            Made = QFile::setPermissions(Dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        if (Made)
            Path = Dir.path();
    }
    ~UnusableTemp() {
        if (Made)
            ::umount2(QFile::encodeName(Dir.path()).constData(), MNT_DETACH);
        QFile::setPermissions(Dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};
} // namespace

class TestSimilarityDriver : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> S;

    // Scans the test folder as a search run does.
    void Scan(const SearchOptions &options) {
        Context().Options = options;
        BaseFolders folders{S->Dir.path(), QString()};
        SettleBaseFolders(folders, true);
        Context().CommonBaseFolder = folders.Folder1;
        SetRunState(RunStateValue::Running);
        ClearFileTable();
        ScanFolder(folders.Folder1);
        SortFileTable();
        S->Host.StatusLines.clear();
    }
    // Scans and compares; gives the match list as "head> member:percent ...".
    QString Search(quint8 percent, bool include100 = true, bool images = false) {
        SearchOptions options;
        options.ContentPercent = percent;
        options.ImageMode = images;
        options.MaxDuplicates = 0;
        Scan(options);
        RunOutcome outcome{};
        RunCompare(outcome, include100);
        QStringList rows;
        for (const FileEntry &entry : MatchList()) {
            const QString name = entry.Text.section(QLatin1Char('/'), -1);
            rows << name + (entry.Record->IsBlockHead
                                ? QStringLiteral(">")
                                : u':' + QString::number(entry.Record->Percent));
        }
        return rows.join(QLatin1Char(' '));
    }

    // What one walk leaves: its count, outcome, the marks of every file and the status lines.
    // With ahead, the fingerprints are made on the worker threads first; the
    // state then also holds each file's fingerprint.
    QStringList Walk(const SearchOptions &options, bool include100, bool everyPair,
                     bool ahead = false) {
        ResetImageDatabase();
        for (FileEntry &entry : FileTable()) {
            entry.Record->Group = -1;
            entry.Record->Percent = 0;
            entry.Record->Unreadable = false;
            entry.Record->ImageId = 0;
        }
        S->Host.StatusLines.clear();
        RunOutcome outcome{};
        SimilarityPairs driver(options, include100, everyPair);
        if (ahead && !driver.FingerprintAhead())
            return {QStringLiteral("stopped")};
        QStringList state{QString::number(RunPairwiseLoop(options, driver, outcome)),
                          QString::number(int(outcome))};
        for (const FileEntry &entry : FileTable())
            state << QString::asprintf("%d %d %d", entry.Record->Group, entry.Record->Percent,
                                       int(entry.Record->Unreadable))
                  << QString::fromLatin1(FingerprintData(entry.Record->ImageId).toHex());
        return state + S->Host.StatusLines;
    }

    // Pictures with copies of every kind the loop tells apart, and files that
    // give no fingerprint.
    void WritePictureTree() {
        MakeFolder(S->Root + "d0");
        MakeFolder(S->Root + "d1");
        for (int k = 0; k < 8; ++k) {
            const QImage photo = Photo(320 + 40 * (k % 3), 240 + 16 * k).mirrored(k % 2, k % 3);
            const QString stem = S->Root + QStringLiteral("d%1/p%2").arg(k % 2).arg(k);
            QVERIFY(photo.save(stem + ".png"));
            const QString other = S->Root + QStringLiteral("d%1/p%2").arg((k + 1) % 2).arg(k);
            QVERIFY(photo.save(other + "_q40.jpg", nullptr, 40));
            if (k % 2 == 0)
                QVERIFY(photo.scaled(photo.size() / 2).save(stem + "_half.bmp"));
            if (k % 3 == 0)
                QVERIFY(photo.save(stem + "_copy.png"));
        }
        S->Write("d0/broken.png", QByteArray("\x89PNG\r\n\x1a\n") + RandomData(3000, 3));
        S->Write("d1/notes.txt", RandomData(3000, 4));
    }

private slots:
    void init() { S = std::make_unique<Scratch>(); }
    void cleanup() { S.reset(); }

    void recordingNamesAndSizeRatios() {
        QVERIFY(IsMp3("music/a.mp3") && IsMp3("A.Mp3"));
        QVERIFY(!IsMp3("a.mp3.bak") && !IsMp3("mp3") && !IsMp3("a.mp3x"));
        QCOMPARE(SizeRatio(199, 1000), 0);
        QCOMPARE(SizeRatio(1000, 1200), 83);
        QCOMPARE(SizeRatio(1300, 1000), 76);
        QCOMPARE(SizeRatio(-5, 1000), 0);
    }

    void theSizeRatioDecidesBeforeAnyFileIsRead() {
        const QByteArray a = RandomData(1000, 1), tail = RandomData(300, 2);
        const QString first = S->Write("a.bin", a), second = S->Write("b.bin", a + tail.left(200));
        S->Write("c.bin", a + tail); // 1300 bytes: ratio 76 to a, 92 to b
        QCOMPARE(Search(80), QStringLiteral("a.bin> b.bin:83"));
        // Each compared pair shows its partner; a and c were never compared.
        QVERIFY(S->Host.StatusLines.contains(ComparePrefix() + QStringLiteral("b.bin")));
        QVERIFY(!S->Host.StatusLines.contains(ComparePrefix() + QStringLiteral("c.bin")));
        // A match shows two lines: percentage and head, then the partner.
        const qsizetype at = S->Host.StatusLines.indexOf(
            QStringLiteral("83% ") + GetPhrase(FileSearchPhrases(), 31) + ": " + first);
        QCOMPARE(S->Host.StatusLines.value(at + 1), QStringLiteral("            ") + second);
        QCOMPARE(Search(75), QStringLiteral("a.bin> b.bin:83 c.bin:76"));
    }

    void identicalCopiesFollowTheIncludeHundredFlag() {
        const QByteArray bytes = RandomData(20000, 7);
        S->Write("a.bin", bytes);
        S->Write("b.bin", bytes);
        // Every block is found in the copy with its twenty blocks reversed, yet
        // only a byte-identical copy scores 100.
        QByteArray reversed;
        for (int k = 19; k >= 0; --k)
            reversed += bytes.mid(k * 1000, 1000);
        S->Write("c.bin", reversed);
        QCOMPARE(Search(80, true), QStringLiteral("a.bin> b.bin:100 c.bin:99"));
        QCOMPARE(Search(80, false), QStringLiteral("a.bin> c.bin:99"));
    }

    // Whatever the method measures, a byte-identical copy scores 100, reaches
    // any percentage and is left out without the include-100 flag.
    void identicalFilesScoreHundred_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<qint64>("size");
        QTest::newRow("419 bytes") << ".bin" << qint64(419);
        QTest::newRow("10,019 bytes") << ".bin" << qint64(10019);
        QTest::newRow("300 bytes, too small for blocks") << ".bin" << qint64(300);
        QTest::newRow("recordings of 1 MiB") << ".mp3" << qint64(1048576);
        QTest::newRow("recordings below 1 MiB") << ".mp3" << qint64(600000);
        QTest::newRow("recordings above 15 MiB") << ".mp3" << qint64(16 * 1048576 + 7);
        QTest::newRow("a picture that does not decode") << ".png" << qint64(5003);
    }
    void identicalFilesScoreHundred() {
        QFETCH(QString, extension);
        QFETCH(qint64, size);
        const QByteArray bytes = RandomData(size, quint32(size));
        S->Write("a" + extension, bytes);
        S->Write("b" + extension, bytes);
        S->Write("c" + extension, RandomData(size, quint32(size) + 1));
        const QString block = "a" + extension + "> b" + extension + ":100";
        QCOMPARE(Search(99), block);
        QCOMPARE(Search(99, false), QString());
        QCOMPARE(Search(60, false), QString());
        if (extension == ".png")
            QCOMPARE(Search(95, true, true), block);
    }

    // A picture's byte-identical copy scores 100 whatever its shape; the same
    // picture in another file format agrees in every cell but is no copy.
    void pictureCopiesOfAnyShape_data() {
        QTest::addColumn<QSize>("shape");
        QTest::newRow("640 x 480") << QSize(640, 480);
        QTest::newRow("2000 x 8, one cell high") << QSize(2000, 8);
        QTest::newRow("3 x 1000, one cell wide") << QSize(3, 1000);
    }
    void pictureCopiesOfAnyShape() {
        QFETCH(QSize, shape);
        QImage picture(shape, QImage::Format_RGB32);
        for (int y = 0; y < shape.height(); ++y)
            for (int x = 0; x < shape.width(); ++x)
                picture.setPixel(x, y, qRgb(x % 256, (x * y) % 199, y % 256));
        QVERIFY(picture.save(S->Root + "a.png") && picture.save(S->Root + "c.bmp"));
        QVERIFY(QFile::copy(S->Root + "a.png", S->Root + "b.png"));
        QCOMPARE(Search(95, true, true), QStringLiteral("a.png> b.png:100 c.bmp:99"));
        QCOMPARE(Search(95, false, true), QStringLiteral("a.png> c.bmp:99"));
    }

    void recordingsAreMatchedByTheirInnerPart() {
        const qint64 mib = 1048576;
        const QByteArray smaller = RandomData(4 * mib, 8);
        const QByteArray inner = smaller.mid(51200, smaller.size() - 102400);
        S->Write("a.mp3", smaller);
        S->Write("b.mp3", RandomData(60000, 9) + inner +
                              RandomData(qint64(4.1 * mib) - 60000 - inner.size(), 10));
        QCOMPARE(Search(80), QStringLiteral("a.mp3> b.mp3:95"));
        QCOMPARE(Search(96), QString()); // and no block comparison follows
        QFile::rename(S->Dir.filePath("a.mp3"), S->Dir.filePath("a.bin"));
        QFile::rename(S->Dir.filePath("b.mp3"), S->Dir.filePath("b.bin"));
        QCOMPARE(Search(80), QStringLiteral("a.bin> b.bin:87")); // compared block by block
    }

    // The walk over the files of fitting size must give exactly what the walk
    // over every later file gives: counts, marks, sums and status lines.
    void theSizeOrderedWalkEqualsThePlainLoop_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("names");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("include100");
        QTest::newRow("80 %") << 80 << 0 << false << 0 << true;
        QTest::newRow("95 % without copies") << 95 << 0 << false << 0 << false;
        QTest::newRow("similar names, limit of 7") << 70 << 7 << true << 0 << true;
        QTest::newRow("different folders") << 60 << 0 << false << 1 << true;
    }
    void theSizeOrderedWalkEqualsThePlainLoop() {
        QFETCH(int, percent);
        QFETCH(int, limit);
        QFETCH(bool, names);
        QFETCH(int, folderMode);
        QFETCH(bool, include100);
        QRandomGenerator generator(2024);
        QList<QByteArray> originals;
        for (int k = 0; k < 30; ++k)
            originals << RandomData(qint64(std::exp2(7.0 + generator.bounded(9.0))),
                                    generator.generate());
        QStringList written;
        for (int k = 0; k < 240; ++k) {
            QByteArray bytes = originals[generator.bounded(int(originals.size()))];
            const int change = generator.bounded(5),
                      part = generator.bounded(int(bytes.size() / 3 + 1));
            if (change == 1)
                bytes[generator.bounded(int(bytes.size()))] ^= 0x5A;
            if (change == 2)
                bytes += RandomData(part, k);
            if (change == 3)
                bytes.chop(part);
            if (change == 4)
                bytes = RandomData(bytes.size(), quint32(k) + 7);
            written << S->Write(QStringLiteral("d%1/f%2_%3.bin").arg(k % 4).arg(k % 60).arg(k),
                                bytes);
        }
        SearchOptions options;
        options.ContentPercent = quint8(percent);
        options.MaxDuplicates = limit;
        options.CompareNames = names;
        options.NamePercent = 60;
        options.FolderMode = folderMode;
        Scan(options);
        for (int k = 0; k < int(written.size()); k += 9) // vanished files meet both walks
            QFile::remove(written[k]);
        const QStringList plain = Walk(options, include100, true);
        QVERIFY(plain.first().toInt() > 3);
        QCOMPARE(Walk(options, include100, false), plain);
    }

    // Fingerprints made on the worker threads are those the loop makes, and
    // the loop then finds the same blocks, percentages and status lines.
    void decodingAheadChangesNothing_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("include100");
        QTest::newRow("strict 95 %") << 95 << 0 << 0 << true;
        QTest::newRow("tolerant 70 %, no copies") << 70 << 0 << 0 << false;
        QTest::newRow("limit of 5") << 85 << 5 << 0 << true;
        QTest::newRow("different folders") << 90 << 0 << 1 << true;
    }
    void decodingAheadChangesNothing() {
        QFETCH(int, percent);
        QFETCH(int, limit);
        QFETCH(int, folderMode);
        QFETCH(bool, include100);
        WritePictureTree();
        SearchOptions options;
        options.ContentPercent = quint8(percent);
        options.ImageMode = true;
        options.MaxDuplicates = limit;
        options.FolderMode = folderMode;
        Scan(options);
        const QStringList loop = Walk(options, include100, false);
        QVERIFY(loop.first().toInt() >= 4);
        QCOMPARE(Walk(options, include100, false, true), loop);
    }

    // A stop while the pictures are decoded ends the run at once and cleanly;
    // a pause holds the decoding and loses nothing. Damaged pictures, muted
    // on several threads at once, leave standard error where it was.
    void aStopOrPauseWhileDecoding() {
        WritePictureTree();
        struct stat before {
        }, after{};
        QCOMPARE(::fstat(STDERR_FILENO, &before), 0);
        const QString complete = Search(90, true, true);
        QVERIFY(!complete.isEmpty());
        for (int k = 0; k < 6; ++k)
            S->Write(QStringLiteral("d1/broken%1.png").arg(k),
                     QByteArray("\x89PNG\r\n\x1a\n") + RandomData(3000, quint32(k)));
        const QString withBroken = Search(90, true, true);

        // The store appears with the first fingerprint a worker made.
        int pausedAt = 0;
        S->Host.OnMessages = [&](int calls) {
            if (pausedAt == 0 && !CurrentFingerprintStore().isEmpty()) {
                pausedAt = calls;
                SetRunState(RunStateValue::Paused);
            } else if (pausedAt > 0 && calls == pausedAt + 25) {
                SetRunState(RunStateValue::Running);
            }
        };
        QCOMPARE(Search(90, true, true), withBroken);
        QVERIFY(pausedAt > 0);

        SearchOptions options;
        options.ContentPercent = 90;
        options.ImageMode = true;
        Scan(options);
        S->Host.OnMessages = [](int) {
            if (!CurrentFingerprintStore().isEmpty())
                SetRunState(RunStateValue::StopRequested);
        };
        RunOutcome outcome{};
        RunCompare(outcome, true);
        QCOMPARE(outcome, RunOutcome::Stopped);
        QVERIFY(MatchList().empty());
        S->Host.OnMessages = {};
        QCOMPARE(Search(90, true, true), withBroken);
        QCOMPARE(::fstat(STDERR_FILENO, &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_dev, before.st_dev);
    }

    // A store that cannot be written keeps its fingerprints in memory: the
    // search finds what it finds with a usable temporary folder.
    void anUnusableTemporaryFolderChangesNoResult_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("read-only folder") << "read-only";
        QTest::newRow("full folder (root)") << "full";
    }
    void anUnusableTemporaryFolderChangesNoResult() {
        QFETCH(QString, kind);
        const QImage photo = Photo(640, 480);
        QVERIFY(photo.save(S->Root + "a.png") && photo.save(S->Root + "b.jpg", nullptr, 60) &&
                photo.mirrored(true, false).save(S->Root + "c.png"));
        QTemporaryDir usable;
        const QStringList arguments{"--quiet", "--images", "--percent", "90", S->Dir.path()};
        const ProgramRun normal =
            RunProgram(DUPLISCAN_CLI, arguments, {}, {"TMPDIR=" + usable.path()});
        QCOMPARE(normal.ExitCode, 0);
        QVERIFY(normal.Out.contains("b.jpg"));
        const UnusableTemp temp(kind);
        if (temp.Path.isEmpty())
            QSKIP("this machine cannot make such a folder");
        const ProgramRun broken = RunProgram(DUPLISCAN_CLI, arguments, {}, {"TMPDIR=" + temp.Path});
        QCOMPARE(broken.ExitCode, 0);
        QCOMPARE(broken.Out, normal.Out);
        QVERIFY(QDir(temp.Path).entryList(QDir::Files).isEmpty());
    }

    // Beyond what memory may hold the search stops with an error instead of
    // giving a result with pictures left out.
    void fingerprintsBeyondTheMemoryLimitStopTheSearch() {
        for (int k = 0; k < 4; ++k)
            QVERIFY(Photo(640 + 8 * k, 480).save(S->Root + QString::number(k) + ".png"));
        const QTemporaryDir missing;
        qputenv("TMPDIR", QFile::encodeName(missing.filePath("missing")));
        SetFingerprintMemoryLimit(2 * (16 + 200 * 150));
        SearchOptions options;
        options.ContentPercent = 90;
        options.ImageMode = true;
        Scan(options);
        RunOutcome outcome{};
        RunCompare(outcome, true);
        qunsetenv("TMPDIR");
        QCOMPARE(outcome, RunOutcome::Failed);
        QCOMPARE(S->Host.Errors.size(), 1);
        QVERIFY2(S->Host.Errors[0].contains(missing.filePath("missing")),
                 qPrintable(S->Host.Errors[0]));
        QVERIFY(!S->Host.StatusLines.contains(GetPhrase(MainFormPhrases(), 38)));
        QVERIFY(S->Host.Infos.isEmpty());
    }

    void theCommandLineShowsEachFilesMatch() {
        const QByteArray a = RandomData(1000, 16), tail = RandomData(300, 17);
        const QString first = S->Write("a.bin", a), second = S->Write("b.bin", a + tail.left(200));
        S->Write("c.bin", a + tail);
        const QString fourth = S->Write("d.bin", a);
        QProcess cli;
        cli.start(DUPLISCAN_CLI, {"--language", "DE", "--quiet", "--percent", "80", S->Dir.path()});
        QVERIFY(cli.waitForFinished(60000) && cli.exitCode() == 0);
        QCOMPARE(cli.readAllStandardOutput(),
                 (">\t" + first + "\n83%\t" + second + "\n100%\t" + fourth + "\n").toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestSimilarityDriver)
#include "TestSimilarityDriver.moc"
