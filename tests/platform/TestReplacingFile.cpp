// Writing a file whole: the new content takes the old one's place only when it
// is complete; a failure keeps the old file, leaves no new one and names its cause.

#include "platform/ReplacingFile.h"

#include "TestSupport.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace TestSupport;

namespace {
// What is at the path before the write, and the cause when it is refused.
struct TargetRow {
    const char *Name, *Old, *Error;
};
const TargetRow TargetRows[] = {
    {"nothing there", "", ""},
    {"old file, permissions kept", "file", ""},
    {"link replaced, its file untouched", "link", ""},
    {"read-only file", "read-only", "Permission denied"},
    {"folder", "folder", "Is a directory"},
    {"missing folder", "missing", "No such file or directory"},
    {"in place of a file", "file-as-folder", "Not a directory"},
};

// Puts the old thing into the folder; the path to write.
QString Prepare(const QString &folder, const QByteArray &old) {
    const QString path = folder + QStringLiteral("/report");
    const QString keep = folder + QStringLiteral("/keep");
    if (old == "missing")
        return folder + QStringLiteral("/missing/report");
    if (old == "file-as-folder")
        return WriteFile(keep, "keep") ? keep + QStringLiteral("/report") : QString();
    if (old == "folder" && !MakeFolder(path))
        qFatal("cannot make %s", qPrintable(path));
    if ((old == "file" || old == "read-only") &&
        (!WriteFile(path, "old") || ::chmod(path.toLocal8Bit(), old == "file" ? 0640 : 0444)))
        qFatal("cannot write %s", qPrintable(path));
    if (old == "link" && (!WriteFile(keep, "keep") || !QFile::link(keep, path)))
        qFatal("cannot link %s", qPrintable(path));
    return path;
}

QStringList Entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

mode_t ModeOf(const QString &path) {
    struct stat st {};
    return ::lstat(path.toLocal8Bit(), &st) == 0 ? st.st_mode : 0;
}

} // namespace

class TestReplacingFile : public QObject {
    Q_OBJECT

private slots:
    void whatIsThereDecides_data() { AddRows(TargetRows); }
    void whatIsThereDecides() {
        const TargetRow &row = TargetRows[Data<int>("row")];
        QTemporaryDir dir;
        const QString path = Prepare(dir.path(), row.Old);
        const QByteArray before = Listing(dir.path());
        const mode_t mode = ModeOf(path);
        // The check before a long search foresees the verdict without a trace.
        QString foreseen;
        QCOMPARE(Platform::ReplacingFile::CanOpen(path, &foreseen), !*row.Error);
        QCOMPARE(foreseen, QString::fromUtf8(row.Error));
        QCOMPARE(Listing(dir.path()), before);
        QString error;
        const bool written = Platform::ReplaceFileContent(path, "new", &error);
        QCOMPARE(error, QString::fromUtf8(row.Error));
        if (!written) {
            QCOMPARE(Listing(dir.path()), before);
            return;
        }
        QCOMPARE(ReadAll(path), QByteArray("new"));
        // A file, with the old file's permissions where there was one.
        QVERIFY(S_ISREG(ModeOf(path)) && (!S_ISREG(mode) || ModeOf(path) == mode));
        // What a link pointed to stays, and no temporary file is left.
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("keep"))),
                 QByteArray(qstrcmp(row.Old, "link") ? "" : "keep"));
        QCOMPARE(Entries(dir.path()).size(), qstrcmp(row.Old, "link") ? 1 : 2);
    }

    void failedWriteKeepsTheOldFile_data() {
        QTest::addColumn<bool>("full");
        QTest::newRow("full disk") << true;
        QTest::newRow("unwritable folder") << false;
    }
    void failedWriteKeepsTheOldFile() {
        const bool full = Data<bool>("full");
        SmallDisk disk;
        if (!disk.Mounted && full)
            QSKIP("a full disk needs a small tmpfs, which only root can mount");
        const QString folder = disk.Dir.path();
        const QString path = Prepare(folder, "file");
        QString expected = QStringLiteral("No space left on device");
        if (!full && disk.Mounted) {
            QVERIFY(disk.ReadOnly());
            expected = QStringLiteral("Read-only file system");
        } else if (!full) {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            expected = QStringLiteral("Permission denied");
        }
        QString error;
        QVERIFY(!Platform::ReplaceFileContent(path, QByteArray(1 << 20, 'n'), &error));
        QCOMPARE(error, expected);
        QCOMPARE(ReadAll(path), QByteArray("old"));
        QCOMPARE(Entries(folder), QStringList{QStringLiteral("report")});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A device holds nothing to keep and must stay what it is. Root gets a /dev/full of its own,
    // so that a mistake cannot replace the system's.
    void devicesAreWrittenDirectly() {
        QTemporaryDir dir;
        QString full = QStringLiteral("/dev/full");
        if (::geteuid() == 0) {
            full = dir.filePath(QStringLiteral("full"));
            QVERIFY(::mknod(full.toLocal8Bit(), S_IFCHR | 0666, makedev(1, 7)) == 0);
        }
        QString error;
        QVERIFY(!Platform::ReplaceFileContent(full, "new", &error));
        QCOMPARE(error, QStringLiteral("No space left on device"));
        QVERIFY(S_ISCHR(ModeOf(full)));
        QCOMPARE(Entries(dir.path()).size(), full.startsWith(dir.path()) ? 1 : 0);
        // A link to a device or FIFO (/dev/fd/N of a pipe) leads to nothing that could be lost.
        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(full, link));
        QVERIFY(Platform::ReplacingFile::CanOpen(link));
        QVERIFY(!Platform::ReplaceFileContent(link, "new", &error));
        QCOMPARE(error, QStringLiteral("No space left on device"));
        QVERIFY(S_ISLNK(ModeOf(link)));
    }

    // A signal that ends the program takes the unfinished file along; the old one stays.
    void leftoversGoWhenASignalEndsTheProgram() {
        QTemporaryDir dir;
        const QString path = Prepare(dir.path(), "file");
        Platform::ReplacingFile file(path);
        QVERIFY(file.open() && file.write("new") == 3);
        QCOMPARE(Entries(dir.path()).size(), 2);
        Platform::RemoveLeftovers();
        QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("report")});
        QVERIFY(!file.Commit());
        QCOMPARE(ReadAll(path), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestReplacingFile)
#include "TestReplacingFile.moc"
