// The settings file and the per-user values.

#include "TestSupport.h"
#include "lang/IniDatei.h"
#include "lang/RegistryUnit.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;
using namespace Qt::StringLiterals;

class TestIniDatei : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    QString Path = Dir.filePath("dupliscan.ini");

    void Start(const QByteArray &bytes) {
        SetSettingsPath(Path);
        QVERIFY(WriteFile(Path, bytes));
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", Dir.filePath("config").toUtf8()); }
    void cleanup() { ResetSettings(); }

    void nameMustStandDirectlyBeforeEquals() {
        Start("language=FR\r\nA=b=c\r\nA=second\r\n");
        QCOMPARE(ReadSetting("Language") + '|' + ReadSetting("a"), u"FR|b=c"_s);
        Start("Language = FR\r\n");
        QCOMPARE(ReadSetting("Language") + '|' + ReadSetting("Language "), u"| FR"_s);
    }

    void onlyChangesAreWrittenAndOnlyAtTheEnd() {
        const QByteArray before("TipWindow=0\nLanguage=DE\nOther=x\n");
        Start(before);
        WriteSetting("Other", "x");
        QVERIFY(!SettingsModified());
        SaveSettings();
        WriteSetting("language", "HU");
        WriteSetting("TipWindow", "");
        QVERIFY(SettingsModified());
        QCOMPARE(ReadWholeFile(Path), before);
        SaveSettings();
        QVERIFY(!SettingsModified());
        QCOMPARE(ReadWholeFile(Path), QByteArray("language=HU\r\nOther=x\r\n"));
    }

    void utf16FileIsReadAndWrittenAs8Bit() {
        Start(Utf16Le(u"Language=EL\r\n"_s));
        QCOMPARE(ReadSetting("Language"), u"EL"_s);
        WriteSetting("Größe", "ü");
        SaveSettings();
        QCOMPARE(ReadWholeFile(Path), QByteArray("Language=EL\r\nGr\xc3\xb6\xc3\x9f"
                                                 "e=\xc3\xbc\r\n"));
    }

    void settingsAreNeverLost() {
        const QByteArray unreadable("\xef\xbb\xbfLanguage=FR\r\n");
        Start(unreadable);
        QCOMPARE(ReadSetting("Language"), QString());
        WriteSetting("Language", "HU");
        QCOMPARE(ReadSetting("Language"), u"HU"_s);
        SaveSettings();
        QCOMPARE(ReadWholeFile(Path), unreadable);
        SetSettingsPath(Dir.filePath("missing-folder/dupliscan.ini"));
        WriteSetting("Language", "EN");
        SaveSettings();
        QVERIFY(SettingsModified() && !QFile::exists(Dir.filePath("missing-folder")));
    }

    void commaTextQuotesBlanksCommasAndQuotes() {
        const QStringList items{"/data/Program Files/", "", "a,b", "say \"hi\"", "/Über/"};
        const QString text = u"\"/data/Program Files/\",,\"a,b\",\"say \"\"hi\"\"\",/Über/"_s;
        QCOMPARE(CommaText(items), text);
        QCOMPARE(FromCommaText(text), items);
        QCOMPARE(FromCommaText("/data/Program Files/ , b,"),
                 (QStringList{"/data/Program", "Files/", "b", ""}));
    }

    void perUserValuesAreStringsOnly() {
        RegWriteString(false, "Dirs", "\"/a b/\",/c/");
        QCOMPARE(RegReadString(false, "Dirs"), u"\"/a b/\",/c/"_s);
        QSettings("Kelmo", "Dupliscan").setValue("Ver", QByteArray("\x01\x02", 2));
        QCOMPARE(RegReadString(false, "Ver") + RegReadString(false, "Nothing"), QString());
    }
};

QTEST_GUILESS_MAIN(TestIniDatei)
#include "TestIniDatei.moc"
