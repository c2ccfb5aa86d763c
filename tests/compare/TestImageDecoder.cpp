#include "compare/ImageDecoder.h"

#include "TestSupport.h"

#include <QBuffer>

using namespace TestSupport;

namespace {
QByteArray Png(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x * y) % 256));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace

class TestImageDecoder : public QObject {
    Q_OBJECT

    TestSupport::TempFolder Dir;
    QString PathOf(const QString &name) const { return Dir.filePath(name); }

private slots:
    void cleanup() { ResetImageDecoder(); }

    void badFilesGiveNoBitmap_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text named .jpg") << "notes.jpg" << QByteArray("just some text\n");
        QTest::newRow("empty .png") << "empty.png" << QByteArray();
        QTest::newRow("png cut after its header") << "cut.png" << Png(64, 64).left(40);
        QTest::newRow("jpeg marker only") << "marker.jpg" << QByteArray("\xFF\xD8\xFF", 3);
    }
    void badFilesGiveNoBitmap() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QVERIFY(WriteFile(PathOf(name), bytes));
        // A truncated PNG may decode partially; it must never crash and, when a
        // picture comes back, it has the size its header announced.
        const QImage bitmap = LoadImageAsBitmap(PathOf(name));
        QVERIFY(bitmap.isNull() || bitmap.size() == QSize(64, 64));
        QImage graphic(2, 2, QImage::Format_RGB32);
        QVERIFY(!LoadImageIntoGraphic(PathOf(name), graphic) || bitmap.size() == QSize(64, 64));
        QVERIFY(QFileInfo::exists(PathOf(name)));
    }

    // 20000 x 20000 pixels would take 1.6 GB as a bitmap; the header tells so
    // before anything is decoded. Just within the limit the same kind decodes.
    void hugeImagesAreRefusedByTheirHeader() {
        for (const QSize size : {QSize(20000, 20000), QSize(3000, 2000)}) {
            QImage mono(size, QImage::Format_Mono); // one bit per pixel: small on disk
            mono.fill(0);
            QVERIFY(mono.save(PathOf(size.width() > 3000 ? "huge.png" : "fine.png")));
        }
        QVERIFY(QFileInfo(PathOf("huge.png")).size() < 1024 * 1024);
        QVERIFY(LoadImageAsBitmap(PathOf("huge.png")).isNull());
        QCOMPARE(LoadImageAsBitmap(PathOf("fine.png")).size(), QSize(3000, 2000));
    }

    // File names are bytes; one that is not UTF-8 is still read as that file.
    void nameThatIsNotUtf8() {
        const QString name = Platform::DecodeName(QFile::encodeName(Dir.path()) + "/bild-\xFF.png");
        QVERIFY(!Platform::NameIsExact(name));
        QVERIFY(WriteFile(name, Png(9, 9)));
        const QImage bitmap = LoadImageAsBitmap(name);
        QCOMPARE(bitmap.format(), BitmapFormat);
        QCOMPARE(bitmap, QImage::fromData(Png(9, 9)).convertToFormat(BitmapFormat));
    }
};

QTEST_GUILESS_MAIN(TestImageDecoder)
#include "TestImageDecoder.moc"
