// Removal on real files: HOME, the trash (XDG_DATA_HOME) and every temporary
// folder lie in one temporary home, so the holding folder is <home>/dupliscanned.

#include "results/DeletionUnit.h"

#include "TestSupport.h"
#include "lang/MsgDlgUnit.h"
#include "platform/FileRemoval.h"
#include "results/ResultListUnit.h"
#include "search/MainPhrases.h"

#include <linux/fs.h>
#include <sys/ioctl.h>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {
QByteArray Content(int n) {
    return RandomData(3000, quint32(n));
}

// Sets the last-write time back, so that only the bytes tell a change.
void SetWriteTime(const QString &path, const Platform::FileInfo &was) {
    const qint64 ms = Platform::UnixMsecsFromFileTime(was.WriteTime);
    const qint64 ns = (was.WriteTime % 10000000) * 100;
    const timespec times[2] = {{0, UTIME_OMIT}, {ms / 1000, long(ns)}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path), times, 0) == 0);
}

QString Phrase(int id, int count) {
    return GetPhraseParam(DeletionPhrases(), id, QString::number(count));
}

} // namespace

class TestDeletionUnit : public QObject {
    Q_OBJECT

    QTemporaryDir Home;
    QString HomePath;
    std::unique_ptr<Scratch> Files;

    QString Path(const QString &relative) const { return Context().CommonBaseFolder + relative; }
    QString Holding(const QString &relative) const {
        return HomePath + u"dupliscanned/"_s + Path(relative).mid(HomePath.size());
    }
    // A block of files as they are on disk now, marks by letter: S stays,
    // N stays fixed, D goes, X was removed.
    void AddBlock(const QStringList &relatives, const QString &marks) {
        FileList &list = MatchList();
        const qint32 head = qint32(list.size());
        for (qsizetype k = 0; k < relatives.size(); ++k) {
            const Platform::FileInfo info = Platform::StatPath(Path(relatives[k]), false);
            auto record = std::make_unique<FileRecord>();
            *record = {.Size = info.Size,
                       .Attributes = info.Attributes,
                       .WriteTime = info.WriteTime,
                       .Group = head};
            record->Mark = u"?XSND"_s.indexOf(marks[k]);
            record->IsBlockHead = k == 0;
            record->Device = info.Device;
            record->Inode = info.Inode;
            list.push_back({relatives[k], std::move(record)});
        }
    }
    // Files of one content, marked as a block.
    void SameBlock(const QStringList &relatives, const QString &marks, int content) {
        for (const QString &relative : relatives)
            Files->Write(relative, Content(content));
        AddBlock(relatives, marks);
    }
    quint8 MarkOf(int row) const { return MatchList()[std::size_t(row)].Record->Mark; }
    bool Exists(const QString &path) const { return Platform::StatPath(path, false).Exists; }

private slots:
    void initTestCase() {
        HomePath = Platform::CanonicalPath(Home.path()) + u'/';
        qputenv("HOME", HomePath.toUtf8());
        qputenv("XDG_DATA_HOME", (HomePath + u".local/share"_s).toUtf8());
        QDir().mkpath(HomePath + u"tmp"_s);
        qputenv("TMPDIR", (HomePath + u"tmp"_s).toUtf8());
    }
    void init() {
        QDir().mkpath(HomePath + u".local/share"_s);
        Files = std::make_unique<Scratch>();
        Context().CommonBaseFolder = Files->Root;
    }
    void cleanup() {
        Files.reset();
        RemoveTree(HomePath + u"dupliscanned"_s);
        RemoveTree(HomePath + u".local"_s);
    }

    void keepOneRule_data() {
        QTest::addColumn<QString>("blocks"); // marks, a digit names a file with two names
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<bool>("otherNames");
        QTest::newRow("each keeps a file") << "S D D|N D" << -1 << false;
        QTest::newRow("all marked") << "S D|D D" << 2 << false;
        QTest::newRow("removed and virtual rows keep nothing") << "X ? D" << 0 << false;
        QTest::newRow("only a second name stays") << "S D|D D1 S1" << 2 << true;
        QTest::newRow("a second name beside a keeper") << "D D1 S1 S2" << -1 << false;
    }
    void keepOneRule() {
        QFETCH(QString, blocks);
        FileList &list = MatchList();
        for (const QString &block : blocks.split(u'|')) {
            const qint32 head = qint32(list.size());
            for (const QString &row : block.split(u' ')) {
                FileRecord r{.Group = head};
                r.Mark = u"?XSND"_s.indexOf(row[0]);
                r.Device = 1;
                r.Inode = row.size() > 1 ? row.mid(1).toULongLong() : 100 + list.size();
                list.push_back({u"f"_s, std::make_unique<FileRecord>(r)});
            }
        }
        const BlockWithoutSurvivor found = FirstBlockWithoutSurvivor();
        QTEST(found.FirstRow, "firstRow");
        if (found.FirstRow >= 0)
            QTEST(found.OnlyOtherNames, "otherNames");
    }

    void keepOneShowsTheBlockAndWarns() {
        Files->Write("b", Content(1));
        SameBlock({"a"}, "S", 1);
        AddBlock({"a", "b"}, "DD");
        QStringList boxes;
        SetMessageBoxHandler([&](const QString &text, TMsgDlgType type, int buttons) {
            boxes << text << QString::number(int(type)) << QString::number(buttons);
            return int(mrCancel);
        });
        int shown = -1;
        QVERIFY(CheckBlocksKeepOne([&](int row) { shown = row; }));
        QCOMPARE(shown, 1);
        QCOMPARE(boxes, (QStringList{GetPhrase(MainFormPhrases(), 22),
                                     QString::number(int(TMsgDlgType::Warning)),
                                     QString::number(int(mbCancel))}));
        QVERIFY(Exists(Path("a")) && Exists(Path("b")));
    }

    void deletersAndTheirCodes_data() {
        QTest::addColumn<QString>("deleter");
        QTest::addColumn<QString>("what"); // file, read-only, missing, folder, taken
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("wentTo"); // gone, holding, trash, stays
        const char *deleters[] = {"kill", "move", "recycle"};
        const char *wentTo[] = {"gone", "holding", "trash"};
        for (int d = 0; d < 3; ++d) {
            const QString name = QString::fromLatin1(deleters[d]);
            QTest::addRow("%s a file", deleters[d]) << name << "file" << 0 << wentTo[d];
            QTest::addRow("%s a read-only file", deleters[d])
                << name << "read-only" << 0 << wentTo[d];
            QTest::addRow("%s a missing file", deleters[d])
                << name << "missing" << (d == 0 ? 0 : 1) << "gone";
            QTest::addRow("%s a folder", deleters[d]) << name << "folder" << 3 << "stays";
        }
        QTest::newRow("move onto a file in the holding folder") << "move"
                                                                << "taken" << 3 << "stays";
    }
    void deletersAndTheirCodes() {
        QFETCH(QString, deleter);
        QFETCH(QString, what);
        QFETCH(QString, wentTo);
        const QString path = Path("sub/file.txt");
        if (what == "folder")
            MakeFolder(path);
        else if (what != "missing")
            Files->Write("sub/file.txt", "mine");
        if (what == "read-only")
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
        if (what == "taken")
            WriteAt(HomePath, Holding("sub/file.txt").mid(HomePath.size()), "theirs");
        const int code = deleter == "kill"   ? KillFile(path)
                         : deleter == "move" ? MoveToHoldingFolder(path)
                                             : RecycleFile(path);
        QTEST(code, "code");
        QCOMPARE(Exists(path), wentTo == "stays");
        if (what == "taken") {
            QCOMPARE(ReadAll(Holding("sub/file.txt")), "theirs");
            QCOMPARE(LastFailureReason(), KeptReason::TargetExists);
        }
        if (wentTo == "holding") {
            QCOMPARE(ReadAll(Holding("sub/file.txt")), "mine");
            // The file keeps its mode: nothing about it changes but its place.
            QCOMPARE(QFile::permissions(Holding("sub/file.txt")) & QFile::WriteOwner,
                     what == "read-only" ? QFile::Permissions() : QFile::WriteOwner);
        }
        const QStringList trashed =
            QDir(HomePath + u".local/share/Trash/files"_s).entryList(QDir::Files);
        QCOMPARE(trashed.size(), wentTo == "trash" ? 1 : 0);
    }

    void moveMirrorsTheFolderTree() {
        SameBlock({"a/x.bin", "b/c/x.bin", "d/x.bin"}, "SDD", 1);
        QCOMPARE(DeleteMarkedFiles(WayMove).Removed, 2);
        QCOMPARE(ReadAll(Holding("b/c/x.bin")), Content(1));
        QCOMPARE(ReadAll(Holding("d/x.bin")), Content(1));
        QVERIFY(Exists(Path("a/x.bin")));
        QCOMPARE(MarkOf(1), quint8(Deleted));
        QCOMPARE(MarkOf(2), quint8(Deleted));
        QCOMPARE(Files->Host.StatusLines,
                 QStringList{GetPhraseParam(MainFormPhrases(), 24, u"2"_s) + " (" +
                             SizeText(6000 / 1024) + ")"});
        QVERIFY(CanUndoRemoval());
    }

    void linksPointToTheFileThatStays_data() {
        QTest::addColumn<QString>("marks");
        QTest::newRow("keeper first") << "SDD";
        QTest::newRow("keeper last") << "DDS";
        QTest::newRow("keeper between") << "DSD";
    }
    void linksPointToTheFileThatStays() {
        QFETCH(QString, marks);
        const QStringList names{"one", "two", "three"};
        SameBlock(names, marks, 2);
        QCOMPARE(DeleteMarkedFiles(WayKill | WithLinksFlag).Removed, 2);
        const QString keeper = Path(names[marks.indexOf(u'S')]);
        for (qsizetype k = 0; k < names.size(); ++k) {
            QCOMPARE(Exists(Path(names[k])), marks[k] == u'S');
            QCOMPARE(Platform::SymbolicLinkTarget(Path(names[k]) + ".lnk"),
                     marks[k] == u'D' ? keeper : QString());
        }
    }

    void noLinkOverAFileOrForALinkFile() {
        SameBlock({"keep", "old.LNK", "taken"}, "SDD", 3);
        Files->Write("taken.lnk", "my own file");
        QCOMPARE(DeleteMarkedFiles(WayKill | WithLinksFlag).Removed, 2);
        QVERIFY(!Exists(Path("old.LNK.lnk")));
        QCOMPARE(ReadAll(Path("taken.lnk")), "my own file");
    }

    void changesSinceTheSearchKeepTheFile_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("reason");
        QTest::newRow("same size and time, other bytes")
            << "bytes" << int(KeptReason::ContentDiffers);
        QTest::newRow("other size") << "size" << int(KeptReason::Changed);
        QTest::newRow("other time") << "time" << int(KeptReason::Changed);
        QTest::newRow("another file in its place") << "replaced" << int(KeptReason::Changed);
        QTest::newRow("keeper's bytes") << "keeper bytes" << int(KeptReason::ContentDiffers);
        QTest::newRow("keeper removed") << "keeper removed" << int(KeptReason::NoSurvivor);
        QTest::newRow("keeper grown") << "keeper size" << int(KeptReason::NoSurvivor);
    }
    void changesSinceTheSearchKeepTheFile() {
        QFETCH(QString, change);
        QFETCH(int, reason);
        SameBlock({"keep", "go"}, "SD", 4);
        const QString target = Path(change.startsWith(u"keeper") ? "keep" : "go");
        const Platform::FileInfo was = Platform::StatPath(target, false);
        QByteArray bytes = Content(4);
        bytes[100] = char(~bytes[100]);
        if (change.endsWith(u"bytes")) {
            WriteFile(target, bytes);
            SetWriteTime(target, was);
        } else if (change == "replaced") {
            WriteFile(target + ".new", Content(4));
            SetWriteTime(target + ".new", was);
            QVERIFY(::rename(QFile::encodeName(target + ".new"), QFile::encodeName(target)) == 0);
        } else if (change.endsWith(u"size")) {
            WriteFile(target, Content(4) + "more");
        } else if (change == "time") {
            SetWriteTime(target, {.WriteTime = was.WriteTime - 20000000});
        } else {
            QFile::remove(target);
        }
        const DeletionSummary done = DeleteMarkedFiles(WayMove);
        QCOMPARE(done.Failed, 1);
        QCOMPARE(done.Kept[std::size_t(reason)], 1);
        QVERIFY(Exists(Path("go")));
        QCOMPARE(MarkOf(1), quint8(Delete));
        QCOMPARE(
            Files->Host.StatusLines.mid(1),
            (QStringList{GetPhraseParam(MainFormPhrases(), 25, u"1"_s), Phrase(reason + 1, 1)}));
    }

    void oneReportLinePerReason() {
        SameBlock({"keep", "a", "b", "c"}, "SDDD", 5);
        Files->Write("a", "changed");
        Files->Write("b", "changed too");
        QCOMPARE(DeleteMarkedFiles(WayKill).Removed, 1);
        QCOMPARE(Files->Host.StatusLines.mid(1),
                 (QStringList{GetPhraseParam(MainFormPhrases(), 25, u"2"_s), Phrase(1, 2)}));
    }

    void differentContentsGoAfterASimilaritySearch() {
        Files->Write("keep", Content(6));
        Files->Write("go", Content(7));
        AddBlock({"keep", "go"}, "SD");
        Context().LastRunOptions.ContentPercent = 90;
        QCOMPARE(DeleteMarkedFiles(WayKill).Removed, 1);
    }

    void hardLinkedNames() {
        Files->Write("head", Content(8));
        Files->Write("x1", Content(8));
        QVERIFY(::link(QFile::encodeName(Path("x1")), QFile::encodeName(Path("x2"))) == 0);
        AddBlock({"head", "x1", "x2"}, "SDS");
        // The head is gone: x2 is x1 itself and stands for nothing else.
        QFile::remove(Path("head"));
        QCOMPARE(DeleteMarkedFiles(WayKill).Kept[std::size_t(KeptReason::NoSurvivor)], 1);
        QVERIFY(Exists(Path("x1")));
        Files->Write("head", Content(8));
        MatchList().clear();
        AddBlock({"head", "x1", "x2"}, "SDS");
        QCOMPARE(DeleteMarkedFiles(WayKill).Removed, 1);
        QCOMPARE(ReadAll(Path("x2")), Content(8));
    }

    void trashAndUndoRoundTrip() {
        SameBlock({"keep", "a/one", "b/two"}, "SDD", 9);
        const quint64 inode = Platform::StatPath(Path("a/one"), false).Inode;
        QCOMPARE(DeleteMarkedFiles(WayRecycle | WithLinksFlag).Removed, 2);
        const QString trash = HomePath + u".local/share/Trash/"_s;
        const QStringList infos = QDir(trash + "info").entryList(QDir::Files);
        QCOMPARE(infos.size(), 2);
        QStringList origins;
        for (const QString &info : infos)
            origins << Platform::TrashInfoOriginalPath(trash + "info/" + info);
        origins.sort();
        QCOMPARE(origins, (QStringList{Path("a/one"), Path("b/two")}));
        QVERIFY(!Platform::SymbolicLinkTarget(Path("a/one.lnk")).isEmpty());

        const UndoSummary undone = UndoLastRemoval();
        QCOMPARE(undone.PutBack, 2);
        QCOMPARE(Platform::StatPath(Path("a/one"), false).Inode, inode);
        QCOMPARE(ReadAll(Path("b/two")), Content(9));
        QVERIFY(!Exists(Path("a/one.lnk")) && !Exists(Path("b/two.lnk")));
        QVERIFY(QDir(trash + "info").isEmpty() && QDir(trash + "files").isEmpty());
        QCOMPARE(MarkOf(1), quint8(Delete));
        QCOMPARE(Files->Host.StatusLines.last(), Phrase(12, 2));
        QVERIFY(!CanUndoRemoval());
    }

    void undoRefusesWhereThePlaceIsTaken() {
        SameBlock({"keep", "a/one", "b/two"}, "SDD", 10);
        DeleteMarkedFiles(WayMove);
        Files->Write("a/one", "new file");
        UndoSummary undone = UndoLastRemoval();
        QCOMPARE(undone.PutBack, 1);
        QCOMPARE(undone.Refused, QStringList{GetPhraseParam(DeletionPhrases(), 13, Path("a/one"))});
        QCOMPARE(ReadAll(Path("a/one")), "new file");
        QCOMPARE(ReadAll(Holding("a/one")), Content(10));
        QCOMPARE(MarkOf(1), quint8(Deleted));
        QCOMPARE(MarkOf(2), quint8(Delete));
        // Once the place is free, a second undo takes it back, and the
        // holding folder goes with its last file.
        QVERIFY(CanUndoRemoval());
        QFile::remove(Path("a/one"));
        undone = UndoLastRemoval();
        QCOMPARE(undone.PutBack, 1);
        QCOMPARE(ReadAll(Path("a/one")), Content(10));
        QVERIFY(!Exists(HomePath + u"dupliscanned"_s));
    }

    void closingStopsBetweenFiles() {
        QStringList names{"keep"};
        for (int k = 0; k < 40; ++k)
            names << QStringLiteral("f%1").arg(k);
        SameBlock(names, u"S"_s + QString(40, u'D'), 11);
        Files->Host.OnMessages = [this](int calls) { Files->Host.IsTerminating = calls >= 3; };
        const DeletionSummary done = DeleteMarkedFiles(WayMove);
        QVERIFY(done.Removed > 0 && done.NotReached > 0);
        QCOMPARE(done.Removed + done.NotReached, 40);
        for (int row = 1; row <= 40; ++row) {
            const bool removed = MarkOf(row) == Deleted;
            QCOMPARE(Exists(Path(names[row])), !removed);
            QCOMPARE(Exists(Holding(names[row])), removed);
        }
        QCOMPARE(Files->Host.StatusLines.last(), Phrase(11, done.NotReached));
    }

    // ------------------------------------------------ what only root may set up

    void secondFileSystem() {
        SmallDisk disk;
        if (!disk.Mounted)
            QSKIP("mounting a file system needs root");
        const QString top = Platform::CanonicalPath(disk.Dir.path()) + u'/';
        Context().CommonBaseFolder = top;
        for (const char *name : {"keep", "moved", "trashed", "deleted"})
            WriteAt(top, name, "same");
        AddBlock({"keep", "moved"}, "SD");
        QCOMPARE(HoldingRootOf(Path("moved")), top);
        QCOMPARE(DeleteMarkedFiles(WayMove).Removed, 1);
        QCOMPARE(ReadAll(top + "dupliscanned/moved"), "same");
        // The trash at the top of that file system, and back from there.
        AddBlock({"keep", "trashed"}, "SD");
        QCOMPARE(DeleteMarkedFiles(WayRecycle).Removed, 1);
        QVERIFY(!Exists(Path("trashed")));
        QCOMPARE(UndoLastRemoval().PutBack, 1);
        QCOMPARE(ReadAll(Path("trashed")), "same");
        // With that trash blocked, the dialog decides, once for the whole
        // file system.
        const QString trash = u".Trash-"_s + QString::number(::getuid());
        RemoveTree(top + trash);
        WriteAt(top, trash, "no folder");
        QStringList asked;
        SetDeletionProblemHandler([&](const QString &path, const QString &root) {
            asked << path + u'|' + root;
            return DeletionProblemAnswer{true, true};
        });
        MatchList().clear();
        AddBlock({"keep", "trashed", "deleted"}, "SDD");
        QCOMPARE(DeleteMarkedFiles(WayRecycle).Removed, 2);
        QCOMPARE(asked, QStringList{Path("trashed") + u'|' + top});
        QCOMPARE(KillDrives(), QStringList{top});
        QVERIFY(!Exists(Path("trashed")) && !Exists(Path("deleted")));
        QVERIFY(!CanUndoRemoval());
    }

    void holdingFolderOnAnotherFileSystem() {
        SameBlock({"keep", "go"}, "SD", 12);
        QDir().mkpath(HomePath + u"dupliscanned"_s);
        if (::geteuid() != 0 || ::mount("tmpfs", QFile::encodeName(HomePath + "dupliscanned"),
                                        "tmpfs", 0, "size=64k") != 0)
            QSKIP("mounting a file system needs root");
        const DeletionSummary done = DeleteMarkedFiles(WayMove);
        const bool copied = Exists(Holding("go"));
        ::umount2(QFile::encodeName(HomePath + "dupliscanned"), MNT_DETACH);
        QCOMPARE(done.Kept[std::size_t(KeptReason::OtherFileSystem)], 1);
        QCOMPARE(ReadAll(Path("go")), Content(12));
        QVERIFY(!copied);
    }

    void filesTheSystemLocks() {
        SameBlock({"keep", "go"}, "SD", 13);
        const int fd = ::open(QFile::encodeName(Path("go")), O_RDONLY);
        int flags = FS_IMMUTABLE_FL;
        const bool locked = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (!locked) {
            ::close(fd);
            QSKIP("the file system or the user cannot lock files");
        }
        const int code = PrepareFile(Path("go"));
        const DeletionSummary done = DeleteMarkedFiles(WayMove);
        flags = 0;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
        QCOMPARE(code, int(DeleteLocked));
        QCOMPARE(done.Kept[std::size_t(KeptReason::Locked)], 1);
        QVERIFY(Exists(Path("go")));
    }
};

QTEST_GUILESS_MAIN(TestDeletionUnit)
#include "TestDeletionUnit.moc"
