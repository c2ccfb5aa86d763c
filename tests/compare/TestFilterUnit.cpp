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
        QTest::newRow("include alone") << "jpg png"
                                       << ""
                                       << "jpg png"
                                       << "jpg png";
        QTest::newRow("exclude alone") << ""
                                       << "tmp bak"
                                       << "alle prüfen, AUSSER tmp bak"
                                       << "Check all EXCEPT FOR tmp bak";
        // The exclude list is not applied then, but it is still what the user typed.
        QTest::newRow("both") << "jpg png"
                              << "tmp bak"
                              << "jpg png, NICHT tmp bak"
                              << "jpg png, NOT tmp bak";
        QTest::newRow("nothing") << ""
                                 << ""
                                 << "keine Filterung, d.h. alle Dateien prüfen"
                                 << "Do not filter, i.e. check all files";
        QTest::newRow("blanks only") << "  "
                                     << " "
                                     << "keine Filterung, d.h. alle Dateien prüfen"
                                     << "Do not filter, i.e. check all files";
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
        const int none = NoMaxSizeKB;
        QTest::newRow("max 0") << "0" << false << none << "( <= 2.048,0 MB )"
                               << "( <= 2,048.0 MB )";
        QTest::newRow("max abc") << "abc" << false << none << "( <= 2.048,0 MB )"
                                 << "( <= 2,048.0 MB )";
        QTest::newRow("max empty") << "" << false << none << "( <= 2.048,0 MB )"
                                   << "( <= 2,048.0 MB )";
        QTest::newRow("max above the limit") << "2097152" << false << none << "( <= 2.048,0 MB )"
                                             << "( <= 2,048.0 MB )";
        QTest::newRow("max too long for 32 bits")
            << "99999999999" << false << none << "( <= 2.048,0 MB )"
            << "( <= 2,048.0 MB )";
        QTest::newRow("min 50") << "50" << true << 50 << "( >= 0,1 MB )"
                                << "( >= 0.1 MB )";
        QTest::newRow("min 1") << " 1 " << true << 1 << "( >= 0,1 MB )"
                               << "( >= 0.1 MB )";
        QTest::newRow("min empty") << "" << true << 0 << "( >= 0,0 MB )"
                                   << "( >= 0.0 MB )";
        QTest::newRow("min negative") << "-5" << true << 0 << "( >= 0,0 MB )"
                                      << "( >= 0.0 MB )";
        QTest::newRow("min with unit") << "10 kb" << true << 0 << "( >= 0,0 MB )"
                                       << "( >= 0.0 MB )";
        QTest::newRow("min 1536") << "1536" << true << 1536 << "( >= 1,5 MB )"
                                  << "( >= 1.5 MB )";
        QTest::newRow("max 10240") << "10240" << false << 10240 << "( <= 10,0 MB )"
                                   << "( <= 10.0 MB )";
        QTest::newRow("max at the limit") << "2097151" << false << none << "( <= 2.048,0 MB )"
                                          << "( <= 2,048.0 MB )";
    }

    void sizeEditTexts() {
        QFETCH(QString, text);
        QFETCH(bool, minimum);
        QFETCH(int, kilobytes);
        QFETCH(QString, german);
        QFETCH(QString, english);
        const SizeLimit side = minimum ? SizeLimit::Minimum : SizeLimit::Maximum;
        const qint32 k = SizeLimitFromText(text, side);
        QCOMPARE(k, kilobytes);
        QCOMPARE(SizeLimitLabel(k, side, QLocale(QLocale::German, QLocale::Germany)), german);
        QCOMPARE(SizeLimitLabel(k, side, QLocale(QLocale::English, QLocale::UnitedStates)),
                 english);
    }

    void missingImageReadersAreExplainedInLinuxWords() {
        for (const char *language : {"DE", "EN", "FR"}) {
            QVERIFY(SetProgramLanguage(QString::fromLatin1(language)));
            const QString text = GetPhrase(FilterUnitPhrases(), 4);
            QVERIFY2(text.contains(QStringLiteral("qt6-image-formats-plugins")) &&
                         !text.contains(QStringLiteral("GDI")) && text.contains(QLatin1Char('\n')),
                     qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestFilterUnit)
#include "TestFilterUnit.moc"
