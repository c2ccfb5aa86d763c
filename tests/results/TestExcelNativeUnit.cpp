#include "results/ExcelNativeUnit.h"

#include "TestSupport.h"

#include <QTemporaryDir>

using namespace TestSupport;

namespace {
QByteArray Hex(const char *text) {
    return QByteArray::fromHex(text);
}

const QByteArray Dimensions = Hex("0002 0a00 0000 ffff 0000 0001 0000");
const QByteArray Start = Hex("0908 0600 0002 1000 0000") + Dimensions;

// A cell written from a position with a setting: the position and attribute bytes it
// carries, and where the cursor goes next.
constexpr quint8 Up = TNativeXLS::Up, Down = TNativeXLS::Down, Left = TNativeXLS::Left;
struct CellRow {
    const char *Name;
    const char *Bytes;
    void (*Set)(TNativeXLS &) = nullptr;
    quint8 Direction = TNativeXLS::Right;
    quint16 Row = 1, Column = 1, NextRow = 1, NextColumn = 2;
};
const CellRow CellRows[] = {
    {"defaults", "00000000400000"},
    {"unlocked", "00000000000000", [](TNativeXLS &x) { x.Locked = false; }},
    {"font 3", "0000000040c000", [](TNativeXLS &x) { x.FontIndex = 3; }},
    {"right is 3", "00000000400003", [](TNativeXLS &x) { x.Alignment = 2; }},
    {"5 is 7", "00000000400007", [](TNativeXLS &x) { x.Alignment = 5; }},
    {"left border", "00000000400008", [](TNativeXLS &x) { x.Borders = 4; }},
    {"everything", "00000000c080fa",
     [](TNativeXLS &x) {
         x.Hidden = x.Shaded = true, x.FontIndex = 2, x.Alignment = 3, x.Borders = 15;
     }},
    {"right wraps", "0400ff00400000", nullptr, TNativeXLS::Right, 5, 256, 6, 1},
    {"right stays", "feffff00400000", nullptr, TNativeXLS::Right, 65535, 256, 65535, 256},
    {"left wraps", "04000000400000", nullptr, Left, 5, 1, 4, 256},
    {"left stays", "00000000400000", nullptr, Left, 1, 1, 1, 1},
    {"down wraps", "feff0900400000", nullptr, Down, 65535, 10, 1, 11},
    {"down stays", "feffff00400000", nullptr, Down, 65535, 256, 65535, 256},
    {"up wraps", "00000900400000", nullptr, Up, 1, 10, 65535, 9},
    {"up stays", "00000000400000", nullptr, Up, 1, 1, 1, 1},
};
} // namespace

class TestExcelNativeUnit : public QObject {
    Q_OBJECT

private slots:
    void startRecordsPerVersion_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("0") << 0 << Hex("0900 0400 0002 1000  0000 0800 0000 ffff 0000 0001");
        QTest::newRow("1") << 1 << Hex("0902 0600 0002 1000 0000") + Dimensions;
        QTest::newRow("2") << 2 << Hex("0904 0600 0002 1000 0000") + Dimensions;
        QTest::newRow("3") << 3 << Start;
    }
    void startRecordsPerVersion() {
        TNativeXLS xls;
        xls.Version = quint8(Data<int>("version"));
        xls.WriteInteger(1);
        xls.Start();
        QCOMPARE(xls.Bytes(), Data<QByteArray>("expected"));
        QCOMPARE(xls.State, quint8(TNativeXLS::Open));
    }

    void cellsCarryPositionAttributesAndValue() {
        TNativeXLS xls;
        QCOMPARE(xls.Bytes(), Start);
        xls.WriteText(QStringLiteral("Ab"));
        xls.WriteNumber(1.5);
        xls.WriteInteger(100);
        xls.NewRow();
        xls.WriteInteger(0xFFFF);
        xls.WriteText(QString(300, QLatin1Char('z')));
        QCOMPARE(xls.Bytes().mid(Start.size(), 71),
                 Hex("0400 0a00 0000 0000 400000 02 4162"
                     "0300 0f00 0000 0100 400000 000000000000f83f"
                     "0200 0900 0000 0200 400000 6400"
                     "0200 0900 0100 0000 400000 ffff"
                     "0400 0701 0100 0100 400000 ff"));
    }

    void cellPositionAttributesAndCursor_data() { AddRows(CellRows); }
    void cellPositionAttributesAndCursor() {
        const CellRow &row = CellRows[Data<int>("row")];
        TNativeXLS xls;
        xls.Direction = row.Direction;
        xls.CurrentRow = row.Row;
        xls.CurrentColumn = row.Column;
        if (row.Set)
            row.Set(xls);
        xls.WriteNumber(0);
        QCOMPARE(xls.Bytes().right(15).left(7), Hex(row.Bytes));
        QCOMPARE(xls.CurrentRow, row.NextRow);
        QCOMPARE(xls.CurrentColumn, row.NextColumn);
    }

    void textIsWindows1252CutTo255() {
        QCOMPARE(WorksheetText(QStringLiteral("€‚„Ÿ")), Hex("8082849f"));
        QCOMPARE(WorksheetText(QStringLiteral("a😀b") + QChar(0x81)), QByteArray("a?b?"));
        QCOMPARE(WorksheetText(QString(254, QLatin1Char('a')) + QStringLiteral("😀b")),
                 QByteArray(254, 'a') + '?');
    }

    void saveFinishesAndWritesExactlyTheNamedFile() {
        QTemporaryDir dir;
        TNativeXLS xls;
        QString error;
        QVERIFY(!xls.Save(QString(), &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        QVERIFY(!xls.Save(dir.filePath(QStringLiteral("missing/sheet.xls")), &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 0);
        // A name that is not UTF-8 is written under exactly its bytes.
        QVERIFY(xls.Save(dir.path() + Platform::DecodeName("/\xe4.xls")));
        QVERIFY(::access(QFile::encodeName(dir.path()) + "/\xe4.xls", F_OK) == 0);
        xls.WriteInteger(1);
        const QString path = dir.filePath(QStringLiteral("sheet.xls"));
        QVERIFY(xls.Save(path));
        QCOMPARE(xls.State, quint8(TNativeXLS::Closed));
        QCOMPARE(ReadAll(path), xls.Bytes());
        QVERIFY(xls.Bytes().endsWith(Hex("0a00 0000")));
        // A closed writer begins a new file; the cursor stays where the first cell left it.
        xls.WriteInteger(2);
        QCOMPARE(xls.State, quint8(TNativeXLS::Open));
        QCOMPARE(xls.Bytes(), Start + Hex("0200 0900 0000 0100 400000 0200"));
    }
};

QTEST_GUILESS_MAIN(TestExcelNativeUnit)
#include "TestExcelNativeUnit.moc"
