#include "compare/BinDatabaseUnit.h"

#include "TestSupport.h"

using namespace TestSupport;

namespace {
QByteArray IndexRecordBytes(qint32 number, qint32 offset, qint32 length) {
    QByteArray record(20, '\0');
    qToLittleEndian<qint32>(number, record.data());
    qToLittleEndian<qint32>(offset, record.data() + 12);
    qToLittleEndian<qint32>(length, record.data() + 16);
    return record;
}

bool Put(TBinDatabase &store, const QByteArray &bytes, qint32 expected) {
    qint32 record = -1;
    return store.PutString(record, 0, bytes, 0) && record == expected;
}
} // namespace

class TestBinDatabaseUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString Base(const QString &name) const { return Dir.filePath(name); }

private slots:
    void recordsAreNumberedAndStoredBackToBack() {
        const QString base = Base("deep/er/store"); // missing folders are made
        {
            TBinDatabase store;
            QVERIFY(store.Create(base));
            QVERIFY(Put(store, "first", 1) && Put(store, "second record", 2) && Put(store, "3", 3));
        }
        QCOMPARE(ReadWholeFile(base + ".hbd"), QByteArray("firstsecond record3"));
        const QByteArray index = ReadWholeFile(base + ".hbi");
        QCOMPARE(index.size(), 60);
        QCOMPARE(index.mid(20, 20), IndexRecordBytes(2, 5, 13));
        TBinDatabase store; // reopened, the numbers go on
        QVERIFY(store.Open(base, false));
        QVERIFY(Put(store, "defg", 4));
        QByteArray bytes = "stale";
        QVERIFY(store.Read(2, bytes));
        QCOMPARE(bytes, QByteArray("second record"));
        for (const qint32 unknown : {0, -1, 5}) {
            QVERIFY(!store.Read(unknown, bytes));
            QVERIFY(bytes.isEmpty());
        }
        qint32 existing = 1;
        QVERIFY(!store.PutString(existing, 0, "rewrite", 0));
        QVERIFY(!Put(store, QByteArray(), -1));
    }

    void theStoreNeverTouchesFilesItDidNotMake() {
        QVERIFY(WriteFile(Base("taken.hbi"), "own") && WriteFile(Base("taken2.hbd"), "own"));
        TBinDatabase store;
        QVERIFY(!store.Create(Base("taken")));
        store.CloseAndDelete();
        QVERIFY(!store.Create(Base("taken2")));
        QVERIFY(!QFile::exists(Base("taken.hbd")) && !QFile::exists(Base("taken2.hbi")));
        QVERIFY(store.Open(Base("taken2"), false));
        store.CloseAndDelete();
        QCOMPARE(ReadWholeFile(Base("taken.hbi")) + ReadWholeFile(Base("taken2.hbd")), "ownown");
        QVERIFY(store.Create(Base("made")));
        store.CloseAndDelete();
        QVERIFY(!QFile::exists(Base("made.hbi")) && !QFile::exists(Base("made.hbd")));
    }

    void dataFileStaysBelowTwoGigabytes() {
        QVERIFY(WriteFile(Base("full.hbi"), IndexRecordBytes(1, 2147483000, 600)));
        TBinDatabase store;
        QVERIFY(store.Open(Base("full"), false));
        QVERIFY(!Put(store, QByteArray(100, 'x'), -1));
        QCOMPARE(QFileInfo(Base("full.hbd")).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestBinDatabaseUnit)
#include "TestBinDatabaseUnit.moc"
