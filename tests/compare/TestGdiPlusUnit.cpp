#include "compare/GdiPlusUnit.h"
#include "platform/Platform.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <fcntl.h>
#include <unistd.h>

namespace {

QImage Pattern(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x * y) % 256));
    return image;
}

quint32 Crc32(const QByteArray &bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray PngChunk(const char *type, const QByteArray &data) {
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    const QByteArray body = QByteArray(type) + data;
    chunk += body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(Crc32(body), crc.data());
    return chunk + crc;
}

// A complete, valid black-and-white PNG of the given size. With one bit per
// pixel and all pixels black it stays small on disk however large it claims to
// be, the way a decompression bomb does.
QByteArray OneBitPng(quint32 w, quint32 h) {
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(w, header.data());
    qToBigEndian<quint32>(h, header.data() + 4);
    header[8] = 1; // bit depth
    header[9] = 0; // greyscale
    const QByteArray raw(qsizetype(h) * (1 + (w + 7) / 8), '\0');
    const QByteArray zlib = qCompress(raw, 9).mid(4); // without Qt's length prefix
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) + PngChunk("IDAT", zlib) +
           PngChunk("IEND", QByteArray());
}

// Qt writes no GIF: the smallest common one, a single pixel.
const QByteArray PixelGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                          "!\xf9\x04\x00\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01"
                          "\x00\x00\x02\x02D\x01\x00;",
                          43);

bool WriteBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestGdiPlusUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString PathOf(const QString &name) const { return Dir.filePath(name); }

private slots:
    void cleanup() { ResetGdiplusState(); }

    void allFiveFormatsAreAvailable() {
        QVERIFY(LoadGdiplusLibrary());
        QVERIFY(StartupGdiplus());
    }

    void isImageExt_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("image");
        QTest::newRow("jpeg") << "jpeg" << true;
        QTest::newRow("JPE") << "JPE" << true;
        QTest::newRow("tiff") << "tiff" << true;
        QTest::newRow("dotted .Png") << ".Png" << true;
        QTest::newRow("bmp gif jpg tif") << "gif" << true;
        QTest::newRow("jfif") << "jfif" << false;
        QTest::newRow("ico") << "ico" << false;
        QTest::newRow("two dots") << "..png" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blank inside") << "pn g" << false;
    }

    void isImageExt() {
        QFETCH(QString, extension);
        QFETCH(bool, image);
        QCOMPARE(IsImageExt(extension), image);
    }

    void isImageFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("image");
        QTest::newRow("plain") << "/data/photo.JPG" << true;
        QTest::newRow("dotted folder") << "/data/a.b/photo.tif" << true;
        QTest::newRow("dot only in the folder") << "/data/a.jpg/readme" << false;
        QTest::newRow("no extension") << "/data/photo" << false;
        QTest::newRow("last extension counts") << "/data/photo.jpg.txt" << false;
    }

    void isImageFile() {
        QFETCH(QString, path);
        QFETCH(bool, image);
        QCOMPARE(IsImageFile(path), image);
    }

    void loadsEveryFormatAsBitmap_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("lossless");
        QTest::newRow("bmp") << "bmp" << true;
        QTest::newRow("png") << "png" << true;
        QTest::newRow("tiff") << "tiff" << true;
        QTest::newRow("jpeg") << "jpg" << false;
    }

    void loadsEveryFormatAsBitmap() {
        QFETCH(QString, format);
        QFETCH(bool, lossless);
        const QImage source = Pattern(37, 23);
        const QString path = PathOf(QStringLiteral("pattern.") + format);
        QVERIFY(source.save(path));
        const QImage bitmap = LoadImageAsBitmap(path);
        QCOMPARE(bitmap.size(), source.size());
        QCOMPARE(bitmap.format(), BitmapFormat);
        if (lossless)
            QCOMPARE(bitmap, source);
        QImage graphic;
        QVERIFY(LoadImageIntoGraphic(path, graphic));
        QCOMPARE(graphic.size(), source.size());
    }

    void loadsGif() {
        const QString path = PathOf(QStringLiteral("pixel.gif"));
        QVERIFY(WriteBytes(path, PixelGif));
        const QImage bitmap = LoadImageAsBitmap(path);
        QCOMPARE(bitmap.size(), QSize(1, 1));
        QCOMPARE(bitmap, QImage::fromData(PixelGif).convertToFormat(BitmapFormat));
    }

    void transparentPixelsKeepTheirColour() {
        QImage source(4, 4, QImage::Format_ARGB32);
        source.fill(qRgba(10, 200, 30, 0));
        const QString path = PathOf(QStringLiteral("clear.png"));
        QVERIFY(source.save(path));
        QCOMPARE(LoadImageAsBitmap(path).pixel(1, 1), qRgb(10, 200, 30));
        QImage graphic;
        QVERIFY(LoadImageIntoGraphic(path, graphic));
        QVERIFY(graphic.hasAlphaChannel());
    }

    void onePixelImage() {
        const QString path = PathOf(QStringLiteral("dot.png"));
        QVERIFY(Pattern(1, 1).save(path));
        QCOMPARE(LoadImageAsBitmap(path).size(), QSize(1, 1));
    }

    void badFilesGiveNoBitmap_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        Pattern(64, 64).save(&buffer, "PNG");
        QTest::newRow("text named .jpg") << "notes.jpg" << QByteArray("just some text\n");
        QTest::newRow("empty .png") << "empty.png" << QByteArray();
        QTest::newRow("png cut after its header") << "cut.png" << png.left(40);
        QTest::newRow("png signature only") << "sig.png" << png.left(8);
        QTest::newRow("random bytes .bmp") << "noise.bmp" << QByteArray("BM\x10\0\0\0garbage", 13);
        QTest::newRow("jpeg marker only") << "marker.jpg" << QByteArray("\xFF\xD8\xFF", 3);
    }

    void badFilesGiveNoBitmap() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = PathOf(name);
        QVERIFY(WriteBytes(path, bytes));
        const QImage bitmap = LoadImageAsBitmap(path);
        // A truncated PNG may decode partially; it must never crash and, when a
        // picture comes back, it has the size its header announced.
        if (!bitmap.isNull())
            QCOMPARE(bitmap.size(), QSize(64, 64));
        QImage graphic(2, 2, QImage::Format_RGB32);
        LoadImageIntoGraphic(path, graphic);
        QVERIFY(QFile::exists(path));
    }

    void missingFilesAndFoldersGiveNoBitmap() {
        QVERIFY(LoadImageAsBitmap(PathOf(QStringLiteral("gone.png"))).isNull());
        QVERIFY(QDir(Dir.path()).mkdir(QStringLiteral("folder.png")));
        QVERIFY(LoadImageAsBitmap(PathOf(QStringLiteral("folder.png"))).isNull());
        QImage graphic;
        QVERIFY(!LoadImageIntoGraphic(PathOf(QStringLiteral("gone.png")), graphic));
    }

    // 20000 x 20000 pixels would take 1.6 GB as a bitmap; the header tells so
    // before anything is decoded.
    void hugeImagesAreRefusedByTheirHeader() {
        const QString path = PathOf(QStringLiteral("huge.png"));
        QVERIFY(WriteBytes(path, OneBitPng(20000, 20000)));
        QVERIFY(QFileInfo(path).size() < 1024 * 1024);
        QVERIFY(LoadImageAsBitmap(path).isNull());

        // Just within the limit the same kind of file decodes.
        const QString fine = PathOf(QStringLiteral("fine.png"));
        QVERIFY(WriteBytes(fine, OneBitPng(3000, 2000)));
        QCOMPARE(LoadImageAsBitmap(fine).size(), QSize(3000, 2000));
    }

    // File names are bytes; one that is not UTF-8 is still read as that file.
    void nameThatIsNotUtf8() {
        const QString name = Platform::DecodeName(QByteArray("bild-\xFF.png"));
        QVERIFY(!Platform::NameIsExact(name));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        Pattern(9, 9).save(&buffer, "PNG");
        const QByteArray full = QFile::encodeName(Dir.path()) + "/bild-\xFF.png";
        const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, png.constData(), size_t(png.size())), ssize_t(png.size()));
        ::close(fd);
        QCOMPARE(LoadImageAsBitmap(Platform::DecodeName(full)), Pattern(9, 9));
        ::unlink(full.constData());
    }

    void releasingTheCacheKeepsLoadsWorking() {
        const QString path = PathOf(QStringLiteral("again.bmp"));
        QVERIFY(Pattern(50, 40).save(path));
        QCOMPARE(LoadImageAsBitmap(path), Pattern(50, 40));
        ReleaseImageCache();
        QCOMPARE(LoadImageAsBitmap(path), Pattern(50, 40));
    }
};

QTEST_GUILESS_MAIN(TestGdiPlusUnit)
#include "TestGdiPlusUnit.moc"
