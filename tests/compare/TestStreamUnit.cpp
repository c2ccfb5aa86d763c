#include "compare/StreamUnit.h"

#include "TestSupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <vector>

#include <unistd.h>

Q_DECLARE_METATYPE(TAreaArray)

using namespace TestSupport;

namespace {
QByteArray RandomBytes(qint64 count, quint32 seed) {
    QRandomGenerator generator(seed);
    std::vector<quint32> words(std::size_t(count + 3) / 4);
    generator.fillRange(words.data(), qsizetype(words.size()));
    QByteArray bytes(count, Qt::Uninitialized);
    std::memcpy(bytes.data(), words.data(), std::size_t(count));
    return bytes;
}

QString AreasText(const TAreaArray &areas) {
    QStringList parts;
    for (const TArea &area : areas)
        parts << QStringLiteral("%1+%2").arg(area.Start).arg(area.Length);
    return parts.join(QLatin1Char(' '));
}
} // namespace

class TestStreamUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

    QString Write(const QString &name, const QByteArray &bytes) const {
        const QString path = Dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Opens a reader on each file and compares them by blocks.
    int Blocks(const QByteArray &first, const QByteArray &second, UnreadableSide *side = nullptr) {
        TFileBlockReader a, b;
        if (!a.Open(Write("first", first)) || !b.Open(Write("second", second)))
            qFatal("cannot open the pair");
        UnreadableSide unreadable = NoneUnreadable;
        const int percent = CompareBlocks(a, b, unreadable);
        if (side)
            *side = unreadable;
        return percent;
    }

    QString Sparse(const QString &name, qint64 size) const {
        const QString path = Dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            qFatal("cannot make %s", qPrintable(path));
        return path;
    }
    static QByteArray Digits() { return QByteArray("0123456789abcdefghij"); }

private slots:
    void findBytes_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("offset");
        QTest::newRow("at the start") << QByteArray("abcd") << QByteArray("abcdxyz") << 0;
        QTest::newRow("at the very end") << QByteArray("xyz1") << QByteArray("abcdxyz1") << 4;
        QTest::newRow("first of two") << QByteArray("ab") << QByteArray("xxabyyab") << 2;
        QTest::newRow("overlapping start") << QByteArray("aaab") << QByteArray("aaaaaab") << 3;
        QTest::newRow("not there") << QByteArray("abce") << QByteArray("abcdabcd") << -1;
        QTest::newRow("data shorter") << QByteArray("longer") << QByteArray("long") << -1;
        QTest::newRow("zero bytes inside")
            << QByteArray("\0\0\1", 3) << QByteArray("\0\0\0\0\1\0", 6) << 2;
    }

    void findBytes() {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, data);
        QFETCH(int, offset);
        QCOMPARE(FindBytes(pattern.constData(), qint32(pattern.size()), data.constData(),
                           qint32(data.size())),
                 offset);
    }

    void findBytesRefusesEmptyAndMissingInput() {
        const char data[] = "abc";
        QCOMPARE(FindBytes(nullptr, 1, data, 3), -1);
        QCOMPARE(FindBytes(data, 1, nullptr, 3), -1);
        QCOMPARE(FindBytes(data, 0, data, 3), -1);
        QCOMPARE(FindBytes(data, 1, data, 0), -1);
        QCOMPARE(FindBytes(data, -1, data, 3), -1);
    }

    // The skipping searcher must find exactly the first occurrence, on random
    // data as well as on the repeated bytes where skipping fails.
    void theBlockSearcherFindsTheFirstOccurrence_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("pattern");
        const QByteArray random = RandomBytes(20000, 20);
        QTest::newRow("random, inside") << random << random.mid(7001, 300);
        QTest::newRow("random, at the start") << random << random.left(1000);
        QTest::newRow("random, at the end") << random << random.right(999);
        QTest::newRow("random, absent") << random << RandomBytes(500, 21);
        QByteArray twice = random;
        twice.replace(12000, 400, random.mid(3000, 400));
        QTest::newRow("random, twice") << twice << random.mid(3000, 400);
        QByteArray zeros(50000, '\0');
        QByteArray zerosThenOne(2000, '\0');
        zerosThenOne[1999] = 1;
        QTest::newRow("zeros, absent") << zeros << zerosThenOne;
        zeros[41000] = 1;
        QTest::newRow("zeros, late") << zeros << zerosThenOne;
        QByteArray period = QByteArray("abcdefg").repeated(5000);
        QTest::newRow("periodic") << period << period.mid(3, 700);
        period[30000] = 'x';
        QTest::newRow("periodic, broken") << period << period.mid(29500, 700);
        QTest::newRow("short pattern") << random << random.mid(1234, 40);
    }

    void theBlockSearcherFindsTheFirstOccurrence() {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, pattern);
        TBlockSearcher searcher;
        searcher.Prepare(pattern.constData(), qint32(pattern.size()));
        const qint32 expected = qint32(data.indexOf(pattern));
        QCOMPARE(searcher.Find(data.constData(), qint32(data.size())), expected);
        QCOMPARE(FindBytes(pattern.constData(), qint32(pattern.size()), data.constData(),
                           qint32(data.size())),
                 expected);
        // Searching from a later start, as the areas do.
        const qint32 from = expected > 0 ? expected : qint32(data.size() / 2);
        QCOMPARE(searcher.Find(data.constData() + from, qint32(data.size() - from)),
                 qint32(data.mid(from).indexOf(pattern)));
    }

    void theBlockSearcherFindsABlockAtEveryOffset() {
        const QByteArray pattern = RandomBytes(300, 22), noise = RandomBytes(2000, 23);
        TBlockSearcher searcher;
        searcher.Prepare(pattern.constData(), qint32(pattern.size()));
        for (qint32 offset = 0; offset < 1500; ++offset) {
            const QByteArray data = noise.left(offset) + pattern + noise.mid(offset, 50);
            QCOMPARE(searcher.Find(data.constData(), qint32(data.size())), offset);
        }
    }

    void splitArea_data() {
        QTest::addColumn<TAreaArray>("areas");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("block");
        QTest::addColumn<QString>("after");
        QTest::newRow("in the middle") << TAreaArray{{0, 100}} << 0 << 10 << 20 << "0+10 30+70";
        QTest::newRow("at the start") << TAreaArray{{0, 100}} << 0 << 0 << 20 << "20+80";
        QTest::newRow("at the end leaves an empty area")
            << TAreaArray{{0, 100}} << 0 << 80 << 20 << "0+80 100+0";
        QTest::newRow("start of the first of two")
            << TAreaArray{{0, 50}, {60, 40}} << 0 << 0 << 50 << "50+0 60+40";
        QTest::newRow("inside the second")
            << TAreaArray{{0, 50}, {60, 40}} << 1 << 5 << 10 << "0+50 60+5 75+25";
    }

    void splitArea() {
        QFETCH(TAreaArray, areas);
        QFETCH(int, index);
        QFETCH(int, offset);
        QFETCH(int, block);
        QFETCH(QString, after);
        SplitArea(areas, index, offset, block);
        QCOMPARE(AreasText(areas), after);
    }

    void identicalFilesScoreByTheirTwentyBlocks_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("percent");
        QTest::newRow("399 bytes cannot be judged") << 399 << -1;
        QTest::newRow("400 bytes") << 400 << 100;
        // Twenty blocks of 20 bytes cover 400 of 401 bytes.
        QTest::newRow("401 bytes") << 401 << 99;
        QTest::newRow("2000 bytes") << 2000 << 100;
        QTest::newRow("2019 bytes") << 2019 << 99;
    }

    void identicalFilesScoreByTheirTwentyBlocks() {
        QFETCH(int, size);
        QFETCH(int, percent);
        const QByteArray bytes = RandomBytes(size, 1);
        QCOMPARE(Blocks(bytes, bytes), percent);
    }

    void fewHitsAmongTheFirstTenBlocksEndTheComparison() {
        const QByteArray smaller = RandomBytes(2000, 2);
        // Only block 3 of the first ten, but all of the last ten, occur.
        QByteArray larger = RandomBytes(2000, 3);
        larger.replace(300, 100, smaller.mid(300, 100));
        larger.replace(1000, 1000, smaller.mid(1000));
        QCOMPARE(Blocks(smaller, larger), -1);
        // A second hit among the first ten lets all twenty count.
        larger.replace(500, 100, smaller.mid(500, 100));
        QCOMPARE(Blocks(smaller, larger), 12 * 100 * 100 / 2000);
    }

    void matchedBytesCountForOneBlockOnly() {
        QByteArray smaller = RandomBytes(2000, 4);
        smaller.replace(100, 100, smaller.left(100)); // block 1 repeats block 0
        QByteArray larger = smaller;
        larger.replace(100, 100, RandomBytes(100, 5));
        // Block 1 would match where block 0 did, but those bytes are taken.
        QCOMPARE(Blocks(smaller, larger), 95);
    }

    void blocksAreSoughtOnlyInTheSmallerSizeOfTheLargerFile() {
        const QByteArray smaller = RandomBytes(2000, 6);
        const QByteArray larger = RandomBytes(1000, 7) + smaller;
        // Blocks 10..19 now lie beyond the first 2000 bytes of the larger file.
        QCOMPARE(Blocks(smaller, larger), 10 * 100 * 100 / 3000);
        QCOMPARE(Blocks(larger, smaller), 10 * 100 * 100 / 3000);
    }

    // Giving up early must never change a result that reaches the minimum, and
    // must never turn a result below it into one that does.
    void givingUpEarlyKeepsEveryResultThatCounts() {
        QRandomGenerator generator(99);
        int reached = 0, missed = 0;
        for (int round = 0; round < 300; ++round) {
            const qint64 size = 400 + generator.bounded(6000);
            const QByteArray base = RandomBytes(size, generator.generate());
            QByteArray other = base;
            const int changes = generator.bounded(8);
            for (int c = 0; c < changes; ++c)
                other[generator.bounded(int(other.size()))] ^= 0x33;
            if (generator.bounded(2))
                other += RandomBytes(generator.bounded(int(size / 4) + 1), generator.generate());
            if (generator.bounded(4) == 0)
                other.prepend(RandomBytes(generator.bounded(200), generator.generate()));
            const quint8 minimum = quint8(60 + generator.bounded(40));
            TFileBlockReader a, b;
            QVERIFY(a.Open(Write("first", base)));
            QVERIFY(b.Open(Write("second", other)));
            UnreadableSide side = NoneUnreadable, boundedSide = NoneUnreadable;
            const int full = CompareBlocks(a, b, side);
            const int bounded = CompareBlocksReaching(a, b, minimum, boundedSide);
            QCOMPARE(boundedSide, side);
            if (full >= minimum) {
                QCOMPARE(bounded, full);
                ++reached;
            } else {
                QVERIFY2(bounded < minimum, qPrintable(QString::number(round)));
                ++missed;
            }
        }
        QVERIFY(reached > 20);
        QVERIFY(missed > 20);
    }

    void unrelatedOrOverlargeFilesCannotBeJudged() {
        QCOMPARE(Blocks(RandomBytes(5000, 8), RandomBytes(5000, 9)), -1);
        QCOMPARE(Blocks(RandomBytes(399, 8), RandomBytes(5000, 9)), -1);
    }

    void bothFilesStayBuffered() {
        const QByteArray bytes = RandomBytes(3000, 10);
        TFileBlockReader a, b;
        QVERIFY(a.Open(Write("first", bytes)));
        QVERIFY(b.Open(Write("second", bytes.left(2500))));
        UnreadableSide side = NoneUnreadable;
        QCOMPARE(CompareBlocks(a, b, side), 20 * 125 * 100 / 3000);
        QVERIFY(a.HoldsWholeFile());
        QVERIFY(b.HoldsWholeFile());
        QVERIFY(!a.HandleOpen);
    }

    // A file that shrinks between opening and reading cannot be read; the
    // side that failed is named.
    void aFileCutShortAfterOpeningIsReportedUnreadable_data() {
        QTest::addColumn<bool>("cutFirst");
        QTest::addColumn<bool>("firstIsLarger");
        QTest::addColumn<int>("side");
        QTest::newRow("larger first") << true << true << int(FirstUnreadable);
        QTest::newRow("larger second") << false << false << int(SecondUnreadable);
        QTest::newRow("smaller first") << true << false << int(FirstUnreadable);
        QTest::newRow("smaller second") << false << true << int(SecondUnreadable);
    }

    void aFileCutShortAfterOpeningIsReportedUnreadable() {
        QFETCH(bool, cutFirst);
        QFETCH(bool, firstIsLarger);
        QFETCH(int, side);
        const QByteArray large = RandomBytes(1000, 11), small = large.left(800);
        const QString first = Write("first", firstIsLarger ? large : small);
        const QString second = Write("second", firstIsLarger ? small : large);
        TFileBlockReader a, b;
        QVERIFY(a.Open(first));
        QVERIFY(b.Open(second));
        QVERIFY(::truncate(QFile::encodeName(cutFirst ? first : second).constData(), 0) == 0);
        UnreadableSide unreadable = NoneUnreadable;
        QCOMPARE(CompareBlocks(a, b, unreadable), -1);
        QCOMPARE(int(unreadable), side);
    }

    void aRecordingCutShortIsReportedUnreadable() {
        const QByteArray bytes = RandomBytes(2 * 1048576, 16);
        const QString first = Write("first.mp3", bytes), second = Write("second.mp3", bytes);
        TFileBlockReader a, b;
        QVERIFY(a.Open(first));
        QVERIFY(b.Open(second));
        QVERIFY(::truncate(QFile::encodeName(second).constData(), 1000) == 0);
        UnreadableSide unreadable = NoneUnreadable;
        QCOMPARE(CompareInner(a, b, 80, unreadable), -1);
        QCOMPARE(unreadable, SecondUnreadable);
    }

    // The block reader itself.
    void openOnTheHeldNameChangesNothing() {
        const QString path = Write("held", Digits());
        TFileBlockReader reader;
        QVERIFY(reader.Open(path));
        QCOMPARE(reader.ReadAll(), ReadResult::Ok);
        QVERIFY(!reader.HandleOpen);

        // Changed and then removed on disk: the reader keeps what it holds.
        Write("held", "changed and longer than before");
        QVERIFY(QFile::remove(path));
        QVERIFY(reader.Open(path));
        QVERIFY(reader.Opened);
        QCOMPARE(reader.Size, qint64(20));
        QVERIFY(reader.HasBuffer);
        const char *block = nullptr;
        QCOMPARE(reader.ReadBlock(20, block, 0), ReadResult::Ok);
        QCOMPARE(QByteArray(block, 20), Digits());
    }

    void openOnAnotherNameStartsAfresh() {
        const QString first = Write("first", Digits());
        const QString second = Write("second", "xy");
        TFileBlockReader reader;
        QVERIFY(reader.Open(first));
        QCOMPARE(reader.ReadAll(), ReadResult::Ok);
        QVERIFY(reader.Open(second));
        QCOMPARE(reader.FileName, second);
        QCOMPARE(reader.Size, qint64(2));
        QVERIFY(reader.HandleOpen);
        QVERIFY(!reader.HasBuffer);

        QVERIFY(!reader.Open(Dir.filePath("missing")));
        QVERIFY(!reader.Opened);
        QVERIFY(!reader.HandleOpen);
        QVERIFY(reader.FileName.isEmpty());
        QCOMPARE(reader.EnsureBuffered(0, 1), ReadResult::OutOfRange);
    }

    void neitherFoldersNorFifosOpen() {
        const QString fifo = Dir.filePath("fifo");
        QCOMPARE(::mkfifo(Platform::EncodeName(fifo).constData(), 0644), 0);
        TFileBlockReader reader;
        QVERIFY(!reader.Open(fifo));
        QVERIFY(!reader.Open(Dir.path()));
    }

    void rangesOutsideTheFileAreRefused_data() {
        QTest::addColumn<qint64>("position");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<int>("result");
        const int ok = int(ReadResult::Ok), out = int(ReadResult::OutOfRange);
        QTest::newRow("whole file") << qint64(0) << qint64(20) << ok;
        QTest::newRow("last byte") << qint64(19) << qint64(1) << ok;
        QTest::newRow("one byte past the end") << qint64(19) << qint64(2) << out;
        QTest::newRow("whole file and one byte") << qint64(0) << qint64(21) << out;
        QTest::newRow("empty range at the end") << qint64(20) << qint64(0) << ok;
        QTest::newRow("empty range past the end") << qint64(21) << qint64(0) << out;
        QTest::newRow("negative position") << qint64(-1) << qint64(1) << out;
        QTest::newRow("negative count") << qint64(0) << qint64(-1) << out;
        QTest::newRow("position near the largest value")
            << std::numeric_limits<qint64>::max() << qint64(1) << out;
        QTest::newRow("count near the largest value")
            << qint64(1) << std::numeric_limits<qint64>::max() << out;
    }
    void rangesOutsideTheFileAreRefused() {
        QFETCH(qint64, position);
        QFETCH(qint64, count);
        QFETCH(int, result);
        TFileBlockReader reader;
        QVERIFY(reader.Open(Write("range", Digits())));
        QCOMPARE(int(reader.EnsureBuffered(position, count)), result);
    }

    void emptyRangeAllocatesNothing() {
        TFileBlockReader reader;
        QVERIFY(reader.Open(Write("zero", Digits())));
        QCOMPARE(reader.EnsureBuffered(5, 0), ReadResult::Ok);
        QVERIFY(!reader.HasBuffer);
        QVERIFY(!reader.Buffer);
        QVERIFY(reader.HandleOpen);
    }

    void rangesInsideTheBufferAreServedWithoutReading() {
        const QString path = Write("partial", Digits());
        TFileBlockReader reader;
        QVERIFY(reader.Open(path));
        QCOMPARE(reader.EnsureBuffered(10, 5), ReadResult::Ok);
        QCOMPARE(reader.BufferStart, qint64(10));
        QCOMPARE(reader.BufferLength, 5);
        QVERIFY(reader.HandleOpen);

        // Overwrite the file in place: a served range must still show the old bytes.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.write("ZZZZZZZZZZZZZZZZZZZZ"), qint64(20));
        file.close();

        const char *block = nullptr;
        QCOMPARE(reader.ReadBlock(2, block, 12), ReadResult::Ok);
        QCOMPARE(QByteArray(block, 2), QByteArray("cd"));
        // Outside the buffer: exactly the requested range is read anew.
        QCOMPARE(reader.ReadBlock(3, block, 2), ReadResult::Ok);
        QCOMPARE(QByteArray(block, 3), QByteArray("ZZZ"));
        QCOMPARE(reader.BufferStart, qint64(2));
        QCOMPARE(reader.BufferLength, 3);
    }

    void afterReadAllRangesComeFromMemory() {
        const QString path = Write("all", Digits());
        TFileBlockReader reader;
        QVERIFY(reader.Open(path));
        QCOMPARE(reader.ReadAll(), ReadResult::Ok);
        QVERIFY(!reader.HandleOpen);
        QVERIFY(reader.Opened);
        QCOMPARE(reader.FileName, path);
        QVERIFY(QFile::remove(path));
        const char *block = nullptr;
        QCOMPARE(reader.ReadBlock(4, block, 16), ReadResult::Ok);
        QCOMPARE(QByteArray(block, 4), QByteArray("ghij"));
        QCOMPARE(reader.ReadBlock(1, block, 0), ReadResult::Ok);
        QCOMPARE(*block, '0');
        QCOMPARE(reader.ReadBlock(2, block, 19), ReadResult::OutOfRange);
        QCOMPARE(block, nullptr);
    }

    void shortenedFileFailsToRead() {
        const QString path = Write("shrinks", QByteArray(100, 'x'));
        TFileBlockReader reader;
        QVERIFY(reader.Open(path));
        QVERIFY(QFile::resize(path, 10));
        QCOMPARE(reader.EnsureBuffered(0, 50), ReadResult::ReadFailed);
        QVERIFY(!reader.HasBuffer);
        QVERIFY(!reader.Buffer);
        QCOMPARE(reader.EnsureBuffered(0, 10), ReadResult::Ok);
    }

    void moreThanOneGibibyteIsTooLarge() {
        TFileBlockReader reader;
        QVERIFY(reader.Open(Sparse("gib", TFileBlockReader::MaxBufferedBytes + 1)));
        QCOMPARE(reader.ReadAll(), ReadResult::TooLarge);
        QVERIFY(!reader.HasBuffer);
        QCOMPARE(reader.EnsureBuffered(TFileBlockReader::MaxBufferedBytes - 3, 4), ReadResult::Ok);
        QCOMPARE(reader.BufferLength, 4);
        reader.Close();
        QVERIFY(!reader.HasBuffer);
        QVERIFY(!reader.Opened);
        QVERIFY(reader.FileName.isEmpty());
    }

    void hugeFilesKeepTheirTrueSize() {
        // A size past 4 GiB must not wrap to a small file of its low 32 bits.
        const qint64 size = (qint64(1) << 32) + 10;
        TFileBlockReader reader;
        QVERIFY(reader.Open(Sparse("huge", size)));
        QCOMPARE(reader.Size, size);
        QCOMPARE(reader.ReadAll(), ReadResult::TooLarge);
        QCOMPARE(reader.EnsureBuffered(size - 10, 10), ReadResult::Ok);
        QVERIFY(reader.Open(Sparse("twogib", qint64(1) << 31)));
        QCOMPARE(reader.Size, qint64(1) << 31);
        QCOMPARE(reader.ReadAll(), ReadResult::TooLarge);
    }
};

QTEST_GUILESS_MAIN(TestStreamUnit)
#include "TestStreamUnit.moc"
