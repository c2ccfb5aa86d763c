#include "compare/FilterUnit.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"

#include <QFile>
#include <QTest>

class TestFilterUnit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QFile table(DUPLISCAN_SOURCE_DIR "/lang/Dupliscan.lng.txt");
        QVERIFY(table.open(QIODevice::ReadOnly));
        LoadPhraseText(PhraseTable(), QString::fromUtf8(table.readAll()), true);
    }

    void init() {
        ResetFilter();
        QVERIFY(SetProgramLanguage(QStringLiteral("DE")));
    }

    void extensionRules() {
        const char *defaults = "exe dll com drv vxd 386 ocx sys inf ini lnk";
        const struct {
            const char *Include, *Exclude, *Never;
            QStringList Passing, Refused;
        } rows[] = {
            {"", "", defaults, {".txt", ""}, {".ExE", ".lnk"}},
            {"jpg", "", defaults, {".JPG", " .jpg "}, {".jpeg", ""}},
            {"jpg", "jpg", defaults, {".jpg"}, {}}, // exclude is ignored with include
            {"", "tmp", defaults, {".txt"}, {".tmp"}},
            {"", "", "", {".exe"}, {}},
            {"exe", "", defaults, {}, {".exe"}},
            {".jpg", "", defaults, {}, {".jpg"}}, // dotted and comma-joined entries match nothing
            {"jpg,png", "", defaults, {}, {".png"}},
        };
        for (const auto &row : rows) {
            SetFilterLists(row.Include, row.Exclude, row.Never);
            for (const QString &extension : row.Passing + row.Refused)
                QVERIFY2(FilterPassesExtension(extension) == row.Passing.contains(extension),
                         qPrintable(
                             QStringLiteral("%1|%2|%3").arg(row.Include, row.Exclude, extension)));
        }
    }

    void imagePresetKeepsTheUsersOwnList() {
        SetImagePreset();
        QVERIFY(FilterPassesExtension(".tiff") && !FilterPassesExtension(".txt"));
        SetFilterLists("raw", QString(), QString());
        SetImagePreset();
        ClearImagePreset();
        QCOMPARE(Filter().IncludeText, QStringLiteral("raw"));
    }

    void descriptionNamesTheListsAsTyped_data() {
        QTest::addColumn<QString>("include");
        QTest::addColumn<QString>("exclude");
        QTest::addColumn<QString>("german");
        QTest::addColumn<QString>("english");
        const auto row = [](const char *name, const char *in, const char *out, const char *de,
                            const char *en) { QTest::newRow(name) << in << out << de << en; };
        row("include alone", "jpg png", "", "jpg png", "jpg png");
        row("exclude alone", "", "tmp bak", "alle prüfen, AUSSER tmp bak",
            "Check all EXCEPT FOR tmp bak");
        // The exclude list is not applied then, but it is still what the user typed.
        row("both", "jpg png", "tmp bak", "jpg png, NICHT tmp bak", "jpg png, NOT tmp bak");
        row("nothing", "", " ", "keine Filterung, d.h. alle Dateien prüfen",
            "Do not filter, i.e. check all files");
    }

    void descriptionNamesTheListsAsTyped() {
        QFETCH(QString, include);
        QFETCH(QString, exclude);
        QFETCH(QString, german);
        QFETCH(QString, english);
        SetFilterLists(include, exclude, QStringLiteral("exe dll"));
        QCOMPARE(FilterDescription(), german);
        QVERIFY(SetProgramLanguage(QStringLiteral("EN")));
        QCOMPARE(FilterDescription(), english);
    }

    void sizeEditTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("minimum");
        QTest::addColumn<int>("kilobytes");
        QTest::addColumn<QString>("german");
        QTest::addColumn<QString>("english");
        const auto row = [](const char *text, bool minimum, int k, const char *de, const char *en) {
            QTest::addRow("%s %s", minimum ? "min" : "max", text)
                << text << minimum << k << de << en;
        };
        // Without an upper limit files of any size pass: the label says so
        // ("-": the phrase of no upper limit, in the language shown).
        for (const char *none : {"0", "abc", "2097152", "99999999999"})
            row(none, false, NoMaxSizeKB, "-", "-");
        for (const char *none : {"-5", "10 kb"})
            row(none, true, 0, "( >= 0,0 MB )", "( >= 0.0 MB )");
        row(" 1 ", true, 1, "( >= 0,1 MB )", "( >= 0.1 MB )");
        row("1536", true, 1536, "( >= 1,5 MB )", "( >= 1.5 MB )");
        row("10240", false, 10240, "( <= 10,0 MB )", "( <= 10.0 MB )");
    }

    void sizeEditTexts() {
        QFETCH(QString, text);
        QFETCH(bool, minimum);
        QFETCH(int, kilobytes);
        QFETCH(QString, german);
        QFETCH(QString, english);
        const SizeLimit side = minimum ? SizeLimit::Minimum : SizeLimit::Maximum;
        if (german == u"-")
            german = english = "( " + GetPhrase(FilterUnitPhrases(), 6) + " )";
        QCOMPARE(SizeLimitFromText(text, side), kilobytes);
        QCOMPARE(SizeLimitLabel(kilobytes, side, QLocale(QLocale::German, QLocale::Germany)),
                 german);
        QCOMPARE(SizeLimitLabel(kilobytes, side, QLocale(QLocale::English, QLocale::UnitedStates)),
                 english);
    }
};

QTEST_GUILESS_MAIN(TestFilterUnit)
#include "TestFilterUnit.moc"
