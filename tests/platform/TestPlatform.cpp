#include "platform/MutedStandardError.h"
#include "platform/Platform.h"

#include "TestSupport.h"

#include <QTest>

#include <future>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>

using namespace TestSupport;

namespace {
// What a reader delivers, sorted: "name" for a file, "name/" for a folder and
// "name/ system" for a folder that is never entered.
QStringList Listed(Platform::FolderReader &reader) {
    QStringList names;
    Platform::DirEntry entry;
    bool usable = false;
    while (reader.Next(entry, usable))
        if (usable)
            names.append(entry.Name + (entry.IsFolder ? "/" : "") +
                         (entry.IsSystemFolder ? " system" : ""));
    names.sort();
    return names;
}

QStringList Listed(const QString &folder) {
    Platform::FolderReader reader;
    return reader.Open(folder) ? Listed(reader) : QStringList{"(not opened)"};
}

// The entry texts of a scan of folder, in the scan's order.
QStringList Scanned(const QString &folder) {
    ClearFileTable();
    Context().CommonBaseFolder = folder;
    ScanFolder(folder);
    QStringList texts;
    for (const FileEntry &entry : FileTable())
        texts.append(entry.Text);
    return texts;
}

int OpenDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

bool Link(const QString &target, const QString &path) {
    return ::symlink(Platform::EncodeName(target).constData(),
                     Platform::EncodeName(path).constData()) == 0;
}

// A chain of `depth` folders of the given name below root, each holding a file
// "f"; made relative to each parent, as the full names may be too long.
void MakeChain(const QString &root, const QByteArray &name, int depth) {
    int fd = ::open(Platform::EncodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < depth && fd >= 0; ++level) {
        const int parent = fd;
        ::mkdirat(parent, name.constData(), 0755);
        fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY);
        const int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0644);
        if (::write(file, "f", 1) != 1)
            qFatal("cannot write a file of the chain");
        ::close(file);
        ::close(parent);
    }
    ::close(fd);
}
} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> S;
    QByteArrayList Mounted;

    // Null when mounted; otherwise why the test cannot run here.
    const char *Mount(const char *source, const QString &target, const char *type,
                      unsigned long flags) {
        if (::geteuid() != 0)
            return "mounting needs root";
        const QByteArray point = Platform::EncodeName(target);
        if (::mount(source, point.constData(), type, flags, nullptr) != 0)
            return "mounting is not permitted here";
        Mounted.append(point);
        return nullptr;
    }

private slots:
    void init() { S = std::make_unique<Scratch>(); }
    void cleanup() {
        Platform::SetBeforeEnterHook({});
        while (!Mounted.isEmpty())
            ::umount2(Mounted.takeLast().constData(), MNT_DETACH);
        // Trees deeper than a full name can reach; the tree is ours alone now.
        RunProgram("/bin/rm", {"-rf", "--one-file-system", "--", S->Dir.path()});
        S.reset();
    }

    void linksAreNeitherListedNorEntered_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("to a folder") << "../elsewhere";
        QTest::newRow("to a file") << "../elsewhere/far.txt";
        QTest::newRow("to its parent") << "..";
        QTest::newRow("dangling") << "nowhere";
    }
    void linksAreNeitherListedNorEntered() {
        QFETCH(QString, target);
        S->Write("in/real.txt", "r");
        S->Write("elsewhere/far.txt", "far");
        QVERIFY(Link(target, S->Root + "in/link"));
        QCOMPARE(Listed(S->Root + "in/"), QStringList{"real.txt"});
        Platform::FolderReader in, child;
        QVERIFY(in.Open(S->Root + "in/"));
        QVERIFY(!child.OpenChild(in, "link"));
        QVERIFY(!child.Open(S->Root + "in/link/")); // the trailing delimiter follows no link
        QVERIFY(!Platform::ReadFile().Open(S->Root + "in/link"));
        QCOMPARE(Scanned(S->Root + "in/"), QStringList{"real.txt"});
    }

    // A folder that turns into a link after its listing is still not entered.
    void folderReplacedByALinkIsNotEntered_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("link to elsewhere") << "../elsewhere";
        QTest::newRow("link to the folder itself, moved") << "../moved";
        QTest::newRow("link to the folder being scanned") << ".";
    }
    void folderReplacedByALinkIsNotEntered() {
        QFETCH(QString, target);
        S->Write("in/top.txt", "t");
        S->Write("in/sub/inner.txt", "i");
        S->Write("elsewhere/far.txt", "far");
        bool replaced = false;
        Platform::SetBeforeEnterHook([&](const QString &path) {
            if (path == S->Root + "in/sub/")
                replaced = QDir().rename(S->Root + "in/sub", S->Root + "moved") &&
                           Link(target, S->Root + "in/sub");
        });
        QCOMPARE(Scanned(S->Root + "in/"), QStringList{"top.txt"});
        QVERIFY(replaced);
    }

    void bindMountLoopIsNotEntered() {
        S->Write("a/a.txt", "a");
        S->Write("a/b/b.txt", "b");
        QVERIFY(MakeFolder(S->Root + "a/b/loop"));
        if (const char *why =
                Mount(qPrintable(S->Root + "a"), S->Root + "a/b/loop", nullptr, MS_BIND))
            QSKIP(why);
        const int before = OpenDescriptors();
        QCOMPARE(Scanned(S->Root + "a/"), (QStringList{"a.txt", "b/b.txt"}));
        QCOMPARE(OpenDescriptors(), before);
    }

    void kernelFileSystemsAreSystemFolders_data() {
        QTest::addColumn<QString>("where"); // a folder of "/", or a type mounted here
        for (const char *where : {"/proc", "/sys", "proc", "sysfs"})
            QTest::newRow(where) << where;
    }
    void kernelFileSystemsAreSystemFolders() {
        QFETCH(QString, where);
        QString folder = QStringLiteral("/"), name = where.mid(1);
        if (!where.startsWith(folder)) {
            folder = S->Root + "k/";
            name = where;
            S->Write("k/f.txt", "f");
            QVERIFY(MakeFolder(folder + name));
            if (const char *why = Mount(qPrintable(name), folder + name, qPrintable(name), 0))
                QSKIP(why);
            QCOMPARE(Scanned(folder), QStringList{"f.txt"});
        }
        Platform::FolderReader parent, child;
        QVERIFY(parent.Open(folder));
        QVERIFY(Listed(parent).contains(name + "/ system"));
        QVERIFY(!child.OpenChild(parent, name));
    }

    void rawByteNamesAreListedOpenedAndReadByTheirBytes() {
        // The second folder's name is what a lossy conversion makes of the first.
        const QByteArray root = Platform::EncodeName(S->Root);
        const QByteArray folders[] = {"d\xff", "d\xef\xbf\xbd"};
        for (const QByteArray &folder : folders) {
            QCOMPARE(::mkdir(root + folder, 0755), 0);
            const int fd = ::open(root + folder + "/f\xfe", O_WRONLY | O_CREAT, 0644);
            QVERIFY(::write(fd, folder.constData(), std::size_t(folder.size())) == folder.size());
            ::close(fd);
        }
        const QString file = Platform::DecodeName("f\xfe");
        QCOMPARE(Listed(S->Root), (QStringList{Platform::DecodeName(folders[0]) + "/",
                                               Platform::DecodeName(folders[1]) + "/"}));
        Platform::FolderReader parent;
        QVERIFY(parent.Open(S->Root));
        for (const QByteArray &folder : folders) {
            Platform::FolderReader child;
            QVERIFY(child.OpenChild(parent, Platform::DecodeName(folder)));
            QCOMPARE(Listed(child), QStringList{file});
            Platform::ReadFile reader;
            QVERIFY(reader.Open(child.Path() + file));
            QByteArray content(reader.Size(), 0);
            QVERIFY(reader.ReadExactly(content.data(), content.size()));
            QCOMPARE(content, folder);
        }
    }

    void specialFilesAreNeverOpened_data() {
        QTest::addColumn<int>("type");
        QTest::newRow("fifo") << int(S_IFIFO);
        QTest::newRow("socket") << int(S_IFSOCK);
        QTest::newRow("device") << int(S_IFCHR);
    }
    void specialFilesAreNeverOpened() {
        QFETCH(int, type);
        S->Write("s/plain.txt", "p");
        const QString special = S->Root + "s/special";
        const QByteArray bytes = Platform::EncodeName(special);
        if (::mknod(bytes.constData(), mode_t(type) | 0644, makedev(1, 3)) != 0)
            QSKIP("making a device needs root");
        auto look = std::async(std::launch::async, [&] {
            return std::pair{Listed(S->Root + "s/"), Platform::ReadFile().Open(special)};
        });
        if (look.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            const int writer = ::open(bytes.constData(), O_WRONLY | O_NONBLOCK);
            look.wait();
            ::close(writer);
            QFAIL("the FIFO was opened and blocked");
        }
        const auto [names, opened] = look.get();
        QCOMPARE(names, QStringList{"plain.txt"});
        QVERIFY(!opened);
        QCOMPARE(Scanned(S->Root + "s/"), QStringList{"plain.txt"});
    }

    // Every file the scan admits can be opened by its full name, however deep.
    void deepFoldersEndAtTheSystemLimits() {
        const QByteArray wide = QString(85, QChar(0x20AC)).toUtf8(); // 255 bytes, 85 characters
        MakeChain(S->Root, wide, 17);
        const QStringList found = Scanned(S->Root);
        QVERIFY(found.size() > 10 && found.size() < 17);
        for (const QString &text : found)
            QVERIFY2(Platform::ReadFile().Open(S->Root + text), qPrintable(text.right(20)));

        // Out of descriptors, deeper folders are skipped like unreadable ones.
        MakeChain(S->Root, "d", 13);
        const int all = int(Scanned(S->Root + "d/").size());
        const int before = OpenDescriptors();
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        rlimit low = limit;
        low.rlim_cur = rlim_t(lowestFree + 5);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        const int starved = int(Scanned(S->Root + "d/").size());
        ::setrlimit(RLIMIT_NOFILE, &limit);
        QVERIFY(starved > 0 && starved < all);
        QCOMPARE(OpenDescriptors(), before);
    }

    // Decoders mute standard error on their threads; the program's own lines
    // (the command line's progress and messages) must still get through, and
    // standard error must come back when the last decoder is done.
    void programLinesPassMutedStandardError() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray path = QFile::encodeName(dir.path() + "/stderr");
        const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        QVERIFY(file >= 0);
        std::fflush(stderr);
        const int original = ::dup(STDERR_FILENO);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
        {
            const Platform::MutedStandardError first;
            {
                const Platform::MutedStandardError second;
                std::fputs("decoder\n", stderr);
                Platform::WriteStandardError("own 1\n", 6);
            }
            std::fputs("decoder\n", stderr);
            Platform::WriteStandardError("own 2\n", 6);
        }
        std::fputs("after\n", stderr);
        Platform::WriteStandardError("own 3\n", 6);
        std::fflush(stderr);
        ::dup2(original, STDERR_FILENO);
        ::close(original);
        QFile written(QFile::decodeName(path));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("own 1\nown 2\nafter\nown 3\n"));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "TestPlatform.moc"
