// The tips window beside the main window: where it stands, when it opens,
// the setting that keeps it closed, the page it shows, its links.

#include "TestSupport.h"
#include "gui/GuiHost.h"
#include "gui/HelpPage.h"
#include "gui/MainWindow.h"
#include "gui/TipsPlacement.h"
#include "gui/TipsWindow.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"

#include <QSettings>
#include <QTest>
#include <QtWidgets>

using namespace TestSupport;
using namespace Qt::StringLiterals;

class TestTipsWindow : public QObject {
    Q_OBJECT

    QTemporaryDir Settings;
    std::unique_ptr<MainWindow> Window;
    QList<QUrl> Opened;

    QString SettingsFile() const { return Settings.filePath(u"dupliscan.ini"_s); }
    TipsWindow *Tips() const { return Window->findChild<TipsWindow *>(); }
    QAction *Hints1() const { return Window->findChild<QAction *>(u"Hints1"_s); }
    QString Shown() const {
        return Tips()->View() ? Tips()->View()->document()->toPlainText() : QString();
    }
    QString Row(int id) const {
        return GetTablePhrase(id).remove(QRegularExpression(u"<[^>]*>"_s));
    }

    void NewWindow(const QByteArray &settings = {}) {
        Window.reset();
        ResetSettings();
        QFile::remove(SettingsFile());
        if (!settings.isEmpty()) {
            QFile file(SettingsFile());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
        }
        SetSettingsPath(SettingsFile());
        Window = std::make_unique<MainWindow>();
        Window->CreateLegendWindow();
        Window->SearchHostOfWindow().SetEventInterval(0);
        Window->resize(560, 480);
        Window->move(20, 20);
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }

public slots:
    void OpenUrl(const QUrl &url) { Opened << url; }

private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler(u"file"_s, this, "OpenUrl");
        QApplication::setQuitOnLastWindowClosed(false);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Settings.path());
        InstallWidgetLanguageSupport();
        SetMessageBoxHandler([](const QString &, TMsgDlgType, int) { return int(mrOk); });
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"file"_s); }

    void init() {
        ResetEngine();
        QByteArray table =
            ReadWholeFile(QStringLiteral(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt"));
        LoadPhraseText(PhraseTable(), QString::fromUtf8(table), false);
        Opened.clear();
    }

    void cleanup() { Window.reset(); }

    // The main window moves left only as far as needed for both to fit, and
    // the tips window then stands beside it, or over it at the area's edge.
    void placement_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("main");
        QTest::addColumn<int>("mainLeft"); // -1: stays
        QTest::addColumn<QPoint>("tips");
        const QRect screen(0, 0, 1280, 900);
        QTest::newRow("room beside") << screen << QRect(100, 50, 800, 600) << -1 << QPoint(908, 50);
        QTest::newRow("centred in the room left")
            << screen << QRect(300, 50, 800, 600) << 74 << QPoint(882, 50);
        QTest::newRow("too wide: flush right over it")
            << screen << QRect(100, 50, 1200, 600) << 0 << QPoint(957, 50);
        QTest::newRow("too wide at the left edge already")
            << screen << QRect(0, 50, 1200, 600) << -1 << QPoint(957, 50);
        QTest::newRow("never left of the work area")
            << QRect(60, 0, 1220, 900) << QRect(400, 0, 900, 700) << 60 << QPoint(957, 0);
        QTest::newRow("second screen counts its own room")
            << QRect(1280, 0, 1920, 1080) << QRect(1400, 100, 800, 600) << -1 << QPoint(2208, 100);
    }
    void placement() {
        QFETCH(QRect, area);
        QFETCH(QRect, main);
        QFETCH(int, mainLeft);
        QFETCH(QPoint, tips);
        constexpr int TipsWidth = 323;
        const std::optional<int> left = TipsPlacement::MainWindowLeft(area, main, TipsWidth);
        QCOMPARE(left.value_or(-1), mainLeft);
        if (left)
            main.moveLeft(*left);
        QCOMPARE(TipsPlacement::TipsWindowPosition(main, TipsWidth, area), tips);
    }

    void settingKeepsTheTipsClosed() {
        NewWindow("Language=DE\nTipWindow=0\n");
        Window->StartupTimerTimer();
        QVERIFY(!Tips()->TipsVisible());

        Hints1()->trigger();
        QVERIFY(Tips()->TipsVisible());
        QCOMPARE(ReadSetting(u"TipWindow"_s), QString());
        SaveSettings();
        QVERIFY(!ReadWholeFile(SettingsFile()).contains("TipWindow"));

        Hints1()->trigger();
        QVERIFY(!Tips()->TipsVisible());
        QVERIFY(!Tips()->View()); // the page goes with the window
        QCOMPARE(ReadSetting(u"TipWindow"_s), u"0"_s);
        Window->StartupTimerTimer();
        QVERIFY(!Tips()->TipsVisible());

        // Its own close button leaves the setting as it was.
        Hints1()->trigger();
        Tips()->close();
        QCOMPARE(ReadSetting(u"TipWindow"_s), QString());
        Window->StartupTimerTimer();
        QVERIFY(Tips()->TipsVisible());
    }

    void pageFollowsTheRunAndTheLanguage() {
        NewWindow("Language=DE\n");
        QTRY_VERIFY(Tips()->TipsVisible()); // the start-up timer's call
        QCOMPARE(Tips()->windowTitle(), u" Tipps"_s);
        QVERIFY(Shown().contains(Row(7)));
        QVERIFY(!Shown().contains(Row(16)));
        // Beside the main window where the screen has room, else over it.
        const QRect tips = Tips()->frameGeometry();
        QCOMPARE(tips.top(), Window->frameGeometry().top());
        QVERIFY(Window->screen()->availableGeometry().contains(tips));
        QVERIFY(tips.left() > Window->frameGeometry().left());

        TempFolder tree;
        WriteAt(tree.path() + u'/', "a/same.txt", "the same words");
        WriteAt(tree.path() + u'/', "b/same.txt", "the same words");
        Window->findChild<QComboBox *>(u"FolderEd"_s)->setEditText(tree.path() + u'/');
        Window->findChild<QPushButton *>(u"FindBtn"_s)->click();
        QVERIFY(Window->LastSearch().Matches > 0);
        QVERIFY(Shown().contains(Row(16)));
        QVERIFY(!Shown().contains(Row(7)));

        for (QAction *item : Window->findChild<QMenu *>(u"Language1"_s)->actions())
            if (item->text() == u"English")
                item->trigger();
        QCOMPARE(Tips()->windowTitle(), u" Tips"_s);
        QVERIFY(Shown().contains(Row(16)));
        QVERIFY(Row(16) != u"Eine gute Wahl");

        QMenu *view = Window->findChild<QMenu *>(u"View1"_s);
        emit view->aboutToShow();
        QVERIFY(Hints1()->isChecked());
        Tips()->close();
        emit view->aboutToShow();
        QVERIFY(!Hints1()->isChecked());
    }

    void mainWindowMakesRoomUnlessMaximised() {
        NewWindow("Language=DE\nTipWindow=0\n");
        const QRect area = Window->screen()->availableGeometry();
        Window->move(area.left() + area.width() - Window->frameGeometry().width(), area.top());
        const QRect before = Window->frameGeometry();
        const auto left = TipsPlacement::MainWindowLeft(area, before, Tips()->TipsWidth());
        QVERIFY(left);
        Hints1()->trigger();
        QTRY_COMPARE(Window->frameGeometry().left(), *left);

        Hints1()->trigger();
        Window->showMaximized();
        QTRY_COMPARE(Window->frameGeometry().size(), area.size());
        const QRect maximised = Window->frameGeometry();
        Hints1()->trigger();
        QVERIFY(Tips()->TipsVisible());
        QCOMPARE(Window->frameGeometry(), maximised);
    }

    void linksOpenTheProgramsHelp() {
        QCOMPARE(TipLinkTarget(QUrl(u"help:delete"_s)), HelpPageUrl(u"delete"_s));
        QCOMPARE(TipLinkTarget(QUrl(u"https://example.org/"_s)), QUrl(u"https://example.org/"_s));

        NewWindow("Language=DE\n");
        QTRY_VERIFY(Tips()->View());
        QTextBrowser *view = Tips()->View();
        const QTextCursor link = view->document()->find(u"Startseite"_s);
        QVERIFY(!link.isNull());
        QTextCursor inside(view->document());
        inside.setPosition(link.selectionStart() + 2);
        view->ensureCursorVisible();
        view->setTextCursor(inside);
        view->ensureCursorVisible();
        const QPoint at = view->cursorRect(inside).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        const QUrl help = HelpPageUrl(u"start"_s);
        QCOMPARE(Opened, help.isValid() ? QList<QUrl>{help} : QList<QUrl>{});
    }
};

QTEST_MAIN(TestTipsWindow)
#include "TestTipsWindow.moc"
