#include "compare/BinDatabaseUnit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray IndexRecordBytes(qint32 number, qint32 offset, qint32 length) {
    QByteArray record(20, '\0');
    auto *p = reinterpret_cast<uchar *>(record.data());
    qToLittleEndian<qint32>(number, p);
    qToLittleEndian<qint32>(offset, p + 12);
    qToLittleEndian<qint32>(length, p + 16);
    return record;
}

} // namespace

class TestBinDatabaseUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString Base(const QString &name) const { return Dir.filePath(name); }

private slots:
    void recordsAreNumberedAndStoredBackToBack() {
        const QString base = Base(QStringLiteral("store"));
        TBinDatabase store;
        QVERIFY(store.Create(base));
        QVERIFY(QFile::exists(base + ".hbi"));
        QVERIFY(QFile::exists(base + ".hbd"));
        const QByteArray parts[] = {"first", "second record", "3"};
        for (int i = 0; i < 3; ++i) {
            qint32 record = -1;
            QVERIFY(store.PutString(record, 0, parts[i], 0));
            QCOMPARE(record, i + 1);
        }
        for (int i = 3; i >= 1; --i) {
            QByteArray bytes;
            QVERIFY(store.Read(i, bytes));
            QCOMPARE(bytes, parts[i - 1]);
        }
        store.Close();

        QCOMPARE(ReadAll(base + ".hbd"), QByteArray("firstsecond record3"));
        const QByteArray index = ReadAll(base + ".hbi");
        QCOMPARE(index.size(), 60);
        QCOMPARE(index.mid(20, 20), IndexRecordBytes(2, 5, 13));
        QCOMPARE(index.mid(40, 20), IndexRecordBytes(3, 18, 1));
    }

    void reopenedStoreContinuesItsNumbers() {
        const QString base = Base(QStringLiteral("reopen"));
        {
            TBinDatabase store;
            QVERIFY(store.Open(base, false));
            qint32 record = -1;
            QVERIFY(store.PutString(record, 0, "abc", 0));
        }
        TBinDatabase store;
        QVERIFY(store.Open(base, false));
        QCOMPARE(store.HighestRecord(), 1);
        qint32 record = 0;
        QVERIFY(store.PutString(record, 0, "defg", 0));
        QCOMPARE(record, 2);
        QByteArray bytes;
        QVERIFY(store.Read(1, bytes));
        QCOMPARE(bytes, QByteArray("abc"));
        QVERIFY(store.Read(2, bytes));
        QCOMPARE(bytes, QByteArray("defg"));
    }

    void unknownRecordsReadAsEmpty() {
        TBinDatabase store;
        QByteArray bytes = "stale";
        QVERIFY(!store.Read(1, bytes)); // not open
        QVERIFY(bytes.isEmpty());
        QVERIFY(store.Create(Base(QStringLiteral("unknown"))));
        qint32 record = -1;
        QVERIFY(store.PutString(record, 0, "x", 0));
        for (const qint32 number : {0, -1, 2, 1000}) {
            bytes = "stale";
            QVERIFY(!store.Read(number, bytes));
            QVERIFY(bytes.isEmpty());
        }
        QVERIFY(!store.PutString(record, 0, "rewrite", 0)); // existing records stay
        record = -1;
        QVERIFY(!store.PutString(record, 0, QByteArray(), 0));
        store.CloseAndDelete();
        record = -1;
        QVERIFY(!store.PutString(record, 0, "closed", 0));
    }

    void createNeverTakesOverExistingFiles() {
        const QString base = Base(QStringLiteral("taken"));
        QVERIFY(WriteAll(base + ".hbi", "the user's own index"));
        TBinDatabase store;
        QVERIFY(!store.Create(base));
        QVERIFY(!QFile::exists(base + ".hbd"));
        store.CloseAndDelete();
        QCOMPARE(ReadAll(base + ".hbi"), QByteArray("the user's own index"));

        const QString other = Base(QStringLiteral("taken2"));
        QVERIFY(WriteAll(other + ".hbd", "the user's own data"));
        QVERIFY(!store.Create(other));
        QVERIFY(!QFile::exists(other + ".hbi")); // the half-made store is gone again
        QCOMPARE(ReadAll(other + ".hbd"), QByteArray("the user's own data"));
    }

    void closeAndDeleteRemovesOnlyFilesTheStoreMade() {
        const QString made = Base(QStringLiteral("made"));
        TBinDatabase store;
        QVERIFY(store.Create(made));
        qint32 record = -1;
        QVERIFY(store.PutString(record, 0, "bytes", 0));
        store.CloseAndDelete();
        QVERIFY(!QFile::exists(made + ".hbi"));
        QVERIFY(!QFile::exists(made + ".hbd"));

        const QString existing = Base(QStringLiteral("existing"));
        QVERIFY(WriteAll(existing + ".hbd", "kept"));
        QVERIFY(store.Open(existing, false));
        store.CloseAndDelete();
        QCOMPARE(ReadAll(existing + ".hbd"), QByteArray("kept"));
    }

    void openMergesNeighbouringFreeRecords() {
        const QString base = Base(QStringLiteral("free"));
        QVERIFY(WriteAll(base + ".hbi", IndexRecordBytes(1, 0, 4) + IndexRecordBytes(0, 4, 10) +
                                            IndexRecordBytes(0, 14, 20) +
                                            IndexRecordBytes(7, 34, 2) + QByteArray("partial")));
        QVERIFY(WriteAll(base + ".hbd", QByteArray(36, 'd')));
        {
            TBinDatabase store;
            QVERIFY(store.Open(base, false));
            QCOMPARE(store.HighestRecord(), 7);
            QByteArray bytes;
            QVERIFY(store.Read(7, bytes));
            QCOMPARE(bytes, QByteArray("dd"));
        }
        const QByteArray index = ReadAll(base + ".hbi");
        QCOMPARE(index.size(), 60);
        QCOMPARE(index.mid(20, 20), IndexRecordBytes(0, 4, 30));
    }

    void dataFileStaysBelowTwoGigabytes() {
        const QString base = Base(QStringLiteral("full"));
        QVERIFY(WriteAll(base + ".hbi", IndexRecordBytes(1, 2147483000, 600)));
        TBinDatabase store;
        QVERIFY(store.Open(base, false));
        qint32 record = -1;
        QVERIFY(!store.PutString(record, 0, QByteArray(100, 'x'), 0));
        QCOMPARE(record, -1);
        QVERIFY(QFileInfo(base + ".hbd").size() == 0);
    }

    void missingFolderIsCreated() {
        const QString base = Base(QStringLiteral("deep/er/store"));
        TBinDatabase store;
        QVERIFY(store.Create(base));
        QVERIFY(QFile::exists(base + ".hbd"));
    }

    void unwritablePlaceFails() {
        QVERIFY(WriteAll(Base(QStringLiteral("plainfile")), "x"));
        TBinDatabase store;
        QVERIFY(!store.Create(Base(QStringLiteral("plainfile/store"))));
        QVERIFY(!store.Open(Base(QStringLiteral("plainfile/store")), false));
        QVERIFY(!store.IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestBinDatabaseUnit)
#include "TestBinDatabaseUnit.moc"
