// The deletion's dialogs and the delete button of the main window, driven
// offscreen: the dialogs answered through their seam with their own controls,
// message boxes through the program's message-box routine. HOME, the trash and
// the files searched lie in one temporary home.

#include "TestSupport.h"
#include "gui/AskDeleteDialog.h"
#include "gui/DeletionProblemDialog.h"
#include "gui/DeletionTexts.h"
#include "gui/FileDialogs.h"
#include "gui/GuiHost.h"
#include "gui/MainWindow.h"
#include "gui/ModalSeam.h"
#include "gui/ResultList.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/UnitPhrases.h"
#include "lang/widgets/LangWidgets.h"
#include "results/DeletionUnit.h"
#include "search/MainPhrases.h"

#include <QSettings>
#include <QtWidgets>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {
void LoadShippedTable() {
    const QByteArray bytes = ReadWholeFile(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt");
    LoadPhraseText(PhraseTable(), QString::fromUtf8(bytes), false);
}

QString Plain(QString text) {
    return text.remove(u'&');
}

template <typename T = QAbstractButton> T *Control(QWidget *window, const char *name) {
    T *control = window->findChild<T *>(QLatin1String(name));
    if (!control)
        qFatal("no control named %s", name);
    return control;
}

// The dialog's answer: the named controls are clicked, then the given result.
ModalSeam::Answer Clicking(QStringList names, int result, int *asked = nullptr) {
    return [names, result, asked](QDialog &dialog) {
        if (asked)
            ++*asked;
        for (const QString &name : names)
            Control(&dialog, name.toLatin1().constData())->click();
        return result;
    };
}
} // namespace

class TestDeletion : public QObject {
    Q_OBJECT

    QTemporaryDir Home;
    QString HomePath;
    QTemporaryDir Settings;
    std::unique_ptr<MainWindow> Window;
    QString Root;
    QStringList Boxes;

    QString Memo() const {
        return Control<QPlainTextEdit>(Window.get(), "StatusMemo")->toPlainText();
    }
    // A keeper and its copies in the folders given, searched by the window.
    void SearchCopies(const QStringList &copies) {
        WriteAt(Root, "keep/file.bin", RandomData(5000, 1));
        for (const QString &copy : copies)
            WriteAt(Root, copy, RandomData(5000, 1));
        Control<QComboBox>(Window.get(), "FolderEd")->setEditText(Root);
        Control(Window.get(), "FindBtn")->click();
        QCOMPARE(int(MatchList().size()), int(copies.size()) + 1);
    }
    void MarkAllBut(int keptRow) {
        FileList &list = MatchList();
        for (int row = 0; row < int(list.size()); ++row)
            list[std::size_t(row)].Record->Mark = row == keptRow ? Stay : Delete;
    }

private slots:
    void initTestCase() {
        HomePath = Platform::CanonicalPath(Home.path()) + u'/';
        qputenv("HOME", HomePath.toUtf8());
        qputenv("XDG_DATA_HOME", (HomePath + u".local/share"_s).toUtf8());
        QApplication::setQuitOnLastWindowClosed(false);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Settings.path());
        InstallWidgetLanguageSupport();
        FileDialogs::SetAnswersOnly(true);
    }

    void init() {
        ResetEngine();
        SetSettingsPath(Settings.filePath("dupliscan.ini"));
        LoadShippedTable();
        WriteSetting("Language", "DE");
        Boxes.clear();
        SetMessageBoxHandler([this](const QString &text, TMsgDlgType, int) {
            Boxes << text;
            return int(mrCancel);
        });
        Root = HomePath + u"files/"_s;
        Window = std::make_unique<MainWindow>();
        Window->SearchHostOfWindow().SetEventInterval(0);
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }

    void cleanup() {
        Window.reset();
        ModalSeam::SetAnswer({});
        DeletionProblemDialog::SetShowCommand({});
        RemoveTree(Root);
        RemoveTree(HomePath + u"dupliscanned"_s);
        RemoveTree(HomePath + u".local"_s);
    }

    // ------------------------------------------------------------ the dialogs

    void confirmationSaysWhatItWillDo_data() {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<bool>("links");
        QTest::addColumn<int>("phrase");
        QTest::addColumn<int>("choice");
        QTest::newRow("move") << "MoveRadio" << false << 6 << 4;
        QTest::newRow("trash with links") << "RecycleRadio" << true << 1 << 1 + 128;
        QTest::newRow("directly") << "KillRadio" << false << 2 << 2;
    }
    void confirmationSaysWhatItWillDo() {
        QFETCH(QString, radio);
        QFETCH(bool, links);
        AskDeleteDialog dialog(Window.get());
        QString caption;
        ModalSeam::SetAnswer([&](QDialog &shown) {
            Control(&shown, radio.toLatin1().constData())->click();
            if (Control(&shown, "LnkCheck")->isChecked() != links)
                Control(&shown, "LnkCheck")->click();
            caption = Plain(Control(&shown, "OkBtn")->text());
            return int(QDialog::Accepted);
        });
        QTEST(dialog.Ask({}), "choice");
        QFETCH(int, phrase);
        QCOMPARE(caption, GetPhrase(AskToDeletePhrases(), phrase));
        // Kept for the next time; cancel gives 0.
        ModalSeam::SetAnswer(Clicking({}, QDialog::Accepted));
        QTEST(dialog.Ask({}), "choice");
        ModalSeam::SetAnswer(Clicking({"EscBtn"}, QDialog::Rejected));
        QCOMPARE(dialog.Ask({}), 0);
    }

    void moveButtonNamesTheHoldingFolder() {
        AskDeleteDialog dialog(Window.get());
        ModalSeam::SetAnswer(Clicking({}, QDialog::Rejected));
        dialog.Ask({u"/home/anna/"_s});
        QAbstractButton *move = Control(&dialog, "MoveRadio");
        QCOMPARE(Plain(move->text()), GetPhraseParam(DeletionWindowPhrases(), PhraseMoveToFolder,
                                                     u"/home/anna/dupliscanned/"_s));
        dialog.Ask({u"/home/anna/"_s, u"/media/stick/"_s});
        QCOMPARE(Plain(move->text()), u"Dateien verschieben nach <Ordner>/dupliscanned/"_s);
    }

    void deletionProblemAnswers() {
        DeletionProblemDialog dialog(Window.get());
        QStringList shown;
        DeletionProblemDialog::SetShowCommand([&](const QString &path) { shown << path; });
        ModalSeam::SetAnswer(Clicking({"ShowBtn"}, QDialog::Accepted));
        DeletionProblemAnswer answer = dialog.Ask(u"/net/a.txt"_s, u"/net/"_s);
        QVERIFY(!answer.DeleteDirectly && !answer.AlsoOtherFiles);
        QCOMPARE(shown, QStringList{u"/net/a.txt"_s});
        QCOMPARE(Plain(Control(&dialog, "alsoOtherFilesCheck")->text()),
                 GetPhraseParam(DeletionProblemPhrases(), 1, u"/net/"_s));
        // Closed by the window's frame, the radio buttons still decide.
        ModalSeam::SetAnswer(
            Clicking({"KillDirectRadio", "alsoOtherFilesCheck"}, QDialog::Rejected));
        answer = dialog.Ask(u"/net/b.txt"_s, u"/net/"_s);
        QVERIFY(answer.DeleteDirectly && answer.AlsoOtherFiles);
        // Without a file system to name, the answer is for this file only.
        ModalSeam::SetAnswer(Clicking({}, QDialog::Accepted));
        answer = dialog.Ask(u"/c.txt"_s, QString());
        QVERIFY(answer.DeleteDirectly && !answer.AlsoOtherFiles);
        QVERIFY(!Control(&dialog, "alsoOtherFilesCheck")->isEnabled());
    }

    // ------------------------------------------------------------ the window

    void deleteButtonMovesAndUndoPutsBack() {
        SearchCopies({"a/copy.bin", "b/copy.bin"});
        MarkAllBut(2);
        int asked = 0;
        ModalSeam::SetAnswer(Clicking({"MoveRadio"}, QDialog::Accepted, &asked));
        Control(Window.get(), "DelTwinsBtn")->click();
        QCOMPARE(asked, 1);
        QVERIFY(!QFile::exists(Root + "a/copy.bin") && !QFile::exists(Root + "b/copy.bin"));
        QVERIFY(QFile::exists(HomePath + "dupliscanned/files/b/copy.bin"));
        QVERIFY(Memo().endsWith(GetPhraseParam(MainFormPhrases(), 24, u"2"_s) + u" ("_s +
                                SizeText(10000 / 1024) + u')'));
        QAbstractButton *undo = Control(Window.get(), "UndoBtn");
        QVERIFY(undo->isVisible() && undo->isEnabled());
        QVERIFY(Control<QAction>(Window.get(), "UndoRemoval1")->isEnabled());
        QVERIFY(Control(Window.get(), "DelTwinsBtn")->isEnabled());

        undo->click();
        QVERIFY(QFile::exists(Root + "a/copy.bin") && QFile::exists(Root + "b/copy.bin"));
        QVERIFY(Memo().endsWith(GetPhraseParam(DeletionPhrases(), 12, u"2"_s)));
        QVERIFY(!undo->isVisible());
        QCOMPARE(MatchList()[0].Record->Mark, quint8(Delete));
        QVERIFY(Boxes.isEmpty());
    }

    void blockWithoutSurvivorIsShownAndNothingGoes() {
        SearchCopies({"a/copy.bin"});
        MarkAllBut(-1);
        int asked = 0;
        ModalSeam::SetAnswer(Clicking({}, QDialog::Accepted, &asked));
        Control(Window.get(), "DelTwinsBtn")->click();
        QCOMPARE(Boxes, QStringList{GetPhrase(MainFormPhrases(), 22)});
        QCOMPARE(asked, 0);
        QCOMPARE(Window->ResultPanes()->SelectedRow(), 0);
        QVERIFY(QFile::exists(Root + "a/copy.bin") && QFile::exists(Root + "keep/file.bin"));
    }

    void closingDuringARemovalReportsWhatWasDone() {
        QStringList copies;
        for (int k = 0; k < 30; ++k)
            copies << QStringLiteral("c/copy%1.bin").arg(k, 2, 10, QLatin1Char('0'));
        SearchCopies(copies);
        MarkAllBut(30);
        ModalSeam::SetAnswer(Clicking({"KillRadio"}, QDialog::Accepted));
        QTimer::singleShot(0, Window.get(), [this] { Window->close(); });
        Control(Window.get(), "DelTwinsBtn")->click();
        QVERIFY(!Window->isVisible());
        QVERIFY2(Memo().contains(u"nicht mehr bearbeitet"_s), qPrintable(Memo()));
        for (int row = 0; row < 30; ++row) {
            const quint8 mark = MatchList()[std::size_t(row)].Record->Mark;
            QCOMPARE(QFile::exists(Root + copies[row]), mark == Delete);
        }
    }

    void textsInEveryLanguage() {
        AskDeleteDialog ask(Window.get());
        DeletionProblemDialog problem(Window.get());
        QStringList texts = DeletionPhrases().Texts() + DeletionWindowPhrases().Texts();
        texts << AskToDeletePhrases().TextOf(1) << DeletionProblemPhrases().TextOf(1);
        for (QWidget *window : {static_cast<QWidget *>(&ask), static_cast<QWidget *>(&problem)}) {
            texts << window->windowTitle();
            for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
                texts << button->text();
            for (QLabel *label : window->findChildren<QLabel *>())
                texts << label->text();
        }
        texts << Control(Window.get(), "UndoBtn")->text()
              << Control(Window.get(), "UndoBtn")->toolTip();
        const tMLSystem &table = *PhraseTable();
        QStringList missing;
        for (const QString &text : std::as_const(texts)) {
            const QString key = SplitPhraseKey(Plain(text)).Text.replace(u'\n', u"#13#"_s);
            if (key.trimmed().isEmpty())
                continue;
            const auto row = std::find_if(table.Groups.begin(), table.Groups.end(),
                                          [&](const auto &r) { return r->Text(0) == key; });
            if (row == table.Groups.end())
                missing << "no row: " + key;
            else
                for (std::size_t k = 0; k < table.Languages.size(); ++k)
                    if ((*row)->Text(int(k)).isEmpty())
                        missing << table.Languages[k]->Code + ": " + key;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
        // This system's words: the trash and the file manager, no Windows.
        QVERIFY(SetProgramLanguage(u"EN"_s));
        ModalSeam::SetAnswer(Clicking({"RecycleRadio"}, QDialog::Rejected));
        ask.Ask({});
        ModalSeam::SetAnswer(Clicking({}, QDialog::Rejected));
        problem.Ask(u"/a"_s, u"/"_s);
        QStringList shown;
        for (QWidget *window : {static_cast<QWidget *>(&ask), static_cast<QWidget *>(&problem)})
            for (QWidget *w : window->findChildren<QWidget *>())
                if (auto *button = qobject_cast<QAbstractButton *>(w))
                    shown << Plain(button->text());
                else if (auto *label = qobject_cast<QLabel *>(w))
                    shown << label->text();
        const QString all = shown.join(u'|');
        QVERIFY2(all.contains(u"Move files to the trash"_s) && all.contains(u"Yes, to the trash"_s),
                 qPrintable(all));
        QVERIFY2(!all.contains(u"Windows"_s) && !all.contains(u"recycle"_s) &&
                     !all.contains(u"<drive>"_s),
                 qPrintable(all));
    }
};

QTEST_MAIN(TestDeletion)
#include "TestDeletion.moc"
