// End-to-end runs of the built dupliscan-cli on small trees.

#include "cli/CliOptions.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

using namespace TestSupport;

namespace {
struct CliRun {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

// The leak check at the end of a sanitized program costs more than the run
// itself; the runs that ask for it cover the paths that allocate most.
CliRun RunCli(const QStringList &arguments, bool checkLeaks = false) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (!checkLeaks)
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           environment.value(QStringLiteral("ASAN_OPTIONS")) +
                               QStringLiteral(":detect_leaks=0"));
    process.setProcessEnvironment(environment);
    // English messages whatever the machine's language.
    process.start(QStringLiteral(DUPLISCAN_CLI), QStringList{"--language", "EN"} + arguments);
    CliRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    return run;
}

// Every file of the tree with its size and modification time, links included.
QStringList Listing(const QString &root) {
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        ::lstat(Platform::EncodeName(path).constData(), &st);
        lines.append(QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(path)
                         .arg(st.st_size)
                         .arg(st.st_mtim.tv_sec)
                         .arg(st.st_mtim.tv_nsec)
                         .arg(st.st_mode));
    }
    lines.sort();
    return lines;
}

int ErrorLines(const QByteArray &err) {
    return int(err.count('\n'));
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir *Dir = nullptr;
    QString Root; // no trailing delimiter

    QString Write(const QString &relative, const QByteArray &bytes) const {
        const QString path = Root + QLatin1Char('/') + relative;
        MakeFolder(path.left(path.lastIndexOf(QLatin1Char('/'))));
        if (!WriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QString P(const QString &relative) const { return Root + QLatin1Char('/') + relative; }

private slots:
    void init() {
        Dir = new QTemporaryDir;
        Dir->setAutoRemove(false);
        Root = Dir->path();
    }
    void cleanup() {
        RemoveTree(Root);
        delete Dir;
    }

    void textOutputIsBlocksOfPathsAndNothingElse() {
        Write("a1", "one");
        Write("a2", "one");
        Write("sub/a3", "one");
        Write("b1", "two");
        Write("b2", "two");
        Write("c", "unique");
        const QStringList before = Listing(Root);
        const CliRun run = RunCli({Root}, true);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Err, QByteArray());
        const QByteArray expected = (P("a1") + '\n' + P("a2") + '\n' + P("sub/a3") + "\n\n" +
                                     P("b1") + '\n' + P("b2") + '\n')
                                        .toUtf8();
        QCOMPARE(run.Out, expected);
        QCOMPARE(Listing(Root), before);
    }

    void noDuplicatesIsStillSuccess() {
        Write("a", "one");
        Write("b", "two");
        const CliRun run = RunCli({Root});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(run.Err, QByteArray("No duplicates found.\n"));
    }

    void awkwardNamesAreEscapedOnePerLine() {
        const QList<QPair<QByteArray, QByteArray>> names = {
            {"new\nline", "new\\nline"},      {"tab\there", "tab\\there"},
            {"back\\slash", "back\\\\slash"}, {"raw\xff", "raw\\xff"},
            {"bell\x07", "bell\\x07"},        {"next\xc2\x85line", "next\\xc2\\x85line"},
            {"csi\xc2\x9b", "csi\\xc2\\x9b"}, {"caf\xc3\xa9", "caf\xc3\xa9"}};
        QByteArray expected;
        int k = 0;
        for (const auto &[name, escaped] : names) {
            const QByteArray content = "content " + QByteArray::number(++k);
            Write(Platform::DecodeName("d" + QByteArray::number(k) + "/" + name), content);
            Write(QStringLiteral("d%1/zz-copy").arg(k), content);
            if (!expected.isEmpty())
                expected += '\n';
            expected += Root.toUtf8() + "/d" + QByteArray::number(k) + "/" + escaped + '\n' +
                        Root.toUtf8() + "/d" + QByteArray::number(k) + "/zz-copy\n";
        }
        const QStringList before = Listing(Root);
        const CliRun run = RunCli({QStringLiteral("-q"), Root}, true);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Err, QByteArray());
        QCOMPARE(run.Out, expected);
        QCOMPARE(Listing(Root), before);
    }

    void jsonCarriesEveryField() {
        const QString a = Write("a", "same bytes");
        Write("b", "same bytes");
        Write(Platform::DecodeName("raw\xfe"), "same bytes");
        QCOMPARE(::chmod(Platform::EncodeName(P("b")).constData(), 0444), 0);
        const utimbuf times{1577934245, 1577934245}; // 2020-01-02T03:04:05Z
        QCOMPARE(::utime(Platform::EncodeName(a).constData(), &times), 0);
        const CliRun run = RunCli({QStringLiteral("--format"), QStringLiteral("json"), Root}, true);
        QCOMPARE(run.ExitCode, 0);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.Out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject root = document.object();
        QCOMPARE(root.value("outcome").toString(), QStringLiteral("completed"));
        QCOMPARE(root.value("matches").toInt(), 2);
        const QJsonArray blocks = root.value("blocks").toArray();
        QCOMPARE(blocks.size(), 1);
        const QJsonArray files = blocks[0].toObject().value("files").toArray();
        QCOMPARE(files.size(), 3);
        const QJsonObject head = files[0].toObject();
        QCOMPARE(head.value("path").toString(), a);
        QCOMPARE(head.value("percent").toInt(), 100);
        QCOMPARE(head.value("size").toInt(), 10);
        QCOMPARE(head.value("modified").toString(), QStringLiteral("2020-01-02T03:04:05Z"));
        QCOMPARE(head.value("mark").toString(), QStringLiteral("stay"));
        QVERIFY(!head.contains("path_hex"));
        QCOMPARE(files[1].toObject().value("path").toString(), P("b"));
        QCOMPARE(files[1].toObject().value("mark").toString(), QStringLiteral("stay-no-delete"));
        const QJsonObject raw = files[2].toObject();
        QCOMPARE(QByteArray::fromHex(raw.value("path_hex").toString().toLatin1()),
                 Platform::EncodeName(P(Platform::DecodeName("raw\xfe"))));
    }

    void outputGoesToExactlyTheNamedFile() {
        Write("d/a", "same");
        Write("d/b", "same");
        const QString lookalike = Write(QString::fromUtf8("out\xef\xbf\xbd.txt"), "keep me");
        // QProcess cannot pass raw bytes, the shell can.
        QProcess process;
        process.start(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("cd \"$1\" && exec \"$0\" -q -o \"$(printf 'out\\377.txt')\" d"),
             QStringLiteral(DUPLISCAN_CLI), Root});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardError(), QByteArray());
        QFile lookalikeFile(lookalike);
        QVERIFY(lookalikeFile.open(QIODevice::ReadOnly));
        QCOMPARE(lookalikeFile.readAll(), QByteArray("keep me"));
        QFile written;
        const int fd = ::open(
            Platform::EncodeName(P(Platform::DecodeName("out\xff.txt"))).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QVERIFY(written.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        QCOMPARE(written.readAll(), (P("d/a") + '\n' + P("d/b") + '\n').toUtf8());
    }

    void aRunThatCannotStartLeavesTheOutputAlone() {
        const QString output = Write("result.txt", "earlier result");
        const CliRun run = RunCli({QStringLiteral("-o"), output, P("missing")});
        QCOMPARE(run.ExitCode, 1);
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("earlier result"));
    }

    void questionsNeedYesWithoutATerminal() {
        Write("d/a", "same");
        Write("d/sub/b", "same");
        CliRun run = RunCli({P("d"), P("d/sub")});
        QCOMPARE(run.ExitCode, 1);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(ErrorLines(run.Err), 1);
        QVERIFY(run.Err.contains("subdirectory") && run.Err.contains("--yes"));
        run = RunCli({QStringLiteral("--yes"), QStringLiteral("-q"), P("d"), P("d/sub")});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, (P("d/a") + '\n' + P("d/sub/b") + '\n').toUtf8());
        QCOMPARE(run.Err, QByteArray());
        // Never scanned: the warning about system folders stops it first.
        run = RunCli({QStringLiteral("/")});
        QCOMPARE(run.ExitCode, 1);
        QCOMPARE(ErrorLines(run.Err), 1);
        QVERIFY(run.Err.contains("Windows directory") && run.Err.contains("--yes"));
    }

    void folderProblemsExitWithOne_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing folder") << QStringList{"%/missing"} << "%/missing";
        QTest::newRow("folder given as a file") << QStringList{"%/file"} << "is a file";
        QTest::newRow("unwritable output")
            << QStringList{"-o", "%/file/out.txt", "%"} << "cannot write";
        QTest::newRow("full output device") << QStringList{"-o", "/dev/full", "%"} << "/dev/full";
        QTest::newRow("missing certain file")
            << QStringList{"--certain-file", "%/nothing.txt", "%"} << "%/nothing.txt";
    }
    void folderProblemsExitWithOne() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, cause);
        Write("file", "x");
        Write("dup1", "same");
        Write("dup2", "same");
        for (QString &argument : arguments)
            argument.replace(QLatin1Char('%'), Root);
        const CliRun run = RunCli(arguments);
        QCOMPARE(run.ExitCode, 1);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(ErrorLines(run.Err), 1);
        QVERIFY2(QString::fromUtf8(run.Err).contains(cause.replace(QLatin1Char('%'), Root)),
                 run.Err.constData());
    }

    void usageErrorsNameTheirCause_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("cause");
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "--frobnicate";
        QTest::newRow("percent too high") << QStringList{"--percent", "101"} << "--percent";
        QTest::newRow("name percent too low")
            << QStringList{"--names", "--name-percent", "59"} << "--name-percent";
        QTest::newRow("negative limit") << QStringList{"--max", "-1"} << "--max";
        QTest::newRow("huge limit") << QStringList{"--max", "99999999999"} << "--max";
        QTest::newRow("limit not a number") << QStringList{"--max", "ten"} << "--max";
        QTest::newRow("missing value") << QStringList{"--min-kb"} << "--min-kb";
        QTest::newRow("size out of range") << QStringList{"--max-kb=2097152"} << "--max-kb";
        QTest::newRow("size limits crossed")
            << QStringList{"--min-kb", "5", "--max-kb", "4"} << "--min-kb";
        QTest::newRow("folder mode") << QStringList{"--folders", "some"} << "--folders";
        QTest::newRow("format") << QStringList{"--format", "yaml"} << "--format";
        QTest::newRow("xls without output") << QStringList{"--format", "xls"} << "--output";
        QTest::newRow("empty output") << QStringList{"-o", ""} << "-o";
        QTest::newRow("empty certain file")
            << QStringList{"--certain-file", " "} << "--certain-file";
        QTest::newRow("three folders") << QStringList{"a", "b", "c"} << "3";
    }
    void usageErrorsNameTheirCause() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, cause);
        QString error;
        QVERIFY(!ParseArguments(arguments, error));
        QVERIFY2(error.contains(cause), qPrintable(error));
        QVERIFY(!error.contains(QLatin1Char('\n')));
    }

    void argumentsMapOntoTheOptions() {
        QString error;
        const auto parsed =
            ParseArguments({"--no-contents", "--names", "--name-percent=90", "--different-exts",
                            "--identical-size", "--folders", "different-bases", "--max", "7",
                            "--min-kb", "2", "--max-kb", "9", "--no-subfolders", "--", "-x", "y"},
                           error);
        QVERIFY2(parsed, qPrintable(error));
        const SearchOptions &o = parsed->Options;
        QVERIFY(!o.CompareContents);
        QCOMPARE(o.ContentPercent, quint8(100));
        QVERIFY(o.CompareNames);
        QCOMPARE(o.NamePercent, quint8(90));
        QVERIFY(o.DifferentExts);
        QVERIFY(o.IdenticalSize);
        QCOMPARE(o.FolderMode, 2);
        QCOMPARE(o.MaxDuplicates, 7);
        QCOMPARE(parsed->MinSizeKB, 2);
        QCOMPARE(parsed->MaxSizeKB, 9);
        QVERIFY(!parsed->IncludeSubfolders);
        QCOMPARE(parsed->Folder1, QStringLiteral("-x"));
        QCOMPARE(parsed->Folder2, QStringLiteral("y"));

        const auto defaults = ParseArguments({}, error);
        QVERIFY(defaults);
        QCOMPARE(defaults->Folder1, QStringLiteral("."));
        QCOMPARE(defaults->Options.MaxDuplicates, 0);
        QVERIFY(defaults->Options.CompareContents);
    }

    void badUsageExitsWithTwo_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("cause");
        QTest::newRow("percent too high") << QStringList{"--percent", "101"} << "--percent";
        QTest::newRow("nothing to compare") << QStringList{"--no-contents"} << "Compare names";
        QTest::newRow("wildcard with contents")
            << QStringList{"--certain-file", "%/x.*"} << "invalid characters";
    }
    void badUsageExitsWithTwo() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, cause);
        for (QString &argument : arguments)
            argument.replace(QLatin1Char('%'), Root);
        arguments.append(Root);
        const CliRun run = RunCli(arguments);
        QCOMPARE(run.ExitCode, 2);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(ErrorLines(run.Err), 1);
        QVERIFY2(QString::fromUtf8(run.Err).contains(cause), run.Err.constData());
    }

    void helpSucceeds() {
        const CliRun run = RunCli({QStringLiteral("--help")});
        QCOMPARE(run.ExitCode, 0);
        QVERIFY(run.Out.startsWith("Usage: dupliscan-cli"));
    }

    void limitStopsAfterTheGivenCount() {
        Write("a1", "one");
        Write("a2", "one");
        Write("a3", "one");
        Write("b1", "two");
        Write("b2", "two");
        CliRun run = RunCli({QStringLiteral("--max"), QStringLiteral("1"), Root});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, (P("a1") + '\n' + P("a2") + '\n').toUtf8());
        run = RunCli({QStringLiteral("--max=1"), QStringLiteral("--format=json"), Root});
        QCOMPARE(QJsonDocument::fromJson(run.Out).object().value("outcome").toString(),
                 QStringLiteral("limit-reached"));
    }

    void folderModesChooseThePairs() {
        Write("x/a", "same");
        Write("x/b", "same");
        Write("y/c", "same");
        Write("y/d", "other");
        Write("z/d", "other");
        CliRun run = RunCli({QStringLiteral("--folders"), QStringLiteral("different"), Root});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(
            run.Out,
            (P("x/a") + '\n' + P("y/c") + "\n\n" + P("y/d") + '\n' + P("z/d") + '\n').toUtf8());
        run = RunCli(
            {QStringLiteral("--folders"), QStringLiteral("different-bases"), P("x"), P("y")});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, (P("x/a") + '\n' + P("y/c") + '\n').toUtf8());
    }

    void certainFileFindsOnlyItsTwins() {
        Write("p1", "pair");
        Write("p2", "pair");
        const QString certain = Write("sub/mine.txt", "mine");
        Write("other/twin.txt", "mine");
        Write("other/mine.doc", "different");
        CliRun run = RunCli({QStringLiteral("--certain-file"), certain, Root});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, (certain + '\n' + P("other/twin.txt") + '\n').toUtf8());

        // By name with any extension; the file need not exist.
        run = RunCli({QStringLiteral("--no-contents"), QStringLiteral("--names"),
                      QStringLiteral("--name-percent"), QStringLiteral("100"),
                      QStringLiteral("--certain-file"), P("nowhere/mine.*"), Root});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out,
                 (P("nowhere/mine") + '\n' + P("other/mine.doc") + '\n' + P("sub/mine.txt") + '\n')
                     .toUtf8());
    }

    void filterOptionsChooseTheFiles() {
        Write("t1.txt", "text");
        Write("t2.txt", "text");
        Write("l1.log", "logs");
        Write("l2.log", "logs");
        Write("x1.exe", "prog");
        Write("x2.exe", "prog");
        Write("big1.txt", QByteArray(3000, 'b'));
        Write("big2.txt", QByteArray(3000, 'b'));
        CliRun run = RunCli({QStringLiteral("--include"), QStringLiteral("txt"), Root});
        QCOMPARE(run.Out, (P("big1.txt") + '\n' + P("big2.txt") + "\n\n" + P("t1.txt") + '\n' +
                           P("t2.txt") + '\n')
                              .toUtf8());
        run = RunCli({QStringLiteral("--exclude"), QStringLiteral("txt log"),
                      QStringLiteral("--never"), QString(), Root});
        QCOMPARE(run.Out, (P("x1.exe") + '\n' + P("x2.exe") + '\n').toUtf8());
        run = RunCli({QStringLiteral("--min-kb"), QStringLiteral("2"), Root});
        QCOMPARE(run.Out, (P("big1.txt") + '\n' + P("big2.txt") + '\n').toUtf8());
    }

    void withoutSubfoldersOnlyTheFolder() {
        Write("a", "same");
        Write("sub/b", "same");
        Write("sub/c", "same");
        const CliRun run = RunCli({QStringLiteral("--no-subfolders"), QStringLiteral("-q"), Root});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(run.Err, QByteArray());
    }

    void foldersAfterDoubleDashMayLookLikeOptions() {
        Write("-dash/a", "same");
        Write("-dash/b", "same");
        const QString previous = QDir::currentPath();
        QDir::setCurrent(Root);
        const CliRun run = RunCli({QStringLiteral("--"), QStringLiteral("-dash")});
        QDir::setCurrent(previous);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, (P("-dash/a") + '\n' + P("-dash/b") + '\n').toUtf8());
    }

    void aFileIsNeverItsOwnDuplicate() {
        const QString a = Write("d/a", "only one file");
        QCOMPARE(::link(Platform::EncodeName(a).constData(),
                        Platform::EncodeName(P("d/hard-link")).constData()),
                 0);
        QCOMPARE(::symlink(Platform::EncodeName(P("d")).constData(),
                           Platform::EncodeName(P("link-to-d")).constData()),
                 0);
        QCOMPARE(::symlink("a", Platform::EncodeName(P("d/soft-link")).constData()), 0);
        const CliRun run = RunCli(
            {QStringLiteral("-q"), QStringLiteral("--no-subfolders"), P("d"), P("link-to-d")});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(run.Err, QByteArray());
    }

    void interruptPrintsTheBlocksSoFar() {
        Write("a1", "small");
        Write("a2", "small");
        // Large sparse files that agree up to their last byte keep the compare busy.
        const qint64 size = qint64(1) << 30;
        for (int k = 1; k <= 4; ++k) {
            QFile file(P(QStringLiteral("z%1").arg(k)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(size - 1));
            QVERIFY(file.seek(size - 1));
            QVERIFY(file.putChar(char(k)));
        }
        const QStringList before = Listing(Root);
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
                if (fd.symLinkTarget().startsWith(P("z")))
                    reading = true;
            if (!reading)
                QTest::qWait(5);
        }
        QVERIFY(reading);
        QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        QCOMPARE(process.readAllStandardOutput(), (P("a1") + '\n' + P("a2") + '\n').toUtf8());
        QCOMPARE(Listing(Root), before);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
