#include "results/ResultListUnit.h"

#include "TestSupport.h"

#include <QLocale>

namespace {
// Blocks of the given sizes, then a row that belongs to no block.
void FillBlocks(std::initializer_list<int> sizes) {
    FileList &list = MatchList();
    for (const int size : sizes) {
        const int head = int(list.size());
        for (int k = 0; k < size; ++k) {
            FileRecord record{.Group = head};
            record.IsBlockHead = k == 0;
            list.push_back(
                {QStringLiteral("f%1").arg(list.size()), std::make_unique<FileRecord>(record)});
        }
    }
    list.push_back({QStringLiteral("alone"), std::make_unique<FileRecord>()});
}
} // namespace

class TestResultListUnit : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetEngine(); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void sizesInWholeKilobytes_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<quint8>("mark");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        const QString c = QStringLiteral("C");
        QTest::newRow("empty file") << qint64(0) << quint8(Stay) << c << " 1 KB ";
        QTest::newRow("1535 rounds down") << qint64(1535) << quint8(Delete) << c << " 1 KB ";
        QTest::newRow("1536 rounds up") << qint64(1536) << quint8(Stay) << c << " 2 KB ";
        QTest::newRow("a million") << qint64(1000000) << quint8(Deleted) << c << " 977 KB ";
        QTest::newRow("thousands separator") << qint64(2147483647) << quint8(Stay) << "de_DE"
                                             << " 2.097.152 KB ";
        QTest::newRow("virtual") << qint64(5000) << quint8(Virtual) << c << "- ";
    }
    void sizesInWholeKilobytes() {
        QFETCH(qint64, size);
        QFETCH(quint8, mark);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        FileRecord record{.Size = qint32(size)};
        record.Mark = mark;
        QTEST(SizeKBText(record), "text");
    }

    void blockOfARow_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("before the list") << -1 << false << -1 << -1 << -1;
        QTest::newRow("head") << 0 << true << 0 << 0 << 1;
        QTest::newRow("end of a block") << 4 << true << 2 << 2 << 4;
        QTest::newRow("in no block") << 5 << true << -1 << 5 << 5;
        QTest::newRow("past the end") << 6 << false << -1 << -1 << -1;
    }
    void blockOfARow() {
        QFETCH(int, row);
        FillBlocks({2, 3});
        const BlockRows block = BlockRange(row);
        QTEST(block.Found, "found");
        QTEST(block.Group, "group");
        QTEST(block.First, "first");
        QTEST(block.Last, "last");
    }
};

QTEST_GUILESS_MAIN(TestResultListUnit)
#include "TestResultListUnit.moc"
