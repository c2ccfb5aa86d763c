#include "compare/StreamUnit.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <limits>
#include <sys/stat.h>

using namespace TestSupport;

class TestStreamUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

    QString Write(const QString &name, const QByteArray &bytes) const {
        const QString path = Dir.filePath(name);
        if (!WriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
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
