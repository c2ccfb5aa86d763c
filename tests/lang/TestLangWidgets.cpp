#include "lang/IniDatei.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/widgets/LangWidgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char *const Table = "DE=Datei\nEN=&File\nHU=&Fájl\n\n"
                          "DE=Öffnen\nEN=Open\nHU=Megnyitás\n\n"
                          "DE=Unterordner einbeziehen\nEN=Include all subfolders of the base "
                          "folder in the search\nHU=Almappák\n\n"
                          "DE=Legende\nEN=Legend\nHU=Jelmagyarázat\n\n"
                          "DE=Hinweis\nEN=Hint\nHU=Tipp\n\n"
                          "DE=Ja\nEN=Yes\nHU=Igen\n\n"
                          "DE=Abbrechen\nEN=Cancel\nHU=Mégse\n\n"
                          "DE=Bestätigen\nEN=Confirm\nHU=Megerősítés\n";

// A small window shaped like the program's: a menu, a panel with a check box.
struct Form {
    QWidget Window;
    QMenuBar *Bar;
    QMenu *File;
    QAction *Open;
    QCheckBox *Check;
    QLabel *Label;
    QGroupBox *Panel;

    Form() {
        Window.setWindowTitle("Legende");
        auto *layout = new QVBoxLayout(&Window);
        Bar = new QMenuBar(&Window);
        File = Bar->addMenu("&Datei");
        Open = File->addAction("Öffnen ...");
        Open->setStatusTip("Hinweis|bleibt");
        Panel = new QGroupBox("Legende:", &Window);
        auto *inner = new QVBoxLayout(Panel);
        Check = new QCheckBox("Unterordner einbeziehen", Panel);
        Check->setToolTip("|Hinweis");
        Label = new QLabel(" Legende", Panel);
        inner->addWidget(Check);
        inner->addWidget(Label);
        layout->addWidget(Panel);
    }
};
} // namespace

class TestLangWidgets : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

private slots:
    void init() {
        ResetPhraseSystem();
        SetSettingsPath(Dir.filePath("dupliscan.ini"));
        LoadPhraseText(PhraseTable(), QString::fromUtf8(Table), false);
        InstallWidgetLanguageSupport();
    }
    void cleanup() {
        SetFormTranslationHook(nullptr);
        SetCharsetHook(nullptr);
        SetMessageBoxHandler(nullptr);
        ResetPhraseSystem();
        ResetSettings();
    }

    void switchTranslatesOpenWindows() {
        Form form;
        form.Check->resize(10, form.Check->height());
        QVERIFY(SetLanguage("DE", "EN", "EN"));
        QCOMPARE(form.Window.windowTitle(), QStringLiteral("Legend"));
        QCOMPARE(form.File->title(), QStringLiteral("&File"));
        QCOMPARE(form.Open->text(), QStringLiteral("Open ..."));
        QCOMPARE(form.Open->statusTip(), QStringLiteral("Hint|bleibt"));
        QCOMPARE(form.Check->toolTip(), QStringLiteral("|Hinweis"));
        QCOMPARE(form.Label->text(), QStringLiteral(" Legend"));
        QCOMPARE(form.Panel->title(), QStringLiteral("Legend:"));
        QCOMPARE(form.Check->text(),
                 QStringLiteral("Include all subfolders of the base folder in the search"));
        QVERIFY(form.Check->width() >=
                form.Check->fontMetrics().horizontalAdvance(form.Check->text()) + 22);

        // From English straight on to Hungarian.
        QVERIFY(SetLanguage("EN", "HU", "DE"));
        QCOMPARE(form.Open->text(), QStringLiteral("Megnyitás ..."));
    }

    void newWindowTranslatesItself() {
        QVERIFY(SetLanguage("DE", "HU", "DE"));
        Form form;
        TranslateForm(&form.Window);
        QCOMPARE(form.Window.windowTitle(), QStringLiteral("Jelmagyarázat"));
        QCOMPARE(form.Open->text(), QStringLiteral("Megnyitás ..."));
    }

    void languageMenu() {
        QMenu menu;
        menu.addAction("old item");
        QStringList clicked;
        BuildLanguageMenu(PhraseTable(), &menu, true,
                          [&](QAction *action) { clicked << action->text(); });
        QStringList captions;
        for (QAction *action : menu.actions())
            captions << action->text();
        QCOMPARE(captions, (QStringList{"Deutsch (German)", "English", "Magyar (Hungarian)"}));
        QCOMPARE(menu.actions().at(2)->data().toInt(), 2);
        menu.actions().at(2)->trigger();
        QCOMPARE(clicked, QStringList{"Magyar (Hungarian)"});
        QVERIFY(LanguageMenuClick(clicked.first()));
        QCOMPARE(PhraseTable()->CurrentCode, QStringLiteral("HU"));
        QCOMPARE(ReadSetting("Language"), QStringLiteral("HU"));
    }

    void messageBoxIsTranslated() {
        QVERIFY(SetLanguage("DE", "EN", "EN"));
        QString title;
        QStringList buttons;
        AnswerBox([&](QMessageBox *box) {
            title = box->windowTitle();
            for (QAbstractButton *button : box->buttons())
                buttons << button->text();
            for (QAbstractButton *button : box->buttons())
                if (button->text() == QLatin1String("Yes"))
                    button->click();
        });
        QCOMPARE(AskYesCancel("Fortsetzen?"), int(mrYes));
        QCOMPARE(title, QStringLiteral("Confirm"));
        QVERIFY(buttons.contains("Yes"));
        QVERIFY(buttons.contains("Cancel"));

        AnswerBox([](QMessageBox *box) { box->reject(); });
        QCOMPARE(AskYesCancel("Fortsetzen?"), int(mrCancel));
        AnswerBox([](QMessageBox *box) { box->reject(); });
        QCOMPARE(AskYesNo("Fortsetzen?"), int(mrNo));
    }

private:
    // Answers the next message box once it is on screen.
    void AnswerBox(std::function<void(QMessageBox *)> answer) {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [timer, answer] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible()) {
                    timer->deleteLater();
                    timer->stop();
                    answer(box);
                    return;
                }
        });
        timer->start(10);
    }
};

QTEST_MAIN(TestLangWidgets)
#include "TestLangWidgets.moc"
