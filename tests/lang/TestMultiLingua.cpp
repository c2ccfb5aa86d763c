#include "lang/IniDatei.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "search/MainPhrases.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
const char *const Table = "DE=Abgebrochen\nEN=Cancelled\nHU=Megszakítva\n\n"
                          "DE=Datei-Filter\nEN=File filter\nHU=Fájlszűrő\n\n"
                          "DE=Legende\nEN=Legend\n\n"
                          "DE=Programmierung\nEN=Programming\n\n"
                          "DE=Datei\nEN=&File\nHU=&Fájl\n\n"
                          "DE=Sprache\nEN=Language\n\n"
                          "DE=.\nEN=dot\n\n"
                          "DE=Der Ordner #%1 existiert nicht\nEN=The folder #%1 does not exist\n\n"
                          "DE=nur deutsch\n\n"
                          "DE=Zeile eins#13#Zeile zwei\nEN=Line one#13#line two\n\n"
                          "// ID=2;\nDE=Legende lang\nEN=Legend long\nHU=Jelmagyarázat\n\n"
                          "// ID=3;\nDE=nur deutsch 3\n\n"
                          "DE=Englisch\nEN=English\nUS=American\n";

void LoadTable(const QString &text = QString::fromUtf8(Table)) {
    LoadPhraseText(PhraseTable(), text, false);
}
} // namespace

class TestMultiLingua : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

private slots:
    void init() {
        ResetPhraseSystem();
        SetSettingsPath(Dir.filePath("dupliscan.ini"));
        LoadTable();
    }
    void cleanup() {
        ResetPhraseSystem();
        ResetSettings();
    }

    void languageCodes_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("valid");
        QTest::newRow("two") << "DE" << true;
        QTest::newRow("three") << "ABC" << true;
        QTest::newRow("one") << "D" << false;
        QTest::newRow("four") << "DEUT" << false;
        QTest::newRow("lower") << "de" << false;
        QTest::newRow("digit") << "D1" << false;
        QTest::newRow("umlaut") << "ÄB" << false;
    }

    void languageCodes() {
        QFETCH(QString, code);
        QFETCH(bool, valid);
        QCOMPARE(IsLanguageCode(code), valid);
    }

    void translateNormalisesEnds_data() {
        QTest::addColumn<QString>("german");
        QTest::addColumn<QString>("english");
        QTest::newRow("full stop") << "Abgebrochen."
                                   << "Cancelled.";
        QTest::newRow("blank and dots") << "Datei-Filter ..."
                                        << "File filter ...";
        QTest::newRow("leading blank") << " Legende"
                                       << " Legend";
        QTest::newRow("colon") << "Programmierung:"
                               << "Programming:";
        QTest::newRow("single dot is looked up") << "."
                                                 << "dot";
        QTest::newRow("blanks only") << "   "
                                     << "   ";
        QTest::newRow("no row keeps text") << "Unbekannt:"
                                           << "Unbekannt:";
        QTest::newRow("accelerator with row") << "&Datei"
                                              << "&File";
        QTest::newRow("accelerator inside word") << "Da&tei"
                                                 << "&File";
        QTest::newRow("accelerator without row") << "&Unbekannt"
                                                 << "Unbekannt";
        QTest::newRow("ampersand before blank stays") << "A & B"
                                                      << "A & B";
        QTest::newRow("second pass ignores case") << "abgebrochen"
                                                  << "Cancelled";
        QTest::newRow("no fallback in first pass") << "nur deutsch"
                                                   << "nur deutsch";
    }

    void translateNormalisesEnds() {
        QFETCH(QString, german);
        QFETCH(QString, english);
        QCOMPARE(Translate(german, "DE", "EN"), english);
    }

    void sameLanguageLeavesAccelerator() {
        QCOMPARE(Translate("&Datei", "DE", "DE"), QStringLiteral("&Datei"));
        QCOMPARE(Translate("&Datei", "DE", "XX"), QStringLiteral("&Datei"));
        QCOMPARE(Translate(QString(), "DE", "EN"), QString());
    }

    void emptyTableTranslatesNothing() {
        ResetPhraseSystem();
        QCOMPARE(Translate("Abgebrochen.", "DE", "EN"), QStringLiteral("Abgebrochen."));
        QVERIFY(!SetLanguage("DE", "EN", "EN"));
        QCOMPARE(PhraseTable()->CurrentCode, QStringLiteral("DE"));
    }

    void fallbackOnlyInSecondPass() {
        // HU lacks the row: the exact pass finds nothing, the second falls back.
        PhraseTable()->FallbackCode = "EN";
        QCOMPARE(Translate("Legende", "DE", "HU"), QStringLiteral("Legend"));
        PhraseTable()->FallbackCode = "DE";
        QCOMPARE(Translate("Legende", "DE", "HU"), QStringLiteral("Legende"));
    }

    void variantUsesItsBase() {
        QCOMPARE(Translate("Abgebrochen", "DE", "US"), QStringLiteral("Cancelled"));
        QCOMPARE(Translate("Englisch", "DE", "US"), QStringLiteral("American"));
    }

    void hints() {
        QCOMPARE(TranslateHint("Legende|lange Erklärung", "DE", "EN"),
                 QStringLiteral("Legend|lange Erklärung"));
        QCOMPARE(TranslateHint("|Legende", "DE", "EN"), QStringLiteral("|Legende"));
        QCOMPARE(TranslateHint("Legende", "DE", "EN"), QStringLiteral("Legend"));
    }

    void phrasesReplaceBreaksAndParameter() {
        QCOMPARE(GetPhraseParam(MainFormPhrases(), 13, "/"),
                 QStringLiteral("Der Ordner #/ existiert nicht."));
        QVERIFY(SetLanguage("DE", "EN", "EN"));
        QCOMPARE(GetPhraseParam(MainFormPhrases(), 13, "/data/"),
                 QStringLiteral("The folder #/data/ does not exist."));
        QCOMPARE(GetPhraseParam(MainFormPhrases(), 13, "/a%1b/"),
                 QStringLiteral("The folder #/a%1b/ does not exist."));
        QCOMPARE(GetPhrase(MainFormPhrases(), 27), QString());
        QCOMPARE(GetPhrase(MainFormPhrases(), 30), QString());
        QCOMPARE(GetPhrase(MainFormPhrases(), 99), QString());
        TMLStringList list("Test");
        list.Add255Obj("Zeile eins#13#Zeile zwei", 1);
        QCOMPARE(GetPhrase(list, 1), QStringLiteral("Line one\nline two"));
    }

    void listsKeepFirstIdAndRegister() {
        const int before = int(PhraseListRegistry().size());
        {
            TMLStringList list("Probe");
            list.Add255Obj("Text", 1);
            list.Add255Obj("Text", 2);
            QCOMPARE(list.TextOf(1), QStringLiteral("Text"));
            QCOMPARE(list.TextOf(2), QString());
            QCOMPARE(list.Name(), QStringLiteral("Probe"));
            QCOMPARE(int(PhraseListRegistry().size()), before + 1);
        }
        QCOMPARE(int(PhraseListRegistry().size()), before);
    }

    void tablePhraseFallbacks() {
        QCOMPARE(GetTablePhrase(2), QStringLiteral("Legende lang"));
        QVERIFY(SetLanguage("DE", "HU", "DE"));
        QCOMPARE(GetTablePhrase(2), QStringLiteral("Jelmagyarázat"));
        QCOMPARE(GetTablePhrase(3), QStringLiteral("nur deutsch 3"));
        QCOMPARE(GetTablePhrase(42), QString());
    }

    void switchingFromEnglishToHungarian() {
        QVERIFY(SetLanguage("DE", "EN", "EN"));
        const QString english = Translate("Datei-Filter ...", "DE", "EN");
        const QString stayedGerman = Translate("nur deutsch", "DE", "EN");
        QVERIFY(SetLanguage("EN", "HU", "DE"));
        QCOMPARE(Translate(english, "EN", "HU"), QStringLiteral("Fájlszűrő ..."));
        QCOMPARE(Translate(stayedGerman, "EN", "HU"), QStringLiteral("nur deutsch"));
        QCOMPARE(PhraseTable()->CurrentCode, QStringLiteral("HU"));
        QCOMPARE(PhraseTable()->FallbackCode, QStringLiteral("DE"));
    }

    void switchRunsHooksAndCharset() {
        QStringList calls;
        SetFormTranslationHook([&](const QString &from, const QString &to) { calls << from + to; });
        quint8 applied = 99;
        SetCharsetHook([&](quint8 charset) { applied = charset; });
        LoadTable(QString::fromUtf8(Table) + "\nDE=x\nPL=y\nEL=z\n");
        QVERIFY(SetLanguage("DE", "PL", ""));
        QCOMPARE(CurrentCharset(), quint8(238));
        QCOMPARE(applied, quint8(238));
        QVERIFY(SetLanguage("PL", "EL", ""));
        QCOMPARE(CurrentCharset(), quint8(161));
        QVERIFY(!SetLanguage("EL", "RU", ""));
        QCOMPARE(calls, (QStringList{"DEPL", "PLEL"}));
        SetFormTranslationHook(nullptr);
        SetCharsetHook(nullptr);
    }

    void startLanguage_data() {
        QTest::addColumn<int>("primary");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("code");
        QTest::newRow("german system") << 7 << ""
                                       << "";
        QTest::newRow("french system") << 12 << ""
                                       << "FR";
        QTest::newRow("portuguese system") << 22 << ""
                                           << "BR";
        QTest::newRow("japanese system") << 17 << ""
                                         << "EN";
        QTest::newRow("setting wins") << 12 << "HU"
                                      << "HU";
        QTest::newRow("setting of three letters ignored") << 12 << "HUN"
                                                          << "FR";
    }

    void startLanguage() {
        QFETCH(int, primary);
        QFETCH(QString, setting);
        QFETCH(QString, code);
        SetSystemLanguageForTests(primary, 1);
        WriteSetting("Language", setting);
        QCOMPARE(StartLanguageCode(), code);
    }

    void americanSystemChoosesUs() {
        SetSystemLanguageForTests(9, 1);
        QCOMPARE(EnglishVariantCode(), QStringLiteral("US"));
        QCOMPARE(NormalizeLanguageCode("EN"), QStringLiteral("US"));
        QCOMPARE(NormalizeLanguageCode("HU"), QStringLiteral("HU"));
        QVERIFY(LanguageMenuClick("&English"));
        QCOMPARE(PhraseTable()->CurrentCode, QStringLiteral("US"));
        QCOMPARE(ReadSetting("Language"), QStringLiteral("EN"));

        SetSystemLanguageForTests(9, 2);
        QCOMPARE(EnglishVariantCode(), QStringLiteral("EN"));
    }

    void choosingStoredLanguageLeavesSettingsUnchanged() {
        WriteSetting("Language", "HU");
        SaveSettings();
        QVERIFY(LanguageMenuClick("Magyar (Hungarian)"));
        QVERIFY(!SettingsModified());
    }

    void captions_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("code");
        QTest::newRow("native with english") << "Deutsch (German)"
                                             << "DE";
        QTest::newRow("lower case, blanks") << "  magyar  (Hungarian)"
                                            << "HU";
        QTest::newRow("english shares its name with US") << "English"
                                                         << "EN";
        QTest::newRow("code itself") << "hu"
                                     << "HU";
        QTest::newRow("unknown") << "Klingon"
                                 << "";
    }

    void captions() {
        QFETCH(QString, caption);
        QFETCH(QString, code);
        PhraseTable()->AddLanguage("US");
        QCOMPARE(LanguageFromCaption(PhraseTable(), caption), code);
    }

    void menuEntries() {
        QStringList captions;
        for (const LanguageMenuEntry &entry : LanguageMenuEntries(PhraseTable(), true))
            captions << entry.Caption;
        QCOMPARE(captions, (QStringList{"Deutsch (German)", "English", "Magyar (Hungarian)"}));
        QCOMPARE(LanguageMenuEntries(PhraseTable(), false).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestMultiLingua)
#include "TestMultiLingua.moc"
