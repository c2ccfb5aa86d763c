#include "compare/ImageDecoder.h"
#include "results/MatchListText.h"
#include "results/PreviewUnit.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QThread>
#include <sys/stat.h>

using namespace TestSupport;

namespace {
// "name mark imageId" per row, one block; marks as in MatchListText.h.
void AddBlock(const QStringList &rows) {
    FileList &list = MatchList();
    const int head = int(list.size());
    for (const QString &row : rows) {
        const QStringList parts = row.split(QLatin1Char(' '));
        FileRecord r{.ImageId = parts.value(2).toInt(), .Group = head};
        r.Mark = MatchListText::MarkOf(parts.value(1, QStringLiteral("S")).at(0));
        r.IsBlockHead = int(list.size()) == head;
        list.push_back({parts.at(0), std::make_unique<FileRecord>(r)});
    }
}

QByteArray PngBytes(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(30, 140, 200));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

struct stat StandardError() {
    struct stat status {};
    ::fstat(STDERR_FILENO, &status);
    return status;
}
} // namespace

class TestPreviewUnit : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ResetEngine();
        Context().CommonBaseFolder = QStringLiteral("/data/");
    }
    void cleanup() { ResetEngine(); }

    // Which files of the selected row's block the preview shows.
    void picturesOfTheSelectedBlock_data() {
        QTest::addColumn<QStringList>("block"); // a second block "x.jpg", "y.jpg" follows
        QTest::addColumn<bool>("identical");    // the last run compared contents exactly
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("current");
        const QStringList three{"a.jpg S 1", "b.png S 2", "c.jpg S 3"};
        QTest::newRow("similar pictures")
            << three << false << 1 << QStringList{"a.jpg", "b.png", "c.jpg"} << "b.png";
        QTest::newRow("identical photos: one picture")
            << three << true << 2 << QStringList{"a.jpg"} << "";
        QTest::newRow("identical, first file no picture")
            << QStringList{"a.txt", "b.jpg", "c.jpg"} << true << 0 << QStringList{"b.jpg"} << "";
        QTest::newRow("deleted and virtual left out")
            << QStringList{"a.jpg", "b.jpg X", "c.jpg V", "d.jpg D"} << false << 1
            << QStringList{"a.jpg", "d.jpg"} << "";
        QTest::newRow("names of pictures, fingerprints of others")
            << QStringList{"a.txt S 0", "b.JPEG S 0", "c.dat S 7", "d.gif S -1"} << false << 2
            << QStringList{"b.JPEG", "c.dat", "d.gif"} << "c.dat";
        QTest::newRow("no pictures")
            << QStringList{"a.txt", "b.doc"} << false << 0 << QStringList{} << "";
        QTest::newRow("selected in the next block")
            << three << false << 4 << QStringList{"x.jpg", "y.jpg"} << "y.jpg";
    }
    void picturesOfTheSelectedBlock() {
        QFETCH(QStringList, block);
        QFETCH(bool, identical);
        QFETCH(int, selected);
        QFETCH(QStringList, paths);
        QFETCH(QString, current);
        AddBlock(block);
        AddBlock({"x.jpg", "y.jpg"});
        Context().LastRunOptions.CompareContents = true;
        Context().LastRunOptions.ContentPercent = identical ? 100 : 90;
        const std::optional<PreviewBlock> preview = PreviewBlockOf(selected);
        QVERIFY(preview);
        QCOMPARE(preview->Group, selected < block.size() ? 0 : int(block.size()));
        for (QString &path : paths)
            path.prepend(QStringLiteral("/data/"));
        QCOMPARE(preview->Paths, paths);
        QCOMPARE(preview->Current,
                 current.isEmpty() ? current : QStringLiteral("/data/") + current);
    }

    void rowsOutsideTheListShowNothing() {
        QVERIFY(!PreviewBlockOf(0));
        AddBlock({"a.jpg", "b.jpg"});
        QVERIFY(!PreviewBlockOf(-1));
        QVERIFY(!PreviewBlockOf(2));
    }

    void singlePictureShrinksTheWindow_data() {
        QTest::addColumn<int>("pictures");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("saved");
        QTest::addColumn<int>("newHeight");
        QTest::addColumn<int>("newSaved");
        QTest::newRow("one, from the start height") << 1 << 600 << 600 << 284 << 600;
        QTest::newRow("one, after the user made it taller") << 1 << 700 << 600 << 284 << 700;
        QTest::newRow("one after one") << 1 << 284 << 700 << 284 << 700;
        QTest::newRow("one, from a lower window") << 1 << 200 << 600 << 284 << 600;
        QTest::newRow("several after one") << 3 << 284 << 700 << 700 << 700;
        QTest::newRow("several, height of the user's") << 3 << 500 << 700 << 500 << 700;
    }
    void singlePictureShrinksTheWindow() {
        QFETCH(int, pictures);
        QFETCH(int, height);
        QFETCH(int, saved);
        const PreviewHeight result = PreviewClientHeight(pictures, height, saved);
        QTEST(result.Height, "newHeight");
        QTEST(result.Saved, "newSaved");
    }

    void thumbnailsKeepTheirProportions() {
        TempFolder dir;
        const QByteArray png = PngBytes(640, 480);
        const QString photo = dir.Write(QStringLiteral("photo.png"), png);
        ImageLoader loader;
        // Only decoders made ready on the window's thread decode.
        QVERIFY(!LoadPicture(loader, photo, {200, 200}).Loaded);
        QVERIFY(StartupGdiplus());
        const LoadedPicture picture = LoadPicture(loader, photo, {ThumbnailSide, ThumbnailSide});
        QVERIFY(picture.Loaded);
        QCOMPARE(picture.Bitmap.size(), QSize(200, 150));
        QCOMPARE(picture.FullSize, QSize(640, 480));
        QCOMPARE(ThumbnailSizeText(picture),
                 QStringLiteral("640 x 480 pixel, %1 kb").arg(png.size() / 1024));
        // Never enlarged.
        const QString small = dir.Write(QStringLiteral("small.png"), PngBytes(40, 30));
        QCOMPARE(LoadPicture(loader, small, {200, 200}).Bitmap.size(), QSize(40, 30));
        for (const char *name : {"empty.jpg", "damaged.png", "missing.jpg"}) {
            if (QByteArray(name) != "missing.jpg")
                dir.Write(QLatin1String(name), name[0] == 'e' ? QByteArray() : png.left(60));
            QVERIFY2(!LoadPicture(loader, dir.Path(QLatin1String(name)), {200, 200}).Loaded, name);
        }
    }

    // The preview's loader decodes on its own thread while the search's
    // decoder works; damaged pictures on both sides mute standard error, and
    // it must come back as it was.
    void loaderDecodesBesideTheSharedDecoder() {
        TempFolder dir;
        const QString photo = dir.Write(QStringLiteral("photo.png"), PngBytes(300, 200));
        const QString damaged =
            dir.Write(QStringLiteral("damaged.png"), PngBytes(300, 200).left(80));
        QVERIFY(StartupGdiplus());
        const struct stat before = StandardError();
        constexpr int Rounds = 40;
        int loaded = 0;
        QThread *thread = QThread::create([&] {
            ImageLoader loader;
            for (int k = 0; k < Rounds; ++k) {
                loaded += LoadPicture(loader, photo, {100, 100}).Bitmap.size() == QSize(100, 66);
                loaded += LoadPicture(loader, damaged, {100, 100}).Loaded ? 100 : 0;
            }
        });
        thread->start();
        int shared = 0;
        for (int k = 0; k < Rounds; ++k) {
            shared += LoadImageAsBitmap(photo).size() == QSize(300, 200);
            shared += LoadImageAsBitmap(damaged).isNull() ? 0 : 100;
        }
        QVERIFY(thread->wait(60000));
        delete thread;
        QCOMPARE(loaded, Rounds);
        QCOMPARE(shared, Rounds);
        const struct stat after = StandardError();
        QCOMPARE(after.st_dev, before.st_dev);
        QCOMPARE(after.st_ino, before.st_ino);
    }
};

QTEST_GUILESS_MAIN(TestPreviewUnit)
#include "TestPreviewUnit.moc"
