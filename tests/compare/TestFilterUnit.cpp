#include "compare/FilterUnit.h"

#include <QTest>

class TestFilterUnit : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetFilter(); }

    void extensionRules() {
        const char *defaults = "exe dll com drv vxd 386 ocx sys inf ini lnk";
        const struct {
            const char *Include, *Exclude, *Never;
            QStringList Passing, Refused;
        } rows[] = {
            {"", "", defaults, {".txt", ""}, {".ExE", ".lnk"}},
            {"jpg", "", defaults, {".JPG", " .jpg "}, {".jpeg", ""}},
            {"jpg", "jpg", defaults, {".jpg"}, {}}, // exclude is ignored with include
            {"", "tmp", defaults, {".txt"}, {".tmp"}},
            {"", "", "", {".exe"}, {}},
            {"exe", "", defaults, {}, {".exe"}},
            {".jpg", "", defaults, {}, {".jpg"}}, // dotted and comma-joined entries match nothing
            {"jpg,png", "", defaults, {}, {".png"}},
        };
        for (const auto &row : rows) {
            SetFilterLists(row.Include, row.Exclude, row.Never);
            for (const QString &extension : row.Passing + row.Refused)
                QVERIFY2(FilterPassesExtension(extension) == row.Passing.contains(extension),
                         qPrintable(
                             QStringLiteral("%1|%2|%3").arg(row.Include, row.Exclude, extension)));
        }
    }

    void imagePresetKeepsTheUsersOwnList() {
        SetImagePreset();
        QVERIFY(FilterPassesExtension(".tiff") && !FilterPassesExtension(".txt"));
        SetFilterLists("raw", QString(), QString());
        SetImagePreset();
        ClearImagePreset();
        QCOMPARE(Filter().IncludeText, QStringLiteral("raw"));
    }
};

QTEST_GUILESS_MAIN(TestFilterUnit)
#include "TestFilterUnit.moc"
