#include "compare/FilterUnit.h"

#include <QTest>

class TestFilterUnit : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetFilter(); }

    void extensionRules() {
        const char *defaults = "exe dll com drv vxd 386 ocx sys inf ini lnk";
        const struct {
            const char *Include, *Exclude, *Never, *Extension;
            bool Passes;
        } rows[] = {
            {"", "", defaults, ".txt", true},
            {"", "", defaults, ".ExE", false},
            {"", "", defaults, "", true},
            {"jpg", "", defaults, ".JPG", true},
            {"jpg", "", defaults, ".jpeg", false},
            {"jpg", "", defaults, "", false},
            {"jpg", "jpg", defaults, ".jpg", true},
            {"", "tmp", defaults, ".tmp", false},
            {"", "tmp", defaults, ".txt", true},
            {"", "", "", ".exe", true},
            {"exe", "", defaults, ".exe", false},
            {".jpg", "", defaults, ".jpg", false},
            {"jpg,png", "", defaults, ".png", false},
            {"jpg", "", defaults, " .jpg ", true},
        };
        for (const auto &row : rows) {
            SetFilterLists(row.Include, row.Exclude, row.Never);
            QVERIFY2(
                FilterPassesExtension(row.Extension) == row.Passes,
                qPrintable(
                    QStringList({row.Include, row.Exclude, row.Never, row.Extension}).join('|')));
        }
    }

    void sizeLimitsAreInclusiveKilobytes() {
        Filter().MinSizeKB = 10;
        Filter().MaxSizeKB = 20;
        QVERIFY(!FilterPassesSize(9) && FilterPassesSize(10) && FilterPassesSize(20) &&
                !FilterPassesSize(21));
    }

    void imagePresetKeepsTheUsersOwnList() {
        SetImagePreset();
        QVERIFY(FilterPassesExtension(".tiff") && !FilterPassesExtension(".txt"));
        ClearImagePreset();
        QVERIFY(FilterPassesExtension(".txt"));
        SetFilterLists("raw", QString(), QString());
        SetImagePreset();
        ClearImagePreset();
        QCOMPARE(Filter().IncludeText, QStringLiteral("raw"));
    }
};

QTEST_GUILESS_MAIN(TestFilterUnit)
#include "TestFilterUnit.moc"
