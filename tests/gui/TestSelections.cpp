// The popup's marking commands and the two selection dialogs, driven
// offscreen the way a person uses them.

#include "TestSupport.h"
#include "gui/FoldersDialog.h"
#include "gui/MainWindow.h"
#include "gui/ResultList.h"
#include "gui/ResultModel.h"
#include "gui/SelectNamesDialog.h"
#include "gui/SelectionCommands.h"
#include "gui/WaitPanel.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/UnitPhrases.h"
#include "lang/widgets/LangWidgets.h"
#include "results/MatchListText.h"
#include "search/MainPhrases.h"

#include <QAccessible>
#include <QSettings>
#include <QtWidgets>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
template <typename T = QWidget> T *Control(QWidget *window, const char *name) {
    T *control = window->findChild<T *>(QString::fromLatin1(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

void Click(QWidget *window, const char *name) {
    auto *button = Control<QAbstractButton>(window, name);
    QVERIFY2(button->isEnabled(), name);
    const bool box = qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      box ? QPoint(6, button->height() / 2) : button->rect().center());
}

// The folders of the dialog's list with their states: "/data/a/ 4|...".
QString FolderStates(FoldersDialog &dialog) {
    QStringList states;
    for (const FolderItem &item : dialog.Folders())
        states << item.Folder + u' ' + QString::number(item.State);
    return states.join(u'|');
}

// A click on a folder's row of the list, on its icon or on its text.
void ClickFolder(FoldersDialog &dialog, int row, bool icon) {
    auto *box = Control<QListView>(&dialog, "Box");
    const QRect rect = box->visualRect(box->model()->index(row, 0));
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() + (icon ? 8 : 60), rect.center().y()));
}

void LoadShippedTable() {
    LoadPhraseText(PhraseTable(),
                   QString::fromUtf8(
                       TestSupport::ReadWholeFile(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt")),
                   false);
}

// Everything a dialog shows that carries a German caption.
QStringList CaptionsOf(QWidget *window) {
    QStringList texts{window->windowTitle()};
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text() << button->toolTip();
        else if (auto *label = qobject_cast<QLabel *>(w))
            texts << label->text();
    }
    texts.removeAll(QString());
    return texts;
}

// A folder command of the popup on the first row, and the button that ends the dialog.
struct FolderCommandRow {
    const char *Name, *Command, *Button, *Shown, *Marks, *Remembered; // keep | delete
};
const FolderCommandRow FolderCommandRows[] = {
    {"to delete", "ThisFolderToDelete1", "OkBtn", "/data/a/ 4|/data/b/ 2|/data/c/ 2", "DSDS",
     "|/data/a/"},
    {"to delete, cancelled", "ThisFolderToDelete1", "EscBtn", "/data/a/ 4|/data/b/ 2|/data/c/ 2",
     "SSSS", "|/data/a/"},
    {"not to delete", "ThisFolderNoDelete1", "OkBtn", "/data/a/ 3|/data/b/ 2|/data/c/ 2", "KSKS",
     "/data/a/|"},
};
} // namespace

class TestSelections : public QObject {
    Q_OBJECT

    QTemporaryDir Settings;
    std::unique_ptr<QWidget> Window;
    QTabWidget *Pages = nullptr;
    ResultList *List = nullptr;
    int PreviewHidden = 0;
    QStringList Infos;
    int FoldersShown = 0;

    void Fill(const QString &files, const QString &marks) {
        MatchListText::Fill(files, marks);
        List->FillResultList();
    }
    void Select(int row) {
        auto *names = Control<QListView>(List, "NameBox");
        names->setCurrentIndex(row < 0 ? QModelIndex() : names->model()->index(row, 0));
        QCOMPARE(List->SelectedRow(), row);
    }
    void Trigger(const char *name) {
        auto *action = List->findChild<QAction *>(QLatin1String(name));
        QVERIFY2(action && action->isEnabled() && List->ResultPopup()->actions().contains(action),
                 name);
        action->trigger();
    }
    // Works in the dialog once it is shown, then presses the button; a dialog
    // still open after that is closed so no test can hang. The button's name
    // is kept as a copy: the dialog opens after the caller's temporary text is gone.
    template <typename Dialog>
    void On(std::function<void(Dialog &)> steps, const QByteArray &button) {
        Dialog::SetShownHook([this, steps, button](Dialog &d) {
            FoldersShown += std::is_same_v<Dialog, FoldersDialog>;
            steps(d);
            if (!button.isEmpty() && d.isVisible())
                Click(&d, button.constData());
            if (d.isVisible())
                d.done(-1);
        });
    }

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Settings.path());
        InstallWidgetLanguageSupport();
    }

    void init() {
        ResetEngine();
        SetSettingsPath(Settings.filePath("dupliscan.ini"_L1));
        LoadShippedTable();
        QVERIFY(SetProgramLanguage("DE"_L1));
        Infos.clear();
        SetMessageBoxHandler([this](const QString &text, TMsgDlgType, int) {
            Infos << text;
            return int(mrOk);
        });
        PreviewHidden = FoldersShown = 0;
        Window = std::make_unique<QWidget>();
        Pages = new QTabWidget;
        Pages->setObjectName("PageControl"_L1);
        List = new ResultList(nullptr);
        Pages->addTab(List, u"Ergebnis"_s);
        (new QVBoxLayout(Window.get()))->addWidget(Pages);
        new SelectionCommands(Pages, List, [this] { ++PreviewHidden; });
        Window->resize(700, 400);
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }

    void cleanup() {
        FoldersDialog::SetShownHook({});
        SelectNamesDialog::SetShownHook({});
        Window.reset();
        ClearMatchList();
    }

    // ------------------------------------------------------------ popup

    void popupMarksTheRows_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("expected");
        QTest::newRow("keep only this file") << "keepOnlyThisFile1" << 2 << "DDKDS";
        QTest::newRow("remove selections from here") << "DelSelFromHere1" << 3 << "SSDSS";
    }
    void popupMarksTheRows() {
        QFETCH(QString, command);
        QFETCH(int, row);
        Fill(u"a/1 a/2 b/3 | b/4 c/5"_s, u"SSDDS"_s);
        Select(row);
        Trigger(command.toLatin1().constData());
        QTEST(MatchListText::Marks(), "expected");
        auto *names = Control<QListView>(List, "NameBox");
        QCOMPARE(names->model()->index(0, 0).data(ResultModel::MarkRole).toUInt(),
                 uint(MatchListText::MarkOf(MatchListText::Marks().at(0))));
        QCOMPARE(FoldersShown, 0);
    }

    void folderCommandsOpenTheDialogWithTheFolderChosen_data() {
        TestSupport::AddRows(FolderCommandRows);
    }
    void folderCommandsOpenTheDialogWithTheFolderChosen() {
        const FolderCommandRow &row = FolderCommandRows[TestSupport::Data<int>("row")];
        Fill(u"a/1 b/2 | a/3 c/4"_s, u"SSSS"_s);
        Select(0);
        QString shown, during;
        On<FoldersDialog>(
            [&](FoldersDialog &d) {
                shown = FolderStates(d);
                auto *notice = List->findChild<WaitPanel *>();
                during = QString::number(Pages->isEnabled()) + u' ' +
                         (notice && notice->isVisible() ? notice->Label()->text() : QString());
            },
            row.Button);
        Trigger(row.Command);
        QCOMPARE(shown, QLatin1String(row.Shown));
        QCOMPARE(MatchListText::Marks(), QLatin1String(row.Marks));
        QCOMPARE(KeepFolders().join(u',') + u'|' + DeleteFolders().join(u','),
                 QLatin1String(row.Remembered));
        QCOMPARE(during, u"0 "_s + GetPhrase(MainFormPhrases(), 17));
        QVERIFY(Pages->isEnabled() && !List->findChild<WaitPanel *>());
        QCOMPARE(PreviewHidden, 1);
    }

    // ------------------------------------------------------------ folders

    void foldersDialogButtons() {
        Fill(u"a/1 a/b/2 | a/b/c/3 d/4"_s, u"SSSS"_s);
        QStringList seen;
        On<FoldersDialog>(
            [&](FoldersDialog &d) {
                const auto subfolderButtons = [&] {
                    return QString::number(Control(&d, "SubfoldersDeleteBtn")->isEnabled()) +
                           QString::number(Control(&d, "SubfoldersDefaultBtn")->isEnabled()) +
                           QString::number(Control(&d, "SubfoldersNoDeleteBtn")->isEnabled());
                };
                seen << subfolderButtons() + u' ' +
                            (d.focusWidget() ? d.focusWidget()->objectName() : u"-"_s);
                ClickFolder(d, 1, true);
                seen << FolderStates(d);
                ClickFolder(d, 1, true);
                ClickFolder(d, 0, false); // the text: selects, leaves the state
                seen << FolderStates(d) + u' ' + subfolderButtons();
                Click(&d, "SubfoldersNoDeleteBtn");
                seen << FolderStates(d);
                Click(&d, "AllToDeleteBtn");
                seen << FolderStates(d);
                Click(&d, "NoneBtn");
                seen << FolderStates(d);
                ClickFolder(d, 1, false);
                Click(&d, "SubfoldersDeleteBtn");
                seen << FolderStates(d);
                Click(&d, "SubfoldersDefaultBtn");
                ClickFolder(d, 0, false);
                Click(&d, "SubfoldersNoDeleteBtn");
                auto *box = Control<QListView>(&d, "Box");
                box->setCurrentIndex(box->model()->index(3, 0));
                QTest::keyClick(box, Qt::Key_Space); // turns the selected folder
            },
            "OkBtn");
        List->findChild<SelectionCommands *>()->AutoSelFoldersBtnClick();
        QCOMPARE(seen, (QStringList{
                           "000 Box",
                           "/data/a/ 2|/data/a/b/ 4|/data/a/b/c/ 2|/data/d/ 2",
                           "/data/a/ 2|/data/a/b/ 3|/data/a/b/c/ 2|/data/d/ 2 111",
                           "/data/a/ 3|/data/a/b/ 3|/data/a/b/c/ 3|/data/d/ 2",
                           "/data/a/ 3|/data/a/b/ 3|/data/a/b/c/ 3|/data/d/ 4",
                           "/data/a/ 3|/data/a/b/ 3|/data/a/b/c/ 3|/data/d/ 2",
                           "/data/a/ 3|/data/a/b/ 4|/data/a/b/c/ 4|/data/d/ 2",
                       }));
        QCOMPARE(KeepFolders(), (QStringList{"/data/a/", "/data/a/b/", "/data/a/b/c/"}));
        QCOMPARE(DeleteFolders(), QStringList{u"/data/d/"_s});
        QCOMPARE(MatchListText::Marks(), u"KKKD"_s);
    }

    void hierarchyColoursOnlyWhenChecked() {
        Fill(u"a/1 a/b/2 c/3"_s, u"SSS"_s);
        QStringList colours;
        On<FoldersDialog>(
            [&](FoldersDialog &d) {
                const QAbstractItemModel *model = Control<QListView>(&d, "Box")->model();
                const auto read = [&] {
                    QStringList row;
                    for (int k = 0; k < model->rowCount(); ++k)
                        row << model->index(k, 0).data(Qt::BackgroundRole).value<QColor>().name();
                    colours << row.join(u' ');
                };
                read();
                Click(&d, "HierarchyCheck");
                read();
            },
            "EscBtn");
        SelectByFolders(Window.get(), true);
        QCOMPARE(colours, (QStringList{"#ffffff #ffffff #ffffff", "#fff440 #fff880 #40f4ff"}));
    }

    void escapeCancelsOnlyUntilTheFirstChange() {
        for (const bool change : {false, true}) {
            Fill(u"a/1 b/2"_s, u"SS"_s);
            bool openAfterEscape = false;
            On<FoldersDialog>(
                [&](FoldersDialog &d) {
                    if (change)
                        Click(&d, "AllToDeleteBtn");
                    QTest::keyClick(Control(&d, "Box"), Qt::Key_Escape);
                    openAfterEscape = d.isVisible();
                },
                "EscBtn");
            QVERIFY(!SelectByFolders(Window.get(), true));
            QCOMPARE(openAfterEscape, change);
            QCOMPARE(MatchListText::Marks(), u"SS"_s);
            QVERIFY(DeleteFolders().isEmpty());
        }
    }

    // No dialog without a choice: an empty result, or one folder already chosen.
    void noDialogWithoutAChoice() {
        On<FoldersDialog>([](FoldersDialog &) {}, "OkBtn");
        On<SelectNamesDialog>([](SelectNamesDialog &) {}, "OkBtn");
        Fill(QString(), QString());
        QVERIFY(!SelectByFolders(Window.get(), true));
        QVERIFY(!SelectByProperties(Window.get()));
        Fill(u"a/1 a/2 | a/3 a/4"_s, u"SSDS"_s);
        SetFolderToDelete(u"/data/a/"_s);
        QVERIFY(SelectByFolders(Window.get(), true));
        QCOMPARE(FoldersShown, 0);
        QCOMPARE(MatchListText::Marks(), u"SDSD"_s);
        QCOMPARE(DeleteFolders(), QStringList{u"/data/a/"_s});
    }

    // ------------------------------------------------------------ properties

    void propertiesDialogDefaultsAndColours() {
        Fill(u"a/1@1 a/2@3 a/3@2"_s, u"SSS"_s);
        QStringList seen;
        SelectNamesDialog *first = nullptr;
        const auto read = [&](SelectNamesDialog &d) {
            QString row;
            for (const char *name :
                 {"RadioButton2", "RadioButton5", "DHNoCriterionRadio", "RadioButton8"})
                row += QString::number(Control<QRadioButton>(&d, name)->isChecked());
            for (const char *name :
                 {"AgePointsCombo", "SizePointsCombo", "DeepPointsCombo", "CopyPointsCombo"})
                row += u' ' + Control<QComboBox>(&d, name)->currentText();
            for (const char *name : {"AgePanel", "SizePanel", "DeepPanel", "CopyPanel"})
                row += u' ' + Control(&d, name)->palette().color(QPalette::Window).name();
            seen << row;
        };
        On<SelectNamesDialog>(
            [&](SelectNamesDialog &d) {
                first = &d;
                read(d);
                Click(&d, "DHDeleteInDeepFoldersRadio");
                Control<QComboBox>(&d, "AgePointsCombo")->setCurrentIndex(0);
                read(d);
            },
            "EscBtn");
        QVERIFY(!SelectByProperties(Window.get()));
        QCOMPARE(MatchListText::Marks(), u"SSS"_s);
        // Made once: the next opening shows the last settings.
        On<SelectNamesDialog>(
            [&](SelectNamesDialog &d) {
                QCOMPARE(&d, first);
                read(d);
            },
            "EscBtn");
        SelectByProperties(Window.get());
        QCOMPARE(seen, (QStringList{"1111 5 3 1 1 #e0f0e0 #e0f0e0 #e0e0e0 #e0f0e0",
                                    "1101 0 3 1 1 #e0e0e0 #e0f0e0 #e0f0e0 #e0f0e0",
                                    "1101 0 3 1 1 #e0e0e0 #e0f0e0 #e0f0e0 #e0f0e0"}));
    }

    void propertiesNeedOneRuleThenMark() {
        Fill(u"a/1@1 a/2@3 a/3@2 | b/4(2) b/5"_s, u"SSSDS"_s);
        QStringList shown;
        On<SelectNamesDialog>(
            [&](SelectNamesDialog &d) {
                for (const char *name :
                     {"AgeNoCriterionRadio", "SizeNoCriterionRadio", "CopyNoCriterionRadio"})
                    Click(&d, name);
                Click(&d, "OkBtn");
                shown << QString::number(d.isVisible()) + u' ' + Infos.join(u'|');
                Click(&d, "RadioButton8"); // names of copies, 1 point
            },
            "OkBtn");
        QVERIFY(SelectByProperties(Window.get()));
        QCOMPARE(shown, QStringList{u"1 "_s + GetPhrase(SelectNamesFormPhrases(), 1)});
        const SelectionRules &rules = SelectionOptions();
        QCOMPARE(QList<int>({rules.Age.Rule, rules.Age.Points, rules.Copy.Rule, rules.Copy.Points}),
                 QList<int>({0, 5, 1, 1}));
        QCOMPARE(MatchListText::Marks(), u"SSSDS"_s);
    }

    // ------------------------------------------------------------ texts

    void everyTextHasARowInEveryLanguage() {
        FoldersDialog folders;
        SelectNamesDialog properties;
        QStringList missing;
        const tMLSystem &table = *PhraseTable();
        for (const QString &text : CaptionsOf(&folders) + CaptionsOf(&properties)) {
            const QString key = SplitPhraseKey(text).Text;
            if (key.toInt() > 0 || key == "0"_L1)
                continue; // the points
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

        QVERIFY(SetProgramLanguage("EN"_L1));
        QCOMPARE(folders.windowTitle(), u" Select deletable folders"_s);
        QCOMPARE(Control<QLabel>(&properties, "TopFoldersExample")->text(), u"/Folder1/File"_s);
        QCOMPARE(Control<QAbstractButton>(&properties, "OkBtn")->text(), u"Apply"_s);
    }

    void everyControlHasANameAndTabFocus() {
        Fill(u"a/1 b/2"_s, u"SS"_s);
        QStringList problems;
        const auto check = [&](QDialog &d) {
            for (QWidget *control : d.findChildren<QWidget *>()) {
                if (control->window() != &d) // a combo box's popup
                    continue;
                if (!qobject_cast<QAbstractButton *>(control) &&
                    !qobject_cast<QComboBox *>(control) && !qobject_cast<QListView *>(control))
                    continue;
                if (!(control->focusPolicy() & Qt::TabFocus))
                    problems << "no Tab: "_L1 + control->objectName();
                const QAccessibleInterface *a = QAccessible::queryAccessibleInterface(control);
                if (a->text(QAccessible::Name).trimmed().isEmpty())
                    problems << "no accessible name: "_L1 + control->objectName();
            }
        };
        On<FoldersDialog>([&](FoldersDialog &d) { check(d); }, "EscBtn");
        On<SelectNamesDialog>([&](SelectNamesDialog &d) { check(d); }, "EscBtn");
        SelectByFolders(Window.get(), true);
        SelectByProperties(Window.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n'_L1)));
    }

    // ------------------------------------------------------------ main window

    void mainWindowButtonsRunTheSelections() {
        TestSupport::TempFolder tree;
        const QString root = tree.path() + u'/';
        TestSupport::WriteAt(root, u"a/one.txt"_s, "the same");
        TestSupport::WriteAt(root, u"b/one.txt"_s, "the same");
        WriteSetting(u"Language"_s, u"DE"_s);
        MainWindow window;
        window.resize(760, 780);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Control<QComboBox>(&window, "FolderEd")->setEditText(root);
        Click(&window, "FindBtn");
        QCOMPARE(MatchList().size(), std::size_t(2));
        On<FoldersDialog>([](FoldersDialog &d) { ClickFolder(d, 0, true); }, "OkBtn");
        Click(&window, "AutoSelFoldersBtn");
        QCOMPARE(FoldersShown, 1);
        QCOMPARE(MatchListText::Marks(), u"DS"_s);
        On<SelectNamesDialog>([](SelectNamesDialog &) {}, "OkBtn");
        Click(&window, "AutoSelNamesBtn");
        QCOMPARE(MatchListText::Marks().count(u'D'), 1);
        QVERIFY(Control(&window, "PageControl")->isEnabled());
    }
};

QTEST_MAIN(TestSelections)
#include "TestSelections.moc"
