#include "compare/ImageUnit.h"

#include <QTest>

class TestImageUnit : public QObject {
    Q_OBJECT

private slots:
    void shrinkToFit_data() {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("result");
        QTest::newRow("s 0.1: nearest to twice the box, then halved")
            << QSize(2000, 1000) << QSize(200, 100);
        QTest::newRow("s 0.29: smooth to twice the box, then halved")
            << QSize(700, 500) << QSize(200, 142);
        QTest::newRow("s 0.67: smooth into the box") << QSize(300, 250) << QSize(200, 166);
        QTest::newRow("fits already: unchanged") << QSize(150, 150) << QSize(150, 150);
        QTest::newRow("3 x 1000 cannot be halved") << QSize(3, 1000) << QSize(1, 200);
    }
    void shrinkToFit() {
        QFETCH(QSize, source);
        QFETCH(QSize, result);
        QImage bitmap(source, QImage::Format_RGB32);
        bitmap.fill(qRgb(30, 60, 90));
        QCOMPARE(ShrinkToFit(bitmap, 200, 200), source != result);
        QCOMPARE(bitmap.size(), result);
        // Averaging an even colour must give the same colour back.
        QCOMPARE(bitmap.pixel(result.width() - 1, result.height() - 1), qRgb(30, 60, 90));
    }

    // Stripes of 0 and 200 in red, nine wide (or high), into a box of four:
    // the columns taken are 0, 2, 4 and 6; each jump of two blends the column
    // skipped into the one taken, so stripes turn grey instead of vanishing.
    void smoothResizeBlendsWhatItSkips_data() {
        QTest::addColumn<bool>("vertical");
        QTest::newRow("columns") << false;
        QTest::newRow("rows") << true;
    }
    void smoothResizeBlendsWhatItSkips() {
        QFETCH(bool, vertical);
        QImage bitmap(vertical ? QSize(1, 9) : QSize(9, 1), QImage::Format_RGB32);
        for (int k = 0; k < 9; ++k)
            bitmap.setPixel(vertical ? 0 : k, vertical ? k : 0, qRgb(k % 2 ? 200 : 0, 0, 0));
        ResizeSmooth(bitmap, vertical ? 1 : 4, vertical ? 4 : 1);
        QCOMPARE(bitmap.size(), vertical ? QSize(1, 4) : QSize(4, 1));
        QList<int> reds;
        for (int k = 0; k < 4; ++k)
            reds << qRed(bitmap.pixel(vertical ? 0 : k, vertical ? k : 0));
        QCOMPARE(reds, (QList<int>{0, 100, 100, 100}));
    }

    void halvingRoundsOnlyARemainderOfThree() {
        // Four 2 x 2 blocks whose red sums are 1020, 3, 2 and 6; the odd last column is dropped.
        QImage bitmap(5, 4, QImage::Format_RGB32);
        const int reds[4][5] = {
            {255, 255, 1, 1, 9}, {255, 255, 1, 0, 9}, {1, 1, 3, 1, 9}, {0, 0, 1, 1, 9}};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                bitmap.setPixel(x, y, qRgb(reds[y][x], 0, 0));
        HalveBitmap(bitmap);
        QCOMPARE(bitmap.size(), QSize(2, 2));
        const int expected[] = {255, 1, 0, 1};
        for (int k = 0; k < 4; ++k)
            QCOMPARE(qRed(bitmap.pixel(k % 2, k / 2)), expected[k]);
    }
};

QTEST_GUILESS_MAIN(TestImageUnit)
#include "TestImageUnit.moc"
