// The start page's decisions, without a window: percentages, the search
// button's caption, the limit field, folder modes and the folder history.

#include "TestSupport.h"
#include "gui/StartPageRules.h"

#include <QTest>

using namespace StartPageRules;

class TestStartPageRules : public QObject {
    Q_OBJECT

private slots:
    void parsePercent_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("percent");
        QTest::newRow("figure, blank, percent sign") << "75 %" << 75;
        QTest::newRow("below the lowest") << "5" << 60;
        QTest::newRow("above the highest") << "250" << 100;
        QTest::newRow("a lone letter") << "x" << 100;
        QTest::newRow("empty") << "" << 100;
        QTest::newRow("blanks only") << "   " << 100;
        QTest::newRow("words around the figure") << "ca. 85 Prozent" << 85;
        QTest::newRow("letters between figures") << "8x5" << 100;
        QTest::newRow("minus sign is not a figure") << "-70" << 70;
        QTest::newRow("control characters") << "\x01\t90\x7f" << 90;
        QTest::newRow("too long for a number") << QString(5000, QLatin1Char('9')) << 100;
        QTest::newRow("other digits are not figures") << "٧٥" << 100;
    }
    void parsePercent() {
        QFETCH(QString, typed);
        QFETCH(int, percent);
        QCOMPARE(ParsePercent(typed), percent);
    }

    void stepPercent_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("stepped");
        QTest::newRow("up from 75") << 75 << true << 80;
        QTest::newRow("down from 75") << 75 << false << 60;
        QTest::newRow("up from 100 stays") << 100 << true << 100;
        QTest::newRow("down from 60 stays") << 60 << false << 60;
    }
    void stepPercent() {
        QFETCH(int, percent);
        QFETCH(bool, up);
        QFETCH(int, stepped);
        QCOMPARE(StepPercent(percent, up), stepped);
        QCOMPARE(PercentText(stepped), QString::number(stepped) + u'%');
    }

    void percentLook_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("red");
        QTest::addColumn<bool>("includeHundred");
        QTest::newRow("100") << 100 << 0 << false;
        QTest::newRow("99") << 99 << 12 << true;
        QTest::newRow("90") << 90 << 120 << true;
        QTest::newRow("80") << 80 << 240 << true;
    }
    void percentLook() {
        QFETCH(int, percent);
        QFETCH(int, red);
        QFETCH(bool, includeHundred);
        QCOMPARE(PercentRed(percent), red);
        QCOMPARE(IncludeHundredVisible(percent), includeHundred);
    }

    void findCaption_data() {
        QTest::addColumn<int>("content");
        QTest::addColumn<bool>("images");
        QTest::addColumn<bool>("contents");
        QTest::addColumn<bool>("names");
        QTest::addColumn<int>("namePercent");
        QTest::addColumn<bool>("differentExts");
        QTest::addColumn<int>("phrase");
        QTest::newRow("duplicates") << 100 << false << true << false << 80 << false << 28;
        QTest::newRow("similar files") << 90 << false << true << false << 80 << false << 29;
        QTest::newRow("pictures") << 90 << true << true << false << 80 << false << 43;
        QTest::newRow("contents and names") << 100 << false << true << true << 100 << false << 28;
        QTest::newRow("same names") << 100 << false << false << true << 100 << false << 42;
        QTest::newRow("similar names") << 100 << false << false << true << 99 << false << 41;
        QTest::newRow("same names, any extension")
            << 100 << false << false << true << 100 << true << 41;
        QTest::newRow("names win over pictures")
            << 90 << true << false << true << 100 << false << 42;
    }
    void findCaption() {
        QFETCH(int, content);
        QFETCH(bool, images);
        QFETCH(bool, contents);
        QFETCH(bool, names);
        QFETCH(int, namePercent);
        QFETCH(bool, differentExts);
        QFETCH(int, phrase);
        QCOMPARE(FindCaptionPhrase({content, images, contents, names, namePercent, differentExts}),
                 phrase);
    }

    void maxDuplicates_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("greyed");
        QTest::newRow("plain") << "1000" << 1000 << "1000" << false;
        QTest::newRow("digits picked out") << "1.0x0" << 100 << "100" << true;
        QTest::newRow("letters") << "abc" << 0 << "" << true;
        QTest::newRow("empty") << "" << 0 << "" << true;
        QTest::newRow("blanks") << "   " << 0 << "" << true;
        QTest::newRow("zero") << "0" << 0 << "" << true;
        QTest::newRow("blanks around") << " 7 " << 7 << "7" << false;
        QTest::newRow("too many digits") << QString(5000, QLatin1Char('7')) << 0 << "" << true;
        QTest::newRow("control characters") << "\x01"
                                               "5\x02"
                                            << 5 << "5" << true;
    }
    void maxDuplicates() {
        QFETCH(QString, typed);
        QFETCH(int, limit);
        QFETCH(QString, shown);
        QFETCH(bool, greyed);
        QCOMPARE(ParseMaxDuplicates(typed), limit);
        QCOMPARE(MaxDuplicatesText(limit), shown);
        QCOMPARE(MaxFilesGivesLimit(typed), !greyed);
    }

    void folderModesAndTitlePanels() {
        QCOMPARE(FolderModeOf(false, false), 0);
        QCOMPARE(FolderModeOf(true, false), 1);
        QCOMPARE(FolderModeOf(false, true), 2);
        QVERIFY(!FilesTitleShrinks(701) && FilesTitleShrinks(700));
        QVERIFY(!MethodTitlesShrink(591) && MethodTitlesShrink(590));
    }

    void folderHistory() {
        const QStringList items{"/a/", "/b/", "/c/"};
        QCOMPARE(FolderHistoryToSave(items, " /c/ "), (QStringList{"/c/", "/a/", "/b/"}));
        QCOMPARE(FolderHistoryToSave(items, "/new/"), items); // not added when saving
        QCOMPARE(FolderHistoryToSave(items, "/A/"), items);   // letter case tells folders apart
        QCOMPARE(FolderHistoryAfterSearch(items, "/b/"), items);
        QCOMPARE(FolderHistoryAfterSearch(items, " /d/"),
                 (QStringList{"/d/", "/a/", "/b/", "/c/"}));
        QCOMPARE(FolderHistoryAfterSearch(items, "  "), items);
        QStringList full;
        for (int k = 0; k < FolderHistoryLength; ++k)
            full.append(QStringLiteral("/%1/").arg(k));
        const QStringList after = FolderHistoryAfterSearch(full, "/new/");
        QCOMPARE(after.size(), FolderHistoryLength);
        QCOMPARE(after.first(), QStringLiteral("/new/"));
        QVERIFY(!after.contains(full.last()));
    }

    void lockWarningBreaksInTheMiddle() {
        QCOMPARE(LockWarningText("aaaa bb cc", "Risk!"), QStringLiteral("aaaa bb\ncc\n\nRisk!"));
        QCOMPARE(LockWarningText("nothing", "Risk!"), QStringLiteral("nothing\n\nRisk!"));
    }

    void commandLineFolders() {
        TestSupport::TempFolder dir;
        const QString root = dir.path() + u'/';
        TestSupport::MakeFolder(root + "one");
        TestSupport::MakeFolder(root + "-two");
        StartFolders folders = StartFoldersOf({root + "one", "--", root + "-two"});
        QCOMPARE(folders.First, root + "one/");
        QCOMPARE(folders.Second, root + "-two/");
        folders = StartFoldersOf({"-style", root + "missing", root + "one", root + "x"});
        QCOMPARE(folders.First, root + "missing"); // left for the search to report
        QCOMPARE(folders.Second, root + "one/");
        QCOMPARE(StartFoldersOf({}).First, QString());
    }
};

QTEST_APPLESS_MAIN(TestStartPageRules)
#include "TestStartPageRules.moc"
