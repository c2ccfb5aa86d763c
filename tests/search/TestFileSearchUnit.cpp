#include "search/FileSearchUnit.h"

#include "compare/FileCompareUnit.h"
#include "compare/FilterUnit.h"

#include "TestSupport.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

using namespace TestSupport;

namespace {
QByteArray Word(quint32 w) {
    QByteArray bytes;
    for (int k = 0; k < 4; ++k)
        bytes.append(char((w >> (8 * k)) & 0xFF));
    return bytes;
}

QStringList TableTexts() {
    QStringList texts;
    for (const FileEntry &entry : FileTable())
        texts.append(entry.Text);
    return texts;
}

const FileRecord *RecordOf(const QString &text) {
    for (const FileEntry &entry : FileTable())
        if (entry.Text == text)
            return entry.Record.get();
    return nullptr;
}
} // namespace

class TestFileSearchUnit : public QObject {
    Q_OBJECT

    QTemporaryDir *Dir = nullptr;
    QString Root; // with trailing delimiter

    QString Write(const QString &relative, const QByteArray &bytes) const {
        const QString path = Root + relative;
        MakeFolder(path.left(path.lastIndexOf(QLatin1Char('/'))));
        if (!WriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    void Sparse(const QString &relative, qint64 size) const {
        QFile file(Root + relative);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            qFatal("cannot make %s", qPrintable(relative));
    }
    void ScanRoot() {
        Context().CommonBaseFolder = Root;
        ScanFolder(Root);
    }

private slots:
    void init() {
        ResetSearchContext();
        ResetFilter();
        ClearFileTable();
        Dir = new QTemporaryDir;
        Dir->setAutoRemove(false);
        Root = Dir->path() + QLatin1Char('/');
    }
    void cleanup() {
        RemoveTree(Dir->path());
        delete Dir;
        Dir = nullptr;
        ClearFileTable();
        ResetFilter();
        ResetSearchContext();
        SetHost(nullptr);
        FreeCompareBuffers();
        QLocale::setDefault(QLocale::c());
    }

    void onlySizesFromOneByteBelowTwoGibibytesAreAdmitted() {
        Write("empty", {});
        Write("one", "x");
        Sparse("largest", 0x7FFFFFFF);
        Sparse("two-gib", qint64(1) << 31);
        ScanRoot();
        QStringList texts = TableTexts();
        texts.sort();
        QCOMPARE(texts, (QStringList{"largest", "one"}));
        QCOMPARE(RecordOf("largest")->Size, 0x7FFFFFFF);
    }

    void recordsCarryWhatTheScanKnows() {
        const QString path = Write("plain.txt", "12345");
        ScanRoot();
        const FileRecord *r = RecordOf("plain.txt");
        QVERIFY(r);
        QCOMPARE(r->Size, 5);
        QCOMPARE(r->Group, -1);
        QCOMPARE(r->Mark, quint8(Stay));
        QCOMPARE(r->QuickSum, 0u);
        QCOMPARE(r->Percent, quint8(0));
        const qint64 msecs = QFileInfo(path).lastModified().toMSecsSinceEpoch();
        QCOMPARE(Platform::UnixMsecsFromFileTime(r->WriteTime), msecs);
    }

    void readOnlyFilesAreProtected() {
        const QString path = Write("locked.txt", "x");
        Write("free.txt", "y");
        QCOMPARE(::chmod(Platform::EncodeName(path).constData(), 0444), 0);
        ScanRoot();
        QCOMPARE(RecordOf("locked.txt")->Mark, quint8(StayNoDelete));
        QCOMPARE(RecordOf("locked.txt")->Attributes & Platform::AttrReadOnly,
                 Platform::AttrReadOnly);
        QCOMPARE(RecordOf("free.txt")->Mark, quint8(Stay));
    }

    void filesBelowSystemAndProgramFoldersAreProtected() {
        Write("sys/a.txt", "a");
        Write("sys/deep/b.txt", "b");
        Write("prog/c.txt", "c");
        Write("system/d.txt", "d"); // shares the prefix, not the folder
        Context().WindowsFolderUpper = {Root + "sys/"};
        Context().ProgramFilesFolderUpper = {Root + "prog/"};
        ScanRoot();
        QCOMPARE(RecordOf("sys/a.txt")->Mark, quint8(StayNoDelete));
        QCOMPARE(RecordOf("sys/deep/b.txt")->Mark, quint8(StayNoDelete));
        QCOMPARE(RecordOf("prog/c.txt")->Mark, quint8(StayNoDelete));
        QCOMPARE(RecordOf("system/d.txt")->Mark, quint8(Stay));
    }

    void hiddenFilesAndFoldersAreSearched() {
        Write(".hidden", "h");
        Write(".config/inner.txt", "i");
        ScanRoot();
        QVERIFY(RecordOf(".hidden"));
        QCOMPARE(RecordOf(".hidden")->Attributes & Platform::AttrHidden, Platform::AttrHidden);
        QCOMPARE(RecordOf(".hidden")->Mark, quint8(Stay));
        QVERIFY(RecordOf(".config/inner.txt"));
    }

    void foldersAreWalkedDepthFirstInLocaleOrder() {
        Write("top1", "1");
        Write("top2", "2");
        Write("b/in-b", "3");
        Write("A/in-A", "4");
        Write("A/z/in-Az", "5");
        Write("c/in-c", "6");
        Write("a2/in-a2", "7");
        ScanRoot();
        const QStringList texts = TableTexts();
        QCOMPARE(texts.size(), 7);
        QCOMPARE(QSet<QString>(texts.begin(), texts.begin() + 2), (QSet<QString>{"top1", "top2"}));
        QCOMPARE(texts.mid(2),
                 (QStringList{"A/in-A", "A/z/in-Az", "a2/in-a2", "b/in-b", "c/in-c"}));
    }

    void withoutSubfoldersOnlyTheFolderItself() {
        Write("top", "1");
        Write("sub/inner", "2");
        Context().IncludeSubfolders = false;
        ScanRoot();
        QCOMPARE(TableTexts(), QStringList{"top"});
    }

    void entryTextsAreRelativeToTheCommonBaseFolder() {
        Write("a/b.txt", "x");
        ScanRoot();
        QCOMPARE(TableTexts(), QStringList{"a/b.txt"});
        QCOMPARE(FullPathOf(FileTable()[0]), Root + "a/b.txt");

        ClearFileTable();
        Context().CommonBaseFolder.clear();
        ScanFolder(Root);
        QCOMPARE(TableTexts(), QStringList{Root + "a/b.txt"});
        QCOMPARE(FullPathOf(FileTable()[0]), Root + "a/b.txt");
    }

    void theFilterDecidesBeforeARecordIsMade() {
        Write("keep.txt", QByteArray(2048, 'k'));
        Write("small.txt", "s");
        Write("other.log", QByteArray(2048, 'o'));
        Write("x.d/noext", QByteArray(2048, 'n'));
        Write("tool.EXE", QByteArray(2048, 'e'));
        SetFilterLists(QString(), QStringLiteral("log"), QStringLiteral("exe"));
        Filter().MinSizeKB = 2;
        ScanRoot();
        QStringList texts = TableTexts();
        texts.sort();
        QCOMPARE(texts, (QStringList{"keep.txt", "x.d/noext"}));
    }

    void sizeText_data() {
        QTest::addColumn<qint64>("kilobytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "1 KB";
        QTest::newRow("1") << qint64(1) << "1 KB";
        QTest::newRow("1023") << qint64(1023) << "1,023 KB";
        QTest::newRow("1024") << qint64(1024) << "1.0 MB";
        QTest::newRow("1536") << qint64(1536) << "1.5 MB";
        QTest::newRow("just below a GB") << qint64(1048575) << "1,024.0 MB";
        QTest::newRow("1048576") << qint64(1048576) << "1.0 GB";
        QTest::newRow("many GB") << qint64(1536) * 1048576 << "1,536.0 GB";
    }
    void sizeText() {
        QFETCH(qint64, kilobytes);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(SizeText(kilobytes), text);
    }

    void linksAreNeverFollowed() {
        Write("real/file.txt", "r");
        Write("other/x.txt", "x");
        const QByteArray root = Platform::EncodeName(Root);
        QCOMPARE(::symlink("../real/file.txt", (root + "other/file-link").constData()), 0);
        QCOMPARE(::symlink("../real", (root + "other/folder-link").constData()), 0);
        QCOMPARE(::symlink("..", (root + "real/loop").constData()), 0);
        QCOMPARE(::symlink(root.constData(), (root + "real/absolute-loop").constData()), 0);
        QCOMPARE(::symlink("nowhere", (root + "dangling").constData()), 0);
        ScanRoot();
        QStringList texts = TableTexts();
        texts.sort();
        QCOMPARE(texts, (QStringList{"other/x.txt", "real/file.txt"}));
    }

    void fifosAndSocketsAreSkippedWithoutOpening() {
        Write("file.txt", "f");
        const QByteArray fifo = Platform::EncodeName(Root + "fifo");
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = Platform::EncodeName(Root + "socket");
        QVERIFY(socketPath.size() < qsizetype(sizeof address.sun_path));
        std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        QCOMPARE(::listen(fd, 1), 0);
        ScanRoot();
        ::close(fd);
        QCOMPARE(TableTexts(), QStringList{"file.txt"});
    }

    void awkwardNamesAreFoundAsExactlyThatFile() {
        // Names that differ only where a lossy conversion would merge them.
        const QList<QByteArray> names = {
            "new\nline",        "tab\there",  "-leading-dash",   "raw\xff",
            "raw\xfe",          "raw?",       "raw\xef\xbf\xbd", "surrogate\xed\xb2\x80",
            "overlong\xc0\xaf", "back\\slash"};
        QString longFolder;
        for (int k = 0; k < 14; ++k)
            longFolder += QString(200, QChar(u'a' + k)) + QLatin1Char('/');
        QHash<QString, quint32> expected;
        quint32 sum = 100;
        for (const QByteArray &name : names) {
            const QString text = Platform::DecodeName(name);
            QCOMPARE(Platform::EncodeName(text), name);
            Write(text, Word(++sum));
            expected.insert(text, sum);
        }
        Write(longFolder + "deep", Word(++sum));
        expected.insert(longFolder + "deep", sum);
        Write("copy-of-raw", Word(105));

        ScanRoot();
        QCOMPARE(int(FileTable().size()), int(expected.size()) + 1);
        for (const FileEntry &entry : FileTable()) {
            if (entry.Text == QLatin1String("copy-of-raw"))
                continue;
            QVERIFY2(expected.contains(entry.Text), qPrintable(entry.Text));
            QCOMPARE(ComputeQuickSum(FullPathOf(entry)), expected.value(entry.Text));
        }
        const QString raw = Root + Platform::DecodeName("raw\xfe");
        QVERIFY(FilesEqual(raw, Root + "copy-of-raw"));
        QVERIFY(!FilesEqual(Root + Platform::DecodeName("raw\xff"), Root + "copy-of-raw"));
    }

    void stopRequestEndsTheScan() {
        for (int k = 0; k < 600; ++k)
            Write(QStringLiteral("many/f%1").arg(k), "x");
        Write("zlater/f", "x");
        RecordingHost host;
        host.OnMessages = [](int calls) {
            if (calls == 3) // root, then "many", then after its first 256 entries
                Context().RunState = StopRequested;
        };
        HostGuard guard(host);
        Context().RunState = Running;
        ScanRoot();
        QVERIFY(FileTable().size() >= 250);
        QVERIFY(FileTable().size() < 600);
        QVERIFY(!RecordOf("zlater/f"));
    }

    void aFolderThatCannotBeReadContributesNothing() {
        Write("a/lost", "x");
        Write("b/kept", "y");
        RecordingHost host;
        // Called as each folder starts: root, then "a", which vanishes just then.
        host.OnMessages = [this](int calls) {
            if (calls == 2)
                QDir(Root + "a").removeRecursively();
        };
        HostGuard guard(host);
        ScanRoot();
        QCOMPARE(TableTexts(), QStringList{"b/kept"});
    }

    void pauseWaitsUntilContinued() {
        Write("a/f", "x");
        Write("b/f", "y");
        RecordingHost host;
        host.OnMessages = [](int calls) {
            if (calls == 2)
                Context().RunState = Paused;
            if (calls == 6)
                Context().RunState = Running;
        };
        HostGuard guard(host);
        Context().RunState = Running;
        ScanRoot();
        QCOMPARE(int(FileTable().size()), 2);
        QVERIFY(host.MessageCalls >= 6);
    }

    void sortIsCaseInsensitiveWithAStableTie_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    }
    void sortIsCaseInsensitiveWithAStableTie() {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        for (const char *name : {"cherry", "banana", "Apple", "Banana", "apple", "b", "C"})
            AddCertainFile(QString::fromLatin1(name), false);
        SortFileTable();
        QCOMPARE(TableTexts(),
                 (QStringList{"Apple", "apple", "b", "Banana", "banana", "C", "cherry"}));
    }

    void certainFileGoesToTheFront() {
        Write("x.txt", "x");
        const QString existing = Write("certain.txt", "12345");
        ScanRoot();
        QCOMPARE(int(FileTable().size()), 2);

        QVERIFY(!AddCertainFile(Root + "missing.txt", true));
        QCOMPARE(int(FileTable().size()), 2);

        QVERIFY(AddCertainFile(Root + "missing.txt", false));
        QCOMPARE(FileTable()[0].Text, Root + "missing.txt");
        QCOMPARE(FileTable()[0].Record->Mark, quint8(Virtual));
        QCOMPARE(FileTable()[0].Record->Size, 0);
        QCOMPARE(FileTable()[0].Record->Group, -1);

        QVERIFY(AddCertainFile(existing, true));
        QCOMPARE(FileTable()[0].Text, existing);
        QCOMPARE(FileTable()[0].Record->Mark, quint8(Stay));
        QCOMPARE(FileTable()[0].Record->Size, 5);
        QVERIFY(FileTable()[0].Record->WriteTime != 0);
        QCOMPARE(int(FileTable().size()), 4);

        // A bare name is never looked up.
        QVERIFY(AddCertainFile(QStringLiteral("certain.txt"), true));
        QCOMPARE(FileTable()[0].Record->Mark, quint8(Virtual));
    }

    void totalsWalkTheWholeTable() {
        Write("a", QByteArray(3000, 'a'));
        Write("b", QByteArray(5000, 'b'));
        ScanRoot();
        QCOMPARE(TotalSize(), quint64(8000));
        QCOMPARE(CountInBlocks(), 0);
        FileTable()[1].Record->Group = 0;
        QCOMPARE(CountInBlocks(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFileSearchUnit)
#include "TestFileSearchUnit.moc"
