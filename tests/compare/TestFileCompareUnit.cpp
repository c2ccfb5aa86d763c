#include "compare/FileCompareUnit.h"
#include "search/NameFilter.h"

#include "TestSupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <vector>

using namespace TestSupport;

namespace {
class ChunkRecorder : public ReadTrace {
public:
    QList<qint64> Chunks;
    void ChunkRead(qint64 bytes) override { Chunks.append(bytes); }
};

class TraceGuard {
public:
    explicit TraceGuard(ReadTrace &trace) { SetReadTrace(&trace); }
    ~TraceGuard() { SetReadTrace(nullptr); }
};

QByteArray Words(std::initializer_list<quint32> words) {
    QByteArray bytes;
    for (quint32 w : words)
        for (int k = 0; k < 4; ++k)
            bytes.append(char((w >> (8 * k)) & 0xFF));
    return bytes;
}

QByteArray Pattern(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (qsizetype k = 0; k < size; ++k)
        bytes[k] = char(random.bounded(256));
    return bytes;
}

// Plain full-matrix edit distance, to hold the one-row version against.
int Levenshtein(const QString &a, const QString &b) {
    static std::vector<std::vector<int>> d(64, std::vector<int>(64));
    for (qsizetype i = 0; i <= a.size(); ++i)
        d[std::size_t(i)][0] = int(i);
    for (qsizetype j = 0; j <= b.size(); ++j)
        d[0][std::size_t(j)] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i)
        for (qsizetype j = 1; j <= b.size(); ++j)
            d[std::size_t(i)][std::size_t(j)] = std::min(
                {d[std::size_t(i - 1)][std::size_t(j)] + 1,
                 d[std::size_t(i)][std::size_t(j - 1)] + 1,
                 d[std::size_t(i - 1)][std::size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    return d[std::size_t(a.size())][std::size_t(b.size())];
}

// The name rule written out step by step, without any shortcut. The parts of
// each name are worked out once so that many pairs can be checked quickly.
struct PlainName {
    QString Base, Extension, Stripped;
    int Group = 0;
};

PlainName PlainSplit(const QString &text, quint8 maxLength) {
    PlainName parts;
    const QString name = text.mid(text.lastIndexOf(QLatin1Char('/')) + 1).toUpper();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    parts.Extension = dot >= 0 ? name.mid(dot) : QString();
    parts.Base = dot >= 0 ? name.left(dot) : name;
    if (maxLength != 0)
        parts.Base.truncate(maxLength);
    parts.Stripped = parts.Base;
    StripCopyMarks(parts.Stripped);
    parts.Group = ExtensionGroup(parts.Extension.mid(1));
    return parts;
}

bool PlainNamesSimilar(const PlainName &a, const PlainName &b, quint8 percent, bool differentExts) {
    if (a.Extension != b.Extension && !differentExts) {
        if (percent == 100)
            return false;
        if ((a.Group == 0 && b.Group == 0) || a.Group != b.Group)
            return false;
    }
    if (percent == 100)
        return a.Base == b.Base;
    return 100 - NameDistancePercent(a.Stripped, b.Stripped) >= percent;
}

QString RandomText(QRandomGenerator &random, const QStringList &pieces, int maxPieces) {
    QString text;
    const int count = int(random.bounded(maxPieces + 1));
    for (int k = 0; k < count; ++k)
        text += pieces[int(random.bounded(int(pieces.size())))];
    return text;
}

QString RandomName(QRandomGenerator &random) {
    static const QStringList prefixes = {
        "", "", "", "Copy of ", "kopie von ", "COPY (2) OF ", "sub/", "a.b/"};
    static const QStringList pieces = {"a", "b", "A",   "c",   "ä", "Ä", " ",
                                       "1", "7", "(2)", "(5)", "_", "x", "é"};
    static const QStringList extensions = {"",     ".jpg", ".JPEG", ".png", ".txt", ".log",
                                           ".mp3", ".doc", ".pdf",  ".",    ".iso"};
    return prefixes[int(random.bounded(int(prefixes.size())))] + RandomText(random, pieces, 14) +
           extensions[int(random.bounded(int(extensions.size())))];
}
} // namespace

class TestFileCompareUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

    QString Path(const QString &name) const { return Dir.filePath(name); }
    QString Write(const QString &name, const QByteArray &bytes) const {
        const QString path = Path(name);
        if (!WriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void init() { ResetSearchContext(); }
    void cleanup() {
        FreeCompareBuffers();
        SetHost(nullptr);
        ResetSearchContext();
    }

    void quickSumOfTinyFilesIsOne_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte") << QByteArray("\xff", 1);
        QTest::newRow("two bytes") << QByteArray("\x12\x34", 2);
        QTest::newRow("three bytes") << QByteArray("\x7f\x01\x02", 3);
        QTest::newRow("words summing to 0") << Words({1, 0xFFFFFFFF});
        QTest::newRow("words summing to 0xFFFFFFFF") << Words({0xFFFFFFFF});
        QTest::newRow("zero words") << QByteArray(4096, '\0');
    }
    void quickSumOfTinyFilesIsOne() {
        QFETCH(QByteArray, bytes);
        QCOMPARE(ComputeQuickSum(Write("tiny", bytes)), 1u);
    }

    void quickSumAddsLittleEndianWordsAndIgnoresTheTail() {
        QCOMPARE(ComputeQuickSum(Write("le", QByteArray("\x01\x02\x03\x04", 4))), 0x04030201u);
        QCOMPARE(ComputeQuickSum(Write("tail", Words({5, 7}) + QByteArray("\x09\x09\x09", 3))),
                 12u);
        QCOMPARE(ComputeQuickSum(Write("wrap", Words({0xFFFFFFF0, 0x20}))), 0x10u);
    }

    void quickSumReadsOnlyTheFirst30720Bytes() {
        const QByteArray start = Pattern(QuickChunk, 7);
        const quint32 a = ComputeQuickSum(Write("a", start + Pattern(5000, 1)));
        const quint32 b = ComputeQuickSum(Write("b", start + Pattern(9000, 2)));
        QCOMPARE(a, b);
        QByteArray changed = start;
        changed[QuickChunk - 4] = char(changed[QuickChunk - 4] ^ 1);
        QVERIFY(ComputeQuickSum(Write("c", changed + Pattern(5000, 1))) != a);
    }

    void quickSumOfAnUnreadableNameIsAllOnes() {
        QCOMPARE(ComputeQuickSum(Path("missing")), 0xFFFFFFFFu);
        QCOMPARE(ComputeQuickSum(Dir.path()), 0xFFFFFFFFu);
        const QString fifo = Path("fifo");
        QCOMPARE(::mkfifo(Platform::EncodeName(fifo).constData(), 0644), 0);
        QCOMPARE(ComputeQuickSum(fifo), 0xFFFFFFFFu); // and returns at once
    }

    void emptyFilesAreEqual() {
        ChunkRecorder trace;
        TraceGuard guard(trace);
        QVERIFY(FilesEqual(Write("e1", {}), Write("e2", {})));
        QVERIFY(trace.Chunks.isEmpty());
    }

    void filesOfDifferentSizesDifferWithoutReading() {
        ChunkRecorder trace;
        TraceGuard guard(trace);
        QVERIFY(!FilesEqual(Write("s1", "abc"), Write("s2", "abcd")));
        QVERIFY(trace.Chunks.isEmpty());
    }

    void largeFilesAreReadShortChunkFirst_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("changedAt"); // -1: equal files
        QTest::addColumn<bool>("equal");
        QTest::addColumn<QList<qint64>>("chunks");
        const int mb = 1048576;
        QTest::newRow("1 MB differing in the last byte")
            << mb << mb - 1 << false << QList<qint64>{30720, 524288, 493568};
        QTest::newRow("1 MB equal") << mb << -1 << true << QList<qint64>{30720, 524288, 493568};
        QTest::newRow("1 MB differing in the first byte")
            << mb << 0 << false << QList<qint64>{30720};
        QTest::newRow("204800 bytes are one chunk")
            << 204800 << 204799 << false << QList<qint64>{204800};
        QTest::newRow("204801 bytes start short")
            << 204801 << -1 << true << QList<qint64>{30720, 174081};
    }
    void largeFilesAreReadShortChunkFirst() {
        QFETCH(int, size);
        QFETCH(int, changedAt);
        QFETCH(bool, equal);
        QFETCH(QList<qint64>, chunks);
        const QByteArray bytes = Pattern(size, 3);
        QByteArray other = bytes;
        if (changedAt >= 0)
            other[changedAt] = char(other[changedAt] ^ 0x40);
        const QString a = Write("big1", bytes), b = Write("big2", other);
        ChunkRecorder trace;
        TraceGuard guard(trace);
        QCOMPARE(FilesEqual(a, b), equal);
        QCOMPARE(trace.Chunks, chunks);
    }

    void stopRequestEndsTheComparisonUnequal() {
        const QByteArray bytes = Pattern(1048576, 4);
        const QString a = Write("stop1", bytes), b = Write("stop2", bytes);
        RecordingHost host;
        host.OnMessages = [](int) { Context().RunState = StopRequested; };
        HostGuard hostGuard(host);
        ChunkRecorder trace;
        TraceGuard guard(trace);
        Context().RunState = Running;
        QVERIFY(!FilesEqual(a, b));
        QCOMPARE(trace.Chunks, QList<qint64>{30720});
        QCOMPARE(host.MessageCalls, 1);
    }

    void unreadableSideIsNeverEqual() {
        const QString a = Write("u1", "same");
        QVERIFY(!FilesEqual(a, Path("missing")));
        QVERIFY(!FilesEqual(Path("missing"), a));
        const QString fifo = Path("fifo2");
        QCOMPARE(::mkfifo(Platform::EncodeName(fifo).constData(), 0644), 0);
        QVERIFY(!FilesEqual(a, fifo));
        QVERIFY(FilesEqual(a, a));
    }

    void namesSimilar_data() {
        QTest::addColumn<QString>("name1");
        QTest::addColumn<QString>("name2");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("differentExts");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<bool>("similar");
        auto row = [](const char *tag, const char *a, const char *b, int percent, bool exts,
                      int maxLength, bool similar) {
            QTest::newRow(tag) << QString::fromUtf8(a) << QString::fromUtf8(b) << percent << exts
                               << maxLength << similar;
        };
        row("case is ignored", "Foto.jpg", "foto.JPG", 100, false, 0, true);
        row("jpeg is another extension at 100", "Foto.jpg", "Foto.jpeg", 100, false, 0, false);
        row("jpeg is the same group below 100", "Foto.jpg", "Foto.jpeg", 95, false, 0, true);
        row("tif and png share a group", "scan.tif", "scan.PNG", 60, false, 0, true);
        row("doc and mp3 never", "a.doc", "a.mp3", 60, false, 0, false);
        row("doc and mp3 with different exts", "a.doc", "a.mp3", 100, true, 0, true);
        row("txt and log in no group", "a.txt", "a.log", 60, false, 0, false);
        row("txt and log with different exts", "a.txt", "a.log", 90, true, 0, true);
        row("group against no extension", "a.jpg", "a", 60, false, 0, false);
        row("no extensions at all", "README", "readme", 100, false, 0, true);
        row("Kopie von at 90", "Kopie von Bericht.doc", "Bericht.doc", 90, false, 0, true);
        row("Kopie von at 100", "Kopie von Bericht.doc", "Bericht.doc", 100, false, 0, false);
        row("Copy (2) of", "Copy (2) of Report.pdf", "Report.pdf", 99, false, 0, true);
        row("Bericht (2) at 99", "Bericht (2).doc", "Bericht.doc", 99, false, 0, true);
        row("Bericht (2) at 60", "Bericht (2).doc", "Bericht.doc", 60, false, 0, true);
        row("Bericht (2) at 100", "Bericht (2).doc", "Bericht.doc", 100, false, 0, false);
        row("Bericht (5) is 64", "Bericht (5).doc", "Bericht.doc", 64, false, 0, true);
        row("Bericht (5) is not 65", "Bericht (5).doc", "Bericht.doc", 65, false, 0, false);
        row("one of ten is 90", "ABCDEFGHIJ.txt", "ABCDEFGHIK.txt", 90, false, 0, true);
        row("one of ten is not 91", "ABCDEFGHIJ.txt", "ABCDEFGHIK.txt", 91, false, 0, false);
        row("3 and 13 characters", "abc.txt", "abcdefghijklm.txt", 60, false, 0, false);
        row("cut to 5 characters", "Urlaub2010.jpg", "Urlaub2011.jpg", 100, false, 5, true);
        row("uncut differ", "Urlaub2010.jpg", "Urlaub2011.jpg", 100, false, 0, false);
        row("empty base against a name", ".profile", "x.profile", 60, false, 0, false);
        row("two empty bases at 100", ".profile", ".PROFILE", 100, false, 0, true);
        row("two empty bases below 100", ".profile", ".profile", 80, false, 0, true);
        row("folders are not part of the name", "a.b/sub/Foto.jpg", "other/foto.jpg", 100, false, 0,
            true);
        row("umlauts fold", "Übung.txt", "übung.TXT", 100, false, 0, true);
        row("different folders, different names", "x/Foto.jpg", "Foto.jpg/x.jpg", 100, false, 0,
            false);
    }
    void namesSimilar() {
        QFETCH(QString, name1);
        QFETCH(QString, name2);
        QFETCH(int, percent);
        QFETCH(bool, differentExts);
        QFETCH(int, maxLength);
        QFETCH(bool, similar);
        QCOMPARE(NamesSimilar(name1, name2, quint8(percent), differentExts, quint8(maxLength)),
                 similar);
        QCOMPARE(NamesSimilar(name2, name1, quint8(percent), differentExts, quint8(maxLength)),
                 similar);
    }

    void nameDistancePercent_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("percent");
        QTest::newRow("both empty") << ""
                                    << "" << 0;
        QTest::newRow("one empty") << ""
                                   << "A" << 100;
        QTest::newRow("one of ten") << "ABCDEFGHIJ"
                                    << "ABCDEFGHIK" << 10;
        QTest::newRow("3 and 13") << "ABC"
                                  << "ABCDEFGHIJKLM" << 100;
        QTest::newRow("3 and 12") << "ABC"
                                  << "ABCDEFGHIJKL" << 75;
        QTest::newRow("four of eleven") << "BERICHT (5)"
                                        << "BERICHT" << 36;
        QTest::newRow("truncates") << "ABC"
                                   << "ABD" << 33;
    }
    void nameDistancePercent() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, percent);
        QCOMPARE(NameDistancePercent(a, b), percent);
        QCOMPARE(NameDistancePercent(b, a), percent);
    }

    void extensionGroup_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("group");
        QTest::newRow("DOC") << "DOC" << 1;
        QTest::newRow("JPEG") << "JPEG" << 2;
        QTest::newRow("AIFF") << "AIFF" << 3;
        QTest::newRow("M4V") << "M4V" << 4;
        QTest::newRow("CUE") << "CUE" << 5;
        QTest::newRow("lower case is no group") << "jpg" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("part of a word") << "MP" << 0;
        QTest::newRow("two words") << "DOC DOT" << 1;
    }
    void extensionGroup() {
        QFETCH(QString, extension);
        QFETCH(int, group);
        QCOMPARE(ExtensionGroup(extension), group);
    }

    void stripCopyMarks_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stripped");
        QTest::addColumn<bool>("changed");
        QTest::newRow("copy of") << "COPY OF X"
                                 << "X" << true;
        QTest::newRow("copy (2) of") << "COPY (2) OF X"
                                     << "X" << true;
        QTest::newRow("kopie von") << "KOPIE VON X"
                                   << "X" << true;
        QTest::newRow("kopie (3) von") << "KOPIE (3) VON X"
                                       << "X" << true;
        QTest::newRow("twice") << "COPY OF COPY OF X"
                               << "X" << true;
        QTest::newRow("mixed languages") << "KOPIE VON COPY OF REPORT"
                                         << "REPORT" << true;
        QTest::newRow("blanks after the mark") << "COPY OF   X"
                                               << "X" << true;
        QTest::newRow("too short for a mark") << "COPY OF"
                                              << "COPY OF" << false;
        QTest::newRow("mark without a name") << "KOPIE VON"
                                             << "KOPIE VON" << false;
        QTest::newRow("copy (0) of") << "COPY (0) OF X"
                                     << "COPY (0) OF X" << false;
        QTest::newRow("copy (12) of") << "COPY (12) OF X"
                                      << "COPY (12) OF X" << false;
        QTest::newRow("number suffix") << "REPORT (2)"
                                       << "REPORT" << true;
        QTest::newRow("two number suffixes") << "X (1)(2)"
                                             << "X" << true;
        QTest::newRow("suffix 4 stays") << "X (4)"
                                        << "X (4)" << false;
        QTest::newRow("suffix only") << "(1)"
                                     << "(1)" << false;
        QTest::newRow("four characters") << "A(1)"
                                         << "A" << true;
        QTest::newRow("mark and suffix") << "COPY OF REPORT (3)"
                                         << "REPORT" << true;
        QTest::newRow("blanks only trimmed") << "  X  "
                                             << "X" << false;
        QTest::newRow("lower case is no mark") << "copy of x"
                                               << "copy of x" << false;
    }
    void stripCopyMarks() {
        QFETCH(QString, name);
        QFETCH(QString, stripped);
        QFETCH(bool, changed);
        QCOMPARE(StripCopyMarks(name), changed);
        QCOMPARE(name, stripped);
    }

    void boundedDistanceAgreesWithThePercentage() {
        QRandomGenerator random(20261206);
        const QStringList alphabet = {"A", "B", "C", " "};
        for (int round = 0; round < 20000; ++round) {
            const int maxA = round % 4 == 0 ? 30 : 13;
            const QString a = RandomText(random, alphabet, maxA);
            const QString b = round % 3 == 0 ? a.left(int(random.bounded(int(a.size()) + 1))) +
                                                   RandomText(random, alphabet, 4)
                                             : RandomText(random, alphabet, 13);
            const int distance = Levenshtein(a, b);
            const int longer = int(std::max(a.size(), b.size()));
            const int expected = longer == 0                         ? 0
                                 : (a.isEmpty() || b.isEmpty())      ? 100
                                 : std::abs(a.size() - b.size()) > 9 ? 100
                                                                     : distance * 100 / longer;
            QCOMPARE(NameDistancePercent(a, b), expected);
            const quint8 percent = quint8(random.bounded(101));
            if (DistanceWithin(a, b, percent) != (100 - expected >= percent))
                QFAIL(qPrintable(QStringLiteral("\"%1\" \"%2\" at %3").arg(a, b).arg(percent)));
        }
    }

    void shortcutsNeverChangeTheNameRule() {
        QRandomGenerator random(77);
        const int count = 200;
        const quint8 percents[] = {60, 75, 80, 90, 95, 99, 100};
        int similarPairs = 0, filteredPairs = 0;
        for (int round = 0; round < 12; ++round) {
            std::vector<QString> names;
            for (int k = 0; k < count; ++k) {
                // Near copies of earlier names make similar pairs common.
                if (k > 0 && random.bounded(3) == 0) {
                    QString base = names[std::size_t(random.bounded(k))];
                    base.insert(int(random.bounded(int(base.size()) + 1)),
                                QString(QChar(u"ab1 "[random.bounded(4)])));
                    names.push_back(base);
                } else {
                    names.push_back(RandomName(random));
                }
            }
            const quint8 percent = percents[round % 7];
            const bool differentExts = round % 2 == 1;
            const quint8 maxLength = round % 5 == 4 ? 6 : 0;
            std::vector<NameParts> parts;
            std::vector<PlainName> plainParts;
            for (const QString &name : names) {
                parts.push_back(SplitName(name, maxLength));
                plainParts.push_back(PlainSplit(name, maxLength));
            }
            NameFilter filter;
            filter.Build(parts, percent, differentExts);
            for (int i = 0; i < count; ++i)
                for (int j = i + 1; j < count; ++j) {
                    const bool plain =
                        PlainNamesSimilar(plainParts[std::size_t(i)], plainParts[std::size_t(j)],
                                          percent, differentExts);
                    const bool fast = NamePartsSimilar(parts[std::size_t(i)], parts[std::size_t(j)],
                                                       percent, differentExts);
                    similarPairs += plain;
                    filteredPairs += percent < 100 && !filter.MayMatch(i, j);
                    if (plain != fast || (plain && percent < 100 && !filter.MayMatch(i, j)))
                        QFAIL(qPrintable(QStringLiteral("\"%1\" \"%2\" at %3: plain %4 fast %5")
                                             .arg(names[std::size_t(i)], names[std::size_t(j)])
                                             .arg(percent)
                                             .arg(plain)
                                             .arg(fast)));
                }
        }
        // The random names must exercise both answers for the test to mean anything.
        QVERIFY(similarPairs > 1000);
        QVERIFY(filteredPairs > 10000);
    }
};

QTEST_GUILESS_MAIN(TestFileCompareUnit)
#include "TestFileCompareUnit.moc"
