// Runs the built dupliscan-cli: its phrase table travels in its own file, or
// beside it when the section area is gone.

#include "lang/SelfLoadSectionsUnit.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Utf16(const QString &text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

struct Run {
    int ExitCode = -1;
    QString Error;
};
} // namespace

class TestCliLanguage : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

    Run Cli(const QStringList &arguments, const QString &program = QStringLiteral(DUPLISCAN_CLI),
            const QString &locale = QStringLiteral("C.UTF-8")) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", locale);
        env.insert("XDG_CONFIG_HOME", Dir.filePath("config"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(Dir.path());
        process.start(program, arguments);
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

    // A copy of the program without its section area.
    QString StrippedCopy(const QString &folder) {
        QByteArray image = ReadAll(QStringLiteral(DUPLISCAN_CLI));
        const qsizetype area = image.indexOf(SectionMarker(QLatin1String(BeginningMarkSection)));
        if (area < 0)
            return {};
        image.truncate(area);
        const QString path = folder + "/dupliscan-cli";
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(image);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

private slots:
    void programCarriesItsTable() {
        const QByteArray image = ReadAll(QStringLiteral(DUPLISCAN_CLI));
        const QByteArray marker = SectionMarker(QLatin1String(PhraseTableSection));
        const qsizetype at = image.indexOf(marker);
        QVERIFY(at > 0);
        QVERIFY(image.indexOf(SectionMarker(QLatin1String(BeginningMarkSection))) < at);
        QCOMPARE(image.mid(at + marker.size() + 4, 2), QByteArray("\xFF\xFE"));
    }

    void messagesFollowTheChosenLanguage() {
        Run run = Cli({"--language", "EN", "--bogus"});
        QCOMPARE(run.ExitCode, 2);
        QCOMPARE(run.Error,
                 QStringLiteral("dupliscan-cli: unknown option \"--bogus\" (see --help)\n"));
        run = Cli({"--language=de", "--bogus"});
        QCOMPARE(run.Error,
                 QStringLiteral("dupliscan-cli: Unbekannte Option \"--bogus\" (siehe --help)\n"));
        run = Cli({"--bogus"}, QStringLiteral(DUPLISCAN_CLI), "fr_FR.UTF-8");
        QCOMPARE(run.Error,
                 QStringLiteral("dupliscan-cli: Option inconnue \"--bogus\" (voir --help)\n"));
        run = Cli({"--language", "XY"});
        QCOMPARE(run.ExitCode, 2);
        QVERIFY(run.Error.startsWith("dupliscan-cli: the language XY is not available ("));
    }

    void savesTranslationFiles() {
        const QString all = Dir.filePath("all.txt");
        QCOMPARE(Cli({"--language", "FR", "--quiet", "--save-phrases", all}).ExitCode, 0);
        const QString text =
            QString::fromUtf16(reinterpret_cast<const char16_t *>(ReadAll(all).constData() + 2),
                               (ReadAll(all).size() - 2) / 2);
        QVERIFY(ReadAll(all).startsWith("\xFF\xFE"));
        QVERIFY(
            text.contains("\r\nDE=Ungültiger Wert für %1\r\nEN=invalid value for %1\r\nFR=Valeur "
                          "non valide pour %1\r\n\r\n"));
        QVERIFY(!text.contains("HU="));

        const QString fresh = Dir.filePath("new.txt");
        QCOMPARE(Cli({"--language", "FR", "-q", "--save-new-phrases", fresh}).ExitCode, 0);
        // The shipped table has every row in French: nothing is missing, and an
        // empty list makes an empty file.
        QCOMPARE(ReadAll(fresh).size(), 0);

        const Run failed = Cli({"--save-phrases", Dir.filePath("no/such/folder/x.txt")});
        QCOMPARE(failed.ExitCode, 1);
    }

    void strippedProgramReadsLngBesideIt() {
        QTemporaryDir folder;
        const QString program = StrippedCopy(folder.path());
        QVERIFY(!program.isEmpty());
        QFile lng(folder.filePath("dupliscan-cli.lng"));
        QVERIFY(lng.open(QIODevice::WriteOnly));
        lng.write(Utf16("DE=Unbekannte Option \"%1\" (siehe --help)\r\nEN=Odd option %1\r\n"
                        "SV=Konstig flagga %1\r\n\r\nDE=Basis-Ordner auswählen\r\n"
                        "EN=Select base folder\r\n"));
        lng.close();
        QCOMPARE(Cli({"--language", "SV", "--bogus"}, program).Error,
                 QStringLiteral("dupliscan-cli: Konstig flagga --bogus\n"));

        // Rows the chosen language lacks go to the translators' file.
        const QString fresh = folder.filePath("new.txt");
        QCOMPARE(Cli({"--language", "SV", "-q", "--save-new-phrases", fresh}, program).ExitCode, 0);
        const QByteArray bytes = ReadAll(fresh);
        QVERIFY(
            bytes.contains(Utf16("DE=Basis-Ordner auswählen\r\nEN=Select base folder\r\n").mid(2)));
        QVERIFY(!bytes.contains(Utf16("SV=").mid(2)));

        // The settings file beside the program chooses the language too.
        QFile ini(folder.filePath("dupliscan.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("Language=SV\r\n");
        ini.close();
        QCOMPARE(Cli({"--bogus"}, program).Error,
                 QStringLiteral("dupliscan-cli: Konstig flagga --bogus\n"));

        // Neither section nor file: German.
        QFile::remove(lng.fileName());
        QCOMPARE(Cli({"--bogus"}, program).Error,
                 QStringLiteral("dupliscan-cli: Unbekannte Option \"--bogus\" (siehe --help)\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliLanguage)
#include "TestCliLanguage.moc"
