// End-to-end runs of the built dupliscan-cli on small trees.

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

using namespace TestSupport;

namespace {
// Words split at spaces; "~" stands for a space inside a word, "''" for an empty word.
QStringList Words(const QString &text) {
    QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return words.replaceInStrings(QStringLiteral("~"), QStringLiteral(" "))
        .replaceInStrings(QStringLiteral("''"), QString());
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;
    int Runs = 0;
    QString Root; // no trailing delimiter

    QString P(const QString &relative) const { return Root + QLatin1Char('/') + relative; }
    QString Write(const QString &relative, const QByteArray &bytes) const {
        const QString path = P(relative);
        if (!MakeFolder(path.left(path.lastIndexOf(QLatin1Char('/')))) || !WriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // Blocks as "a b|c d": absolute paths one per line, one empty line between blocks.
    QByteArray Blocks(const QString &blocks) const {
        QByteArray text;
        for (const QString &block : blocks.split(QLatin1Char('|'), Qt::SkipEmptyParts))
            text +=
                (text.isEmpty() ? "" : "\n") +
                (Root + '/' + QString(block).replace(QLatin1Char(' '), '\n' + Root + '/') + '\n')
                    .toUtf8();
        return text;
    }
    // Runs in Root with the row's arguments, "%" standing for Root. The leak check at the end
    // of a sanitized program costs more than the run; the runs that ask for it cover the paths
    // that allocate most.
    ProgramRun RunCli(QStringList arguments, bool checkLeaks = false) const {
        const QString noLeakCheck = QStringLiteral("ASAN_OPTIONS=%1:detect_leaks=0")
                                        .arg(qEnvironmentVariable("ASAN_OPTIONS"));
        return RunProgram(QStringLiteral(DUPLISCAN_CLI),
                          QStringList{"--language", "EN"} +
                              arguments.replaceInStrings(QStringLiteral("%"), Root),
                          Root, checkLeaks ? QStringList() : QStringList{noLeakCheck});
    }
    // Exactly one error line naming each '&'-separated part of the cause, nothing on stdout.
    void ExpectError(int exitCode) const {
        QFETCH(QString, arguments);
        QFETCH(QString, cause);
        WriteFile(P("file"), "x");
        const QByteArray before = Listing(Root);
        const ProgramRun run = RunCli(Words(arguments));
        QCOMPARE(run.ExitCode, exitCode);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(run.Err.count('\n'), 1);
        for (const QString &part : cause.replace(QLatin1Char('%'), Root).split(QLatin1Char('&')))
            QVERIFY2(QString::fromUtf8(run.Err).contains(part), run.Err.constData());
        QCOMPARE(Listing(Root), before);
    }

private slots:
    void init() {
        Root = Dir.filePath(QString::number(++Runs));
        QVERIFY(MakeFolder(Root));
    }
    void cleanup() { RemoveTree(Root); }

    void textOutputIsBlocksOfPathsAndNothingElse_data() {
        QTest::addColumn<QString>("files");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("blocks");
        // "name=content"; a content of three digits or more stands for that many bytes.
        const QString ab = "a1=one a2=one sub/a3=one b1=two b2=two c=unique";
        const QString xyz = "x/a=same x/b=same y/c=same y/d=other z/d=other";
        const QString mine = "p1=2 p2=2 sub/mine.txt=1 other/twin.txt=1 other/mine.doc=3";
        const QString kinds =
            "t1.txt=t t2.txt=t l1.log=l l2.log=l x1.exe=x x2.exe=x b1=3000 b2=3000";
        QTest::newRow("head first") << ab << "%"
                                    << "a1 a2 sub/a3|b1 b2";
        QTest::newRow("none found") << ab << "sub"
                                    << "";
        QTest::newRow("limit") << ab << "--max 1"
                               << "a1 a2";
        QTest::newRow("no subfolders") << ab << "--no-subfolders ."
                                       << "a1 a2|b1 b2";
        QTest::newRow("folders") << xyz << "--folders different"
                                 << "x/a y/c|y/d z/d";
        QTest::newRow("bases") << xyz << "--folders different-bases x y"
                               << "x/a y/c";
        QTest::newRow("certain file") << mine << "--certain-file sub/mine.txt"
                                      << "sub/mine.txt other/twin.txt";
        QTest::newRow("certain name, any extension, need not exist")
            << mine << "--no-contents --names --name-percent 100 --certain-file nowhere/mine.*"
            << "nowhere/mine other/mine.doc sub/mine.txt";
        QTest::newRow("include") << kinds << "--include txt"
                                 << "t1.txt t2.txt";
        QTest::newRow("exclude, never") << kinds << "--exclude txt~log --never ''"
                                        << "b1 b2|x1.exe x2.exe";
        QTest::newRow("min size") << kinds << "--min-kb 2"
                                  << "b1 b2";
        QTest::newRow("subfolder, yes") << "d/a=1 d/sub/b=1"
                                        << "-q --yes d d/sub"
                                        << "d/a d/sub/b";
        QTest::newRow("double dash") << "-dash/a=1 -dash/b=1"
                                     << "-- -dash"
                                     << "-dash/a -dash/b";
    }
    void textOutputIsBlocksOfPathsAndNothingElse() {
        QFETCH(QString, blocks);
        for (const QString &file : Words(Data<QString>("files"))) {
            const QByteArray content = file.section(QLatin1Char('='), 1).toUtf8();
            Write(file.section(QLatin1Char('='), 0, 0), content.size() > 2 && content.toInt()
                                                            ? QByteArray(content.toInt(), 'b')
                                                            : content);
        }
        const QByteArray before = Listing(Root);
        const ProgramRun run = RunCli(Words(Data<QString>("arguments")), true);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, Blocks(blocks));
        QCOMPARE(run.Err, QByteArray(blocks.isEmpty() ? "No duplicates found.\n" : ""));
        QCOMPARE(Listing(Root), before);
    }

    void awkwardNamesAreEscapedOnePerLine() {
        const QList<QPair<QByteArray, QByteArray>> names = {
            {"new\nline", "new\\nline"},      {"tab\there", "tab\\there"},
            {"back\\slash", "back\\\\slash"}, {"raw\xff", "raw\\xff"},
            {"bell\x07", "bell\\x07"},        {"next\xc2\x85line", "next\\xc2\\x85line"},
            {"csi\xc2\x9b", "csi\\xc2\\x9b"}, {"caf\xc3\xa9", "caf\xc3\xa9"}};
        QByteArray expected;
        for (int k = 0; k < names.size(); ++k) {
            const QByteArray folder = Root.toUtf8() + "/d" + QByteArray::number(k) + '/';
            QVERIFY(MakeFolder(QString::fromUtf8(folder)));
            QVERIFY(WriteFile(Platform::DecodeName(folder + names[k].first), folder));
            QVERIFY(WriteFile(Platform::DecodeName(folder + "zz-copy"), folder));
            expected += (k ? "\n" : "") + folder + names[k].second + '\n' + folder + "zz-copy\n";
        }
        const ProgramRun run = RunCli({QStringLiteral("-q"), Root}, true);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out + run.Err, expected);
    }

    void jsonCarriesEveryField() {
        const utimbuf times{1577934245, 1577934245}; // 2020-01-02T03:04:05Z
        for (const char *name : {"a", "b", "raw\xfe"}) {
            QVERIFY(WriteFile(Root + Platform::DecodeName(QByteArray("/") + name), "same bytes"));
            QCOMPARE(::utime((Root.toUtf8() + '/' + name).constData(), &times), 0);
        }
        QCOMPARE(::chmod((Root.toUtf8() + "/b").constData(), 0444), 0);
        const QString file = QStringLiteral(
            R"({"mark": "%1", "modified": "2020-01-02T03:04:05Z", "path": "%2", "percent": 100, "size": 10)");
        const QString expected =
            QStringLiteral(
                R"({"blocks": [{"files": [%1}, %2}, %3, "path_hex": "%4"}]}], "matches": 2, "outcome": "completed"})")
                .arg(file.arg(QStringLiteral("stay"), P("a")),
                     file.arg(QStringLiteral("stay-no-delete"), P("b")),
                     file.arg(QStringLiteral("stay"), P(QStringLiteral("raw\uFFFD"))),
                     (Root.toUtf8() + "/raw\xfe").toHex());
        ProgramRun run = RunCli({QStringLiteral("--format=json")}, true);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(run.Out), QJsonDocument::fromJson(expected.toUtf8()));
        run = RunCli({QStringLiteral("--max=1"), QStringLiteral("--format=json")});
        QCOMPARE(QJsonDocument::fromJson(run.Out).object().value("outcome").toString(),
                 QStringLiteral("limit-reached"));
    }

    void outputGoesToExactlyTheNamedFile() {
        Write("d/a", "same");
        Write("d/b", "same");
        const QString lookalike = Write(QString::fromUtf8("out\xef\xbf\xbd.txt"), "keep me");
        // QProcess cannot pass raw bytes, the shell can.
        const ProgramRun run =
            RunProgram(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"),
                        QStringLiteral("exec \"$0\" -q -o \"$(printf 'out\\377.txt')\" d"),
                        QStringLiteral(DUPLISCAN_CLI)},
                       Root);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Err, QByteArray());
        QCOMPARE(ReadAll(lookalike), QByteArray("keep me"));
        QFile written;
        QVERIFY(written.open(::open((Root.toUtf8() + "/out\xff.txt").constData(), O_RDONLY),
                             QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        QCOMPARE(written.readAll(), Blocks("d/a d/b"));
    }

    void folderProblemsExitWithOne_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing folder, output kept") << "-o %/file %/missing"
                                                     << "%/missing";
        QTest::newRow("folder given as a file") << "%/file"
                                                << "is a file";
        QTest::newRow("unwritable output") << "-o %/file/out %"
                                           << "cannot write";
        QTest::newRow("full output device") << "-o /dev/full %"
                                            << "/dev/full";
        QTest::newRow("missing certain file") << "--certain-file %/none.txt %"
                                              << "%/none.txt";
        QTest::newRow("subfolder needs yes") << "% %/sub"
                                             << "subdirectory&--yes";
        QTest::newRow("system folder needs yes") << "/"
                                                 << "Windows directory&--yes";
    }
    void folderProblemsExitWithOne() {
        Write("dup", "same");
        Write("sub/dup", "same");
        ExpectError(1);
    }

    void usageErrorsExitWithTwo_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("cause");
        QTest::newRow("unknown option") << "--frobnicate"
                                        << "--frobnicate";
        QTest::newRow("percent too high") << "--percent 101"
                                          << "--percent";
        QTest::newRow("name percent too low") << "--names --name-percent 59"
                                              << "--name-percent";
        QTest::newRow("huge limit") << "--max 99999999999"
                                    << "--max";
        QTest::newRow("limit not a number") << "--max ten"
                                            << "--max";
        QTest::newRow("missing value") << "--min-kb"
                                       << "--min-kb";
        QTest::newRow("size out of range") << "--max-kb=2097152"
                                           << "--max-kb";
        QTest::newRow("sizes crossed") << "--min-kb 5 --max-kb 4"
                                       << "--min-kb";
        QTest::newRow("folder mode") << "--folders some"
                                     << "--folders";
        QTest::newRow("format") << "--format yaml"
                                << "--format";
        QTest::newRow("xls without output") << "--format xls"
                                            << "--output";
        QTest::newRow("empty output") << "-o ''"
                                      << "-o";
        QTest::newRow("three folders") << "a b c"
                                       << "3";
        QTest::newRow("nothing to compare") << "--no-contents"
                                            << "Compare names";
        QTest::newRow("wildcard with contents") << "--certain-file x.*"
                                                << "invalid characters";
    }
    void usageErrorsExitWithTwo() { ExpectError(2); }

    void helpSucceeds() {
        const ProgramRun run = RunCli({QStringLiteral("--help")});
        QCOMPARE(run.ExitCode, 0);
        QVERIFY(run.Out.startsWith("Usage: dupliscan-cli"));
    }

    void aFileIsNeverItsOwnDuplicate() {
        const QByteArray a = Platform::EncodeName(Write("d/a", "only one file"));
        QCOMPARE(::link(a.constData(), (a + "-hard").constData()), 0);
        QCOMPARE(::symlink(a.constData(), (a + "-soft").constData()), 0);
        QCOMPARE(::symlink("d", Platform::EncodeName(P("link-to-d")).constData()), 0);
        const ProgramRun run = RunCli(Words("-q --no-subfolders d link-to-d"));
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out + run.Err, QByteArray());
    }

    void interruptPrintsTheBlocksSoFar() {
        Write("a1", "small");
        Write("a2", "small");
        // Large sparse files that agree up to their last byte keep the compare busy.
        for (int k = 1; k <= 4; ++k) {
            QFile file(P(QStringLiteral("z%1").arg(k)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize((1 << 30) - 1));
            QVERIFY(file.seek((1 << 30) - 1) && file.putChar(char(k)));
        }
        const QByteArray before = Listing(Root);
        QProcess process;
        process.start(QStringLiteral(DUPLISCAN_CLI), {QStringLiteral("-q"), Root});
        QVERIFY(process.waitForStarted());
        // Wait until it reads one of the large files.
        const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
        QElapsedTimer timer;
        timer.start();
        bool reading = false;
        while (!reading && timer.elapsed() < 20000 && process.state() == QProcess::Running) {
            for (const QFileInfo &fd : QDir(fds).entryInfoList(QDir::System | QDir::Files))
                reading = reading || fd.symLinkTarget().startsWith(P("z"));
            QTest::qWait(5);
        }
        QVERIFY(reading);
        QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        QCOMPARE(process.readAllStandardOutput(), Blocks("a1 a2"));
        QCOMPARE(Listing(Root), before);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
