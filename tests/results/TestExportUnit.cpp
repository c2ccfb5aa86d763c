#include "platform/Platform.h"
#include "results/ExportUnit.h"
#include "results/ResultListUnit.h"
#include "search/CompareDriver.h"
#include "search/SearchHost.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <bit>
#include <initializer_list>
#include <numeric>

namespace {
struct ListRow {
    QString Text;
    quint8 Percent;
    qint32 Size;
    qint64 WriteTime;
};

// Appends a block the way the match list holds it after a run: head first,
// every member pointing at the head's row, one colour per block.
void AddBlock(std::initializer_list<ListRow> files) {
    FileList &list = MatchList();
    static std::size_t blocks = 0;
    const int head = int(list.size());
    const quint32 color = BlockColors[blocks++ % BlockColors.size()];
    for (const ListRow &row : files) {
        FileEntry entry;
        entry.Text = row.Text;
        entry.Record = std::make_unique<FileRecord>();
        entry.Record->Percent = row.Percent;
        entry.Record->Size = row.Size;
        entry.Record->WriteTime = row.WriteTime;
        entry.Record->Group = head;
        entry.Record->IsBlockHead = int(list.size()) == head;
        entry.Record->BlockColor = color;
        list.push_back(std::move(entry));
    }
}

qint64 FileTime(int year, int month, int day, int hour) {
    return Platform::FileTimeFromUnix(
        QDateTime(QDate(year, month, day), QTime(hour, 0), Qt::UTC).toSecsSinceEpoch(), 0);
}

const qint64 July = FileTime(2010, 7, 1, 12);
const qint64 February = FileTime(2011, 2, 14, 12);

QString Date(qint64 fileTime) {
    FileRecord r;
    r.WriteTime = fileTime;
    return DateText(r);
}

// The two blocks most cases export: an exact block of three and a similarity
// block of three whose members carry their own percentages.
void AddTwoBlocks() {
    AddBlock({{"Backup/a.jpg", 100, 204800, July},
              {"Fotos/a.jpg", 100, 204800, July},
              {"Fotos/b.jpg", 100, 204800, February}});
    AddBlock({{"docs/h.txt", 100, 10, July},
              {"docs/i.txt", 87, 12, February},
              {"old/h.txt", 64, 11, July}});
}

// A worksheet read back record by record: cells by 0-based row and column.
struct Sheet {
    QMap<int, QMap<int, QVariant>> Cells;
    QList<QByteArray> Widths;
    bool Ended = false;
    bool DefaultAttributes = true;
};

quint16 U16(const QByteArray &data, int at) {
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(data.constData() + at));
}

Sheet ReadSheet(const QByteArray &bytes) {
    Sheet sheet;
    for (int at = 0; at + 4 <= bytes.size();) {
        const quint16 id = U16(bytes, at);
        const QByteArray data = bytes.mid(at + 4, U16(bytes, at + 2));
        at += 4 + int(data.size());
        if (id == 0x0024)
            sheet.Widths.append(data);
        if (id == 0x000A)
            sheet.Ended = true;
        if (id < 2 || id > 4)
            continue;
        if (data.mid(4, 3) != QByteArray::fromHex("400000"))
            sheet.DefaultAttributes = false;
        QVariant value;
        if (id == 0x0002)
            value = int(U16(data, 7));
        else if (id == 0x0003)
            value = std::bit_cast<double>(
                qFromLittleEndian<quint64>(reinterpret_cast<const uchar *>(data.constData() + 7)));
        else
            value = data.mid(8, quint8(data.at(7)));
        sheet.Cells[U16(data, 0)][U16(data, 2)] = value;
    }
    return sheet;
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QVariantList Line(int percent, const QByteArray &file1, const QByteArray &file2, double size1,
                  double size2, qint64 time1, qint64 time2) {
    return {percent, file1, file2, size1, size2, Date(time1).toLatin1(), Date(time2).toLatin1()};
}

const QVariantList HeaderCells = {QByteArray("Match%"), QByteArray("File 1"), QByteArray("File 2"),
                                  QByteArray("Size 1"), QByteArray("Size 2"), QByteArray("Date 1"),
                                  QByteArray("Date 2")};
const QByteArray CsvHeader = "Match%\tFile 1\tFile 2\tSize 1\tSize 2\tDate 1\tDate 2\r\n";

// Compares the sheet row by row; an empty expected row must hold no cell.
void CompareRows(const Sheet &sheet, const QList<QVariantList> &rows) {
    int filled = 0;
    for (int r = 0; r < rows.size(); ++r) {
        const QVariantList actual = sheet.Cells.value(r).values();
        QCOMPARE(actual, rows[r]);
        QList<int> columns(rows[r].size());
        std::iota(columns.begin(), columns.end(), 0);
        QCOMPARE(sheet.Cells.value(r).keys(), columns);
        filled += rows[r].isEmpty() ? 0 : 1;
    }
    QCOMPARE(sheet.Cells.size(), filled);
}

class CountingHost : public SearchHost {
public:
    void ProcessMessages() override { ++Calls; }
    int Calls = 0;
};
} // namespace

class TestExportUnit : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ResetSearchContext();
        Context().CommonBaseFolder = QStringLiteral("/data/");
        DateView() = DateOnly;
        ClearMatchList();
    }

    void cleanup() {
        ClearMatchList();
        SetHost(nullptr);
    }

    void xlsHoldsOneLinePerFileBesideItsHead() {
        AddTwoBlocks();
        QTemporaryDir dir;
        QString name = dir.filePath(QStringLiteral("result"));
        QVERIFY(ExportXls(name));
        const Sheet sheet = ReadSheet(ReadAll(name));
        QVERIFY(sheet.Ended);
        QVERIFY(sheet.DefaultAttributes);
        QCOMPARE(sheet.Widths, (QList<QByteArray>{QByteArray::fromHex("00000008"),
                                                  QByteArray::fromHex("01020028"),
                                                  QByteArray::fromHex("05060010")}));
        CompareRows(
            sheet,
            {HeaderCells,
             {},
             Line(100, "/data/Backup/a.jpg", "/data/Fotos/a.jpg", 204800, 204800, July, July),
             Line(100, "/data/Backup/a.jpg", "/data/Fotos/b.jpg", 204800, 204800, July, February),
             {},
             Line(87, "/data/docs/h.txt", "/data/docs/i.txt", 10, 12, July, February),
             Line(64, "/data/docs/h.txt", "/data/old/h.txt", 10, 11, July, July)});
    }

    void csvHoldsTheSameTableAsText() {
        AddTwoBlocks();
        DateView() = DateAndTime;
        QTemporaryDir dir;
        QString name = dir.filePath(QStringLiteral("result"));
        QVERIFY(ExportCsv(name));
        const QByteArray d1 = Date(July).toUtf8(), d2 = Date(February).toUtf8();
        QVERIFY(d1.contains("  "));
        QCOMPARE(ReadAll(name),
                 CsvHeader + "\r\n" +
                     "100%\t/data/Backup/a.jpg\t/data/Fotos/a.jpg\t204800\t204800\t" + d1 + '\t' +
                     d1 + "\r\n" + "100%\t/data/Backup/a.jpg\t/data/Fotos/b.jpg\t204800\t204800\t" +
                     d1 + '\t' + d2 + "\r\n" + "\r\n" +
                     "87%\t/data/docs/h.txt\t/data/docs/i.txt\t10\t12\t" + d1 + '\t' + d2 + "\r\n" +
                     "64%\t/data/docs/h.txt\t/data/old/h.txt\t10\t11\t" + d1 + '\t' + d1 + "\r\n");
    }

    void emptyListGivesTheHeaderOnly() {
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QVERIFY(WriteCsv(buffer));
        QCOMPARE(buffer.data(), CsvHeader);
        QBuffer closed;
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): device not open");
        QVERIFY(!WriteCsv(closed));
    }

    void extensionOnlyWhenTheNameHasNoDot_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("xls");
        QTest::addColumn<QString>("csv");
        QTest::newRow("plain") << "out"
                               << "out.xls"
                               << "out.csv";
        QTest::newRow("dot in the middle") << "report.2011"
                                           << "report.2011"
                                           << "report.2011";
        QTest::newRow("dot at the end") << "out."
                                        << "out."
                                        << "out.";
        QTest::newRow("dot only in the folder") << "my.dir/out"
                                                << "my.dir/out.xls"
                                                << "my.dir/out.csv";
    }

    void extensionOnlyWhenTheNameHasNoDot() {
        QFETCH(QString, name);
        QFETCH(QString, xls);
        QFETCH(QString, csv);
        AddTwoBlocks();
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("my.dir")));
        QString xlsName = dir.filePath(name);
        QVERIFY(ExportXls(xlsName));
        QCOMPARE(xlsName, dir.filePath(xls));
        QVERIFY(ReadAll(xlsName).startsWith(QByteArray::fromHex("09080600")));
        QString csvName = dir.filePath(name);
        QVERIFY(ExportCsv(csvName));
        QCOMPARE(csvName, dir.filePath(csv));
        QVERIFY(ReadAll(csvName).startsWith(CsvHeader));
    }

    void xlsReplacesAnExistingFileButNotWhatALinkPointsTo() {
        AddTwoBlocks();
        QTemporaryDir dir;
        QFile old(dir.filePath(QStringLiteral("old.xls")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QString name = old.fileName();
        QVERIFY(ExportXls(name));
        QVERIFY(ReadSheet(ReadAll(name)).Ended);

        QFile target(dir.filePath(QStringLiteral("keep.txt")));
        QVERIFY(target.open(QIODevice::WriteOnly) && target.write("keep") == 4);
        target.close();
        QString link = dir.filePath(QStringLiteral("link.xls"));
        QVERIFY(QFile::link(target.fileName(), link));
        QVERIFY(ExportXls(link));
        QCOMPARE(ReadAll(target.fileName()), QByteArray("keep"));
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(ReadSheet(ReadAll(link)).Ended);
    }

    void xlsFailsBeforeWritingWhenTheOldOneStays() {
        AddTwoBlocks();
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("in-the-way.xls/inner")));
        QString name = dir.filePath(QStringLiteral("in-the-way.xls"));
        QVERIFY(!ExportXls(name));
        QVERIFY(QFileInfo(name + QStringLiteral("/inner")).isDir());
        QString missing = dir.filePath(QStringLiteral("missing/out"));
        QVERIFY(!ExportXls(missing));
        QVERIFY(!ExportCsv(missing));
    }

    void namesThatAreNotUtf8() {
        AddBlock({{Platform::DecodeName("raw/\xe4.txt"), 100, 3, July},
                  {Platform::DecodeName("raw/\xf6\xfc.txt"), 100, 3, July}});
        QTemporaryDir dir;
        QString xlsName = dir.filePath(QStringLiteral("raw"));
        QVERIFY(ExportXls(xlsName));
        const Sheet sheet = ReadSheet(ReadAll(xlsName));
        QCOMPARE(sheet.Cells[2][1].toByteArray(), QByteArray("/data/raw/?.txt"));
        QCOMPARE(sheet.Cells[2][2].toByteArray(), QByteArray("/data/raw/??.txt"));
        // The text file keeps the exact bytes, so each line names that very file.
        QString csvName = dir.filePath(QStringLiteral("raw"));
        QVERIFY(ExportCsv(csvName));
        QVERIFY(ReadAll(csvName).contains("\t/data/raw/\xe4.txt\t/data/raw/\xf6\xfc.txt\t3\t3\t"));
        // An output name with such bytes is refused rather than written under another name.
        QString rawName = dir.path() + Platform::DecodeName("/\xe4");
        QVERIFY(!ExportXls(rawName));
        QVERIFY(!ExportCsv(rawName));
    }

    void xlsStopsAtTheLastSheetRow() {
        FileList &list = MatchList();
        list.reserve(70000);
        AddBlock({{"head", 100, 1, July}});
        for (int i = 1; i < 70000; ++i) {
            FileEntry entry;
            entry.Text = QString::number(i);
            entry.Record = std::make_unique<FileRecord>(*list.front().Record);
            entry.Record->IsBlockHead = false;
            list.push_back(std::move(entry));
        }
        QTemporaryDir dir;
        QString name = dir.filePath(QStringLiteral("long"));
        QVERIFY(ExportXls(name));
        const Sheet sheet = ReadSheet(ReadAll(name));
        QVERIFY(sheet.Ended);
        // Header, empty row, then lines up to the row before the last.
        QCOMPARE(sheet.Cells.lastKey(), 65533);
        QCOMPARE(sheet.Cells.size(), 1 + 65532);
        QCOMPARE(sheet.Cells[65533][2].toByteArray(), QByteArray("/data/65532"));
    }

    void messagesAreProcessedEvery256Rows() {
        AddBlock({{"head", 100, 1, July}});
        for (int i = 1; i < 600; ++i)
            AddBlock({{QString::number(i), 100, 1, July}});
        CountingHost host;
        SetHost(&host);
        QTemporaryDir dir;
        QString name = dir.filePath(QStringLiteral("rows"));
        QVERIFY(ExportXls(name));
        QCOMPARE(host.Calls, 3);
        QVERIFY(ExportCsv(name));
        QCOMPARE(host.Calls, 6);
    }

    // LibreOffice reads a sheet that names no code page as Windows-1252; this
    // proves the umlauts come back as written.
    void libreOfficeReadsTheCellsBack() {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QFAIL("soffice not found: this check needs LibreOffice (scripts/install-deps.sh "
                  "--tests installs libreoffice-calc-nogui)");
        const QString longName = QStringLiteral("lang/") + QString(300, QLatin1Char('x'));
        Context().CommonBaseFolder = QStringLiteral("/srv/Daten/");
        AddBlock({{QStringLiteral("Fotos/Ärger/äöüß.jpg"), 100, 2147483647, July},
                  {QStringLiteral("Größe/Übung ß.jpg"), 100, 2147483647, February},
                  {QStringLiteral("日本/x€.jpg"), 100, 2147483647, July}});
        AddBlock({{longName, 100, 0, July},
                  {Platform::DecodeName("raw/\xe4\xf6.txt"), 87, 5, February}});
        QTemporaryDir dir;
        QString name = dir.filePath(QStringLiteral("umlauts"));
        QVERIFY(ExportXls(name));

        QProcess office;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        office.setProcessEnvironment(environment);
        office.setProcessChannelMode(QProcess::MergedChannels);
        office.start(soffice,
                     {QStringLiteral("-env:UserInstallation=") +
                          QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                      QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                      QStringLiteral("csv:Text - txt - csv (StarCalc):9,34,76"),
                      QStringLiteral("--outdir"), dir.filePath(QStringLiteral("out")), name});
        QVERIFY2(office.waitForFinished(240000), qPrintable(office.errorString()));
        const QByteArray csv = ReadAll(dir.filePath(QStringLiteral("out/umlauts.csv")));
        QVERIFY2(!csv.isEmpty(), office.readAll().constData());

        QList<QStringList> rows;
        for (const QString &line : QString::fromUtf8(csv).split(QLatin1Char('\n'))) {
            QStringList cells = line.split(QLatin1Char('\t'));
            while (!cells.isEmpty() && cells.last().isEmpty())
                cells.removeLast();
            rows.append(cells);
        }
        while (!rows.isEmpty() && rows.last().isEmpty())
            rows.removeLast();
        const QString head = QStringLiteral("/srv/Daten/Fotos/Ärger/äöüß.jpg");
        const QString longHead = (QStringLiteral("/srv/Daten/") + longName).left(255);
        const QString big = QStringLiteral("2147483647");
        const QList<QStringList> expected = {
            {"Match%", "File 1", "File 2", "Size 1", "Size 2", "Date 1", "Date 2"},
            {},
            {"100", head, "/srv/Daten/Größe/Übung ß.jpg", big, big, Date(July), Date(February)},
            {"100", head, "/srv/Daten/?\?/x€.jpg", big, big, Date(July), Date(July)},
            {},
            {"87", longHead, "/srv/Daten/raw/??.txt", "0", "5", Date(July), Date(February)}};
        QCOMPARE(rows, expected);
    }

    void commandLineWritesBothFiles() {
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("in"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("in/ä")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("in/ö")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
        for (const QString &file :
             {in + QStringLiteral("/ä/one.txt"), in + QStringLiteral("/ö/two.txt")}) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("same") == 4);
        }
        const QString one = in + QStringLiteral("/ä/one.txt");
        const QString two = in + QStringLiteral("/ö/two.txt");
        const QString date = QFileInfo(one).lastModified().toString(QStringLiteral("yyyy-MM-dd"));
        const QString date2 = QFileInfo(two).lastModified().toString(QStringLiteral("yyyy-MM-dd"));

        auto run = [&](const QString &format, const QString &output) {
            QProcess cli;
            cli.setProcessChannelMode(QProcess::MergedChannels);
            cli.start(QStringLiteral(DUPLISCAN_CLI),
                      {QStringLiteral("--quiet"), QStringLiteral("--format"), format,
                       QStringLiteral("-o"), output, in});
            return cli.waitForFinished(60000) && cli.exitStatus() == QProcess::NormalExit &&
                   cli.exitCode() == 0;
        };
        QVERIFY(run(QStringLiteral("xls"), dir.filePath(QStringLiteral("out/result"))));
        const Sheet sheet = ReadSheet(ReadAll(dir.filePath(QStringLiteral("out/result.xls"))));
        QVERIFY(sheet.Ended);
        CompareRows(sheet, {HeaderCells,
                            {},
                            {100, one.toLatin1(), two.toLatin1(), 4.0, 4.0, date.toLatin1(),
                             date2.toLatin1()}});

        QVERIFY(run(QStringLiteral("csv"), dir.filePath(QStringLiteral("out/result.csv"))));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("out/result.csv"))),
                 CsvHeader + "\r\n100%\t" + one.toUtf8() + '\t' + two.toUtf8() + "\t4\t4\t" +
                     date.toUtf8() + '\t' + date2.toUtf8() + "\r\n");
    }
};

QTEST_GUILESS_MAIN(TestExportUnit)
#include "TestExportUnit.moc"
