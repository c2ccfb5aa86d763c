#include "cli/CliOutput.h"
#include "results/ExportUnit.h"
#include "results/ResultListUnit.h"
#include "search/CompareDriver.h"
#include "search/SearchRun.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QtEndian>

using namespace TestSupport;

namespace {
struct ListRow {
    QString Text;
    quint8 Percent;
    qint64 Size;
    qint64 WriteTime;
};

// Appends a block the way the match list holds it after a run: head first,
// every member pointing at the head's row.
void AddBlock(std::initializer_list<ListRow> files) {
    FileList &list = MatchList();
    const int head = int(list.size());
    for (const ListRow &row : files) {
        const FileRecord r{
            .Size = row.Size, .WriteTime = row.WriteTime, .Group = head, .Percent = row.Percent};
        list.push_back({row.Text, std::make_unique<FileRecord>(r)});
        list.back().Record->IsBlockHead = int(list.size()) == head + 1;
    }
}

void AddRow(const QString &text, int head, bool isHead) {
    const FileRecord r{.Size = 1, .Group = head, .Percent = 100};
    MatchList().push_back({text, std::make_unique<FileRecord>(r)});
    MatchList().back().Record->IsBlockHead = isHead;
}

const qint64 July = Platform::FileTimeFromUnix(1277985600, 0);     // 2010-07-01 12:00 UTC
const qint64 February = Platform::FileTimeFromUnix(1297684800, 0); // 2011-02-14 12:00 UTC

QByteArray Date(qint64 fileTime) {
    return DateText(FileRecord{.WriteTime = fileTime}).toUtf8();
}
quint16 U16(const QByteArray &data, int at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}

// A worksheet read back as lines of tab-separated cells: whole numbers get a
// '%' as in the text file, and Types holds i, n or t for each cell of a row.
struct Sheet {
    QByteArrayList Rows, Types, Widths;
    bool Ended = false;
    bool DefaultAttributes = true;
};
Sheet ReadSheet(const QByteArray &bytes) {
    Sheet sheet;
    for (int at = 0; at + 4 <= bytes.size();) {
        const quint16 id = U16(bytes, at);
        const QByteArray data = bytes.mid(at + 4, U16(bytes, at + 2));
        at += 4 + int(data.size());
        sheet.Ended = id == 0x000A;
        if (id == 0x0024)
            sheet.Widths.append(data.toHex());
        if (id < 2 || id > 4)
            continue;
        sheet.DefaultAttributes &= data.mid(4, 3) == QByteArray::fromHex("400000");
        const int row = U16(data, 0);
        while (sheet.Rows.size() <= row)
            sheet.Rows.append(QByteArray()), sheet.Types.append(QByteArray());
        if (U16(data, 2) != sheet.Types[row].size())
            sheet.Types[row] += '!';
        sheet.Rows[row] += sheet.Types[row].isEmpty() ? "" : "\t";
        sheet.Types[row] += "  int"[id];
        if (id == 2)
            sheet.Rows[row] += QByteArray::number(U16(data, 7)) + '%';
        else if (id == 3)
            sheet.Rows[row] +=
                QByteArray::number(qFromLittleEndian<double>(data.constData() + 7), 'g', 17);
        else
            sheet.Rows[row] += data.mid(8, quint8(data.at(7)));
    }
    return sheet;
}

const QByteArray Header = "Match%\tFile 1\tFile 2\tSize 1\tSize 2\tDate 1\tDate 2";

} // namespace

class TestExportUnit : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ResetSearchContext();
        Context().CommonBaseFolder = QStringLiteral("/data/");
        DateView() = DateAndTime;
        ClearMatchList();
    }
    void cleanup() {
        ClearMatchList();
        SetHost(nullptr);
    }

    void xlsAndCsvHoldOneLinePerFileBesideItsHead() {
        AddBlock({{"Backup/a.jpg", 100, 204800, July},
                  {"Fotos/a.jpg", 100, 204800, July},
                  {"Fotos/b.jpg", 100, 204800, February}});
        AddBlock({{"docs/h.txt", 100, 10, July},
                  {"docs/i.txt", 87, 12, February},
                  {Platform::DecodeName("raw/\xe4.txt"), 64, 11, July}});
        const QByteArray j = '\t' + Date(July), f = '\t' + Date(February);
        QVERIFY(j.contains("  "));
        const QByteArrayList lines = {
            Header,
            "",
            "100%\t/data/Backup/a.jpg\t/data/Fotos/a.jpg\t204800\t204800" + j + j,
            "100%\t/data/Backup/a.jpg\t/data/Fotos/b.jpg\t204800\t204800" + j + f,
            "",
            "87%\t/data/docs/h.txt\t/data/docs/i.txt\t10\t12" + j + f,
            "64%\t/data/docs/h.txt\t/data/raw/\xe4.txt\t10\t11" + j + j};
        TestSupport::TempFolder dir;
        QString name = dir.filePath(QStringLiteral("result"));
        QVERIFY(ExportXls(name));
        const Sheet sheet = ReadSheet(ReadAll(name));
        QVERIFY(sheet.Ended && sheet.DefaultAttributes);
        QCOMPARE(sheet.Widths, (QByteArrayList{"00000008", "01020028", "05060010"}));
        // The sheet's text is Windows-1252; the text file keeps a name's exact bytes.
        QByteArrayList sheetLines = lines;
        sheetLines.last().replace('\xe4', '?');
        QCOMPARE(sheet.Rows, sheetLines);
        QCOMPARE(sheet.Types[2], QByteArray("ittnntt"));
        QVERIFY(ExportCsv(name = dir.filePath(QStringLiteral("result"))));
        QCOMPARE(ReadAll(name), lines.join("\r\n") + "\r\n");
        ClearMatchList();
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly) && WriteCsv(buffer));
        QCOMPARE(buffer.data(), Header + "\r\n");
    }

    // The save dialog's answer: its own extension decides the format, else
    // the chosen filter; the written name gets an extension only without a dot.
    void formatAndNameOfTheDialogsAnswer_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("csvChosen");
        QTest::addColumn<bool>("csvWritten");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain, worksheet") << "/d/Dupliscan" << false << false << "/d/Dupliscan.xls";
        QTest::newRow("plain, text") << "/d/Dupliscan" << true << true << "/d/Dupliscan.csv";
        QTest::newRow("csv name, worksheet chosen") << "/d/r.CSV" << false << true << "/d/r.CSV";
        QTest::newRow("xls name, text chosen") << "/d/r.xls" << true << false << "/d/r.xls";
        QTest::newRow("other dot") << "/d/report.2011" << true << true << "/d/report.2011";
        QTest::newRow("a dot at the end") << "/d/out." << false << false << "/d/out.";
        QTest::newRow("dot in the folder") << "/d/a.csv/r" << false << false << "/d/a.csv/r.xls";
        QTest::newRow("extension alone") << "/d/.csv" << false << true << "/d/.csv";
    }
    void formatAndNameOfTheDialogsAnswer() {
        QFETCH(QString, answer);
        QFETCH(bool, csvChosen);
        QFETCH(bool, csvWritten);
        QFETCH(QString, written);
        const ExportFormat format =
            ExportFormatOf(answer, csvChosen ? ExportFormat::Csv : ExportFormat::Xls);
        QCOMPARE(format == ExportFormat::Csv, csvWritten);
        QCOMPARE(ExportFileName(answer, format), written);
    }

    // A "-" line opens every block and closes the list; rows without a file
    // are left out.
    void clipboardListsThePathsBlockByBlock_data() {
        QTest::addColumn<QList<int>>("blocks"); // files per block; 0 adds an empty slot
        QTest::addColumn<QString>("text");
        QTest::newRow("no result") << QList<int>{} << "";
        QTest::newRow("two blocks") << QList<int>{2, 3}
                                    << "-\n/data/0-0\n/data/0-1\n-\n/data/2-0\n/data/2-1\n"
                                       "/data/2-2\n-\n";
        QTest::newRow("empty slot")
            << QList<int>{2, 0, 2} << "-\n/data/0-0\n/data/0-1\n-\n/data/3-0\n/data/3-1\n-\n";
    }
    void clipboardListsThePathsBlockByBlock() {
        QFETCH(QList<int>, blocks);
        QFETCH(QString, text);
        for (const int files : blocks) {
            const int head = int(MatchList().size());
            if (files == 0)
                MatchList().push_back({QStringLiteral("gone"), nullptr});
            for (int k = 0; k < files; ++k)
                AddRow(QStringLiteral("%1-%2").arg(head).arg(k), head, k == 0);
        }
        QCOMPARE(ResultListText(), text);
    }

    void fileNameOfARow() {
        AddBlock({{"a/one.txt", 100, 3, July}, {"b/two.txt", 100, 3, July}});
        MatchList().push_back({QStringLiteral("gone"), nullptr});
        QCOMPARE(RowFileName(1), QStringLiteral("/data/b/two.txt"));
        for (const int row : {-1, 2, 3})
            QVERIFY(RowFileName(row).isEmpty());
    }

    void writersReplaceOnlyTheNamedFile() {
        AddBlock({{"a", 100, 3, July}, {"b", 100, 3, July}});
        TestSupport::TempFolder dir;
        QString old = dir.filePath(QStringLiteral("old.xls"));
        QVERIFY(WriteFile(old, "old") && ExportXls(old) && ReadSheet(ReadAll(old)).Ended);
        // An existing link is replaced by the new file; what it points to stays.
        const QString target = dir.filePath(QStringLiteral("keep.txt"));
        QVERIFY(WriteFile(target, "keep"));
        for (const char *name : {"link.xls", "link.csv"}) {
            QString link = dir.filePath(QLatin1String(name));
            const bool xls = link.endsWith(QLatin1String("xls"));
            QVERIFY(QFile::link(target, link) && (xls ? ExportXls(link) : ExportCsv(link)));
            QVERIFY(!QFileInfo(link).isSymLink());
            QVERIFY(xls ? ReadSheet(ReadAll(link)).Ended : ReadAll(link).startsWith(Header));
        }
        QCOMPARE(ReadAll(target), QByteArray("keep"));
        // On failure the old file stays as it was, and the caller learns why.
        const std::pair<const char *, const char *> failures[] = {
            {"read-only", "Permission denied"},
            {"in-the-way", "Is a directory"},
            {"missing/out", "No such file or directory"}};
        QString readOnly = dir.filePath(QStringLiteral("read-only"));
        QVERIFY(WriteFile(readOnly + ".xls", "old") && WriteFile(readOnly + ".csv", "old"));
        QVERIFY(QFile::setPermissions(readOnly + ".xls", QFile::ReadOwner) &&
                QFile::setPermissions(readOnly + ".csv", QFile::ReadOwner));
        QVERIFY(MakeFolder(dir.filePath(QStringLiteral("in-the-way.xls"))) &&
                MakeFolder(dir.filePath(QStringLiteral("in-the-way.csv"))));
        const QByteArray before = Listing(dir.path());
        for (const auto &[name, cause] : failures) {
            QString xls = dir.filePath(QLatin1String(name)), csv = xls, xlsError, csvError;
            QVERIFY(!ExportXls(xls, &xlsError) && !ExportCsv(csv, &csvError));
            QCOMPARE(xlsError, QLatin1String(cause));
            QCOMPARE(csvError, QLatin1String(cause));
        }
        QCOMPARE(Listing(dir.path()), before);
        // A name that is not UTF-8 is written under exactly its bytes.
        QString rawXls = dir.path() + Platform::DecodeName("/\xe4"), rawCsv = rawXls;
        QVERIFY(ExportXls(rawXls) && ExportCsv(rawCsv));
        QVERIFY(Platform::StatPath(rawXls, false).IsFile &&
                Platform::StatPath(rawCsv, false).IsFile);
    }

    void xlsStopsAtTheLastSheetRow() {
        FileList &list = MatchList();
        for (int i = 0; i < 65600; ++i)
            list.push_back({QString::number(i),
                            std::make_unique<FileRecord>(
                                FileRecord{.Group = 0, .Percent = 100, .IsBlockHead = i == 0})});
        RecordingHost host;
        HostGuard guard(host);
        TestSupport::TempFolder dir;
        QString name = dir.filePath(QStringLiteral("long"));
        int leftOut = -1;
        QVERIFY(ExportXls(name, nullptr, &leftOut));
        // Header, empty row, then lines up to the row before the last; the
        // files beyond are counted.
        const Sheet sheet = ReadSheet(ReadAll(name));
        QVERIFY(sheet.Ended);
        QCOMPARE(sheet.Rows.size(), 65534);
        QVERIFY(sheet.Rows.last().startsWith("100%\t/data/0\t/data/65532\t"));
        QCOMPARE(leftOut, 65599 - 65532);
        // Messages are processed every 256 files.
        QCOMPARE(host.MessageCalls, 65600 / 256 + 1);
    }

    // LibreOffice reads a sheet that names no code page as Windows-1252; this
    // proves the umlauts come back as written.
    void libreOfficeReadsTheCellsBack() {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("soffice not found: this check needs LibreOffice (scripts/install-deps.sh "
                  "--tests installs libreoffice-calc-nogui)");
        const QString longName = QStringLiteral("lang/") + QString(300, QLatin1Char('x'));
        Context().CommonBaseFolder = QStringLiteral("/srv/Daten/");
        AddBlock({{QStringLiteral("Fotos/Ärger/ÖÜäöüß.jpg"), 100, 2147483647, July},
                  {QStringLiteral("日本/x€.jpg"), 100, 2147483647, February}});
        AddBlock({{longName, 100, 0, July},
                  {Platform::DecodeName("raw/\xe4\xf6.txt"), 87, 5, February}});
        TestSupport::TempFolder dir;
        QString name = dir.filePath(QStringLiteral("umlauts"));
        QVERIFY(ExportXls(name));
        const ProgramRun office = RunProgram(
            soffice,
            {QStringLiteral("-env:UserInstallation=") +
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"),
             QStringLiteral("csv:Text - txt - csv (StarCalc):9,34,76"), QStringLiteral("--outdir"),
             dir.filePath(QStringLiteral("out")), name},
            QString(), {QStringLiteral("HOME=") + dir.filePath(QStringLiteral("home"))}, 240000);
        const QByteArray csv = ReadAll(dir.filePath(QStringLiteral("out/umlauts.csv")));
        QVERIFY2(!csv.isEmpty(), (office.Out + office.Err).constData());
        const QByteArray j = '\t' + Date(July), f = '\t' + Date(February);
        const QByteArray longHead = (QStringLiteral("/srv/Daten/") + longName).left(255).toUtf8();
        const QByteArray none(6, '\t');
        QCOMPARE(
            csv.trimmed().split('\n'),
            (QByteArrayList{Header, none,
                            "100\t/srv/Daten/Fotos/Ärger/ÖÜäöüß.jpg\t/srv/Daten/?\?/"
                            "x€.jpg\t2147483647\t2147483647" +
                                j + f,
                            none, "87\t" + longHead + "\t/srv/Daten/raw/??.txt\t0\t5" + j + f}));
    }

    // Sizes are 64 bits from the scan to every export: of three sparse files
    // of 5 GiB with a few real bytes at different places, the two identical
    // ones are found and the one that differs in its last byte is not; csv,
    // json and the worksheet's number cells carry the exact size.
    void fiveGibibyteTwinsAreFoundAndExportedWithTheirSizes() {
        TestSupport::TempFolder dir;
        const qint64 size = qint64(5) << 30;
        const QByteArray bytes = RandomData(4096, 40);
        for (const QString name : {"twin1", "twin2", "z-last-byte"}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
            for (const qint64 at : {qint64(100), qint64(3) << 30, size - bytes.size()})
                QVERIFY(file.seek(at) && file.write(bytes) == bytes.size());
            if (name.startsWith('z'))
                QVERIFY(file.seek(size - 1) && file.write("?") == 1);
        }
        RecordingHost host;
        HostGuard guard(host);
        SearchRequest request;
        request.Folder1 = dir.path();
        request.Options.MaxDuplicates = 0;
        const SearchResult result = RunSearch(request);
        QCOMPARE(result.Matches, 1);
        const QByteArray pair = "100%\t" + Platform::EncodeName(dir.filePath("twin1")) + '\t' +
                                Platform::EncodeName(dir.filePath("twin2")) +
                                "\t5368709120\t5368709120\t";
        QBuffer csv, json;
        QVERIFY(csv.open(QIODevice::WriteOnly) && WriteCsv(csv));
        QCOMPARE(csv.data().count(pair), 1);
        QVERIFY(json.open(QIODevice::WriteOnly) && WriteJson(json, result.Outcome, result.Matches));
        const QJsonArray blocks = QJsonDocument::fromJson(json.data())["blocks"].toArray();
        QCOMPARE(blocks.size(), 1);
        for (const QJsonValue file : blocks[0]["files"].toArray())
            QCOMPARE(file["size"].toInteger(), size);
        QCOMPARE(json.data().count("\"size\": 5368709120\n"), 2);
        QString xls = dir.filePath(QStringLiteral("result"));
        QVERIFY(ExportXls(xls));
        QCOMPARE(ReadSheet(ReadAll(xls)).Rows.value(2).count(pair), 1);
        for (const char *name : {"twin1", "twin2", "z-last-byte"})
            QVERIFY(QFile::remove(dir.filePath(name)));
    }

    // The worksheet the command line writes is TestCli's; the text file, with
    // dates without their time, is checked here.
    void commandLineWritesTheTextFile() {
        TestSupport::TempFolder dir;
        const QString one = dir.filePath(QStringLiteral("in/ä/one")),
                      two = dir.filePath(QStringLiteral("in/ö/two"));
        QVERIFY(MakeFolder(dir.filePath(QStringLiteral("in/ä"))) &&
                MakeFolder(dir.filePath(QStringLiteral("in/ö"))));
        QVERIFY(WriteFile(one, "same") && WriteFile(two, "same"));
        const QString date = QFileInfo(one).lastModified().toString(QStringLiteral("yyyy-MM-dd"));
        const QString csv = dir.filePath(QStringLiteral("result.csv"));
        const QStringList arguments{"--quiet", "--format", "csv", "-o", csv, dir.filePath("in")};
        QCOMPARE(RunProgram(QStringLiteral(DUPLISCAN_CLI), arguments).ExitCode, 0);
        QCOMPARE(ReadAll(csv),
                 Header + "\r\n\r\n" +
                     QStringLiteral("100%\t%1\t%2\t4\t4\t%3\t%3").arg(one, two, date).toUtf8() +
                     "\r\n");
    }
};

QTEST_GUILESS_MAIN(TestExportUnit)
#include "TestExportUnit.moc"
