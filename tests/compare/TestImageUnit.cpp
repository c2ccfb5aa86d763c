#include "compare/ImageUnit.h"

#include <QTest>

namespace {

QImage Filled(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Every pixel different, so a test can see which source pixel was taken.
QImage Numbered(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 10 % 256, y * 10 % 256, (x + y) % 256));
    return image;
}

} // namespace

class TestImageUnit : public QObject {
    Q_OBJECT

private slots:
    void fitScale_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("boxWidth");
        QTest::addColumn<int>("boxHeight");
        QTest::addColumn<double>("scale");
        QTest::newRow("landscape halves") << 400 << 300 << 200 << 200 << 0.5;
        QTest::newRow("fits: never enlarged") << 100 << 100 << 200 << 200 << 1.0;
        QTest::newRow("portrait limited by height") << 300 << 1000 << 200 << 200 << 0.2;
        QTest::newRow("empty width") << 0 << 100 << 200 << 200 << 1.0;
        QTest::newRow("negative height") << 100 << -5 << 200 << 200 << 1.0;
        QTest::newRow("wide into wide box") << 1000 << 800 << 200 << 200 << 0.2;
    }

    void fitScale() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, boxWidth);
        QFETCH(int, boxHeight);
        QFETCH(double, scale);
        QCOMPARE(FitScale(width, height, boxWidth, boxHeight), scale);
    }

    void scaledLength_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("box");
        QTest::addColumn<int>("scaled");
        QTest::newRow("exact fifth") << 1000 << 200 << 200;
        QTest::newRow("one short of the box becomes the box") << 999 << 200 << 200;
        QTest::newRow("1001 into 200") << 1001 << 200 << 200;
        QTest::newRow("3 pixels vanish") << 3 << 1 << 1;
    }

    // The scale is the one that fits `length` into `box`, as for the long side.
    void scaledLength() {
        QFETCH(int, length);
        QFETCH(int, box);
        QFETCH(int, scaled);
        QCOMPARE(ScaledLength(length, double(box) / length, box), scaled);
    }

    void scaledLengthOfTheShortSideIsCut() {
        QCOMPARE(ScaledLength(800, 0.2, 200), 160);
        QCOMPARE(ScaledLength(3, 0.2, 200), 0);
        QCOMPARE(ScaledLength(996, 0.2, 200), 200); // 199.2 is cut to 199, one short of the box
        QCOMPARE(ScaledLength(990, 0.2, 200), 198);
    }

    void shrinkToFit_data() {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<bool>("shrunk");
        QTest::addColumn<QSize>("result");
        QTest::newRow("s 0.1: nearest to twice the box, then halved")
            << QSize(2000, 1000) << QSize(200, 200) << true << QSize(200, 100);
        QTest::newRow("s 0.5: one halving")
            << QSize(400, 400) << QSize(200, 200) << true << QSize(200, 200);
        QTest::newRow("s 0.2: halving until it fits")
            << QSize(1000, 1000) << QSize(200, 200) << true << QSize(200, 200);
        QTest::newRow("s 0.29: smooth to twice the box, then halved")
            << QSize(700, 500) << QSize(200, 200) << true << QSize(200, 142);
        QTest::newRow("s 0.67: smooth into the box")
            << QSize(300, 250) << QSize(200, 200) << true << QSize(200, 166);
        QTest::newRow("fits already")
            << QSize(150, 150) << QSize(200, 200) << false << QSize(150, 150);
        QTest::newRow("very wide strip")
            << QSize(10000, 100) << QSize(200, 200) << true << QSize(200, 2);
        QTest::newRow("3 x 1000 cannot be halved")
            << QSize(3, 1000) << QSize(200, 200) << true << QSize(1, 200);
        QTest::newRow("1000 x 3 cannot be halved")
            << QSize(1000, 3) << QSize(200, 200) << true << QSize(200, 1);
        QTest::newRow("5 x 5000") << QSize(5, 5000) << QSize(200, 200) << true << QSize(1, 200);
    }

    void shrinkToFit() {
        QFETCH(QSize, source);
        QFETCH(QSize, box);
        QFETCH(bool, shrunk);
        QFETCH(QSize, result);
        QImage bitmap = Filled(source.width(), source.height(), qRgb(30, 60, 90));
        QCOMPARE(ShrinkToFit(bitmap, box.width(), box.height()), shrunk);
        QCOMPARE(bitmap.size(), result);
        QCOMPARE(bitmap.format(), QImage::Format_RGB32);
        // Averaging an even colour must give the same colour back.
        QCOMPARE(bitmap.pixel(0, 0), qRgb(30, 60, 90));
        QCOMPARE(bitmap.pixel(result.width() - 1, result.height() - 1), qRgb(30, 60, 90));
    }

    void halvingRoundsOnlyARemainderOfThree() {
        // Four 2 x 2 blocks whose red sums are 1020, 3, 2 and 6.
        QImage bitmap(4, 4, QImage::Format_RGB32);
        const int reds[4][4] = {{255, 255, 1, 1}, {255, 255, 1, 0}, {1, 1, 3, 1}, {0, 0, 1, 1}};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                bitmap.setPixel(x, y, qRgb(reds[y][x], 0, 0));
        HalveBitmap(bitmap);
        QCOMPARE(bitmap.size(), QSize(2, 2));
        QCOMPARE(qRed(bitmap.pixel(0, 0)), 255);
        QCOMPARE(qRed(bitmap.pixel(1, 0)), 1);
        QCOMPARE(qRed(bitmap.pixel(0, 1)), 0);
        QCOMPARE(qRed(bitmap.pixel(1, 1)), 1);
    }

    void halvingDropsTheOddLastColumnAndNeedsTwoPixels() {
        QImage odd = Numbered(5, 4);
        HalveBitmap(odd);
        QCOMPARE(odd.size(), QSize(2, 2));

        QImage small = Numbered(3, 3);
        HalveBitmap(small);
        QCOMPARE(small.size(), QSize(3, 3));
        QCOMPARE(small, Numbered(3, 3));
    }

    void resizeNearestTakesTheSourcePixels() {
        const QImage source = Numbered(8, 8);
        QImage bitmap = source;
        ResizeNearest(bitmap, 4, 4);
        QCOMPARE(bitmap.size(), QSize(4, 4));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                QCOMPARE(bitmap.pixel(x, y), source.pixel(2 * x, 2 * y));
    }

    void resizeSmoothBlendsSkippedColumns() {
        QImage bitmap(6, 3, QImage::Format_RGB32);
        for (int x = 0; x < 6; ++x)
            for (int y = 0; y < 3; ++y)
                bitmap.setPixel(x, y, qRgb(x * 40, 0, 0));
        ResizeSmooth(bitmap, 4, 2);
        QCOMPARE(bitmap.size(), QSize(4, 2));
        // Columns 0 and 1 follow each other; column 3 skips column 2 and is
        // blended with it; column 4 follows column 3 again.
        QCOMPARE(qRed(bitmap.pixel(0, 0)), 0);
        QCOMPARE(qRed(bitmap.pixel(1, 0)), 40);
        QCOMPARE(qRed(bitmap.pixel(2, 0)), (80 + 120) / 2);
        QCOMPARE(qRed(bitmap.pixel(3, 0)), 160);
    }

    void otherPixelFormatsKeepTheirColours() {
        QImage grey(4, 4, QImage::Format_Grayscale8);
        grey.fill(100);
        ToBitmapFormat(grey);
        QCOMPARE(grey.format(), QImage::Format_RGB32);
        QCOMPARE(grey.pixel(1, 1), qRgb(100, 100, 100));

        // Transparency is dropped, the colour under it stays.
        QImage transparent(4, 4, QImage::Format_ARGB32);
        transparent.fill(qRgba(200, 100, 50, 0));
        ToBitmapFormat(transparent);
        QCOMPARE(transparent.format(), QImage::Format_RGB32);
        QCOMPARE(transparent.pixel(2, 2), qRgb(200, 100, 50));
    }

    void gradientRunsFromTopToBottomInFixedPoint() {
        const QImage white = CreateGradientImage(4, 0x000000, 0xFFFFFF);
        QCOMPARE(white.size(), QSize(16, 4));
        const int expected[] = {255, 191, 127, 63};
        for (int y = 0; y < 4; ++y) {
            QCOMPARE(qRed(white.pixel(0, y)), expected[y]);
            QCOMPARE(white.pixel(15, y), white.pixel(0, y));
        }
        // Colours are 0x00BBGGRR values.
        const QImage warm = CreateGradientImage(10, 0x5D7BFF, 0x5D7BFF);
        QCOMPARE(warm.pixel(3, 9), qRgb(0xFF, 0x7B, 0x5D));
        QVERIFY(CreateGradientImage(0, 0, 0).isNull());
    }
};

QTEST_GUILESS_MAIN(TestImageUnit)
#include "TestImageUnit.moc"
