#include "compare/Hex32Unit.h"
#include "compare/ImageCompareUnit.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <unistd.h>

namespace {

// Something like a photograph: a smooth gradient, a few shapes and noise.
QImage PhotoLike(int w, int h, quint32 seed) {
    QRandomGenerator random(seed);
    QImage image(w, h, QImage::Format_RGB32);
    const int cx = int(random.bounded(w)), cy = int(random.bounded(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int ring = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (w + 1) % 64;
            const int noise = int(random.bounded(9)) - 4;
            image.setPixel(x, y,
                           qRgb(qBound(0, x * 200 / w + ring + noise, 255),
                                qBound(0, y * 180 / h + noise, 255),
                                qBound(0, 60 + ring * 2 + noise, 255)));
        }
    }
    return image;
}

QImage Even(int w, int h, int grey) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(grey, grey, grey));
    return image;
}

struct Header {
    qint32 w, h, W, H;
};
Header HeaderOf(const QByteArray &fingerprint) {
    const auto *p = reinterpret_cast<const uchar *>(fingerprint.constData());
    return {qFromLittleEndian<qint32>(p), qFromLittleEndian<qint32>(p + 4),
            qFromLittleEndian<qint32>(p + 8), qFromLittleEndian<qint32>(p + 12)};
}

// A fingerprint made by hand: w x h cells of the given grey values.
QByteArray Fingerprint(int w, int h, const std::function<int(int, int)> &grey) {
    QByteArray bytes(16 + w * h, '\0');
    auto *p = reinterpret_cast<uchar *>(bytes.data());
    qToLittleEndian<qint32>(w, p);
    qToLittleEndian<qint32>(h, p + 4);
    qToLittleEndian<qint32>(w, p + 8);
    qToLittleEndian<qint32>(h, p + 12);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[16 + y * w + x] = uchar(grey(x, y));
    return bytes;
}

QStringList StoreFiles(const QString &folder) {
    return QDir(folder).entryList({QStringLiteral("Dupliscan *")}, QDir::Files);
}

} // namespace

class TestImageCompareUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Files;
    QTemporaryDir Temp;
    QByteArray SavedTmpDir;

    QString Save(const QImage &image, const QString &name) {
        const QString path = Files.filePath(name);
        return image.save(path) ? path : QString();
    }

private slots:
    // The store goes to a temporary folder of the test's own, so the test can
    // see exactly which files appear there.
    void initTestCase() {
        SavedTmpDir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(Temp.path()));
        QCOMPARE(QDir::tempPath(), Temp.path());
    }
    void cleanupTestCase() {
        ResetImageDatabase();
        qputenv("TMPDIR", SavedTmpDir);
    }
    void cleanup() {
        ResetImageDatabase();
        SetFingerprintStoreTime(QDateTime());
        qputenv("TMPDIR", QFile::encodeName(Temp.path()));
    }

    void fingerprintHeader_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("cells");
        QTest::newRow("100 x 80 fits the box") << QSize(100, 80) << QSize(100, 80);
        QTest::newRow("1000 x 800 in cells of 5 x 5") << QSize(1000, 800) << QSize(200, 160);
        QTest::newRow("999 x 500 one short of the box") << QSize(999, 500) << QSize(200, 100);
        QTest::newRow("portrait 300 x 1000") << QSize(300, 1000) << QSize(60, 200);
        QTest::newRow("1 x 1") << QSize(1, 1) << QSize(1, 1);
    }

    void fingerprintHeader() {
        QFETCH(QSize, picture);
        QFETCH(QSize, cells);
        const QByteArray fingerprint = MakeFingerprint(Even(picture.width(), picture.height(), 77));
        const Header header = HeaderOf(fingerprint);
        QCOMPARE(header.w, cells.width());
        QCOMPARE(header.h, cells.height());
        QCOMPARE(header.W, picture.width());
        QCOMPARE(header.H, picture.height());
        QCOMPARE(fingerprint.size(), 16 + cells.width() * cells.height());
        QCOMPARE(int(uchar(fingerprint.back())), 77);
    }

    void tooNarrowPictureHasNoFingerprint() {
        QVERIFY(MakeFingerprint(Even(3, 1000, 10)).isEmpty());
        QVERIFY(MakeFingerprint(QImage()).isEmpty());
    }

    void greyIsTheMeanOfTheChannels() {
        QImage small(2, 1, QImage::Format_RGB32);
        small.setPixel(0, 0, qRgb(10, 20, 31)); // 61 / 3
        small.setPixel(1, 0, qRgb(255, 255, 254));
        const QByteArray fingerprint = MakeFingerprint(small);
        QCOMPARE(int(uchar(fingerprint[16])), 20);
        QCOMPARE(int(uchar(fingerprint[17])), 254);
    }

    void cellsAreMeansOfTheirPixels() {
        const QImage picture = PhotoLike(1000, 800, 7);
        const QByteArray fingerprint = MakeFingerprint(picture);
        for (const QPoint cell : {QPoint(0, 0), QPoint(199, 159), QPoint(57, 101)}) {
            qint64 sum = 0;
            for (int y = 5 * cell.y(); y < 5 * cell.y() + 5; ++y)
                for (int x = 5 * cell.x(); x < 5 * cell.x() + 5; ++x) {
                    const QRgb p = picture.pixel(x, y);
                    sum += qRed(p) + qGreen(p) + qBlue(p);
                }
            QCOMPARE(int(uchar(fingerprint[16 + cell.y() * 200 + cell.x()])), int(sum / 75));
        }
    }

    void samePictureAsBmpAndPngIsEqual() {
        const QImage picture = PhotoLike(640, 480, 1);
        const qint32 bmp = ImageFingerprint(Save(picture, QStringLiteral("same.bmp")));
        const qint32 png = ImageFingerprint(Save(picture, QStringLiteral("same.png")));
        QCOMPARE(bmp, 1);
        QCOMPARE(png, 2);
        const QByteArray first = FingerprintData(bmp);
        QCOMPARE(first, MakeFingerprint(picture));
        QCOMPARE(ImageSimilarity(first, png, true), 100);
        QCOMPARE(ImageSimilarity(first, png, false), 100);
    }

    void differentPicturesScoreLow() {
        const qint32 a = ImageFingerprint(Save(PhotoLike(640, 480, 1), QStringLiteral("a.png")));
        const qint32 b = ImageFingerprint(Save(PhotoLike(640, 480, 2), QStringLiteral("b.png")));
        QVERIFY(a > 0 && b > 0);
        QVERIFY(ImageSimilarity(FingerprintData(a), b, true) < 95);
    }

    void scoring_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("strict");
        QTest::addColumn<int>("percent");
        const auto base = [](int x, int y) { return (x * 3 + y * 5) % 200 + 20; };
        const QByteArray picture = Fingerprint(100, 80, base);
        const QByteArray by15 = Fingerprint(100, 80, [&](int x, int y) { return base(x, y) + 15; });
        QTest::newRow("identical strict") << picture << picture << true << 100;
        QTest::newRow("identical tolerant re-checked") << picture << picture << false << 100;
        QTest::newRow("every value differs by 15") << picture << by15 << true << 50;
        QTest::newRow("every value differs by 10")
            << picture << Fingerprint(100, 80, [&](int x, int y) { return base(x, y) + 10; })
            << true << 100;
        QTest::newRow("every value differs by 21 stops after one pass")
            << picture << Fingerprint(100, 80, [&](int x, int y) { return base(x, y) + 21; })
            << true << 1;

        // Inside the bands (28 rows of 80 at the top and at the bottom) the
        // pictures differ completely; the middle agrees.
        const auto banded = [&](int x, int y) {
            return y < 28 || y >= 52 ? (base(x, y) + 100) % 256 : base(x, y);
        };
        QTest::newRow("bands differ: strict sees them")
            << picture << Fingerprint(100, 80, banded) << true << 30;
        const auto smallBands = [&](int x, int y) { return y < 8 || y >= 72 ? 255 : base(x, y); };
        QTest::newRow("bands differ: tolerant 100 ends at 95")
            << picture << Fingerprint(100, 80, smallBands) << false << 95;
        QTest::newRow("bands differ: strict re-check below 40 wins")
            << picture << Fingerprint(100, 80, banded) << false << 30;
        QTest::newRow("tolerant at most 95") << picture << Fingerprint(100, 80, [&](int x, int y) {
            return x < 3 ? 255 : base(x, y);
        }) << false << 95;

        QTest::newRow("heights 80 and 160 are not compared")
            << picture << Fingerprint(200, 160, base) << true << 0;
        QTest::newRow("heights 80 and 84 are compared")
            << picture << Fingerprint(100, 84, base) << true << 100;
        QTest::newRow("heights 80 and 85 are not")
            << picture << Fingerprint(100, 85, base) << true << 0;
        QTest::newRow("portraits of height 200, other widths")
            << Fingerprint(50, 200, base) << Fingerprint(75, 200, base) << true << 100;

        // Too low for the bands: compared over the whole height.
        const QByteArray low = Fingerprint(60, 40, base);
        QTest::newRow("low identical pictures tolerant") << low << low << false << 100;
        const QByteArray row = Fingerprint(30, 1, base);
        QTest::newRow("one row strict") << row << row << true << 100;
        QTest::newRow("one pixel")
            << Fingerprint(1, 1, base) << Fingerprint(1, 1, base) << false << 100;

        QTest::newRow("header promises more cells than it has")
            << picture << picture.left(16 + 100) << true << 0;
        QTest::newRow("header only") << picture << picture.left(16) << true << 0;
    }

    void scoring() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, strict);
        QFETCH(int, percent);
        QCOMPARE(CompareFingerprints(first, second, strict), percent);
    }

    void storeFilesLiveForOneRun() {
        QVERIFY(StoreFiles(Temp.path()).isEmpty());
        const QString path = Save(PhotoLike(200, 150, 3), QStringLiteral("run.jpg"));
        const qint32 record = ImageFingerprint(path);
        QCOMPARE(record, 1);
        const QString base = CurrentFingerprintStore();
        QVERIFY(base.startsWith(Temp.path() + QStringLiteral("/Dupliscan ")));
        QCOMPARE(StoreFiles(Temp.path()).size(), 2);
        QVERIFY(QFile::exists(base + ".hbi"));
        QVERIFY(QFile::exists(base + ".hbd"));

        ResetImageDatabase();
        QVERIFY(StoreFiles(Temp.path()).isEmpty());
        QVERIFY(FingerprintData(record).isEmpty());
        QCOMPARE(ImageSimilarity(MakeFingerprint(PhotoLike(200, 150, 3)), record, true), 0);

        // The next run starts again at record 1 in a new store.
        QCOMPARE(ImageFingerprint(path), 1);
        QCOMPARE(StoreFiles(Temp.path()).size(), 2);
    }

    void badFilesGetNoFingerprintButTheRunGoesOn() {
        QFile text(Files.filePath(QStringLiteral("text.jpg")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a picture");
        text.close();
        QFile empty(Files.filePath(QStringLiteral("empty.png")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const QString vanishing = Save(PhotoLike(100, 100, 4), QStringLiteral("vanishing.png"));
        QVERIFY(QFile::remove(vanishing));

        QCOMPARE(ImageFingerprint(text.fileName()), -1);
        QCOMPARE(ImageFingerprint(empty.fileName()), -1);
        QCOMPARE(ImageFingerprint(vanishing), -1);
        // Nothing decodable yet: no store either.
        QVERIFY(StoreFiles(Temp.path()).isEmpty());
        QCOMPARE(ImageFingerprint(Save(Even(3, 1000, 5), QStringLiteral("narrow.png"))), -1);

        QCOMPARE(ImageFingerprint(Save(Even(1, 1, 5), QStringLiteral("dot.png"))), 1);
        QCOMPARE(ImageFingerprint(text.fileName()), -1);
        QCOMPARE(ImageFingerprint(Save(PhotoLike(100, 100, 4), QStringLiteral("fine.png"))), 2);
        QCOMPARE(ImageSimilarity(QByteArray(16, '\0'), 2, true), 0);
        QCOMPARE(ImageSimilarity(FingerprintData(2), -1, true), 0);
        QCOMPARE(ImageSimilarity(FingerprintData(2), 0, true), 0);
    }

    void unwritableTemporaryFolderGivesMinusOneQuietly() {
        QTemporaryDir locked;
        QVERIFY(
            QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        qputenv("TMPDIR", QFile::encodeName(locked.path()));
        const QString first = Save(PhotoLike(120, 90, 5), QStringLiteral("locked.png"));
        // Root writes into any folder; the check only means something for others.
        if (getuid() != 0) {
            QCOMPARE(ImageFingerprint(first), -1);
            QVERIFY(StoreFiles(locked.path()).isEmpty());
        }
        ResetImageDatabase();
        QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);

        // A temporary folder that cannot exist at all.
        const QString blocker = Files.filePath(QStringLiteral("blocker"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("TMPDIR", QFile::encodeName(blocker + QStringLiteral("/tmp")));
        const QString picture = Save(PhotoLike(120, 90, 5), QStringLiteral("nowhere.png"));
        QCOMPARE(ImageFingerprint(picture), -1);
        QCOMPARE(ImageFingerprint(picture), -1);
        QVERIFY(FingerprintData(1).isEmpty());
        QVERIFY(StoreFiles(QDir::currentPath()).isEmpty());
        QCOMPARE(ImageSimilarity(MakeFingerprint(PhotoLike(120, 90, 5)), 1, true), 0);
        ResetImageDatabase();
        QVERIFY(QFileInfo(blocker).isFile());
    }

    // Files that happen to carry the store's names are never opened, changed or
    // deleted, not even by ResetImageDatabase.
    void existingFilesWithTheStoreNameAreLeftAlone() {
        QTemporaryDir crowded;
        qputenv("TMPDIR", QFile::encodeName(crowded.path()));
        const QDateTime when(QDate(2026, 5, 1), QTime(12, 0));
        SetFingerprintStoreTime(when);
        const auto occupy = [&](int from, int to) {
            for (int ms = from; ms < to; ++ms) {
                QFile file(FingerprintStoreBaseName(when.addMSecs(ms)) + QStringLiteral(".hbi"));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("keep me");
            }
        };
        const auto untouched = [&](int count) {
            const QStringList names = QDir(crowded.path()).entryList({QStringLiteral("*.hbi")});
            QCOMPARE(names.size(), count);
            for (const QString &name : names) {
                QFile file(crowded.filePath(name));
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), QByteArray("keep me"));
            }
        };
        const QString picture = Save(PhotoLike(120, 90, 6), QStringLiteral("crowded.png"));

        // Some names taken: the store takes the next free one.
        occupy(0, 50);
        QCOMPARE(ImageFingerprint(picture), 1);
        QCOMPARE(CurrentFingerprintStore(), FingerprintStoreBaseName(when.addMSecs(50)));
        ResetImageDatabase();
        untouched(50);

        // Every name it would try is taken: no store, and still nothing is lost.
        occupy(50, 200);
        QCOMPARE(ImageFingerprint(picture), -1);
        ResetImageDatabase();
        untouched(200);
        QCOMPARE(QDir(crowded.path()).entryList({QStringLiteral("*.hbd")}).size(), 0);
        SetFingerprintStoreTime(QDateTime());
    }

    void hex32_data() {
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << quint64(0) << "0";
        QTest::newRow("31") << quint64(31) << "V";
        QTest::newRow("32") << quint64(32) << "10";
        QTest::newRow("day 2.5 as double bits") << quint64(0x4004000000000000) << "4010000000000";
        QTest::newRow("all 64 bits in 13 digits") << ~quint64(0) << "FVVVVVVVVVVVV";
    }

    void hex32() {
        QFETCH(quint64, value);
        QFETCH(QString, text);
        QCOMPARE(IntToHex32(value), text);
    }

    void storeNameIsTheLocalTimeInBase32() {
        const QDateTime morning(QDate(2026, 12, 6), QTime(6, 0));
        QCOMPARE(DayNumber(morning), 46362.25);
        QCOMPARE(FingerprintStoreBaseName(morning),
                 Temp.path() + QStringLiteral("/Dupliscan 41PL390000000"));
        QCOMPARE(DayNumber(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestImageCompareUnit)
#include "TestImageCompareUnit.moc"
