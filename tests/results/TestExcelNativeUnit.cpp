#include "results/ExcelNativeUnit.h"

#include "TestSupport.h"

using namespace TestSupport;

namespace {
QByteArray Hex(const char *text) {
    return QByteArray::fromHex(text);
}

const QByteArray Dimensions = Hex("0002 0a00 0000 ffff 0000 0001 0000");
const QByteArray Start = Hex("0908 0600 0002 1000 0000") + Dimensions;

// A cell written from a position: the position it carries and where the
// cursor goes next, left to right, row by row, staying at the sheet's end.
struct CellRow {
    const char *Name;
    const char *Bytes;
    quint16 Row = 1, Column = 1, NextRow = 1, NextColumn = 2;
};
const CellRow CellRows[] = {
    {"first cell", "00000000400000"},
    {"the row wraps", "0400ff00400000", 5, 256, 6, 1},
    {"the sheet's last cell stays", "feffff00400000", 65535, 256, 65535, 256},
};
} // namespace

class TestExcelNativeUnit : public QObject {
    Q_OBJECT

private slots:
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

    void cellPositionAndCursor_data() { AddRows(CellRows); }
    void cellPositionAndCursor() {
        const CellRow &row = CellRows[Data<int>("row")];
        TNativeXLS xls;
        xls.CurrentRow = row.Row;
        xls.CurrentColumn = row.Column;
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
        TestSupport::TempFolder dir;
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
