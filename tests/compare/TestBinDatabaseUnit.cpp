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

    TempFolder Dir;

private slots:
    void recordsAreNumberedAndStoredBackToBack() {
        const QString base = Dir.Path("deep/er/store"); // missing folders are made
        TBinDatabase store;
        QVERIFY(store.Create(base));
        QVERIFY(Put(store, "first", 1) && Put(store, "second record", 2) && Put(store, "3", 3));
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
        store.Close();
        QCOMPARE(ReadWholeFile(base + ".hbd"), QByteArray("firstsecond record3"));
        const QByteArray index = ReadWholeFile(base + ".hbi");
        QCOMPARE(index.size(), 60);
        QCOMPARE(index.mid(20, 20), IndexRecordBytes(2, 5, 13));
    }

    void theStoreNeverTouchesFilesItDidNotMake() {
        QVERIFY(WriteFile(Dir.Path("taken.hbi"), "own") &&
                WriteFile(Dir.Path("taken2.hbd"), "own"));
        TBinDatabase store;
        QVERIFY(!store.Create(Dir.Path("taken")));
        store.CloseAndDelete();
        QVERIFY(!store.Create(Dir.Path("taken2")));
        QVERIFY(!QFile::exists(Dir.Path("taken.hbd")) && !QFile::exists(Dir.Path("taken2.hbi")));
        QCOMPARE(ReadWholeFile(Dir.Path("taken.hbi")) + ReadWholeFile(Dir.Path("taken2.hbd")),
                 "ownown");
        QVERIFY(store.Create(Dir.Path("made")));
        store.CloseAndDelete();
        QVERIFY(!QFile::exists(Dir.Path("made.hbi")) && !QFile::exists(Dir.Path("made.hbd")));
    }
};

QTEST_GUILESS_MAIN(TestBinDatabaseUnit)
#include "TestBinDatabaseUnit.moc"
