// Distributions strip what they install, and stripping drops the phrase table
// appended to the program: a stripped or installed command line must still
// speak every language, from the table file beside it or in the data folder.

#include "cli/CliPhrases.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"

#include "TestSupport.h"

using namespace TestSupport;

namespace {
const QString TableFile = QStringLiteral(DUPLISCAN_PHRASE_TABLE);

// The message as the table's row gives it in that language.
QString TableText(const QString &code, int id, const QString &param) {
    ResetPhraseSystem();
    if (!LoadPhraseFile(PhraseTable(), TableFile, false) || !SetProgramLanguage(code))
        return QStringLiteral("no row in %1").arg(code);
    return CliPhraseParam(id, param);
}

bool HasTable(const QString &program) {
    return ReadAll(program).contains(SectionMarker(QLatin1String(BeginningMarkSection)));
}

// The program's usage line and its error for an unknown option, in English and French, are the
// table's rows.
void ExpectEveryLanguage(const QString &program) {
    for (const char *code : {"EN", "FR"}) {
        const ProgramRun usage = RunProgram(program, {"--language", code, "--help"});
        QCOMPARE(usage.Out.left(usage.Out.indexOf('\n')),
                 TableText(QLatin1String(code), PhraseUsageFirst, QString()).toUtf8());
        const ProgramRun bogus = RunProgram(program, {"--language", code, "--bogus"});
        QCOMPARE(bogus.ExitCode, 2);
        QCOMPARE(QString::fromUtf8(bogus.Err),
                 "dupliscan-cli: " +
                     TableText(QLatin1String(code), PhraseUnknownOption, "--bogus") + '\n');
    }
}
} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ResetPhraseSystem(); }

    // Without a table the language is unknown and the list of known ones empty; the table
    // beside the program is enough (the data folder is the install test's).
    void strippedProgramReadsTheTableFile() {
        QTemporaryDir prefix;
        const QString program = prefix.filePath(QStringLiteral("bin/dupliscan-cli"));
        QVERIFY(MakeFolder(prefix.filePath(QStringLiteral("bin"))));
        QVERIFY(QFile::copy(QStringLiteral(DUPLISCAN_CLI), program));
        const ProgramRun strip = RunProgram(QStringLiteral("strip"), {program});
        QVERIFY2(strip.ExitCode == 0, strip.Err.constData());
        QVERIFY(!HasTable(program));
        const ProgramRun run = RunProgram(program, {"--language", "EN", "--bogus"});
        QCOMPARE(run.ExitCode, 2);
        QVERIFY2(run.Err.contains(" EN ") && run.Err.endsWith(" ()\n"), run.Err.constData());
        QVERIFY(QFile::copy(TableFile, program + QStringLiteral(".lng")));
        ExpectEveryLanguage(program);
    }

    void installedProgramSpeaksEveryLanguage_data() {
        QTest::addColumn<bool>("strip");
        QTest::newRow("as built") << false;
        QTest::newRow("--strip") << true;
    }
    void installedProgramSpeaksEveryLanguage() {
        const bool strip = Data<bool>("strip");
        QTemporaryDir prefix;
        QStringList arguments = {"--install", DUPLISCAN_BUILD_DIR, "--prefix", prefix.path()};
        if (strip)
            arguments.append(QStringLiteral("--strip"));
        const ProgramRun install = RunProgram(QStringLiteral(DUPLISCAN_CMAKE), arguments);
        QVERIFY2(install.ExitCode == 0, install.Err.constData());
        const QString program = prefix.filePath(QStringLiteral(DUPLISCAN_INSTALLED_CLI));
        QCOMPARE(HasTable(program), !strip);
        QCOMPARE(ReadAll(prefix.filePath(QStringLiteral(DUPLISCAN_INSTALLED_TABLE))),
                 ReadAll(TableFile));
        ExpectEveryLanguage(program);
        // Without the data folder only the program's own section is left.
        QVERIFY(QFile::remove(prefix.filePath(QStringLiteral(DUPLISCAN_INSTALLED_TABLE))));
        const ProgramRun run = RunProgram(program, {"--language", "FR", "--bogus"});
        QCOMPARE(run.ExitCode, 2);
        QCOMPARE(run.Err.endsWith(" ()\n"), strip);
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "TestInstall.moc"
