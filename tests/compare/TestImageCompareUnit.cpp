#include "compare/Hex32Unit.h"
#include "compare/ImageCompareUnit.h"
#include "compare/ImageDecoder.h"

#include "TestSupport.h"

#include <QImageReader>
#include <QRandomGenerator>

#include <algorithm>

using TestSupport::ReadWholeFile;
using TestSupport::WriteFile;

namespace {
// A smooth picture with some texture.
QImage Picture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x * y) % 97));
    return image;
}

// A fingerprint made by hand: w x h cells of the given grey values.
QByteArray Fingerprint(int w, int h, const std::function<int(int, int)> &grey) {
    QByteArray bytes(16 + w * h, '\0');
    for (int k = 0; k < 4; ++k)
        qToLittleEndian<qint32>(k % 2 ? h : w, bytes.data() + 4 * k);
    for (int k = 0; k < w * h; ++k)
        bytes[16 + k] = char(grey(k % w, k / w));
    return bytes;
}

QStringList StoreFiles(const QString &folder) {
    return QDir(folder).entryList({QStringLiteral("Dupliscan *")}, QDir::Files);
}
} // namespace

class TestImageCompareUnit : public QObject {
    Q_OBJECT

    TestSupport::TempFolder Files, Temp;

    QString Save(const QImage &image, const QString &name) {
        return image.save(Files.Path(name)) ? Files.Path(name) : QString();
    }

private slots:
    // The store goes to a temporary folder of the test's own, so the test can
    // see exactly which files appear there.
    void init() { qputenv("TMPDIR", QFile::encodeName(Temp.path())); }
    void cleanup() { ResetImageCompare(); }

    void fingerprintHeader_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("cells");
        QTest::newRow("100 x 80 fits the box") << QSize(100, 80) << QSize(100, 80);
        QTest::newRow("1000 x 800 in cells of 5 x 5") << QSize(1000, 800) << QSize(200, 160);
        QTest::newRow("3 x 1000, one cell wide") << QSize(3, 1000) << QSize(1, 200);
        QTest::newRow("2000 x 8, one cell high") << QSize(2000, 8) << QSize(200, 1);
    }
    void fingerprintHeader() {
        QFETCH(QSize, picture);
        QFETCH(QSize, cells);
        QImage image(picture, QImage::Format_RGB32);
        image.fill(qRgb(231, 231, 231));
        const QByteArray fingerprint = MakeFingerprint(image);
        const auto *p = reinterpret_cast<const uchar *>(fingerprint.constData());
        QCOMPARE(QSize(qFromLittleEndian<qint32>(p), qFromLittleEndian<qint32>(p + 4)), cells);
        QCOMPARE(QSize(qFromLittleEndian<qint32>(p + 8), qFromLittleEndian<qint32>(p + 12)),
                 picture);
        QCOMPARE(fingerprint.size(), 16 + cells.width() * cells.height() + 48);
        QCOMPARE(fingerprint.right(49), QByteArray(49, char(231))); // last cell and colours
    }

    // A large JPEG is decoded at a reduced scale where its sides allow one;
    // its fingerprint still tells the picture's own size and stays within a
    // grey step or two of the full decode's, cell by cell.
    void aReducedJpegKeepsItsFingerprint_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<bool>("turnedByTag"); // an Exif orientation as phones write it
        QTest::newRow("4000 x 3000, at a quarter") << QSize(4000, 3000) << false;
        QTest::newRow("3000 x 4000, portrait") << QSize(3000, 4000) << false;
        QTest::newRow("1601 x 1200, decoded whole") << QSize(1601, 1200) << false;
        QTest::newRow("1600 x 1200 turned by its tag") << QSize(1600, 1200) << true;
    }
    void aReducedJpegKeepsItsFingerprint() {
        QFETCH(QSize, picture);
        QFETCH(bool, turnedByTag);
        const QString path = Files.Path(QStringLiteral("photo.jpg"));
        QVERIFY(Picture(picture.width(), picture.height()).save(path, nullptr, 90));
        if (turnedByTag) {
            // An APP1 segment right after the start: orientation 6, "turn by 90°".
            const QByteArray tiff = QByteArray::fromHex("4d4d002a00000008"
                                                        "0001"
                                                        "011200030000000100060000"
                                                        "00000000");
            const QByteArray payload = QByteArray("Exif", 4) + QByteArray(2, '\0') + tiff;
            QByteArray segment = QByteArray::fromHex("ffe1");
            segment.append(char((payload.size() + 2) >> 8)).append(char(payload.size() + 2));
            QByteArray bytes = ReadWholeFile(path);
            QVERIFY(WriteFile(path, bytes.insert(2, segment + payload)));
            QCOMPARE(QImageReader(path).transformation(), QImageIOHandler::TransformationRotate90);
        }
        const QByteArray full = MakeFingerprint(LoadImageAsBitmap(path));
        const QByteArray reduced = FileFingerprint(path);
        QCOMPARE(reduced.size(), full.size());
        QCOMPARE(reduced.left(16), full.left(16));
        int largest = 0;
        for (qsizetype k = 16; k < full.size(); ++k)
            largest = qMax(largest, std::abs(int(uchar(full[k])) - int(uchar(reduced[k]))));
        QVERIFY2(largest <= 3, qPrintable(QString::number(largest)));
        const qint32 record = StoreFingerprint(full);
        QCOMPARE(ImageSimilarity(reduced, record, true), 100);
        if (picture.width() % 2)
            QCOMPARE(reduced, full);
    }

    // The grey cells cannot tell colours apart; the colour signature rules out
    // pictures whose colours differ plainly, and nothing a copy goes through.
    void colourTellsPicturesApart_data() {
        QTest::addColumn<QImage>("first");
        QTest::addColumn<QImage>("second");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("similar");
        const QImage photo = Picture(640, 480);
        const auto brightened = [&](double factor) {
            QImage copy = photo;
            auto *pixel = reinterpret_cast<QRgb *>(copy.bits());
            const auto up = [&](int v) { return qMin(255, qRound(v * factor)); };
            for (qsizetype k = 0; k < copy.sizeInBytes() / 4; ++k)
                pixel[k] = qRgb(up(qRed(pixel[k])), up(qGreen(pixel[k])), up(qBlue(pixel[k])));
            return copy;
        };
        const auto solid = [](Qt::GlobalColor colour) {
            QImage image(320, 240, QImage::Format_RGB32);
            image.fill(colour);
            return image;
        };
        QTest::newRow("JPEG at quality 60") << photo << photo << "jpg" << true;
        QTest::newRow("halved") << photo << photo.scaled(320, 240) << "png" << true;
        QTest::newRow("brightened by 8 %") << photo << brightened(1.08) << "png" << true;
        QTest::newRow("16 bits per channel")
            << photo << photo.convertToFormat(QImage::Format_RGBX64) << "png" << true;
        QTest::newRow("red and blue swapped") << photo << photo.rgbSwapped() << "png" << false;
        QTest::newRow("blue and red") << solid(Qt::blue) << solid(Qt::red) << "png" << false;
    }
    void colourTellsPicturesApart() {
        QFETCH(QImage, first);
        QFETCH(QImage, second);
        QFETCH(QString, format);
        QFETCH(bool, similar);
        QVERIFY(first.save(Files.Path("first.png")));
        QVERIFY(second.save(Files.Path("second." + format), nullptr, 60));
        if (second.depth() == 64) // the bit depth in the file's header
            QCOMPARE(int(ReadWholeFile(Files.Path("second.png")).at(24)), 16);
        QCOMPARE(ImageFingerprint(Files.Path("first.png")), 1);
        QCOMPARE(ImageFingerprint(Files.Path("second." + format)), 2);
        const QByteArray one = FingerprintData(1), two = FingerprintData(2);
        const auto grey = [](QByteArray fingerprint) {
            fingerprint.chop(ColourSignatureSize);
            return fingerprint;
        };
        for (const bool strict : {true, false}) {
            const int percent = CompareFingerprints(one, two, strict);
            const int greyPercent = CompareFingerprints(grey(one), grey(two), strict);
            QCOMPARE(ImageSimilarity(one, 2, strict), percent);
            // Ruled out: below the lowest percentage a search can ask for,
            // where the grey cells alone call the pictures equal.
            if (similar)
                QCOMPARE(percent, greyPercent);
            else
                QVERIFY2(percent < 60 && greyPercent >= 95,
                         qPrintable(QString::number(percent) + " " + QString::number(greyPercent)));
        }
    }

    void scoring_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("strict");
        QTest::addColumn<int>("percent");
        const auto base = [](int x, int y) { return (x * 3 + y * 5) % 200 + 20; };
        const auto plus = [&](int d) {
            return Fingerprint(100, 80, [&](int x, int y) { return base(x, y) + d; });
        };
        const QByteArray picture = Fingerprint(100, 80, base);
        QTest::newRow("identical tolerant re-checked") << picture << picture << false << 100;
        QTest::newRow("every value differs by 10") << picture << plus(10) << true << 100;
        QTest::newRow("differs by 21: one pass") << picture << plus(21) << true << 1;
        // Inside the bands (28 of 80 rows at the top and at the bottom) the
        // pictures differ completely; the middle agrees.
        const QByteArray banded = Fingerprint(100, 80, [&](int x, int y) {
            return y < 28 || y >= 52 ? (base(x, y) + 100) % 256 : base(x, y);
        });
        QTest::newRow("bands differ: strict sees them") << picture << banded << true << 30;
        QTest::newRow("strict re-check below 40 wins") << picture << banded << false << 30;
        QTest::newRow("tolerant 100 ends at 95")
            << picture
            << Fingerprint(100, 80,
                           [&](int x, int y) { return y < 8 || y >= 72 ? 255 : base(x, y); })
            << false << 95;
        QTest::newRow("heights 80 and 85 are not")
            << picture << Fingerprint(100, 85, base) << true << 0;
        QTest::newRow("header promises more cells") << picture << picture.left(116) << true << 0;
    }
    void scoring() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, strict);
        QFETCH(int, percent);
        QCOMPARE(CompareFingerprints(first, second, strict), percent);
    }

    // The bound on the coarse parts never rules out a pair the full
    // comparison keeps or cannot judge: random cells, copies with noise about
    // the grey thresholds, differences only in the rows the coarse part leaves
    // out (adversarial: it sees equal rows) or only in the bands, colour
    // signatures alike and unlike, heights at the tolerance, single rows and
    // unequal widths. And it does rule out most unlike pairs.
    void theCoarseBoundNeverRulesOutAKeptPair() {
        QRandomGenerator random(1212);
        const int leasts[] = {2, 39, 40, 41, 50, 60, 75, 85, 89, 90, 95, 96, 99, 100};
        int ruledOut = 0, unlikeRuledOut = 0, unlikeAt95 = 0;
        for (int round = 0; round < 600; ++round) {
            const int kind = round % 7;
            const int w1 = 1 + random.bounded(70), h1 = 1 + random.bounded(90);
            const int w2 = round % 5 == 0 ? 1 + random.bounded(70) : w1;
            const int h2 =
                round % 4 == 0 ? qMax(1, h1 + h1 / 20 - random.bounded(h1 / 10 + 1)) : h1;
            const int scale = 1 + random.bounded(8); // the source is larger: the bands vary
            const int noise = QList<int>{5, 10, 11, 15, 20, 21, 30}[random.bounded(7)];
            QList<int> a(w1 * h1);
            for (int &grey : a)
                grey = random.bounded(256);
            const int band = h1 / 5;
            auto second = [&](int x, int y) {
                const int base = x < w1 && y < h1 ? a[y * w1 + x] : random.bounded(256);
                const int changed = (base + 128) % 256;
                switch (kind) {
                case 0:
                    return random.bounded(256);
                case 1:
                    return std::clamp(base + random.bounded(-noise, noise + 1), 0, 255);
                case 2:
                    return y % 8 >= 2 ? changed : base;
                case 3:
                    return y % 8 < 2 ? changed : base;
                case 4:
                    return y < band || y >= h1 - band ? changed : base;
                case 5:
                    return random.bounded(4) == 0 ? std::clamp(base + 25, 0, 255) : base;
                default:
                    return base;
                }
            };
            QByteArray first = Fingerprint(w1, h1, [&](int x, int y) { return a[y * w1 + x]; });
            QByteArray other = Fingerprint(w2, h2, second);
            for (QByteArray *f : {&first, &other}) {
                qToLittleEndian<qint32>(qFromLittleEndian<qint32>(f->constData()) * scale,
                                        f->data() + 8);
                qToLittleEndian<qint32>(qFromLittleEndian<qint32>(f->constData() + 4) * scale,
                                        f->data() + 12);
            }
            if (round % 3 != 0) {
                QByteArray colours(ColourSignatureSize, '\0');
                for (char &c : colours)
                    c = char(random.bounded(256));
                first += colours;
                if (round % 3 == 2)
                    for (char &c : colours)
                        c = char(random.bounded(256));
                other += colours;
            }
            const QByteArray coarseA = CoarseFingerprint(first), coarseB = CoarseFingerprint(other);
            QVERIFY(!coarseA.isEmpty() && !coarseB.isEmpty());
            for (const bool strict : {false, true}) {
                const int full = CompareFingerprints(first, other, strict);
                for (const int least : leasts) {
                    if (kind == 0 && least == 95 && full > 0)
                        ++unlikeAt95;
                    if (CoarseMayReach(coarseA, coarseB, least, strict))
                        continue;
                    ++ruledOut;
                    unlikeRuledOut += kind == 0 && least == 95;
                    QVERIFY2(full >= 1 && full < least,
                             qPrintable(QStringLiteral("round %1 least %2: %3")
                                            .arg(round)
                                            .arg(least)
                                            .arg(full)));
                }
            }
        }
        QVERIFY(ruledOut > 1000);
        QVERIFY2(
            unlikeRuledOut * 10 >= unlikeAt95 * 9,
            qPrintable(QString::number(unlikeRuledOut) + " of " + QString::number(unlikeAt95)));
    }

    void storeFilesLiveForOneRunAndBadFilesGetNone() {
        QVERIFY(WriteFile(Files.Path("text.jpg"), "not a picture"));
        QVERIFY(WriteFile(Files.Path("empty.png"), {}));
        for (const char *name : {"text.jpg", "empty.png", "missing.png"})
            QCOMPARE(ImageFingerprint(Files.Path(name)), -1);
        QVERIFY(StoreFiles(Temp.path()).isEmpty()); // nothing decodable yet: no store either
        const QString path = Save(Picture(200, 150), QStringLiteral("run.jpg"));
        QCOMPARE(ImageFingerprint(path), 1);
        const QString base = QFileInfo(CurrentFingerprintStore()).fileName();
        QVERIFY(CurrentFingerprintStore().startsWith(Temp.path() + QStringLiteral("/Dupliscan ")));
        QCOMPARE(StoreFiles(Temp.path()), QStringList({base + ".hbd", base + ".hbi"}));
        ResetImageDatabase();
        QVERIFY(StoreFiles(Temp.path()).isEmpty());
        QVERIFY(FingerprintData(1).isEmpty());
        QCOMPARE(ImageFingerprint(path), 1); // the next run starts again at record 1
    }

    // Files that happen to carry the store's names are never opened, changed or
    // deleted, not even by ResetImageDatabase.
    void existingFilesWithTheStoreNameAreLeftAlone() {
        QTemporaryDir crowded;
        qputenv("TMPDIR", QFile::encodeName(crowded.path()));
        const QDateTime when(QDate(2026, 5, 1), QTime(12, 0));
        SetFingerprintStoreTime(when);
        const auto occupy = [&](int from, int to) {
            for (int ms = from; ms < to; ++ms)
                QVERIFY(WriteFile(FingerprintStoreBaseName(when.addMSecs(ms)) + ".hbi", "keep"));
        };
        const auto untouched = [&](int count) {
            const QStringList names = QDir(crowded.path()).entryList({QStringLiteral("*.hb?")});
            QCOMPARE(names.size(), count);
            for (const QString &name : names)
                QCOMPARE(ReadWholeFile(crowded.filePath(name)), QByteArray("keep"));
        };
        const QString picture = Save(Picture(120, 90), QStringLiteral("crowded.png"));
        occupy(0, 50); // some names taken: the store takes the next free one
        QCOMPARE(ImageFingerprint(picture), 1);
        QCOMPARE(CurrentFingerprintStore(), FingerprintStoreBaseName(when.addMSecs(50)));
        ResetImageDatabase();
        untouched(50);
        occupy(50, 200); // every name it would try is taken: held in memory, nothing lost
        QCOMPARE(ImageFingerprint(picture), 1);
        QVERIFY(CurrentFingerprintStore().isEmpty());
        ResetImageDatabase();
        untouched(200);
    }

    void storeNameIsTheLocalTimeInBase32() {
        QCOMPARE(IntToHex32(~quint64(0)), QStringLiteral("FVVVVVVVVVVVV"));
        const QDateTime morning(QDate(2026, 12, 6), QTime(6, 0));
        QCOMPARE(FingerprintStoreBaseName(morning),
                 Temp.path() + QStringLiteral("/Dupliscan 41PL390000000"));
    }
};

QTEST_GUILESS_MAIN(TestImageCompareUnit)
#include "TestImageCompareUnit.moc"
