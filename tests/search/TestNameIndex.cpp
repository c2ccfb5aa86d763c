#include "search/NameFilter.h"
#include "search/NameIndex.h"

#include <QRandomGenerator>
#include <QTest>

namespace {
enum class Kind { Hash, Anagram, Words, Short };

QString HashName(QRandomGenerator &random) {
    QString name;
    for (int k = 0; k < 32; ++k)
        name += QChar(u"0123456789abcdef"[random.bounded(16)]);
    return name;
}

QString AnagramName(QRandomGenerator &random) {
    QString name = "holiday beach 2019";
    for (qsizetype k = name.size() - 1; k > 0; --k)
        std::swap(name[k], name[random.bounded(int(k) + 1)]);
    return name;
}

QString WordsName(QRandomGenerator &random) {
    static const QStringList words = {"Urlaub", "beach", "IMG_2019", "Rechnung", "copy",
                                      "März",   "DSC",   "0612",     "Demo",     "ü"};
    QString name;
    for (int k = 1 + random.bounded(4); k > 0; --k)
        name += words[random.bounded(int(words.size()))] + (random.bounded(2) ? " " : "_");
    return name;
}

QString ShortName(QRandomGenerator &random) {
    QString name;
    for (int k = random.bounded(7); k > 0; --k)
        name += QChar(u"ab1"[random.bounded(3)]);
    return name;
}

QString (*const Makers[])(QRandomGenerator &) = {HashName, AnagramName, WordsName, ShortName};

// A later name is often a few edits away from an earlier one, so that many
// pairs lie near the percentage.
QString NearCopy(QRandomGenerator &random, QString name) {
    for (int edits = 1 + random.bounded(4); edits > 0; --edits) {
        const int at = random.bounded(int(name.size()) + 1);
        const QChar c(u"a0Z _é"[random.bounded(6)]);
        switch (random.bounded(3)) {
        case 0:
            name.insert(at, c);
            break;
        case 1:
            name.remove(at, 1);
            break;
        default:
            name.replace(at, 1, c);
        }
    }
    return name;
}
} // namespace

Q_DECLARE_METATYPE(Kind)

class TestNameIndex : public QObject {
    Q_OBJECT
private slots:
    void everySimilarPairIsFoundOrLeftOut_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("crowdLimit");
        QTest::addColumn<bool>("differentExts");
        QTest::addColumn<bool>("mostlyIndexed");
        QTest::newRow("hash 80") << Kind::Hash << 80 << 32 << false << true;
        QTest::newRow("hash 70, any extension") << Kind::Hash << 70 << 32 << true << true;
        QTest::newRow("hash 90, any extension") << Kind::Hash << 90 << 32 << true << true;
        QTest::newRow("anagram 80") << Kind::Anagram << 80 << 32 << false << true;
        QTest::newRow("anagram 90, any extension") << Kind::Anagram << 90 << 32 << true << true;
        QTest::newRow("words 80") << Kind::Words << 80 << 32 << false << false;
        QTest::newRow("words 75, crowds of 2") << Kind::Words << 75 << 2 << true << false;
        QTest::newRow("short 80") << Kind::Short << 80 << 32 << false << false;
        QTest::newRow("short 99, crowds of 1") << Kind::Short << 99 << 1 << true << false;
    }

    // The index may only leave out pairs it says it leaves out: a similar pair
    // of two names it holds must be in the head's list, in order.
    void everySimilarPairIsFoundOrLeftOut() {
        QFETCH(Kind, kind);
        QFETCH(int, percent);
        QFETCH(int, crowdLimit);
        QFETCH(bool, differentExts);
        QFETCH(bool, mostlyIndexed);
        QRandomGenerator random(20261212 + quint32(percent));
        const QStringList extensions = {".dat", ".jpg", ".png", ".txt"};
        std::vector<NameParts> names;
        std::vector<QString> stems;
        for (int k = 0; k < 400; ++k) {
            const QString stem = k > 0 && random.bounded(3) == 0
                                     ? NearCopy(random, stems[std::size_t(random.bounded(k))])
                                     : Makers[int(kind)](random);
            stems.push_back(stem);
            names.push_back(
                SplitName("d/" + stem + extensions[random.bounded(int(extensions.size()))], 0));
        }
        NameFilter preTests;
        preTests.Build(names, quint8(percent), differentExts);
        std::vector<quint64> keys(names.size(), 0);
        for (std::size_t k = 0; k < names.size(); ++k)
            keys[k] = differentExts ? 0 : quint64(preTests.ClassOf(int(k)));
        NameIndex index;
        QVERIFY(index.Build(names, keys, quint8(percent), preTests, crowdLimit));

        const int n = int(names.size());
        int similar = 0, listed = 0;
        for (int i = 0; i < n; ++i) {
            const std::span<const int> partners = index.PartnersAfter(i);
            listed += int(partners.size());
            for (std::size_t m = 0; m < partners.size(); ++m)
                QVERIFY(partners[m] > (m == 0 ? i : partners[m - 1]));
            for (int j = i + 1; j < n; ++j) {
                if (!NamePartsSimilar(names[std::size_t(i)], names[std::size_t(j)], quint8(percent),
                                      differentExts))
                    continue;
                ++similar;
                const bool found = std::find(partners.begin(), partners.end(), j) != partners.end();
                QVERIFY2(found || index.Unindexed(i) || index.Unindexed(j),
                         qPrintable(stems[std::size_t(i)] + " | " + stems[std::size_t(j)]));
            }
        }
        QVERIFY(similar > 50); // the near copies make the test mean something
        if (mostlyIndexed) {
            // Looking up pieces must rule out nearly every pair on such names.
            QVERIFY2(index.UnindexedCount() < n / 20,
                     qPrintable(QString::number(index.UnindexedCount())));
            QVERIFY2(listed < 4 * similar, qPrintable(QString::number(listed)));
        }
    }

    void lowPercentagesAreLeftToThePairWalk() {
        std::vector<NameParts> names = {SplitName("a/holiday.jpg", 0),
                                        SplitName("b/holyday.jpg", 0)};
        NameFilter preTests;
        preTests.Build(names, 60, false);
        NameIndex index;
        QVERIFY(!index.Build(names, {0, 0}, 60, preTests));
        QVERIFY(index.Unindexed(0) && index.Unindexed(1));
    }
};

QTEST_GUILESS_MAIN(TestNameIndex)
#include "TestNameIndex.moc"
