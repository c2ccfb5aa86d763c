#include "platform/Platform.h"
#include "results/ExcelNativeUnit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray Hex(const char *text) {
    return QByteArray::fromHex(text);
}

const QByteArray StartVersion3 = Hex("0908 0600 0002 1000 0000");
const QByteArray Dimensions = Hex("0002 0a00 0000 ffff 0000 0001 0000");

// The record written last: its id and length come four bytes before its data.
QByteArray LastRecord(const TNativeXLS &xls, int length) {
    return xls.Bytes().right(4 + length);
}
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
        QTest::newRow("3") << 3 << StartVersion3 + Dimensions;
    }

    void startRecordsPerVersion() {
        QFETCH(int, version);
        QFETCH(QByteArray, expected);
        TNativeXLS xls;
        xls.Version = quint8(version);
        xls.WriteInteger(1);
        xls.Start();
        QCOMPARE(xls.Bytes(), expected);
        QCOMPARE(xls.State, quint8(TNativeXLS::Open));
    }

    void newWriterHoldsTheStartOfAFile() {
        TNativeXLS xls;
        QCOMPARE(xls.Bytes(), StartVersion3 + Dimensions);
        QCOMPARE(xls.CurrentRow, quint16(1));
        QCOMPARE(xls.CurrentColumn, quint16(1));
    }

    void cellsCarryPositionAttributesAndValue() {
        TNativeXLS xls;
        xls.WriteText(QStringLiteral("Ab"));
        xls.WriteNumber(1.5);
        xls.WriteInteger(100);
        xls.NewRow();
        xls.WriteInteger(0xFFFF);
        const QByteArray cells = xls.Bytes().mid(StartVersion3.size() + Dimensions.size());
        QCOMPARE(cells, Hex("0400 0a00 0000 0000 400000 02 4162"
                            "0300 0f00 0000 0100 400000 000000000000f83f"
                            "0200 0900 0000 0200 400000 6400"
                            "0200 0900 0100 0000 400000 ffff"));
    }

    void attributeBytes_data() {
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<int>("font");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("borders");
        QTest::addColumn<bool>("shaded");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("defaults") << false << true << 0 << 0 << 0 << false << Hex("400000");
        QTest::newRow("unlocked") << false << false << 0 << 0 << 0 << false << Hex("000000");
        QTest::newRow("hidden") << true << true << 0 << 0 << 0 << false << Hex("c00000");
        QTest::newRow("font 1") << false << true << 1 << 0 << 0 << false << Hex("404000");
        QTest::newRow("font 3") << false << true << 3 << 0 << 0 << false << Hex("40c000");
        QTest::newRow("left") << false << true << 0 << 1 << 0 << false << Hex("400001");
        QTest::newRow("right is code 3") << false << true << 0 << 2 << 0 << false << Hex("400003");
        QTest::newRow("centred is code 2")
            << false << true << 0 << 3 << 0 << false << Hex("400002");
        QTest::newRow("fill") << false << true << 0 << 4 << 0 << false << Hex("400004");
        QTest::newRow("alignment 5 is code 7")
            << false << true << 0 << 5 << 0 << false << Hex("400007");
        QTest::newRow("top border") << false << true << 0 << 0 << 1 << false << Hex("400020");
        QTest::newRow("bottom border") << false << true << 0 << 0 << 2 << false << Hex("400040");
        QTest::newRow("left border") << false << true << 0 << 0 << 4 << false << Hex("400008");
        QTest::newRow("right border") << false << true << 0 << 0 << 8 << false << Hex("400010");
        QTest::newRow("shaded") << false << true << 0 << 0 << 0 << true << Hex("400080");
        QTest::newRow("everything") << true << true << 2 << 3 << 15 << true << Hex("c080fa");
    }

    void attributeBytes() {
        QFETCH(bool, hidden);
        QFETCH(bool, locked);
        QFETCH(int, font);
        QFETCH(int, alignment);
        QFETCH(int, borders);
        QFETCH(bool, shaded);
        QFETCH(QByteArray, expected);
        TNativeXLS xls;
        xls.Hidden = hidden;
        xls.Locked = locked;
        xls.FontIndex = quint8(font);
        xls.Alignment = quint8(alignment);
        xls.Borders = quint8(borders);
        xls.Shaded = shaded;
        xls.WriteInteger(7);
        QCOMPARE(LastRecord(xls, 9).mid(8, 3), expected);
    }

    void cursorMovesAfterEachCell_data() {
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("nextRow");
        QTest::addColumn<int>("nextColumn");
        const int up = TNativeXLS::Up, down = TNativeXLS::Down;
        const int left = TNativeXLS::Left, right = TNativeXLS::Right;
        QTest::newRow("right") << right << 5 << 10 << 5 << 11;
        QTest::newRow("right wraps to next row") << right << 5 << 256 << 6 << 1;
        QTest::newRow("right stays in last cell") << right << 65535 << 256 << 65535 << 256;
        QTest::newRow("left") << left << 5 << 10 << 5 << 9;
        QTest::newRow("left wraps to previous row") << left << 5 << 1 << 4 << 256;
        QTest::newRow("left stays in first cell") << left << 1 << 1 << 1 << 1;
        QTest::newRow("down") << down << 5 << 10 << 6 << 10;
        QTest::newRow("down wraps to next column") << down << 65535 << 10 << 1 << 11;
        QTest::newRow("down stays in last cell") << down << 65535 << 256 << 65535 << 256;
        QTest::newRow("up") << up << 5 << 10 << 4 << 10;
        QTest::newRow("up wraps to previous column") << up << 1 << 10 << 65535 << 9;
        QTest::newRow("up stays in first cell") << up << 1 << 1 << 1 << 1;
    }

    void cursorMovesAfterEachCell() {
        QFETCH(int, direction);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, nextRow);
        QFETCH(int, nextColumn);
        TNativeXLS xls;
        xls.Direction = quint8(direction);
        xls.CurrentRow = quint16(row);
        xls.CurrentColumn = quint16(column);
        xls.WriteNumber(0);
        const QByteArray position = LastRecord(xls, 15).mid(4, 4);
        QCOMPARE(position, QByteArray(1, char(quint8((row - 1) & 0xFF))) +
                               char(quint8((row - 1) >> 8)) + char(quint8((column - 1) & 0xFF)) +
                               char(quint8((column - 1) >> 8)));
        QCOMPARE(int(xls.CurrentRow), nextRow);
        QCOMPARE(int(xls.CurrentColumn), nextColumn);
    }

    void newRowGoesToColumnOneAndStopsAtTheLastRow() {
        TNativeXLS xls;
        xls.CurrentRow = 5;
        xls.CurrentColumn = 10;
        xls.NewRow();
        QCOMPARE(xls.CurrentRow, quint16(6));
        QCOMPARE(xls.CurrentColumn, quint16(1));
        xls.CurrentRow = 65535;
        xls.CurrentColumn = 7;
        xls.NewRow();
        QCOMPARE(xls.CurrentRow, quint16(65535));
        QCOMPARE(xls.CurrentColumn, quint16(1));
    }

    void columnWidthRecords() {
        TNativeXLS xls;
        xls.ColumnWidth(2, 3, 40);
        QCOMPARE(LastRecord(xls, 4), Hex("2400 0400 01 02 0028"));
        xls.ColumnWidth(6, 16);
        QCOMPARE(LastRecord(xls, 4), Hex("2400 0400 05 05 0010"));
    }

    void textIsWindows1252_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("ascii") << QStringLiteral("a/b.txt") << QByteArray("a/b.txt");
        QTest::newRow("umlauts") << QStringLiteral("äöüßÄÖÜ") << Hex("e4f6fcdfc4d6dc");
        QTest::newRow("euro and quotes") << QStringLiteral("€‚„Ÿ") << Hex("8082849f");
        QTest::newRow("greek") << QStringLiteral("Ωx") << QByteArray("?x");
        QTest::newRow("emoji is one character") << QStringLiteral("a😀b") << QByteArray("a?b");
        QTest::newRow("C1 control") << QString(QChar(0x81)) << QByteArray("?");
        QTest::newRow("byte of a name that is not UTF-8")
            << Platform::DecodeName("x\xe4y") << QByteArray("x?y");
        QTest::newRow("cut to 255") << QString(300, QLatin1Char('a')) << QByteArray(255, 'a');
        QTest::newRow("cut after a wide character")
            << QString(254, QLatin1Char('a')) + QStringLiteral("😀b") << QByteArray(254, 'a') + '?';
    }

    void textIsWindows1252() {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(WorksheetText(text), expected);
    }

    void longTextCellHoldsItsCutLength() {
        TNativeXLS xls;
        xls.WriteText(QString(300, QLatin1Char('z')));
        const QByteArray record = LastRecord(xls, 8 + 255);
        QCOMPARE(record.left(4), Hex("0400 0701"));
        QCOMPARE(quint8(record.at(11)), quint8(255));
    }

    void closedWriterBeginsANewFile() {
        TNativeXLS xls;
        xls.WriteInteger(1);
        xls.Finish();
        QCOMPARE(xls.State, quint8(TNativeXLS::Closed));
        QVERIFY(xls.Bytes().endsWith(Hex("0a00 0000")));
        xls.WriteInteger(2);
        QCOMPARE(xls.State, quint8(TNativeXLS::Open));
        // The cursor is not reset: the second cell sits where the first left it.
        QCOMPARE(xls.Bytes(), StartVersion3 + Dimensions + Hex("0200 0900 0000 0100 400000 0200"));
    }

    void saveFinishesAndWritesTheStream() {
        QTemporaryDir dir;
        TNativeXLS xls;
        QVERIFY(!xls.Save());
        xls.WriteText(QStringLiteral("ä"));
        const QString path = dir.filePath(QStringLiteral("sheet.xls"));
        QVERIFY(xls.Save(path));
        QCOMPARE(xls.State, quint8(TNativeXLS::Closed));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), xls.Bytes());
        QVERIFY(xls.Bytes().endsWith(Hex("0a00 0000")));
        QVERIFY(xls.Save());
    }

    void saveFailsWithoutWritingElsewhere() {
        QTemporaryDir dir;
        TNativeXLS xls;
        QVERIFY(!xls.Save(dir.filePath(QStringLiteral("missing/sheet.xls"))));
        // QFile would write a name in which the raw byte became another character.
        QVERIFY(!xls.Save(dir.path() + Platform::DecodeName("/\xe4.xls")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestExcelNativeUnit)
#include "TestExcelNativeUnit.moc"
