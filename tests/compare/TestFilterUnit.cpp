#include "compare/FilterUnit.h"

#include <QTest>

class TestFilterUnit : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetFilter(); }

    void extensionRules_data() {
        QTest::addColumn<QString>("include");
        QTest::addColumn<QString>("exclude");
        QTest::addColumn<QString>("never");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("passes");
        const QString defaultNever = QStringLiteral("exe dll com drv vxd 386 ocx sys inf ini lnk");
        QTest::newRow("defaults pass txt") << ""
                                           << "" << defaultNever << ".txt" << true;
        QTest::newRow("defaults refuse EXE in any case") << ""
                                                         << "" << defaultNever << ".ExE" << false;
        QTest::newRow("defaults refuse lnk") << ""
                                             << "" << defaultNever << ".lnk" << false;
        QTest::newRow("no extension passes without include") << ""
                                                             << "" << defaultNever << "" << true;
        QTest::newRow("include jpg takes JPG") << "jpg"
                                               << "" << defaultNever << ".JPG" << true;
        QTest::newRow("include jpg refuses jpeg") << "jpg"
                                                  << "" << defaultNever << ".jpeg" << false;
        QTest::newRow("include refuses no extension") << "jpg"
                                                      << "" << defaultNever << "" << false;
        QTest::newRow("exclude ignored with include") << "jpg"
                                                      << "jpg" << defaultNever << ".jpg" << true;
        QTest::newRow("exclude tmp") << ""
                                     << "tmp" << defaultNever << ".tmp" << false;
        QTest::newRow("exclude leaves txt") << ""
                                            << "tmp" << defaultNever << ".txt" << true;
        QTest::newRow("cleared never list lets exe pass") << ""
                                                          << ""
                                                          << ""
                                                          << ".exe" << true;
        QTest::newRow("never applies with include") << "exe"
                                                    << "" << defaultNever << ".exe" << false;
        QTest::newRow("dotted entry matches nothing") << ".jpg"
                                                      << "" << defaultNever << ".jpg" << false;
        QTest::newRow("comma-joined entry matches nothing")
            << "jpg,png"
            << "" << defaultNever << ".png" << false;
        QTest::newRow("blanks around extension") << "jpg"
                                                 << "" << defaultNever << " .jpg " << true;
    }

    void extensionRules() {
        QFETCH(QString, include);
        QFETCH(QString, exclude);
        QFETCH(QString, never);
        QFETCH(QString, extension);
        QFETCH(bool, passes);
        SetFilterLists(include, exclude, never);
        QCOMPARE(FilterPassesExtension(extension), passes);
    }

    void sizeLimitsAreInclusiveKilobytes() {
        Filter().MinSizeKB = 10;
        QVERIFY(!FilterPassesSize((10 * 1024 - 1) / 1024));
        QVERIFY(FilterPassesSize(10 * 1024 / 1024));
        QVERIFY(FilterPassesSize(NoMaxSizeKB));
        Filter().MaxSizeKB = 20;
        QVERIFY(FilterPassesSize(20));
        QVERIFY(!FilterPassesSize(21));
    }

    void imagePresetKeepsTheUsersOwnList() {
        SetImagePreset();
        QCOMPARE(Filter().IncludeText, ImagePreset);
        QVERIFY(FilterPassesExtension(QStringLiteral(".tiff")));
        QVERIFY(!FilterPassesExtension(QStringLiteral(".txt")));
        ClearImagePreset();
        QVERIFY(Filter().IncludeText.isEmpty());
        QVERIFY(FilterPassesExtension(QStringLiteral(".txt")));

        SetFilterLists(QStringLiteral("raw"), QString(), QString());
        SetImagePreset();
        QCOMPARE(Filter().IncludeText, QStringLiteral("raw"));
        ClearImagePreset();
        QCOMPARE(Filter().IncludeText, QStringLiteral("raw"));
    }
};

QTEST_GUILESS_MAIN(TestFilterUnit)
#include "TestFilterUnit.moc"
