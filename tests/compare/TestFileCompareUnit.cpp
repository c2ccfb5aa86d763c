#include "compare/FileCompareUnit.h"
#include "search/NameFilter.h"

#include "TestSupport.h"

using namespace TestSupport;

Q_DECLARE_METATYPE(ByteComparison)

namespace {
class ChunkRecorder : public ReadTrace {
public:
    QList<qint64> Chunks;
    ChunkRecorder() { SetReadTrace(this); }
    ~ChunkRecorder() override { SetReadTrace(nullptr); }
    void ChunkRead(qint64 bytes) override { Chunks.append(bytes); }
};

// The distance percentage from a plain full-matrix edit distance.
int PlainDistancePercent(const QString &a, const QString &b) {
    const qsizetype longer = std::max(a.size(), b.size());
    if (longer == 0 || a.isEmpty() || b.isEmpty() || std::abs(a.size() - b.size()) > 9)
        return longer == 0 ? 0 : 100;
    static std::vector<int> d; // the whole matrix, its storage kept between calls
    const qsizetype w = b.size() + 1;
    d.assign(std::size_t((a.size() + 1) * w), 0);
    for (qsizetype i = 0; i <= a.size(); ++i)
        for (qsizetype j = 0; j <= b.size(); ++j)
            d[i * w + j] =
                i == 0 || j == 0
                    ? int(i + j)
                    : std::min({d[(i - 1) * w + j] + 1, d[i * w + j - 1] + 1,
                                d[(i - 1) * w + j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    return int(d.back() * 100 / longer);
}

// The name rule written out step by step, without any shortcut.
struct PlainName {
    QString Base, Extension, Stripped;
    int Group = 0;
};

PlainName PlainSplit(const QString &text, quint8 maxLength) {
    const QString name = text.mid(text.lastIndexOf(QLatin1Char('/')) + 1).toUpper();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    PlainName parts{name.left(dot >= 0 ? dot : name.size()), dot >= 0 ? name.mid(dot) : QString(),
                    QString(), 0};
    if (maxLength != 0)
        parts.Base.truncate(maxLength);
    parts.Stripped = parts.Base;
    StripCopyMarks(parts.Stripped);
    parts.Group = ExtensionGroup(parts.Extension.mid(1));
    return parts;
}

bool PlainNamesSimilar(const PlainName &a, const PlainName &b, quint8 percent, bool differentExts) {
    if (a.Extension != b.Extension && !differentExts &&
        (percent == 100 || a.Group == 0 || a.Group != b.Group))
        return false;
    if (percent == 100)
        return a.Base == b.Base;
    return 100 - PlainDistancePercent(a.Stripped, b.Stripped) >= percent;
}

QString RandomName(QRandomGenerator &random) {
    static const QStringList prefixes = {
        "", "", "", "Copy of ", "kopie von ", "COPY (2) OF ", "sub/", "a.b/"};
    static const QStringList pieces = {"a", "b", "A",   "c",   "ä", "Ä", " ",
                                       "1", "7", "(2)", "(5)", "_", "x", "é"};
    static const QStringList extensions = {"",     ".jpg", ".JPEG", ".png", ".txt", ".log",
                                           ".mp3", ".doc", ".pdf",  ".",    ".iso"};
    QString name = prefixes[int(random.bounded(int(prefixes.size())))];
    for (int k = int(random.bounded(15)); k > 0; --k)
        name += pieces[int(random.bounded(int(pieces.size())))];
    return name + extensions[int(random.bounded(int(extensions.size())))];
}

struct NameRow {
    const char *A, *B;
    int Percent;
    bool Similar, DifferentExts = false;
    int MaxLength = 0;
};
} // namespace
Q_DECLARE_METATYPE(NameRow)

class TestFileCompareUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString Path(const QString &name) const { return Dir.filePath(name); }
    QString Write(const QString &name, const QByteArray &bytes) const {
        if (!WriteFile(Path(name), bytes))
            qFatal("cannot write %s", qPrintable(name));
        return Path(name);
    }

private slots:
    void init() { ResetSearchContext(); }
    void cleanup() {
        FreeCompareBuffers();
        SetHost(nullptr);
        ResetSearchContext();
    }

    void quickSum_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("sum");
        QTest::newRow("empty") << QByteArray() << 1u;
        QTest::newRow("words summing to 0") << QByteArray("\x01\0\0\0\xff\xff\xff\xff", 8) << 1u;
        QTest::newRow("little-endian word") << QByteArray("\x01\x02\x03\x04", 4) << 0x04030201u;
        const QByteArray five("\x05\0\0\0", 4), seven("\x07\0\0\0", 4);
        QTest::newRow("last counted word") << five + QByteArray(30712, '\0') + seven + five << 12u;
        QTest::newRow("only 30720 bytes count") << five + QByteArray(30716, '\0') + seven << 5u;
    }
    void quickSum() {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, sum);
        QCOMPARE(ComputeQuickSum(Write("sum", bytes)), sum);
    }

    void unreadableNamesSumToAllOnesAndAreNeverEqual() {
        const QString file = Write("u1", "same");
        QVERIFY(MakeFifo(Path("fifo")));
        for (const QString &unreadable : {Path("missing"), Dir.path(), Path("fifo")}) {
            QCOMPARE(ComputeQuickSum(unreadable), 0xFFFFFFFFu); // a FIFO returns at once
            QCOMPARE(FilesEqual(file, unreadable, 4), ByteComparison::Unreadable);
            QCOMPARE(FilesEqual(unreadable, file, 4), ByteComparison::Unreadable);
        }
        QCOMPARE(FilesEqual(file, file, 4), ByteComparison::Equal);
    }

    void filesEqualReadsAShortChunkFirst_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("changedAt"); // -1: equal files; size: the second is a byte longer
        QTest::addColumn<QList<qint64>>("chunks");
        const int mb = 1048576;
        QTest::newRow("empty files") << 0 << -1 << QList<qint64>{};
        QTest::newRow("1 MB, last byte") << mb << mb - 1 << QList<qint64>{30720, 524288, 493568};
        QTest::newRow("204800 bytes are one chunk") << 204800 << 204799 << QList<qint64>{204800};
        QTest::newRow("204801 bytes start short") << 204801 << -1 << QList<qint64>{30720, 174081};
    }
    void filesEqualReadsAShortChunkFirst() {
        QFETCH(int, size);
        QFETCH(int, changedAt);
        QFETCH(QList<qint64>, chunks);
        const QByteArray bytes = RandomData(size, 3);
        QByteArray other = bytes;
        if (changedAt == size)
            other.append('x');
        else if (changedAt >= 0)
            other[changedAt] = char(other[changedAt] ^ 0x40);
        const QString a = Write("big1", bytes), b = Write("big2", other);
        ChunkRecorder trace;
        QCOMPARE(FilesEqual(a, b, size),
                 changedAt < 0 ? ByteComparison::Equal : ByteComparison::Different);
        QCOMPARE(trace.Chunks, chunks);
    }

    // A file no longer as the scan saw it, or one that changes while it is
    // read, is never equal: the sizes must be the scanned one, and both
    // files must end where the compared bytes end.
    void filesThatChangeAreNotEqual_data() {
        QTest::addColumn<qint64>("sizeGone"); // how much smaller the scan saw the files
        QTest::addColumn<QString>("grows");   // the file that grows before the second chunk
        QTest::addColumn<qint64>("growth");   // negative: it shrinks
        QTest::addColumn<ByteComparison>("result");
        QTest::newRow("as scanned") << qint64(0) << "" << qint64(0) << ByteComparison::Equal;
        QTest::newRow("grown since the scan")
            << qint64(100) << "" << qint64(0) << ByteComparison::Different;
        QTest::newRow("second grows")
            << qint64(0) << "eq2" << qint64(4096) << ByteComparison::Different;
        QTest::newRow("second shrinks")
            << qint64(0) << "eq2" << qint64(-1) << ByteComparison::Unreadable;
    }
    void filesThatChangeAreNotEqual() {
        QFETCH(qint64, sizeGone);
        QFETCH(QString, grows);
        QFETCH(qint64, growth);
        QFETCH(ByteComparison, result);
        const QByteArray bytes = RandomData(1048576, 5);
        const QString a = Write("eq1", bytes), b = Write("eq2", bytes);
        RecordingHost host;
        HostGuard hostGuard(host);
        host.OnMessages = [&](int calls) {
            QFile file(Path(grows));
            if (calls == 1 && !grows.isEmpty())
                QVERIFY(growth < 0 ? file.resize(bytes.size() + growth)
                                   : file.open(QIODevice::Append) &&
                                         file.write(QByteArray(growth, 'x')) == growth);
        };
        QCOMPARE(FilesEqual(a, b, bytes.size() - sizeGone), result);
    }

    // Stretches that are holes in both files are passed over; a hole reads
    // as zeros, against stored zeros as against another hole.
    void holesReadAsZeros_data() {
        QTest::addColumn<QByteArray>("second"); // what the second file stores at 5 MiB
        QTest::addColumn<ByteComparison>("result");
        QTest::newRow("a hole in both") << QByteArray() << ByteComparison::Equal;
        QTest::newRow("stored zeros") << QByteArray(65536, '\0') << ByteComparison::Equal;
        QTest::newRow("a byte in the other's hole")
            << QByteArray(65536, '\0').append('x') << ByteComparison::Different;
    }
    void holesReadAsZeros() {
        QFETCH(QByteArray, second);
        QFETCH(ByteComparison, result);
        const qint64 size = qint64(12) << 20;
        const QByteArray head = RandomData(40000, 6), tail = RandomData(300000, 7);
        for (const char *name : {"sparse1", "sparse2"}) {
            QFile file(Path(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size) && file.write(head) &&
                    file.seek(size - tail.size()) && file.write(tail) == tail.size());
            if (name[6] == '2')
                QVERIFY(file.seek(5 << 20) && file.write(second) == second.size());
        }
        QCOMPARE(FilesEqual(Path("sparse1"), Path("sparse2"), size), result);
    }

    void stopRequestEndsTheComparisonUnequal() {
        const QByteArray bytes = RandomData(1048576, 4);
        const QString a = Write("stop1", bytes), b = Write("stop2", bytes);
        RecordingHost host;
        host.OnMessages = [](int) { SetRunState(RunStateValue::StopRequested); };
        HostGuard hostGuard(host);
        ChunkRecorder trace;
        SetRunState(RunStateValue::Running);
        QCOMPARE(FilesEqual(a, b, bytes.size()), ByteComparison::Stopped);
        QCOMPARE(trace.Chunks, QList<qint64>{30720});
        QCOMPARE(host.MessageCalls, 1);
    }

    void namesSimilar_data() {
        QTest::addColumn<NameRow>("row");
        const NameRow rows[] = {
            {"Foto.jpg", "foto.JPG", 100, true},
            {"Foto.jpg", "Foto.jpeg", 95, true},
            {"scan.tif", "scan.PNG", 60, true},
            {"a.doc", "a.mp3", 100, true, true},
            {"a.jpg", "a", 60, false},
            {"Kopie von Bericht.doc", "Bericht.doc", 90, true},
            {"Kopie (3) von Copy of X.doc", "x.doc", 99, true},
            {"Copy (12) of X.doc", "X.doc", 70, false},
            {"Bericht (2).doc", "Bericht.doc", 100, false},
            {"X (1)(2).doc", "X.doc", 99, true},
            {"Bericht (5).doc", "Bericht.doc", 64, true},
            {"Bericht (5).doc", "Bericht.doc", 65, false},
            {"Urlaub2010.jpg", "Urlaub2011.jpg", 100, true, false, 5},
            {".profile", "x.profile", 60, false},
            {"a.b/sub/Foto.jpg", "other/foto.jpg", 100, true},
        };
        for (const NameRow &r : rows)
            QTest::addRow("%s|%s|%d|%d|%d", r.A, r.B, r.Percent, r.DifferentExts, r.MaxLength) << r;
    }
    void namesSimilar() {
        QFETCH(NameRow, row);
        const QString a = QString::fromUtf8(row.A), b = QString::fromUtf8(row.B);
        const auto percent = quint8(row.Percent), maxLength = quint8(row.MaxLength);
        QCOMPARE(NamesSimilar(a, b, percent, row.DifferentExts, maxLength), row.Similar);
        QCOMPARE(NamesSimilar(b, a, percent, row.DifferentExts, maxLength), row.Similar);
    }

    // The bit-parallel distance holds a name of up to 64 characters in one
    // word; the edges of that word, characters beyond Latin-1 and the early
    // give-up are where it could go wrong.
    void bitParallelDistanceMatchesThePlainTable_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        const QString hex = "0123456789ABCDEF0123456789ABCDEF";
        const QString x63(63, 'X'), x64(64, 'X');
        QTest::newRow("64 against 64") << x64 << QString(x64).replace(31, 1, "Y");
        QTest::newRow("63 against 64") << x63 << x64;
        QTest::newRow("64 against 65") << x64 << x64 + "Z";
        QTest::newRow("65 against 70") << x64 + "A" << x64 + "BCDEFG";
        QTest::newRow("last bit differs") << x63 + "A" << x63 + "B";
        QTest::newRow("hash, digits dropped") << hex << QString(hex).remove(3, 1).remove(20, 2);
        QTest::newRow("anagram") << "HOLIDAY BEACH 2019"
                                 << "YADILOH 9102 HCAEB";
        QTest::newRow("beyond Latin-1")
            << QString::fromUtf8("ÜBERSICHT 漢字 Ω") << QString::fromUtf8("UBERSICHT 漢 字Ω");
        QTest::newRow("surrogate pairs")
            << QString::fromUtf8("FOTO 😀😀") << QString::fromUtf8("FOTO 😁😀");
        QTest::newRow("one repeated letter") << QString(20, 'A') << QString(26, 'A');
    }

    void bitParallelDistanceMatchesThePlainTable() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        const int distance = PlainDistancePercent(a, b);
        for (int percent = 0; percent <= 100; ++percent) {
            QCOMPARE(DistanceWithin(a, b, quint8(percent)), 100 - distance >= percent);
            QCOMPARE(DistanceWithin(b, a, quint8(percent)), 100 - distance >= percent);
        }
    }

    void shortcutsNeverChangeTheNameRule() {
        QRandomGenerator random(77);
        const std::size_t count = 200;
        const quint8 percents[] = {60, 75, 80, 90, 95, 99, 100};
        int similarPairs = 0, filteredPairs = 0;
        for (int round = 0; round < 7; ++round) {
            std::vector<QString> names;
            for (std::size_t k = 0; k < count; ++k) {
                const bool copy = k > 0 && random.bounded(3) == 0; // near copies are similar
                names.push_back(copy ? names[random.bounded(int(k))] : RandomName(random));
                if (copy)
                    names.back().insert(int(random.bounded(int(names.back().size()) + 1)),
                                        QChar(u"ab1 "[random.bounded(4)]));
            }
            const quint8 percent = percents[round], maxLength = round % 3 == 2 ? 6 : 0;
            const bool differentExts = round % 2 == 1;
            std::vector<NameParts> parts;
            std::vector<PlainName> plain;
            for (const QString &name : names) {
                parts.push_back(SplitName(name, maxLength));
                plain.push_back(PlainSplit(name, maxLength));
            }
            NameFilter filter;
            filter.Build(parts, percent, differentExts);
            for (std::size_t i = 0; i < count; ++i)
                for (std::size_t j = i + 1; j < count; ++j) {
                    const bool similar =
                        PlainNamesSimilar(plain[i], plain[j], percent, differentExts);
                    const bool kept = percent == 100 || filter.MayMatch(int(i), int(j));
                    const int distance = PlainDistancePercent(plain[i].Stripped, plain[j].Stripped);
                    const quint8 anyPercent = quint8(random.bounded(101));
                    QCOMPARE(NameDistancePercent(plain[i].Stripped, plain[j].Stripped), distance);
                    QCOMPARE(DistanceWithin(plain[i].Stripped, plain[j].Stripped, anyPercent),
                             100 - distance >= anyPercent);
                    similarPairs += similar;
                    filteredPairs += !kept;
                    QVERIFY2(similar ==
                                     NamePartsSimilar(parts[i], parts[j], percent, differentExts) &&
                                 (kept || !similar),
                             qPrintable(names[i] + " | " + names[j] + " at " +
                                        QString::number(percent)));
                }
        }
        // The random names must exercise both answers for the test to mean anything.
        QVERIFY2(similarPairs > 500, qPrintable(QString::number(similarPairs)));
        QVERIFY2(filteredPairs > 5000, qPrintable(QString::number(filteredPairs)));
    }
};

QTEST_GUILESS_MAIN(TestFileCompareUnit)
#include "TestFileCompareUnit.moc"
