// Phrase table storage: wide text files, the section area in the program file,
// phrase files for translators, and the built command line that carries them.

#include "TestSupport.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "lang/WideSLUnit.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {
QByteArray Hex(const char *hex) {
    return QByteArray::fromHex(hex);
}

const QByteArray Image("\x7F"
                       "ELF image");
const QByteArray Tips = Utf16Le(u"DE=Tipps\r\nEN=Tips\r\n"_s);

// Image bytes and then the section area.
QByteArray Program(const QByteArray &tableContent) {
    return Image + BuildSection(QLatin1String(BeginningMarkSection), {}) +
           BuildSection("Section:Other", "xyz") +
           BuildSection(QLatin1String(PhraseTableSection), tableContent);
}
} // namespace

class TestSelfLoadSectionsUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

    void UseProgram(const QByteArray &bytes) {
        QVERIFY(WriteFile(Dir.filePath("prog"), bytes));
        SetProgramFileForTests(Dir.filePath("prog"));
    }

    // Exit code and error output of the command line, as "2:text".
    QString Cli(const QStringList &arguments, const QString &program = DUPLISCAN_CLI,
                const QString &locale = "C.UTF-8") {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", locale);
        env.insert("XDG_CONFIG_HOME", Dir.filePath("config"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(Dir.path());
        process.start(program, arguments);
        process.waitForFinished(60000);
        return QString::number(process.exitCode()) + ':' + process.readAllStandardError();
    }

private slots:
    void init() { ResetPhraseSystem(); }
    void cleanup() {
        ResetPhraseSystem();
        ResetSections();
        SetFileSizeProbe(nullptr);
    }

    void byteOrderMarks() {
        // bytes, kind, length
        const std::tuple<const char *, int, int> cases[] = {{"41424344", 0, 0}, {"efbbbf41", 1, 3},
                                                            {"fffe4100", 2, 2}, {"fffe0000", 4, 4},
                                                            {"0000feff", 5, 4}, {"ff", 0, 0}};
        for (const auto &[hex, kind, length] : cases) {
            const ByteOrderMark mark = DetectByteOrderMark(Hex(hex));
            QVERIFY2(mark.Kind == kind && mark.Length == length, hex);
        }
    }

    void utf16Lines() {
        const std::tuple<const char *, int, int, QStringList> cases[] = {
            // bytes, kind when unmarked, result, lines
            {"fffe41000d000a004200", 0, 0, {"A", "B"}}, // CR LF
            {"fffe41000a000d004200", 0, 0, {"A", "B"}}, // LF CR
            {"41000a004200", 2, 0, {"A", "B"}},         // LF, no mark
            {"fffe410042", 0, 0, {"A"}},                // odd last byte
            {"efbbbf41", 0, 2, {}},                     // UTF-8 unsupported
            {"fffe000d", 0, 0, {"\u0D00"}}};            // 0x0D00 is no break
        for (const auto &[hex, defaultKind, result, lines] : cases) {
            TWStringList list;
            const QByteArray bytes = Hex(hex);
            QCOMPARE(SplitUtf16Lines(bytes.constData(), bytes.size(), defaultKind, list), result);
            QCOMPARE(list.ToStringList(), lines);
        }
    }

    void sectionsAreFoundBehindTheImage() {
        QCOMPARE(BuildSection("AB", "xy"), QByteArray("\xF7\xE2\xE1\xF7\x02\x00\x00\x00xy", 10));
        UseProgram(Program(Tips));
        QByteArray content;
        LoadSections();
        QCOMPARE(ProgramPartSize(), qint64(Image.size()));
        QVERIFY(GetSection("Section:Other", SectionArea(), content) && content == "xyz");
        QVERIFY(!GetSection("Section:Missing", SectionArea(), content));
        LoadPhraseTable(false);
        QCOMPARE(Translate("Tipps", "DE", "EN"), u"Tips"_s);
    }

    void lengthPastTheEndGivesWhatIsThere() {
        UseProgram(Program(Tips).chopped(4));
        LoadSections();
        QByteArray content;
        QVERIFY(GetSection(QLatin1String(PhraseTableSection), SectionArea(), content));
        QCOMPARE(content, Utf16Le(u"DE=Tipps\r\nEN=Tips"_s));
        UseProgram(Image + SectionMarker(QLatin1String(BeginningMarkSection)) + "\x01\x02");
        LoadSections();
        QVERIFY(!GetSection(QLatin1String(BeginningMarkSection), SectionArea(), content));
    }

    void badSourcesGiveNoOrPartialTable() {
        SetProgramFileForTests(Dir.filePath("missing-program"));
        LoadPhraseTable(false);
        QVERIFY(PhraseTable()->Groups.empty());
        UseProgram(Program(Hex("feff0044"))); // big-endian UTF-16
        LoadPhraseText(PhraseTable(), "DE=x\nEN=y", false);
        LoadPhraseTable(false);
        QVERIFY(PhraseTable()->Groups.empty());
        LoadPhraseText(PhraseTable(), "DE=x\nEN=y", false);
        QVERIFY(WriteFile(Dir.filePath("empty.lng"), {}));
        QVERIFY(!LoadPhraseFile(PhraseTable(), Dir.filePath("empty.lng"), false));
        QCOMPARE(PhraseTable()->Groups.size(), size_t(1)); // kept
        // A file of 4 GiB is not read at all.
        QByteArray bytes;
        SetFileSizeProbe([](const QString &) { return qint64(1) << 32; });
        QVERIFY(!ReadFileToString(Dir.filePath("prog"), 0, bytes));
    }

    void groupLines() {
        const std::pair<const char *, const char *> cases[] = {
            // lines, row read
            {"// ID=5;|DE=Tipps", "5 DE=Tipps"}, {"//ID=5;|DE=Tipps", "0 DE=Tipps"},
            {"// x=1; id=12;|DE=a", "12 DE=a"},  {"DE7=Text", "7 DE=Text"},
            {"de = Text ", "0 DE=Text"},         {"GERMAN=Text|DE=a", "0 DE=a"},
            {"DE=a|DEU=b=c", "0 DE=a DEU=b=c"},  {"// ID=3;", "no row"}};
        for (const auto &[text, expected] : cases) {
            ResetPhraseSystem();
            tMLGroup group;
            group.Owner = PhraseTable();
            TWStringList lines;
            SetWideText(lines, QString::fromUtf8(text).replace('|', '\n'));
            int index = 0;
            QString read =
                ReadGroup(group, lines, index, false) ? QString::number(group.Id) : "no row";
            for (qsizetype k = 0; k < group.Texts.size(); ++k)
                read += ' ' + PhraseTable()->Languages[size_t(k)]->Code + '=' + group.Texts[k];
            QCOMPARE(read, QString::fromUtf8(expected));
        }
    }

    void savingAllAndNewPhrases() {
        LoadPhraseText(PhraseTable(),
                       "// ID=1;\nDE=Eins\nEN=One\nHU=Egy\nFR=Un\n\n \t\n"
                       "// note\n// newer note\nDE=Zwei\nEN=Two\n FR =  Deux \nABC=drei\n\n"
                       "DE=Drei\nFR=\n",
                       true);
        PhraseTable()->CurrentCode = "FR";
        const QString path = Dir.filePath("all.txt");
        QVERIFY(SavePhrases(PhraseTable(), false, path));
        QCOMPARE(ReadWholeFile(path), Utf16Le(u"// ID=1;\r\nDE=Eins\r\nEN=One\r\nFR=Un\r\n\r\n"
                                              "// newer note\r\nDE=Zwei\r\nEN=Two\r\nFR =  Deux\r\n"
                                              "ABC=drei\r\n\r\nDE=Drei\r\n\r\n"_s));
        LoadPhraseText(PhraseTable(), "DE=Eins\nEN=One\nFR=Un\n\nDE=Zwei\nEN=Two\n", true);
        QVERIFY(SavePhrases(PhraseTable(), true, path));
        QCOMPARE(ReadWholeFile(path), Utf16Le(u"DE=Zwei\r\nEN=Two\r\n\r\n"_s));
        PhraseTable()->CurrentCode = "DE";
        QVERIFY(SavePhrases(PhraseTable(), true, path));
        QCOMPARE(ReadWholeFile(path).size(), 0);
    }

    void builtCommandLineCarriesItsTable() {
        const QByteArray image = ReadWholeFile(DUPLISCAN_CLI);
        const QByteArray marker = SectionMarker(QLatin1String(PhraseTableSection));
        const qsizetype at = image.indexOf(marker);
        QVERIFY(at > 0 && image.indexOf(SectionMarker(QLatin1String(BeginningMarkSection))) < at);
        QCOMPARE(image.mid(at + marker.size() + 4, 2), QByteArray("\xFF\xFE"));
        QCOMPARE(Cli({"--bogus"}, DUPLISCAN_CLI, "fr_FR.UTF-8"),
                 u"2:dupliscan-cli: Option inconnue \"--bogus\" (voir --help)\n"_s);
        const QString all = Dir.filePath("all.txt");
        QCOMPARE(Cli({"--language", "FR", "-q", "--save-phrases", all}), u"0:"_s);
        QVERIFY(ReadWholeFile(all).contains(
            Utf16Le(u"\r\nDE=Ungültiger Wert für %1\r\nEN=invalid value "
                    "for %1\r\nFR=Valeur non valide pour %1\r\n\r\n"_s,
                    false)));
        QVERIFY(ReadWholeFile(all).startsWith("\xFF\xFE") &&
                !ReadWholeFile(all).contains(Utf16Le(u"HU="_s, false)));
    }

    void withoutSectionTheFileBesideComesBeforeTheInstalledOne() {
        QCOMPARE(PhraseFilesOf("/opt/d/bin/dupliscan"),
                 (QStringList{"/opt/d/bin/dupliscan.lng", "/opt/d/share/dupliscan/Dupliscan.lng"}));
        const QString root = Dir.filePath("opt") + '/';
        SetProgramFileForTests(WriteAt(root, "bin/prog", Image));
        WriteAt(root, "share/dupliscan/Dupliscan.lng", Utf16Le(u"DE=Tipps\r\nEN=Installed\r\n"_s));
        LoadPhraseTable(false);
        QCOMPARE(Translate("Tipps", "DE", "EN"), u"Installed"_s);
        WriteAt(root, "bin/prog.lng", Utf16Le(u"DE=Tipps\r\nEN=Beside\r\n"_s));
        LoadPhraseTable(false);
        QCOMPARE(Translate("Tipps", "DE", "EN"), u"Beside"_s);
    }

    void strippedCommandLineReadsLngBesideIt() {
        QByteArray image = ReadWholeFile(DUPLISCAN_CLI);
        image.truncate(image.indexOf(SectionMarker(QLatin1String(BeginningMarkSection))));
        QTemporaryDir folder;
        const QString program = folder.filePath("dupliscan-cli");
        QVERIFY(WriteFile(program, image));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(WriteFile(folder.filePath("dupliscan-cli.lng"),
                          Utf16Le(u"DE=Unbekannte Option \"%1\" (siehe --help)\r\nEN=Odd %1\r\n"
                                  "SV=Konstig flagga %1\r\n"_s)));
        QVERIFY(WriteFile(folder.filePath("dupliscan.ini"), "Language=SV\r\n")); // beside it
        QCOMPARE(Cli({"--bogus"}, program), u"2:dupliscan-cli: Konstig flagga --bogus\n"_s);
        QFile::remove(folder.filePath("dupliscan-cli.lng"));
        QCOMPARE(Cli({"--bogus"}, program),
                 u"2:dupliscan-cli: Unbekannte Option \"--bogus\" (siehe --help)\n"_s);
    }
};

QTEST_GUILESS_MAIN(TestSelfLoadSectionsUnit)
#include "TestSelfLoadSectionsUnit.moc"
