// The phrase system: lookup, language choice, phrase lists, message boxes,
// translated windows, and the phrase tables shipped in the source tree.

#include "TestSupport.h"
#include "cli/CliPhrases.h"
#include "lang/IniDatei.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/UnitPhrases.h"
#include "lang/widgets/LangWidgets.h"
#include "results/DeletionUnit.h"
#include "results/ExportUnit.h"
#include "search/CompareDriver.h"
#include "search/MainPhrases.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {
const char *const Table =
    "DE=Abgebrochen\nEN=Cancelled\nHU=Megszakítva\nPL=Anulowano\n\nDE=Legende\nEN=Legend\n\n"
    "DE=Datei-Filter\nEN=File filter\nHU=Fájlszűrő\n\nDE=Datei\nEN=&File\nHU=&Fájl\n\n"
    "DE=.\nEN=dot\n\nDE=Der Ordner #%1 existiert nicht\nEN=The folder #%1 does not exist\n\n"
    "DE=Zeile eins#13#Zeile zwei\nEN=Line one#13#line two\n\nDE=nur deutsch\n\n"
    "// ID=2;\nDE=Legende lang\nEN=Legend long\nHU=Jelmagyarázat\n\n// ID=3;\nDE=nur deutsch 3\n\n"
    "DE=Englisch\nEN=English\nUS=American\n\nDE=Bestätigen\nEN=Confirm\n\nDE=Ja\nEN=Yes\n";

void LoadShippedTables() {
    ResetPhraseSystem();
    QByteArray bytes;
    for (const char *name : {"/lang/Dupliscan.lng.txt", "/lang/CommandLine.lng.txt"})
        bytes += TestSupport::ReadWholeFile(DUPLISCAN_SOURCE_DIR + QString(name)) + "\n\n";
    LoadPhraseText(PhraseTable(), QString::fromUtf8(bytes), true);
}

// Answers the next message box with the button of that caption, or closes it.
void AnswerBox(QString *title, const QString &button) {
    QTimer::singleShot(0, [title, button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        *title = box->windowTitle();
        for (QAbstractButton *each : box->buttons())
            if (each->text() == button)
                return each->click();
        box->reject();
    });
}
} // namespace

class TestMultiLingua : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

private slots:
    void init() {
        ResetPhraseSystem();
        SetSettingsPath(Dir.filePath("dupliscan.ini"));
        LoadPhraseText(PhraseTable(), QString::fromUtf8(Table), false);
    }
    void cleanup() {
        SetFormTranslationHook(nullptr);
        SetMessageBoxHandler(nullptr);
        ResetPhraseSystem();
        ResetSettings();
    }

    void translateNormalisesEndsAndAccelerators() {
        // Text, route, result: ends, a single dot, accelerators, the second pass
        // (ignoring case, falling back) and a variant with and without its own text.
        const std::tuple<const char *, const char *, const char *> cases[] = {
            {"Abgebrochen.", "DE EN", "Cancelled."},
            {"Cancelled.", "EN DE", "Abgebrochen."},
            {"Datei-Filter ...", "DE EN", "File filter ..."},
            {" Legende:", "DE EN", " Legend:"},
            {".", "DE EN", "dot"},
            {"&Datei", "DE EN", "&File"},
            {"&Unbekannt", "DE EN", "Unbekannt"},
            {"abgebrochen", "DE EN", "Cancelled"},
            {"nur deutsch", "DE EN", "nur deutsch"},
            {"Legende", "DE HU", "Legend"},
            {"Englisch", "DE US", "American"}};
        for (const auto &[text, route, result] : cases)
            QCOMPARE(Translate(text, QString(route).left(2), QString(route).mid(3)),
                     QString::fromUtf8(result));
        ResetPhraseSystem();
        QCOMPARE(Translate("Abgebrochen.", "DE", "EN"), u"Abgebrochen."_s);
        QVERIFY(!SetLanguage("DE", "EN", "EN")); // nothing to switch to
    }

    void phraseListsGivePhrasesById() {
        QCOMPARE(GetPhraseParam(MainFormPhrases(), 13, "/"), u"Der Ordner #/ existiert nicht."_s);
        QVERIFY(SetLanguage("DE", "EN", "EN"));
        QCOMPARE(GetPhraseParam(MainFormPhrases(), 13, "/a%1b/"),
                 u"The folder #/a%1b/ does not exist."_s);
        const qsizetype lists = PhraseListRegistry().size();
        TMLStringList list("Test");
        list.Add255Obj("Zeile eins#13#Zeile zwei", 1);
        list.Add255Obj("Zeile eins#13#Zeile zwei", 2);
        QCOMPARE(GetPhrase(list, 1), u"Line one\nline two"_s);
        QCOMPARE(GetPhrase(list, 2), QString()); // a text keeps its first id
        QCOMPARE(PhraseListRegistry().size(), lists + 1);
    }

    void switchingFromEnglishToHungarian() {
        QStringList calls;
        SetFormTranslationHook([&](const QString &from, const QString &to) { calls << from + to; });
        QVERIFY(SetLanguage("DE", "EN", "EN"));
        const QString english = Translate("Datei-Filter ...", "DE", "EN");
        QVERIFY(SetLanguage("EN", "HU", "DE"));
        QCOMPARE(Translate(english, "EN", "HU"), u"Fájlszűrő ..."_s);
        QCOMPARE(Translate("nur deutsch", "EN", "HU"), u"nur deutsch"_s);
        QCOMPARE(GetTablePhrase(2), u"Jelmagyarázat"_s);
        QCOMPARE(GetTablePhrase(3), u"nur deutsch 3"_s); // German fallback
        QVERIFY(SetLanguage("HU", "PL", ""));
        QCOMPARE(CurrentCharset(), quint8(238));
        QCOMPARE(calls, (QStringList{"DEEN", "ENHU", "HUPL"}));
    }

    void languageAtStartAndFromTheMenu() {
        const auto start = [](int primary, const QString &setting) {
            SetSystemLanguageForTests(primary, 1);
            WriteSetting("Language", setting);
            return StartLanguageCode();
        };
        QCOMPARE(start(17, ""), u"EN"_s);
        QCOMPARE(start(12, "HU"), u"HU"_s);
        QCOMPARE(start(12, "HUN"), u"FR"_s);
        QCOMPARE(LanguageFromCaption(PhraseTable(), "  magyar  (Hungarian)"), u"HU"_s);
        SetSystemLanguageForTests(9, 1); // English system: "English" means US
        QVERIFY(LanguageMenuClick("&English"));
        QCOMPARE(PhraseTable()->CurrentCode, u"US"_s);
        QCOMPARE(ReadSetting("Language"), u"EN"_s);
        SaveSettings();
        QVERIFY(LanguageMenuClick("English"));
        QVERIFY(!SettingsModified());
        SetSystemLanguageForTests(9, 2);
        QCOMPARE(NormalizeLanguageCode("EN"), u"EN"_s);
    }

    void messageBoxesAnswerThroughTheSeam() {
        QList<int> shown;
        SetMessageBoxHandler([&](const QString &, TMsgDlgType type, int buttons) {
            shown << int(type) << buttons;
            return int(mrYes);
        });
        QVERIFY(AskYesCancel("q") == mrYes && ShowError("e") == mrYes && AskYesNo("q") == mrYes);
        QCOMPARE(shown, (QList<int>{int(TMsgDlgType::Confirmation), mbYes | mbCancel,
                                    int(TMsgDlgType::Error), mbOK, int(TMsgDlgType::Confirmation),
                                    mbYes | mbNo}));
    }

    void windowsMenusAndBoxesAreTranslated() {
        InstallWidgetLanguageSupport();
        QWidget window;
        window.setWindowTitle("Legende");
        QMenu *file = (new QMenuBar(&window))->addMenu("&Datei");
        QAction *open = file->addAction("Datei-Filter ...");
        open->setStatusTip("Legende|bleibt");
        auto *check = new QCheckBox("Legende lang", new QGroupBox("Legende:", &window));
        check->setToolTip("|Legende");
        check->resize(10, check->height());
        QVERIFY(SetLanguage("DE", "EN", "EN"));
        QCOMPARE((QStringList{window.windowTitle(), file->title(), open->text(), open->statusTip(),
                              check->text(), check->toolTip()}),
                 (QStringList{"Legend", "&File", "File filter ...", "Legend|bleibt", "Legend long",
                              "|Legende"}));
        QVERIFY(check->width() >= check->fontMetrics().horizontalAdvance(check->text()) + 22);
        QString title;
        AnswerBox(&title, "Yes");
        QCOMPARE(AskYesCancel("Weiter?"), int(mrYes));
        QCOMPARE(title, u"Confirm"_s);
        AnswerBox(&title, {});
        QCOMPARE(AskYesNo("Weiter?"), int(mrNo)); // closed without a button: never Yes
        QVERIFY(SetLanguage("EN", "HU", "DE"));
        QLabel later("Datei-Filter ..."); // a window opened after the switch
        TranslateForm(&later);
        QCOMPARE(later.text() + open->text(), u"Fájlszűrő ...Fájlszűrő ..."_s);
        QMenu menu;
        BuildLanguageMenu(PhraseTable(), &menu, true, {});
        QCOMPARE(menu.actions().at(2)->text(), u"Magyar (Hungarian)"_s); // sorted, none for US
        QCOMPARE(menu.actions().size(), 4);
    }

    void shippedTablesAreComplete() {
        LoadShippedTables();
        for (const auto &build :
             {MainFormPhrases, FileSearchPhrases, FilterUnitPhrases, AskToDeletePhrases,
              InfoUnitPhrases, SelectNamesFormPhrases, DeletionProblemPhrases, CommandLinePhrases,
              DeletionPhrases, ExportPhrases})
            build();
        QCOMPARE(PhraseTable()->IndexOfLanguage("DE"), 0);
        const int english = PhraseTable()->IndexOfLanguage("EN");
        const auto marks = [](const QString &text) {
            return QPair(text.count(u"%1"_s), text.count(u"#13#"_s));
        };
        QStringList wrong;
        QSet<QString> rows;
        for (const auto &row : PhraseTable()->Groups) {
            rows.insert(row->Text(0));
            if (row->Text(0).isEmpty() || row->Text(english).isEmpty())
                wrong << "incomplete: " + row->Texts.join(" | ");
            for (int k = 1; k < row->Texts.size(); ++k)
                if (!row->Text(k).isEmpty() && marks(row->Text(k)) != marks(row->Text(0)))
                    wrong << PhraseTable()->Languages[size_t(k)]->Code + ": " + row->Text(k);
        }
        for (const TMLStringList *list : PhraseListRegistry())
            for (const QString &text : list->Texts())
                if (const QString key = SplitPhraseKey(text).Text;
                    !key.trimmed().isEmpty() && !rows.contains(key))
                    wrong << "no row: " + list->Name() + ": " + key;
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
    }
};

QTEST_MAIN(TestMultiLingua)
#include "TestMultiLingua.moc"
