// The main window driven offscreen the way a person drives it: clicks and keys
// on the controls, message boxes answered through the program's message-box
// routine, folder and file dialogs through their answer seam, settings in
// temporary files.

#include "TestSupport.h"
#include "gui/AboutWindow.h"
#include "gui/BusyPicture.h"
#include "gui/FileDialogs.h"
#include "gui/FilterDialog.h"
#include "gui/GuiHost.h"
#include "gui/HelpPage.h"
#include "gui/LegendWindow.h"
#include "gui/MainWindow.h"
#include "gui/ResultList.h"
#include "gui/StartPageRules.h"
#include "gui/WindowPhrases.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/RegistryUnit.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/UnitPhrases.h"
#include "lang/widgets/LangWidgets.h"
#include "results/ResultListUnit.h"
#include "search/MainPhrases.h"

#include <QSettings>
#include <QTest>
#include <QtWidgets>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sched.h>
#include <sys/fsuid.h>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {
struct Box {
    QString Text;
    TMsgDlgType Type;
};

QString Phrase(int id) {
    return GetPhrase(MainFormPhrases(), id);
}

void LoadShippedTable() {
    QByteArray bytes;
    for (const char *name : {"/lang/Dupliscan.lng.txt", "/lang/CommandLine.lng.txt"})
        bytes += ReadWholeFile(DUPLISCAN_SOURCE_DIR + QString(name)) + "\n\n";
    LoadPhraseText(PhraseTable(), QString::fromUtf8(bytes), false);
}

// Everything visible in the window that carries a German caption.
QStringList CaptionsOf(QWidget *window) {
    QStringList texts;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text() << button->toolTip();
        else if (auto *label = qobject_cast<QLabel *>(w);
                 label && !label->objectName().startsWith(u"Start"))
            texts << label->text(); // the title's texts are numbered rows of the table
        else if (auto *menu = qobject_cast<QMenu *>(w))
            texts << menu->title();
        else if (auto *tabs = qobject_cast<QTabWidget *>(w))
            for (int k = 0; k < tabs->count(); ++k)
                texts << tabs->tabText(k);
    }
    // The language items name each language in itself.
    const QMenu *languages = window->findChild<QMenu *>(QStringLiteral("Language1"));
    for (QAction *action : window->findChildren<QAction *>())
        if (!action->isSeparator() && !action->menu() && action->parent() != languages)
            texts << action->text();
    texts.removeAll(QString());
    return texts;
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir Settings;
    std::unique_ptr<MainWindow> Window;
    std::unique_ptr<TempFolder> Tree;
    QString Root;
    QList<Box> Boxes;
    QList<int> Answers; // for questions, in order; none left means Cancel
    QList<QUrl> Opened; // web pages the program asked the desktop to open

    template <typename T = QWidget> T *Find(const char *name) const {
        T *widget = Window->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no control named %s", name);
        return widget;
    }
    QAction *Item(const char *name) const { return Find<QAction>(name); }
    QLineEdit *Field(const char *name) const { return Find<QLineEdit>(name); }
    QComboBox *FolderEd() const { return Find<QComboBox>("FolderEd"); }
    QAbstractButton *Button(const char *name) const { return Find<QAbstractButton>(name); }

    void Click(const char *name) {
        QAbstractButton *button = Button(name);
        QVERIFY2(button->isVisible() && button->isEnabled(), name);
        // Check boxes and radio buttons take clicks on their box and text only.
        const bool box = qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button);
        QTest::mouseClick(button, Qt::LeftButton, {},
                          box ? QPoint(6, button->height() / 2) : button->rect().center());
    }
    // Replaces a field's text as typing it would.
    void Type(QLineEdit *field, const QString &text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }
    void ShowStartPage() { Find<QTabWidget>("PageControl")->setCurrentWidget(Find("StartSheet")); }
    QStringList BoxTexts() const {
        QStringList texts;
        for (const Box &box : Boxes)
            texts << box.Text;
        return texts;
    }
    QString Memo() const { return Find<QPlainTextEdit>("StatusMemo")->toPlainText(); }
    // Runs a search over the folder as the search button does.
    void Search(const QString &folder) {
        ShowStartPage();
        FolderEd()->setEditText(folder);
        Boxes.clear();
        Click("FindBtn");
    }
    void NewWindow() {
        Window = std::make_unique<MainWindow>();
        Window->CreateLegendWindow();
        Window->SearchHostOfWindow().SetEventInterval(0);
        Window->resize(760, 780);
        Window->show();
        QApplication::setActiveWindow(Window.get());
        QVERIFY(QTest::qWaitForWindowActive(Window.get()));
    }
    // A small tree: two pairs of equal files in different folders, one loner.
    void WriteTree() {
        WriteAt(Root, "a/one.txt", "first pair");
        WriteAt(Root, "b/one.txt", "first pair");
        WriteAt(Root, "a/two.bin", RandomData(70000, 1));
        WriteAt(Root, "b/sub/two-copy.bin", RandomData(70000, 1));
        WriteAt(Root, "b/loner.txt", "alone");
    }
    // Repeats the action on every round of events until it says it is done.
    struct Watch : QTimer {
        explicit Watch(std::function<bool()> action) {
            connect(this, &QTimer::timeout, this, [this, action] {
                if (action())
                    stop();
            });
            start(0);
        }
    };

public slots:
    void OpenUrl(const QUrl &url) { Opened << url; }

private slots:
    void initTestCase() {
        for (const char *scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "OpenUrl");
        QApplication::setQuitOnLastWindowClosed(false);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Settings.path());
        InstallWidgetLanguageSupport();
        FileDialogs::SetAnswersOnly(true);
    }

    void cleanupTestCase() {
        for (const char *scheme : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    void init() {
        ResetEngine();
        QSettings(QStringLiteral("Kelmo"), QStringLiteral("Dupliscan")).clear();
        QFile::remove(Settings.filePath("dupliscan.ini"));
        SetSettingsPath(Settings.filePath("dupliscan.ini"));
        LoadShippedTable();
        WriteSetting("Language", "DE");
        Boxes.clear();
        Answers.clear();
        SetMessageBoxHandler([this](const QString &text, TMsgDlgType type, int) {
            Boxes.append({text, type});
            if (type != TMsgDlgType::Confirmation)
                return int(mrOk);
            return Answers.isEmpty() ? int(mrCancel) : Answers.takeFirst();
        });
        Tree = std::make_unique<TempFolder>();
        Root = Tree->path() + u'/';
        NewWindow();
    }

    void cleanup() {
        Window.reset();
        FileDialogs::ClearNextAnswer();
        RemoveTree(Tree->path());
        Tree.reset();
    }

    // ------------------------------------------------------------ start page

    // The rules themselves are TestStartPageRules'; here their wiring.
    void percentFieldsStepAndColour() {
        QLineEdit *percent = Field("PercentEd");
        Type(percent, "75 %");
        Click("SimiUpDownUp");
        QCOMPARE(percent->text(), u"80%"_s);
        QTest::keyClick(percent, Qt::Key_Down);
        QCOMPARE(percent->text(), u"70%"_s);
        QCOMPARE(percent->palette().color(QPalette::Text), QColor(240, 0, 0));
        QVERIFY(Button("incl100Check")->isVisibleTo(Window.get()));
        Type(percent, "100");
        QVERIFY(!Button("incl100Check")->isVisibleTo(Window.get()));
        Click("CompareNamesCheck");
        Click("NameSimiUpDownUp");
        QCOMPARE(Field("NamePercentEd")->text(), u"90%"_s);
    }

    void searchButtonNamesTheSearch() {
        QCOMPARE(Button("FindBtn")->text(), u"nach doppelten Dateien suchen"_s);
        Click("CompareContentsCheck");
        // Without contents, every control of the contents panel rests.
        QVERIFY(!Field("PercentEd")->isEnabled() && !Button("ImagesRadio")->isEnabled());
        QVERIFY(!Field("NamePercentEd")->isEnabled());
        Click("CompareNamesCheck");
        Type(Field("NamePercentEd"), "95");
        QCOMPARE(Button("FindBtn")->text(), u"nach ähnlichen Namen suchen"_s);
        Click("CompareContentsCheck");
        Click("ImagesRadio");
        QVERIFY(Filter().ImageMode);
        QCOMPARE(Filter().IncludeText, ImagePreset);
        Click("BytesRadio");
        QVERIFY(!Filter().ImageMode && Filter().IncludeText.isEmpty());
    }

    void folderFieldsSwitchAndKeepTheirTexts() {
        QVERIFY(!Button("DiffBaseFoldersRadio")->isEnabled());
        Click("FolderTwoCheckBox");
        QVERIFY(Button("DiffBaseFoldersRadio")->isChecked());
        QCOMPARE(QApplication::focusWidget(), Field("FolderEd2"));
        QTest::keyClicks(Field("FolderEd2"), "/second/");
        Click("FolderTwoCheckBox");
        QVERIFY(Field("FolderEd2")->text().isEmpty());
        QVERIFY(Button("DiffSubfoldersRadio")->isChecked());
        Click("FolderTwoCheckBox");
        QCOMPARE(Field("FolderEd2")->text(), u"/second/"_s);
        QVERIFY(Button("DiffBaseFoldersRadio")->isChecked());

        const QString chosen = WriteAt(Root, "chosen.txt", "x");
        FileDialogs::SetNextAnswer(chosen);
        Click("BrowseCertainFileBtn");
        QVERIFY(Button("CertainFileRadio")->isChecked());
        QVERIFY(!Button("FolderTwoCheckBox")->isChecked());
        QCOMPARE(Field("CertainFileEd")->text(), chosen);
        Click("InsideAllFoldersRadio");
        QVERIFY(Field("CertainFileEd")->text().isEmpty());
    }

    void browseButtonsFillTheFolders() {
        MakeFolder(Root + "first");
        FileDialogs::SetNextAnswer(Root + "first");
        Click("BrowseBtn");
        QCOMPARE(FolderEd()->currentText(), Root + "first/");
        FileDialogs::SetNextAnswer(QString()); // cancelled: the field stays
        Click("BrowseBtn");
        QCOMPARE(FolderEd()->currentText(), Root + "first/");
        FileDialogs::SetNextAnswer(u"/"_s); // the root keeps exactly one delimiter
        Click("BrowseBtn2");
        QCOMPARE(Field("FolderEd2")->text(), u"/"_s);
        QVERIFY(Button("FolderTwoCheckBox")->isChecked());
    }

    void limitFieldGreysAndEmpties() {
        QLineEdit *limit = Field("maxFilesEd");
        const QColor normal = limit->palette().color(QPalette::Base);
        Type(limit, "abc");
        QCOMPARE(limit->palette().color(QPalette::Base), QColor(0xF0, 0xF0, 0xF0));
        Type(limit, "25");
        QCOMPARE(limit->palette().color(QPalette::Base), normal);
        Item("noLimit1")->trigger();
        QVERIFY(limit->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), Button("FindBtn"));
        Type(limit, "1234567");
        QCOMPARE(limit->text(), u"12345"_s);
    }

    void enterPressesTheButtonOfItsPanel_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("button");
        QTest::newRow("first folder") << "FolderEd"
                                      << "BrowseBtn";
        QTest::newRow("subfolders") << "SubfoldersCheck"
                                    << "BrowseBtn";
        QTest::newRow("second folder") << "FolderEd2"
                                       << "BrowseBtn2";
        QTest::newRow("certain file") << "CertainFileEd"
                                      << "BrowseCertainFileBtn";
    }
    void enterPressesTheButtonOfItsPanel() {
        QFETCH(QString, field);
        QFETCH(QString, button);
        Find(field.toLatin1())->setFocus();
        for (const char *each : {"BrowseBtn", "BrowseBtn2", "BrowseCertainFileBtn", "FindBtn"})
            QCOMPARE(Find<QPushButton>(each)->isDefault(), button == QLatin1String(each));
        const int asked = FileDialogs::DialogsAsked();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(FileDialogs::DialogsAsked(), asked + 1);
        Button("FindBtn")->setFocus();
        QVERIFY(Find<QPushButton>("FindBtn")->isDefault());
    }

    void titlePanelsShrinkInSmallWindows() {
        Window->resize(760, 590);
        QTRY_COMPARE(Find("MethodTitlePanel")->maximumHeight(), 1);
        QCOMPARE(Find("FilesTitlePanel")->maximumHeight(), 1);
        Window->resize(760, 780);
        QTRY_VERIFY(Find("FilesTitlePanel")->maximumHeight() > 1);
    }

    // ------------------------------------------------------------ window

    void lockWarnsWhenSwitchedOff() {
        QVERIFY(!Item("Sperre1")->isVisible() && Item("Sperre1")->isChecked());
        Item("Sperre1")->trigger();
        QCOMPARE(Boxes.size(), 1);
        QCOMPARE(Boxes[0].Type, TMsgDlgType::Warning);
        const QString lock = GetPhrase(AskToDeletePhrases(), 3);
        QVERIFY(!lock.contains(u"Windows"_s));
        QCOMPARE(Boxes[0].Text,
                 StartPageRules::LockWarningText(lock, u"Löschen auf eigene Gefahr!"_s));
        Item("Sperre1")->trigger(); // switched on again: no word
        QCOMPARE(Boxes.size(), 1);
    }

    void helpLinksOpenTheHelpPage() {
        for (const char *link : {"wwwHomepageLabel", "HelpLabel1", "HelpLabel2"}) {
            Click(link);
            QVERIFY(!Button(link)->isEnabled()); // no second page while the first opens
            QTRY_VERIFY(Button(link)->isEnabled());
        }
        Item("Facebook1")->trigger();
        const QUrl page = HelpPageUrl();
        QCOMPARE(Opened, page.isValid() ? QList<QUrl>(4, page) : QList<QUrl>());
    }

    // The switching itself is TestMultiLingua's; here the menu and the window.
    void languageMenuTranslatesTheWindow() {
        QMenu *languages = Find<QMenu>("Language1");
        QCOMPARE(languages->actions().size(), 17);
        auto choose = [&](const QString &name) {
            for (QAction *item : languages->actions())
                if (item->text() == name)
                    item->trigger();
        };
        choose(u"English"_s);
        QCOMPARE(ReadSetting("Language"), u"EN"_s);
        QCOMPARE(Button("FindBtn")->text(), u"Search for duplicate files"_s);
        QCOMPARE(Find<QLabel>("FilterLabel")->text(), GetPhrase(FilterUnitPhrases(), 1));
        choose(u"Deutsch (German)"_s);
        QCOMPARE(Button("CompareNamesCheck")->text(), u"Namen vergleichen"_s);
    }

    void everyTextHasARowInEveryLanguage() {
        QStringList texts = CaptionsOf(Window.get());
        texts << WindowPhrases().Texts() << MainFormPhrases().TextOf(11)
              << MainFormPhrases().TextOf(12) << AskToDeletePhrases().TextOf(3);
        QStringList missing;
        const tMLSystem &table = *PhraseTable();
        for (const QString &text : texts) {
            // A line break stands as "#13#" in the table.
            const QString key = SplitPhraseKey(text).Text.replace(u'\n', u"#13#"_s);
            if (key.trimmed().isEmpty() || key.startsWith(u"Dupliscan "_s) || key.endsWith(u'%'))
                continue;
            const auto row = std::find_if(table.Groups.begin(), table.Groups.end(),
                                          [&](const auto &r) { return r->Text(0) == key; });
            if (row == table.Groups.end()) {
                missing << "no row: " + key;
                continue;
            }
            for (std::size_t k = 0; k < table.Languages.size(); ++k)
                if ((*row)->Text(int(k)).isEmpty())
                    missing << table.Languages[k]->Code + ": " + key;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
        QCOMPARE(table.Languages.size(), std::size_t(17));
    }

    // The order of the history is TestStartPageRules'; here its way to and from the settings.
    void folderHistoryComesAndGoes() {
        Window.reset();
        RegWriteString(false, "Dirs", CommaText({"/data/Program Files/", "/b/", "/c/"}));
        NewWindow();
        QCOMPARE(FolderEd()->count(), 3);
        QCOMPARE(FolderEd()->currentText(), u"/data/Program Files/"_s);
        FolderEd()->setEditText(u"/c/"_s);
        Window.reset();
        QCOMPARE(FromCommaText(RegReadString(false, "Dirs")),
                 (QStringList{"/c/", "/data/Program Files/", "/b/"}));
        QCOMPARE(RegReadString(false, "Ver"), QStringLiteral(DUPLISCAN_VERSION));

        RegWriteString(false, "Dirs", QString());
        NewWindow();
        QCOMPARE(FolderEd()->count(), 2); // documents and the program's folder
    }

    void busyPictureShowsTheNewestLines() {
        BusyPicture picture;
        picture.resize(120, 5 * picture.fontMetrics().height());
        for (int k = 0; k < 50; ++k)
            picture.AddLine(QString::number(k) + QString(500, u'x'));
        const QStringList lines = picture.VisibleLines();
        QVERIFY(lines.size() >= 5 && lines.size() <= 6);
        QVERIFY(lines.last().startsWith(u"49"_s)); // newest at the bottom
        picture.grab();                            // painting clips without trouble
    }

    // ------------------------------------------------------------ refusals

    // Which refusal is which is TestSearchRun's; here the box, the focus, the
    // browse dialog for a folder, and no touched file. Every field also takes
    // unusable text: a message or a search, never a crash.
    void refusalsAndUnusableText_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // how the box begins; "" when the search runs
        QTest::newRow("nothing to compare") << "no-method"
                                            << "" << Phrase(40);
        QTest::newRow("pictures at 100 %") << "pictures"
                                           << "" << Phrase(39);
        QTest::newRow("wildcard with contents") << "CertainFileEd"
                                                << "name.*" << Phrase(46);
        QTest::newRow("missing certain file") << "CertainFileEd"
                                              << "@none.txt" << Phrase(45);
        QTest::newRow("certain file a folder") << "CertainFileEd"
                                               << "@a" << Phrase(47);
        QTest::newRow("missing folder") << "FolderEd"
                                        << "@missing"
                                        << "Der Ordner #1 existiert nicht.\n@missing";
        QTest::newRow("missing second folder") << "FolderEd2"
                                               << "@missing"
                                               << "Der Ordner #2 existiert nicht.\n@missing";
        QTest::newRow("folder is a file") << "FolderEd"
                                          << "@a/one.txt"
                                          << "Der Ordner #1 ist eine Datei.\n@a/one.txt";
        QTest::newRow("control characters shown replaced")
            << "FolderEd"
            << "@\x01\x02"
            << "Der Ordner #1 existiert nicht.\n@\uFFFD\uFFFD";
        const QString blanks = u"   "_s, longText = QString(5000, u'x'),
                      control = u"\x01\x02\x7f"_s;
        for (const auto &[name, text] : {std::pair{"empty", QString()},
                                         {"blanks", blanks},
                                         {"5000 characters", longText},
                                         {"control characters", control}}) {
            const bool blank = text.trimmed().isEmpty();
            QTest::addRow("FolderEd, %s", name)
                << "FolderEd" << text << (blank ? Phrase(14) : u"Der Ordner #1 existiert nicht"_s);
            QTest::addRow("FolderEd2, %s", name)
                << "FolderEd2" << text << (blank ? QString() : u"Der Ordner #2 existiert nicht"_s);
            QTest::addRow("CertainFileEd, %s", name)
                << "CertainFileEd" << text << (blank ? Phrase(44) : Phrase(45));
            for (const char *field : {"PercentEd", "NamePercentEd", "maxFilesEd"})
                QTest::addRow("%s, %s", field, name) << field << text << QString();
        }
    }
    void refusalsAndUnusableText() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        WriteTree();
        text.replace(u'@', Root);
        message.replace(u'@', Root);
        const QByteArray before = Listing(Root);
        ShowStartPage();
        FolderEd()->setEditText(Root);
        if (field == u"no-method")
            Click("CompareContentsCheck");
        if (field == u"pictures")
            Click("ImagesRadio");
        if (field == u"FolderEd2")
            Click("FolderTwoCheckBox");
        if (field == u"CertainFileEd")
            Click("CertainFileRadio");
        if (field == u"NamePercentEd")
            Click("CompareNamesCheck");
        if (field == u"FolderEd")
            FolderEd()->setEditText(text);
        else if (!field.contains(u'-') && field != u"pictures")
            Field(field.toLatin1())->setText(text);
        const int lastLimit = Context().LastRunOptions.MaxDuplicates;
        const int asked = FileDialogs::DialogsAsked();
        Boxes.clear();
        Click("FindBtn");
        if (message.isEmpty()) {
            QVERIFY2(Window->LastSearch().Ran(), qPrintable(BoxTexts().join(u'|')));
            QCOMPARE(Window->LastSearch().Outcome, RunOutcome::Completed);
            QCOMPARE(RunState(), RunStateValue::Finished);
        } else {
            QCOMPARE(Boxes.size(), 1);
            if (message.contains(Root))
                QCOMPARE(Boxes[0].Text, message);
            QVERIFY2(Boxes[0].Text.startsWith(message), qPrintable(Boxes[0].Text));
            QVERIFY(Boxes[0].Text.size() < 400); // a long name is shortened in its middle
            QCOMPARE(Boxes[0].Type, TMsgDlgType::Error);
            if (field == u"CertainFileEd")
                QCOMPARE(QApplication::focusWidget(), Field("CertainFileEd"));
            // A folder that cannot be used is chosen anew.
            QCOMPARE(FileDialogs::DialogsAsked(), asked + (field.startsWith(u"FolderEd") ? 1 : 0));
            QCOMPARE(RunState(), RunStateValue::Idle);
            QCOMPARE(Context().LastRunOptions.MaxDuplicates, lastLimit);
            QCOMPARE(Find<QTabWidget>("PageControl")->currentWidget(), Find("StartSheet"));
            QVERIFY(Button("FindBtn")->isEnabled());
        }
        if (field.contains(u"Percent"))
            QVERIFY(Field(field.toLatin1())->text().endsWith(u'%'));
        QCOMPARE(Listing(Root), before);
    }

    // A folder that may not be read: as root, looked at with another user's rights.
    void folderThatMayNotBeRead() {
        MakeFolder(Root + "locked");
        QCOMPARE(::chmod(QFile::encodeName(Tree->path()).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(Root + "locked").constData(), 0), 0);
        const bool asRoot = ::geteuid() == 0;
        if (asRoot) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
        Search(Root + "locked/");
        if (asRoot) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
        ::chmod(QFile::encodeName(Root + "locked").constData(), 0755);
        QCOMPARE(BoxTexts(),
                 QStringList{"Der Ordner #1 kann nicht gelesen werden (keine Berechtigung).\n" +
                             Root + "locked"});
    }

    void folderNameThatIsNotUtf8() {
        const QString folder = Root + Platform::DecodeName("bad\xff\xfe");
        QVERIFY(!Platform::NameIsExact(folder));
        QCOMPARE(::mkdir(Platform::EncodeName(folder).constData(), 0755), 0);
        QVERIFY(WriteFile(folder + Platform::DecodeName("/x\xff.txt"), "same"));
        QVERIFY(WriteFile(folder + "/y.txt", "same"));
        const QByteArray before = Listing(Root);
        FileDialogs::SetNextAnswer(folder);
        Click("BrowseBtn");
        QCOMPARE(FolderEd()->currentText(), folder + u'/');
        Click("FindBtn");
        QVERIFY2(Window->LastSearch().Ran(), qPrintable(BoxTexts().join(u'|')));
        QCOMPARE(Window->LastSearch().Matches, 1);
        QCOMPARE(Listing(Root), before);
    }

    // ------------------------------------------------------------ questions

    // The question and a "no" are TestSearchRun's; "yes" switches the second folder off.
    void nestedFoldersYesSearchesOne() {
        WriteTree();
        ShowStartPage();
        FolderEd()->setEditText(Root);
        Click("FolderTwoCheckBox");
        Field("FolderEd2")->setText(Root + "b");
        Answers = {int(mrYes)};
        Click("FindBtn");
        QVERIFY2(Boxes.size() == 1, qPrintable(BoxTexts().join(u'|')));
        QCOMPARE(Boxes[0].Type, TMsgDlgType::Confirmation);
        QVERIFY(!Button("FolderTwoCheckBox")->isChecked());
        QCOMPARE(Window->SavedFolderTwoText(), Root + "b");
        QCOMPARE(Window->LastSearch().Matches, 2);
    }

    // The warnings themselves are TestSearchRun's.
    void systemFolderAsks() {
        Answers = {int(mrCancel)};
        Search(u"/etc/"_s);
        QCOMPARE(BoxTexts(), QStringList{u"Pfad #1 enthält einen Systemordner (wie /usr oder "
                                         "/etc).\n"_s +
                                         Phrase(31)});
        QCOMPARE(Window->LastSearch().Declined, DeclinedQuestion::SystemFolders);
        QCOMPARE(RunState(), RunStateValue::Idle);
    }

    // ------------------------------------------------------------ runs

    void searchOverASmallTree() {
        WriteTree();
        const QByteArray before = Listing(Root);
        QStringList seen;
        Watch during([&] {
            if (Window->RunActive() && seen.isEmpty())
                seen << Find<QTabWidget>("PageControl")->currentWidget()->objectName()
                     << Find<QStackedWidget>("ResultStack")->currentWidget()->objectName()
                     << QString::number(Button("FindBtn")->isEnabled())
                     << QString::number(Find<QMenu>("View1")->menuAction()->isEnabled())
                     << QString::number(Button("EscBtn2")->isEnabled())
                     << QString::number(QApplication::overrideCursor() != nullptr);
            return !seen.isEmpty();
        });
        Search(Root);
        QCOMPARE(seen, (QStringList{"ResultSheet", "BusyImage", "0", "0", "1", "1"}));
        QCOMPARE(Window->LastSearch().Outcome, RunOutcome::Completed);
        QCOMPARE(Window->LastSearch().Matches, 2);
        QVERIFY(Boxes.isEmpty());
        // The result page as it stays.
        QCOMPARE(Find<QStackedWidget>("ResultStack")->currentWidget(), Find("SelBoxPanelA"));
        QVERIFY(Button("DelTwinsBtn")->isEnabled() && Button("FindBtn")->isEnabled());
        QVERIFY(!Button("ESCBtn")->isEnabled() && !Button("PauseBtn")->isEnabled());
        QVERIFY(Find<QMenu>("View1")->menuAction()->isEnabled());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY2(Memo().startsWith(u"lese Ordner "_s + Root + u'\n'), qPrintable(Memo()));
        QVERIFY(Memo().contains(u"\nvergleiche 5 Dateien ("_s));
        QVERIFY(Memo().contains(u"2 Duplikate gefunden"_s));
        QCOMPARE(FolderEd()->itemText(0), Root);
        QCOMPARE(Listing(Root), before);
    }

    void twoFoldersEndWithTheNotice() {
        WriteTree();
        ShowStartPage();
        FolderEd()->setEditText(Root + "a");
        Click("FolderTwoCheckBox");
        Field("FolderEd2")->setText(Root + "b");
        Click("FindBtn");
        QCOMPARE(Window->LastSearch().Matches, 2);
        QCOMPARE(BoxTexts(), QStringList{Phrase(20) + u'\n' + Phrase(21)});
        QCOMPARE(Boxes[0].Type, TMsgDlgType::Information);
        QCOMPARE(Field("FolderEd2")->text(), Root + "b/");
    }

    void searchWithoutDuplicates() {
        WriteAt(Root, "x.txt", "one");
        WriteAt(Root, "y.txt", "two");
        Search(Root);
        QCOMPARE(BoxTexts(), QStringList{Phrase(38)});
        QVERIFY(!Button("DelTwinsBtn")->isEnabled());
    }

    // Which folders are named is TestSearchRun's: here a folder the scan cannot
    // search is a status line, not a box; a base folder that cannot be searched is refused.
    void foldersThatCannotBeSearched() {
        WriteTree();
        WriteAt(Root, "listed/x.txt", "first pair");
        QVERIFY(SetMode(Root + "listed", 0444));
        QStringList scanBoxes;
        QString memo;
        {
            OwnerRightsOnly rights;
            Search(Root);
            scanBoxes = BoxTexts();
            memo = Memo();
            Search(Root + "listed/");
        }
        SetMode(Root + "listed", 0755);
        QVERIFY(scanBoxes.isEmpty());
        QVERIFY2(memo.contains(GetPhraseParam(FileSearchPhrases(), 32, Root + "listed/") + " (" +
                               QString::fromLocal8Bit(std::strerror(EACCES)) + ')'),
                 qPrintable(memo));
        QCOMPARE(BoxTexts(),
                 QStringList{GetPhraseParam(WindowPhrases(), PhraseFolderNotSearchable, "1") +
                             '\n' + Root + "listed"});
    }

    // What a stop keeps is TestSearchRun's and TestCompareDriver's; here the controls.
    void cancelStopsTheRun_data() {
        QTest::addColumn<bool>("comparing"); // else during the scan
        QTest::addColumn<QString>("button"); // "" for the Escape key
        QTest::newRow("scan, its button") << false << "EscBtn2";
        QTest::newRow("scan, Escape") << false << "";
        QTest::newRow("compare, its button") << true << "ESCBtn";
    }
    void cancelStopsTheRun() {
        QFETCH(bool, comparing);
        QFETCH(QString, button);
        WriteTree();
        for (int k = 0; k < 8; ++k)
            WriteAt(Root, QStringLiteral("c/%1.txt").arg(k), "c" + QByteArray::number(k));
        Watch cancel([&] {
            // The title shows a percentage only while files are compared.
            if (comparing ? !Window->windowTitle().contains(u"%  Dupliscan"_s)
                          : !Button("EscBtn2")->isEnabled())
                return false;
            if (button.isEmpty())
                QTest::keyClick(Window.get(), Qt::Key_Escape);
            else
                Click(button.toLatin1());
            return true;
        });
        Search(Root);
        QCOMPARE(Window->LastSearch().Outcome, RunOutcome::Stopped);
        QVERIFY(Memo().endsWith(u"Abgebrochen."_s));
        QVERIFY(!Button("ESCBtn")->isEnabled());
        QCOMPARE(RunState(), RunStateValue::Finished);
        if (comparing) {
            QVERIFY(Memo().contains(u"vergleiche 13 Dateien"_s));
            QVERIFY(!Button("DelTwinsBtn")->isEnabled() || Window->LastSearch().Matches > 0);
        } else {
            QVERIFY(!Memo().contains(u"Duplikate gefunden"_s) && Boxes.isEmpty());
            QVERIFY(MatchList().empty() && !Button("DelTwinsBtn")->isEnabled());
        }
    }

    void pauseHoldsTheRunUntilContinued() {
        WriteTree();
        int pausedRounds = 0;
        Watch steer([&] {
            if (Button("PauseBtn")->isEnabled() && pausedRounds == 0) {
                Click("PauseBtn");
                if (RunState() == RunStateValue::Paused && Button("ContinueBtn")->isEnabled())
                    ++pausedRounds;
                return false;
            }
            if (RunState() == RunStateValue::Paused && ++pausedRounds > 5) {
                Click("ContinueBtn");
                return true;
            }
            return false;
        });
        Search(Root);
        QVERIFY(pausedRounds > 5);
        QCOMPARE(Window->LastSearch().Outcome, RunOutcome::Completed);
        QCOMPARE(Window->LastSearch().Matches, 2);
    }

    void closingTheWindowEndsTheRun() {
        WriteTree();
        const QByteArray before = Listing(Root);
        bool stillShown = false;
        Watch closeIt([this, &stillShown] {
            if (!Window->RunActive())
                return false;
            Window->close();
            stillShown = Window->isVisible(); // it waits for the run
            return true;
        });
        Search(Root);
        QVERIFY(stillShown);
        QVERIFY(!Window->isVisible());
        QVERIFY(Window->LastSearch().Outcome == RunOutcome::Stopped ||
                Window->LastSearch().Outcome == RunOutcome::Terminated);
        QVERIFY(Boxes.isEmpty());
        QCOMPARE(RunState(), RunStateValue::Finished);
        Window.reset();
        QCOMPARE(FromCommaText(RegReadString(false, "Dirs")).value(0), Root);
        QCOMPARE(Listing(Root), before);
    }

    void priorityStepsAsideOnlyInTheBackground() {
        WriteTree();
        const int normal = sched_getscheduler(0);
        for (const bool allowed : {true, false}) {
            ShowStartPage();
            if (Item("minPrior1")->isChecked() != allowed)
                Item("minPrior1")->trigger();
            QList<int> policies;
            bool lowered = false;
            Watch steer([&] {
                if (!Window->RunActive())
                    return false;
                Window->ApplicationEventsDeactivate();
                lowered = Window->PriorityIsLowered();
                policies << sched_getscheduler(0);
                Window->ApplicationEventsActivate();
                policies << sched_getscheduler(0);
                return true;
            });
            Search(Root);
            QVERIFY(!Window->PriorityIsLowered());
            QCOMPARE(policies.size(), 2);
            if (!allowed)
                QVERIFY(!lowered);
            QCOMPARE(policies[0], lowered ? SCHED_IDLE : normal);
            QCOMPARE(policies[1], normal);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
