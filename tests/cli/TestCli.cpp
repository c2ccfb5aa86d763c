// End-to-end runs of the built dupliscan-cli on small trees.

#include "TestSupport.h"
#include "results/ExcelNativeUnit.h"

#include <QBuffer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

using namespace TestSupport;

namespace {
// "name=content"; a number as content stands for that many bytes more.
const char *const Ab = "a1=one a2=one sub/a3=one b1=two b2=two c=unique";
const char *const Xyz = "x/a=same x/b=same y/c=same y/d=other z/d=other";
const char *const Mine = "p1=2 p2=2 sub/mine.txt=1 other/twin.txt=1 other/mine.doc=3";
const char *const Kinds = "t1.txt=t t2.txt=t l1.log=l l2.log=l x1.exe=x x2.exe=x b1=3000 b2=3000";
// The files, the arguments (see RunCli) and the blocks written as "a b|c d".
struct OutputRow {
    const char *Name, *Files, *Arguments, *Blocks;
};
const OutputRow OutputRows[] = {
    {"head first", Ab, "%", "a1 a2 sub/a3|b1 b2"},
    {"none found", Ab, "sub", ""},
    {"limit", Ab, "--max 1", "a1 a2"},
    {"no subfolders", Ab, "--no-subfolders .", "a1 a2|b1 b2"},
    {"folders", Xyz, "--folders different", "x/a y/c|y/d z/d"},
    {"bases", Xyz, "--folders different-bases x y", "x/a y/c"},
    {"certain name, any extension, need not exist", Mine,
     "--no-contents --names --name-percent 100 --certain-file nowhere/mine.*",
     "nowhere/mine other/mine.doc sub/mine.txt"},
    {"include", Kinds, "--include txt", "t1.txt t2.txt"},
    {"exclude, never", Kinds, "--exclude txt~log --never ''", "b1 b2|x1.exe x2.exe"},
    {"min size", Kinds, "--min-kb 2", "b1 b2"},
    {"subfolder, yes", "d/a=1 d/sub/b=1", "-q --yes d d/sub", "d/a d/sub/b"},
    {"double dash", "-dash/a=1 -dash/b=1", "-- -dash", "-dash/a -dash/b"},
    {"lone dash is a folder", "-/a=1 -/b=1", "-", "-/a -/b"},
    {"range ends, inline values", Ab,
     "--percent=100 --name-percent 60 --max=2147483647 --min-kb=0 --max-kb 2097151 --format=text",
     "a1 a2 sub/a3|b1 b2"},
    {"pictures only with contents", Mine,
     "--images --no-contents --names --name-percent=100 --different-exts",
     "other/mine.doc sub/mine.txt"},
    {"bases apart, subfolders left out", "d/a=1 d/sub/b=1",
     "--folders different-bases --no-subfolders d d/sub", "d/a d/sub/b"},
};

// The arguments and what the one error line names: each '&'-separated part, "%" the root.
struct ErrorRow {
    const char *Name, *Arguments, *Cause;
};
const ErrorRow FolderProblemRows[] = {
    {"missing folder, output kept", "-o %/file %/missing", "%/missing"},
    {"folder given as a file", "%/file", "is a file"},
    {"unwritable output", "-o %/file/out %", "cannot write"},
    {"full output device", "-o /dev/full %", "/dev/full"},
    {"missing certain file", "--certain-file %/none.txt %", "%/none.txt"},
    {"certain file a link", "--certain-file %/link %", "is a symbolic link&%/link"},
    {"certain file a pipe", "--certain-file pipe %", "not a regular file&pipe"},
    {"bases nested", "--folders different-bases --yes % %/sub", "two separate folders"},
    {"subfolder needs yes", "% %/sub", "subdirectory&--yes"},
    {"system folder needs yes", "/", "system folder (such as /usr or /etc)&--yes"},
};
// The arguments and the whole error line after the program's name.
struct UsageRow {
    const char *Name, *Arguments, *Line;
};
const UsageRow UsageRows[] = {
    {"percent too low", "--percent 59", R"(--percent takes a whole number (60..100): "59")"},
    {"not a number", "--name-percent=abc",
     R"(--name-percent takes a whole number (60..100): "abc")"},
    {"huge limit", "--max 99999999999",
     R"(--max takes a whole number (0..2147483647): "99999999999")"},
    {"folders", "--folders x",
     R"(invalid value for --folders: "x" (all, different, different-bases))"},
    {"format", "--format=XLS", R"(invalid value for --format: "XLS" (text, csv, xls, json))"},
    {"unknown option", "--frobnicate=1", R"(unknown option "--frobnicate=1" (see --help))"},
    {"short options stand alone", "-qy", R"(unknown option "-qy" (see --help))"},
    {"missing value", "-q -o", "-o needs a value"},
    {"empty output", "--output=", "--output needs a file name"},
    {"blank certain file", "--certain-file ~", "--certain-file needs a file name"},
    {"sizes crossed", "--min-kb 5 --max-kb 4", "--min-kb is larger than --max-kb (5 > 4)"},
    {"xls without output", "--format xls", "--format xls needs --output FILE"},
    {"three folders", "a b -- c", "at most two folders can be searched, given: 3"},
    {"nothing to compare", "--no-contents",
     R"(Please select "Compare names" and/or "Compare contents".)"},
    {"wildcard with contents", "--certain-file x.*", "The file name contains invalid characters."},
    {"pictures at 100", "--images --percent 100",
     "Unfortunately, a 100% pixel comparison is not available. Please select 99% or less."},
};
// Output options, and the file they write relative to the searched folder.
struct ReportRow {
    const char *Name, *Arguments, *Report;
};
const ReportRow ReportRows[] = {
    {"text", "-o dupes.txt", "dupes.txt"},
    {"worksheet, its name completed", "--format xls -o dupes", "dupes.xls"},
    {"standard output appended to", ">> dupes.txt", "dupes.txt"},
};
const char *const Formats[] = {"text", "csv", "json", "xls"};

// Where the result goes: "%" the root, "&" standard output; the test reads it there.
struct StreamRow {
    const char *Name, *Output;
};
const StreamRow StreamRows[] = {
    {"fifo with a reader", "%/fifo"},
    {"/dev/stdout, a pipe", "/dev/stdout"},
    {"/dev/stdout, a file", "/dev/stdout > %/file"},
};

void AddFormats() {
    QTest::addColumn<QString>("format");
    for (const char *format : Formats)
        QTest::newRow(format) << QString::fromLatin1(format);
}

QByteArray Picture(int seed, const char *format) {
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * seed) % 256, (y * 3 + seed) % 256, (x ^ y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// True when the signal is still waiting to be handled by the process.
bool SignalPending(qint64 pid, int signal) {
    const QByteArray status = ReadWholeFile(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray &line : status.split('\n'))
        if (line.startsWith("SigPnd:") || line.startsWith("ShdPnd:"))
            if (line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << (signal - 1)))
                return true;
    return false;
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
            text += (text.isEmpty() ? "" : "\n") +
                    P(block).replace(QLatin1Char(' '), QLatin1Char('\n') + Root + '/').toUtf8() +
                    '\n';
        return text;
    }
    // Runs in Root. The arguments are split at spaces; "~" stands for a space inside one, "''"
    // for an empty one and "%" for Root.
    ProgramRun RunCli(const char *arguments) const {
        QStringList words =
            QString::fromUtf8(arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        words.replaceInStrings(QStringLiteral("~"), QStringLiteral(" "))
            .replaceInStrings(QStringLiteral("''"), QString());
        return RunProgram(QStringLiteral(DUPLISCAN_CLI),
                          QStringList{"--language", "EN"} +
                              words.replaceInStrings(QStringLiteral("%"), Root),
                          Root);
    }
    // Exactly one error line naming each '&'-separated part of the cause, nothing on stdout.
    void ExpectError(const ErrorRow &row, int exitCode) const {
        WriteFile(P("file"), "x");
        const QByteArray before = Listing(Root);
        const ProgramRun run = RunCli(row.Arguments);
        QCOMPARE(run.ExitCode, exitCode);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(run.Err.count('\n'), 1);
        for (QString part : QString::fromUtf8(row.Cause).split(QLatin1Char('&')))
            QVERIFY2(QString::fromUtf8(run.Err).contains(part.replace(QLatin1Char('%'), Root)),
                     run.Err.constData());
        QCOMPARE(Listing(Root), before);
    }

private slots:
    void init() {
        Root = Dir.filePath(QString::number(++Runs));
        QVERIFY(MakeFolder(Root));
    }
    void cleanup() { RemoveTree(Root); }

    void textOutputIsBlocksOfPathsAndNothingElse_data() { AddRows(OutputRows); }
    void textOutputIsBlocksOfPathsAndNothingElse() {
        const OutputRow &row = OutputRows[Data<int>("row")];
        const QString blocks = QString::fromUtf8(row.Blocks);
        for (const QString &file : QString::fromUtf8(row.Files).split(QLatin1Char(' '))) {
            const QByteArray content = file.section(QLatin1Char('='), 1).toUtf8();
            Write(file.section(QLatin1Char('='), 0, 0), QByteArray(content.toInt(), 'b') + content);
        }
        const QByteArray before = Listing(Root);
        const ProgramRun run = RunCli(row.Arguments);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out, Blocks(blocks));
        QCOMPARE(run.Err, QByteArray(blocks.isEmpty() ? "No duplicates found.\n" : ""));
        QCOMPARE(Listing(Root), before);
    }

    void awkwardNamesAreEscapedOnePerLine() {
        const QList<QPair<QByteArray, QByteArray>> names = {
            {"new\nline", "new\\nline"},
            {"tab\there", "tab\\there"},
            {"back\\slash", "back\\\\slash"},
            {"raw\xff", "raw\\xff"},
            {"bell\x07", "bell\\x07"},
            {"next\xc2\x85line", "next\\xc2\\x85line"},
            {"csi\xc2\x9b", "csi\\xc2\\x9b"},
            {"caf\xc3\xa9", "caf\xc3\xa9"},
            {"smile\xf0\x9f\x98\x80", "smile\xf0\x9f\x98\x80"},
            {"del\x7f", "del\\x7f"},
            // Direction controls, which could show "fdp.txt" as "txt.pdf".
            {"rlo\xe2\x80\xae"
             "fdp.txt",
             "rlo\\xe2\\x80\\xae"
             "fdp.txt"},
            {"fsi\xe2\x81\xa8pdi\xe2\x81\xa9", "fsi\\xe2\\x81\\xa8pdi\\xe2\\x81\\xa9"},
            {"rlm\xe2\x80\x8f", "rlm\\xe2\\x80\\x8f"},
            {"alm\xd8\x9c", "alm\\xd8\\x9c"}};
        QByteArray expected;
        for (int k = 0; k < names.size(); ++k) {
            const QByteArray folder = Root.toUtf8() + "/d" + char('a' + k) + '/';
            QVERIFY(MakeFolder(QString::fromUtf8(folder)));
            QVERIFY(WriteFile(Platform::DecodeName(folder + names[k].first), folder));
            QVERIFY(WriteFile(Platform::DecodeName(folder + "zz-copy"), folder));
            expected += (k ? "\n" : "") + folder + names[k].second + '\n' + folder + "zz-copy\n";
        }
        const ProgramRun run = RunCli("-q %");
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
        ProgramRun run = RunCli("--format=json");
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(run.Out), QJsonDocument::fromJson(expected.toUtf8()));
        run = RunCli("--max=1 --format=json");
        QCOMPARE(QJsonDocument::fromJson(run.Out).object().value("outcome").toString(),
                 QStringLiteral("limit-reached"));
    }

    void outputGoesToExactlyTheNamedFile() {
        Write("d/a", "same");
        Write("d/b", "same");
        const QString lookalike = Write(QString::fromUtf8("out\xef\xbf\xbd.txt"), "keep me");
        // QProcess cannot pass raw bytes, the shell can.
        const ProgramRun run = RunProgram(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral(
                 "o=\"$(printf 'out\\377.txt')\" && \"$0\" -q -o \"$o\" d && cat \"$o\""),
             QStringLiteral(DUPLISCAN_CLI)},
            Root);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Err, QByteArray());
        QCOMPARE(run.Out, Blocks("d/a d/b"));
        QCOMPARE(ReadAll(lookalike), QByteArray("keep me"));
    }

    void theOutputFileIsNeverSearched_data() { AddRows(ReportRows); }
    void theOutputFileIsNeverSearched() {
        const ReportRow &row = ReportRows[Data<int>("row")];
        Write("a", "same");
        Write("b", "same");
        Write("copy", "old report");
        Write(QString::fromLatin1(row.Report), "old report");
        const ProgramRun run =
            RunProgram(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"), QStringLiteral("\"$0\" -q %1 .").arg(row.Arguments),
                        QStringLiteral(DUPLISCAN_CLI)},
                       Root);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out + run.Err, QByteArray());
        const QByteArray report = ReadAll(P(QString::fromLatin1(row.Report)));
        QVERIFY2(report.contains(P("b").toUtf8()), report.constData());
        QVERIFY2(!report.contains(P("copy").toUtf8()), report.constData());
    }

    // A link named as output is replaced, not followed. On a full disk the old report stays
    // whole, nothing is left beside it, and the cause is named.
    void theOutputReplacesOnlyTheNamedFile_data() { AddFormats(); }
    void theOutputReplacesOnlyTheNamedFile() {
        QFETCH(QString, format);
        Write("d/a", "same");
        Write("d/b", "same");
        const QString keep = Write("keep", "keep me");
        QVERIFY(QFile::link(keep, P("link.out")));
        ProgramRun run = RunCli(qPrintable("-q --format " + format + " -o link.out d"));
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Err, QByteArray());
        QVERIFY(!QFileInfo(P("link.out")).isSymLink());
        QVERIFY(ReadAll(P("link.out")).size() > 0);
        QCOMPARE(ReadAll(keep), QByteArray("keep me"));

        SmallDisk disk;
        if (!disk.Mounted)
            QSKIP("a full disk needs a small tmpfs, which only root can mount");
        const QString report = disk.Dir.filePath(QStringLiteral("report.out"));
        QVERIFY(WriteFile(report, "old report"));
        disk.Fill();
        run = RunCli(qPrintable("-q --format " + format + " -o " + report + " d"));
        QCOMPARE(run.ExitCode, 1);
        QCOMPARE(run.Err.count('\n'), 1);
        QVERIFY2(run.Err.contains(": No space left on device"), run.Err.constData());
        QCOMPARE(ReadAll(report), QByteArray("old report"));
        QCOMPARE(QDir(disk.Dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"fill", "report.out"}));
    }

    // The output is opened once, after the search: a reader of a FIFO sees the whole result.
    void streamsNamedAsOutputGetTheResult_data() { AddRows(StreamRows); }
    void streamsNamedAsOutputGetTheResult() {
        const StreamRow &row = StreamRows[Data<int>("row")];
        Write("d/a", "same");
        Write("d/b", "same");
        const bool linked = QFileInfo(QStringLiteral("/dev/stdout")).isSymLink();
        QVERIFY(MakeFifo(P("fifo")));
        QProcess reader;
        reader.start(QStringLiteral("cat"), {P("fifo")});
        QVERIFY(reader.waitForStarted());
        const ProgramRun run =
            RunProgram(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"),
                        QStringLiteral("\"$0\" -q -o %1 d")
                            .arg(QString::fromUtf8(row.Output).replace('%', Root)),
                        QStringLiteral(DUPLISCAN_CLI)},
                       Root, {}, 20000);
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Err, QByteArray());
        const bool fifo = QByteArray(row.Output).endsWith("fifo");
        if (!fifo)
            WriteFile(P("fifo"), ""); // lets the reader finish
        QVERIFY(reader.waitForFinished(20000));
        const QByteArray file = ReadAll(P("file"));
        QCOMPARE(fifo ? reader.readAllStandardOutput() : run.Out + file, Blocks("d/a d/b"));
        QCOMPARE(QFileInfo(QStringLiteral("/dev/stdout")).isSymLink(), linked);
    }

    // A signal that ends the program removes the fingerprint store. The program waits
    // for a reader of its output FIFO, with the store still there, when it gets the signals.
    void endingSignalsRemoveTheStore_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("count");
        QTest::newRow("SIGTERM") << int(SIGTERM) << 1;
        QTest::newRow("second Ctrl+C") << int(SIGINT) << 2;
    }
    void endingSignalsRemoveTheStore() {
        QFETCH(int, signal);
        QFETCH(int, count);
        for (int k = 1; k <= 3; ++k)
            Write(QStringLiteral("pics/%1.png").arg(k), Picture(k, "PNG"));
        QVERIFY(MakeFifo(P("out")) && MakeFolder(P("tmp")));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), P("tmp"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(Root);
        process.start(QStringLiteral(DUPLISCAN_CLI),
                      QStringList{"-q", "--images", "--percent", "90", "-o", "out", "pics"});
        QVERIFY(process.waitForStarted());
        const auto store = [&] { return QDir(P("tmp")).entryList(QDir::Files | QDir::Hidden); };
        QTRY_COMPARE_WITH_TIMEOUT(store().size(), 2, 20000);
        for (int k = 0; k < count; ++k) {
            QTRY_VERIFY(!SignalPending(process.processId(), signal));
            QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
        }
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(store(), QStringList());
    }

    // Damaged pictures are passed over without a word from their decoders.
    void decodersSayNothing() {
        const QByteArray jpeg = Picture(1, "JPEG"), png = Picture(2, "PNG");
        Write("pics/cut.jpg", jpeg.left(jpeg.size() / 2));
        Write("pics/cut.png", png.left(png.size() / 2));
        Write("pics/whole.png", Picture(3, "PNG"));
        const ProgramRun run = RunCli("-q --images --percent 90 pics");
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Err, QByteArray());
    }

    void aFullWorksheetSaysSo() {
        // One block: the sheet's first two rows are its header and an empty row.
        const int files = TNativeXLS::LastRow + 2;
        for (int k = 0; k < files; ++k)
            QVERIFY(WriteFile(P(QString::number(k)), "x"));
        const ProgramRun run = RunCli("-q --format xls -o sheet.xls");
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Err, "dupliscan-cli: the worksheet holds at most 65535 rows: " +
                              QByteArray::number(files - 1 - (TNativeXLS::LastRow - 3)) +
                              " files are missing from it (--format csv writes them all)\n");
    }

    void folderProblemsExitWithOne_data() { AddRows(FolderProblemRows); }
    void folderProblemsExitWithOne() {
        Write("dup", "same");
        Write("sub/dup", "same");
        QCOMPARE(::symlink("dup", Platform::EncodeName(P("link")).constData()), 0);
        QVERIFY(MakeFifo(P("pipe")));
        ExpectError(FolderProblemRows[Data<int>("row")], 1);
    }

    // A folder may be listed without the right to search it (mode r--): the search goes on
    // without it and names it, unless quiet; as a base folder it is refused.
    void foldersThatCannotBeSearchedAreNamed() {
        Write("ok/a", "same");
        Write("ok/b", "same");
        Write("listed/c", "same");
        QVERIFY(SetMode(P("listed"), 0444));
        const auto run = [this](const QString &arguments) {
            return RunProgram(QStringLiteral(DUPLISCAN_CLI),
                              QStringList{"--language", "EN"} + arguments.split(' '), Root, {},
                              60000, OwnerRightsOnly::InChild);
        };
        const ProgramRun all = run(Root), quiet = run("-q " + Root), base = run(P("listed"));
        SetMode(P("listed"), 0755);
        QCOMPARE(all.ExitCode, 0);
        QCOMPARE(all.Out, Blocks("ok/a ok/b"));
        QCOMPARE(all.Err, "Folder not searched: " + P("listed/").toUtf8() + " (" +
                              std::strerror(EACCES) + ")\n");
        QCOMPARE(quiet.Out + quiet.Err, Blocks("ok/a ok/b"));
        QCOMPARE(base.ExitCode, 1);
        QCOMPARE(base.Out, QByteArray());
        QCOMPARE(base.Err, "dupliscan-cli: cannot search the folder \"" + P("listed").toUtf8() +
                               "\" (no permission to open what it holds)\n");
    }

    void usageErrorsExitWithTwo_data() { AddRows(UsageRows); }
    void usageErrorsExitWithTwo() {
        const UsageRow &row = UsageRows[Data<int>("row")];
        const ProgramRun run = RunCli(row.Arguments);
        QCOMPARE(run.ExitCode, 2);
        QCOMPARE(run.Out, QByteArray());
        QCOMPARE(run.Err, "dupliscan-cli: " + QByteArray(row.Line) + '\n');
    }

    void helpTextsStartInOneColumn() {
        const ProgramRun run = RunCli("-h");
        QVERIFY(run.ExitCode == 0 && run.Out.startsWith("Usage: dupliscan-cli"));
        QVERIFY(run.Out.contains("content match in percent, 60..100 (default 100)\n"));
        // Every text starts in the column where a text that goes on starts.
        const QList<QByteArray> lines = run.Out.split('\n');
        const auto goesOn = std::find_if(lines.begin(), lines.end(), [](const QByteArray &line) {
            return line.startsWith("    ");
        });
        QVERIFY(goesOn != lines.end());
        const qsizetype column = goesOn->size() - goesOn->trimmed().size();
        int options = 0;
        for (const QByteArray &line : lines) {
            if (!line.startsWith("  -") || line.size() <= column)
                continue;
            ++options;
            QVERIFY2(line[column - 1] == ' ' && line[column] != ' ', line.constData());
        }
        QVERIFY(options > 20);
    }

    void aFileIsNeverItsOwnDuplicate() {
        const QByteArray a = Platform::EncodeName(Write("d/a", "only one file"));
        QCOMPARE(::link(a.constData(), (a + "-hard").constData()), 0);
        QCOMPARE(::symlink(a.constData(), (a + "-soft").constData()), 0);
        QCOMPARE(::symlink("d", Platform::EncodeName(P("link-to-d")).constData()), 0);
        const ProgramRun run = RunCli("-q --no-subfolders d link-to-d");
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Out + run.Err, QByteArray());
    }

    void interruptPrintsTheBlocksSoFar() {
        Write("a1", "small");
        Write("a2", "small");
        // Large sparse files that agree up to their last byte keep the compare
        // busy. Holes in both files are passed over, so every other mebibyte
        // stores zeros: in odd ones here, in even ones there.
        for (int k = 1; k <= 4; ++k) {
            QFile file(P(QStringLiteral("z%1").arg(k)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize((1 << 30) - 1));
            for (int mib = k % 2; mib < 1023; mib += 2)
                QVERIFY(file.seek(qint64(mib) << 20) && file.write(QByteArray(4096, '\0')) == 4096);
            QVERIFY(file.seek((1 << 30) - 1) && file.putChar(char(k)));
        }
        const QByteArray before = Listing(Root);
        QProcess process;
        process.start(QStringLiteral(DUPLISCAN_CLI), {QStringLiteral("-q"), Root});
        QVERIFY(process.waitForStarted());
        // Wait until it reads one of the large files far beyond its start: the
        // starts are read ahead, before any block is found.
        const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
        const auto reading = [&] {
            const QFileInfoList open = QDir(fds).entryInfoList(QDir::System | QDir::Files);
            return std::any_of(open.begin(), open.end(), [&](const QFileInfo &fd) {
                QFile info(QStringLiteral("/proc/%1/fdinfo/%2")
                               .arg(process.processId())
                               .arg(fd.fileName()));
                if (!fd.symLinkTarget().startsWith(P("z")) || !info.open(QIODevice::ReadOnly))
                    return false;
                const QByteArray position = info.readLine(); // "pos:\t1234"
                return position.startsWith("pos:") &&
                       position.mid(4).trimmed().toLongLong() > 1 << 20;
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(reading(), 20000);
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
