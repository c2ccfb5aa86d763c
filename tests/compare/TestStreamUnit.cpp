#include "compare/StreamUnit.h"

#include "TestSupport.h"

#include <cmath>
#include <limits>

using namespace TestSupport;

Q_DECLARE_METATYPE(ReadResult)

class TestStreamUnit : public QObject {
    Q_OBJECT

    TempFolder Dir;

    // Opens a reader on each file and compares them by blocks.
    int Blocks(const QByteArray &first, const QByteArray &second) {
        TFileBlockReader a, b;
        UnreadableSide unreadable = NoneUnreadable;
        if (!a.Open(Dir.Write("first", first)) || !b.Open(Dir.Write("second", second)))
            qFatal("cannot open the pair");
        return CompareBlocks(a, b, unreadable);
    }

private slots:
    // The skipping searcher must find exactly what a plain search finds, on
    // random data as well as on the repeated bytes where skipping fails.
    void theBlockSearcherFindsTheFirstOccurrence_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("pattern");
        const QByteArray random = RandomData(20000, 20);
        QByteArray twice = random, zeros(50000, '\0'),
                   period = QByteArray("abcdefg").repeated(5000);
        twice.replace(12000, 400, random.mid(3000, 400));
        zeros[41000] = 1;
        period[30000] = 'x';
        QTest::newRow("random, at the end") << random << random.right(999);
        QTest::newRow("random, twice") << twice << random.mid(3000, 400);
        QTest::newRow("zeros, late") << zeros << zeros.mid(39001, 2000);
        QTest::newRow("periodic, broken") << period << period.mid(29500, 700);
        QTest::newRow("short pattern") << random << random.mid(1234, 40);
    }
    void theBlockSearcherFindsTheFirstOccurrence() {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, pattern);
        TBlockSearcher searcher;
        searcher.Prepare(pattern.constData(), qint32(pattern.size()));
        const auto find = [&](const QByteArray &in) { // -2: the plain search disagrees
            const qint32 found = searcher.Find(in.constData(), qint32(in.size()));
            const qint32 plain = FindBytes(pattern.constData(), qint32(pattern.size()),
                                           in.constData(), qint32(in.size()));
            return found == plain ? found : -2;
        };
        QCOMPARE(find(data), qint32(data.indexOf(pattern)));
        QCOMPARE(FindBytes(pattern.constData(), qint32(pattern.size()), nullptr, 3), -1);
        const QByteArray noise = RandomData(700, 23);
        for (qint32 offset = 0; offset < 700; offset += 7)
            QCOMPARE(find(noise.left(offset) + pattern + noise.mid(offset, 50)), offset);
    }

    void blockResults_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("percent");
        const QByteArray bytes = RandomData(2019, 1), other = RandomData(5000, 9);
        QTest::newRow("399 bytes cannot be judged") << bytes.left(399) << bytes.left(399) << -1;
        QTest::newRow("401 bytes: twenty blocks of 20") << bytes.left(401) << bytes.left(401) << 99;
        QTest::newRow("unrelated") << other << RandomData(5000, 8) << -1;
        // Blocks 10..19 lie beyond the first 2000 bytes of the larger file.
        QTest::newRow("sought in the smaller size")
            << bytes.left(2000) << other.left(1000) + bytes.left(2000) << 10 * 100 * 100 / 3000;
        QByteArray repeated = bytes.left(2000), changed;
        repeated.replace(100, 100, repeated.left(100)); // block 1 repeats block 0
        changed = QByteArray(repeated).replace(100, 100, RandomData(100, 5));
        QTest::newRow("a block occurring twice counts once") << repeated << changed << 95;
        QByteArray larger = RandomData(2000, 3);
        larger.replace(300, 100, other.mid(300, 100)).replace(1000, 1000, other.mid(1000, 1000));
        QTest::newRow("one hit among the first ten ends it") << other.left(2000) << larger << -1;
        larger.replace(500, 100, other.mid(500, 100));
        QTest::newRow("two hits let all twenty count")
            << other.left(2000) << larger << 12 * 100 * 100 / 2000;
    }
    void blockResults() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(int, percent);
        QCOMPARE(Blocks(first, second), percent);
        QCOMPARE(Blocks(second, first), percent);
    }

    // A file too large to hold is read in pieces, and the result must be the
    // one the comparison gives in memory: on random and on repetitive bytes,
    // with blocks sought in windows or by fingerprint, with the smaller file
    // held whole or read in pieces too, and pieces far shorter than a block.
    void piecewiseComparisonGivesTheInMemoryResult_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        const QByteArray random = RandomData(12000, 31), other = RandomData(12000, 34);
        QByteArray changed = random, reordered = random.mid(600, 600) + random.left(600);
        for (int at : {700, 5000, 5001, 9300})
            changed[at] = char(changed[at] ^ 0x21);
        reordered += random.mid(1200);
        QByteArray sparse(12000, '\0');
        for (int at : {900, 4321, 8000, 11999})
            sparse[at] = char(at | 1);
        QByteArray sparseChanged = sparse, period = QByteArray("abcdefg").repeated(1800);
        sparseChanged[8000] = 0x55;
        QByteArray periodBroken = period;
        periodBroken[6000] = 'x';
        QTest::newRow("copies") << random << random;
        QTest::newRow("changed bytes") << random << changed;
        QTest::newRow("shifted by an insertion")
            << random << random.left(5000) + RandomData(333, 32) + random.mid(5000);
        QTest::newRow("two blocks swapped") << random << reordered;
        QTest::newRow("sparse, one byte changed") << sparse << sparseChanged;
        QTest::newRow("periodic, one byte broken") << period << periodBroken;
        QTest::newRow("unrelated but two blocks") << random.left(1200) + other.mid(1200) << random;
    }
    void piecewiseComparisonGivesTheInMemoryResult() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        const int inMemory = Blocks(first, second);
        QCOMPARE(Blocks(second, first), inMemory);
        const qint64 smaller = std::min(first.size(), second.size());
        const StreamLimits variants[] = {
            {.WholeFile = 1000, .Piece = 64, .WindowBlock = 1 << 20}, // windows
            {.WholeFile = 1000, .Piece = 64, .WindowBlock = 16},      // fingerprints
            {.WholeFile = smaller, .Piece = 100, .WindowBlock = 16},  // the smaller one held
            {.WholeFile = 1000, .Piece = 4096, .WindowBlock = 16},    // a piece beyond a block
        };
        for (const StreamLimits &limits : variants) {
            SetStreamLimits(limits);
            QCOMPARE(Blocks(first, second), inMemory);
            QCOMPARE(Blocks(second, first), inMemory);
        }
        ResetStreamUnit();
    }

    // More than any reader holds, and more than 1 GiB: sparse files with real
    // bytes here and there, alike but for one byte of the last block.
    void pairsBeyondOneGibibyteAreJudged() {
        const qint64 size = (qint64(1) << 30) + 413, block = size / 20;
        const QByteArray bytes = RandomData(65536, 35);
        for (const char *name : {"large1", "large2"}) {
            QFile file(Dir.Path(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
            for (const qint64 at : {qint64(0), 7 * block + 5, size - bytes.size()})
                QVERIFY(file.seek(at) && file.write(bytes) == bytes.size());
        }
        QFile changed(Dir.Path("large2"));
        QVERIFY(changed.open(QIODevice::ReadWrite) && changed.seek(size - 1000) &&
                changed.write(QByteArray(1, char(bytes[bytes.size() - 1000] ^ 1))) == 1);
        changed.close();
        TFileBlockReader a, b;
        QVERIFY(a.Open(Dir.Path("large1")) && b.Open(Dir.Path("large2")));
        UnreadableSide unreadable = NoneUnreadable;
        QCOMPARE(CompareBlocks(a, b, unreadable),
                 int(std::trunc(double(19 * block) / double(size) * 100.0)));
        QVERIFY(QFile::remove(Dir.Path("large1")) && QFile::remove(Dir.Path("large2")));
    }

    // A stop during a long piecewise search ends it at once, as no match.
    void aStopEndsAPiecewiseSearch() {
        const QByteArray bytes = RandomData(20000, 36);
        TFileBlockReader a, b;
        QVERIFY(a.Open(Dir.Write("first", bytes)) && b.Open(Dir.Write("second", bytes)));
        SetStreamLimits({.WholeFile = 1000, .Piece = 64, .WindowBlock = 16});
        RecordingHost host;
        HostGuard guard(host);
        host.OnMessages = [](int calls) {
            if (calls == 5)
                SetRunState(RunStateValue::StopRequested);
        };
        SetRunState(RunStateValue::Running);
        UnreadableSide unreadable = NoneUnreadable;
        QCOMPARE(CompareBlocks(a, b, unreadable), -1);
        QCOMPARE(unreadable, NoneUnreadable);
        QCOMPARE(host.MessageCalls, 5);
        SetRunState(RunStateValue::Idle);
        ResetStreamUnit();
    }

    // Giving up early must never change a result that reaches the minimum, and
    // must never turn a result below it into one that does; in memory and read
    // in pieces, with sizes, pieces and fingerprint windows at random.
    void givingUpEarlyKeepsEveryResultThatCounts() {
        QRandomGenerator random(99);
        int reached = 0, missed = 0;
        for (int round = 0; round < 200; ++round) {
            const int size = 400 + random.bounded(6000);
            QByteArray base = RandomData(size, random.generate()), other = base;
            for (int c = random.bounded(8); c > 0; --c)
                other[random.bounded(size)] ^= 0x33;
            if (random.bounded(2))
                other += RandomData(random.bounded(size / 4 + 1), random.generate());
            if (random.bounded(4) == 0)
                other.prepend(RandomData(random.bounded(200), random.generate()));
            const quint8 minimum = quint8(60 + random.bounded(40));
            TFileBlockReader a, b;
            QVERIFY(a.Open(Dir.Write("first", base)) && b.Open(Dir.Write("second", other)));
            UnreadableSide side = NoneUnreadable, boundedSide = NoneUnreadable;
            const int full = CompareBlocks(a, b, side);
            if (round % 2)
                SetStreamLimits({.WholeFile = 300 + random.bounded(size),
                                 .Piece = 8 + random.bounded(700),
                                 .WindowBlock = random.bounded(2) ? 16 : 1 << 20});
            const QString where = QString::number(round);
            QVERIFY2(CompareBlocks(a, b, side) == full, qPrintable(where));
            const int bounded = CompareBlocksReaching(a, b, minimum, boundedSide);
            QCOMPARE(boundedSide, side);
            QVERIFY2(full >= minimum ? bounded == full : bounded < minimum, qPrintable(where));
            ++(full >= minimum ? reached : missed);
            ResetStreamUnit();
        }
        QVERIFY(reached > 20 && missed > 20);
    }

    // A file that shrinks between opening and reading cannot be read; the
    // side that failed is named.
    void aFileCutShortAfterOpeningIsReportedUnreadable() {
        const QByteArray large = RandomData(1000, 11);
        for (const bool cutFirst : {true, false}) {
            TFileBlockReader a, b;
            QVERIFY(a.Open(Dir.Write("first", large)) &&
                    b.Open(Dir.Write("second", large.left(800))));
            QVERIFY(QFile::resize(Dir.Path(cutFirst ? "first" : "second"), 0));
            UnreadableSide unreadable = NoneUnreadable;
            QCOMPARE(CompareBlocks(a, b, unreadable), -1);
            QCOMPARE(unreadable, cutFirst ? FirstUnreadable : SecondUnreadable);
        }
    }

    void afterReadAllRangesComeFromMemory() {
        const QString path = Dir.Write("all", "0123456789abcdefghij");
        TFileBlockReader reader;
        QVERIFY(reader.Open(path));
        QCOMPARE(reader.ReadAll(), ReadResult::Ok);
        QVERIFY(!reader.HandleOpen);
        // Changed and then removed on disk: the reader keeps what it holds,
        // also when opened again on the same name.
        Dir.Write("all", "changed and longer than before");
        QVERIFY(QFile::remove(path) && reader.Open(path));
        QCOMPARE(reader.Size, qint64(20));
        const char *block = nullptr;
        QCOMPARE(reader.ReadBlock(4, block, 16), ReadResult::Ok);
        QCOMPARE(QByteArray(block, 4), QByteArray("ghij"));
        QCOMPARE(reader.ReadBlock(2, block, 19), ReadResult::OutOfRange);
        QCOMPARE(block, nullptr);
        // A missing name, a folder or a FIFO leaves nothing open.
        QVERIFY(MakeFifo(Dir.Path("fifo")));
        for (const QString &name : {Dir.Path("missing"), Dir.path(), Dir.Path("fifo")}) {
            QVERIFY(!reader.Open(name));
            QVERIFY(!reader.Opened && !reader.HandleOpen && reader.FileName.isEmpty());
        }
        QCOMPARE(reader.EnsureBuffered(0, 1), ReadResult::OutOfRange);
    }

    void ranges_data() {
        QTest::addColumn<qint64>("position");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<ReadResult>("result");
        const qint64 max = std::numeric_limits<qint64>::max();
        QTest::newRow("last byte") << qint64(19) << qint64(1) << ReadResult::Ok;
        QTest::newRow("one byte past the end") << qint64(19) << qint64(2) << ReadResult::OutOfRange;
        QTest::newRow("count 0 at the end") << qint64(20) << qint64(0) << ReadResult::Ok;
        QTest::newRow("negative position") << qint64(-1) << qint64(1) << ReadResult::OutOfRange;
        QTest::newRow("count near the largest value") << qint64(1) << max << ReadResult::OutOfRange;
    }
    void ranges() {
        QFETCH(qint64, position);
        QFETCH(qint64, count);
        QFETCH(ReadResult, result);
        TFileBlockReader reader;
        QVERIFY(reader.Open(Dir.Write("range", "0123456789abcdefghij")));
        QCOMPARE(reader.EnsureBuffered(position, count), result);
        QVERIFY(count != 0 || (!reader.HasBuffer && !reader.Buffer));
        // A file cut short after opening fails to read and keeps no buffer.
        QVERIFY(QFile::resize(Dir.Path("range"), 10));
        QCOMPARE(reader.EnsureBuffered(0, 15), ReadResult::ReadFailed);
        QVERIFY(!reader.HasBuffer && !reader.Buffer);
    }

    void largeFilesKeepTheirTrueSizeButAreNotBuffered() {
        const qint64 size = (qint64(1) << 32) + 10; // must not wrap to its low 32 bits
        TFileBlockReader reader;
        QVERIFY(QFile::resize(Dir.Write("huge", {}), size) && reader.Open(Dir.Path("huge")));
        QCOMPARE(reader.Size, size);
        QCOMPARE(reader.ReadAll(), ReadResult::TooLarge);
        QVERIFY(!reader.HasBuffer);
        QCOMPARE(reader.EnsureBuffered(size - 10, 10), ReadResult::Ok);
        QVERIFY(QFile::resize(Dir.Path("huge"), TFileBlockReader::MaxBufferedBytes + 1));
        QVERIFY(reader.Open(Dir.Path("huge")));
        QCOMPARE(reader.ReadAll(), ReadResult::TooLarge);
        reader.Close();
        QVERIFY(!reader.HasBuffer && !reader.Opened && reader.FileName.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStreamUnit)
#include "TestStreamUnit.moc"
