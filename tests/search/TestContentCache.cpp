#include "search/ContentCache.h"

#include "platform/Platform.h"
#include "search/FileSearchUnit.h"
#include "search/SearchRequest.h"

#include "TestSupport.h"

#include <QLockFile>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

using namespace TestSupport;

// A file rewritten with its old write time must be read again, or its old
// quick sum would keep it from its new twin; what the cache holds is looked
// up by each file's key as it is now.
class TestContentCache : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> S;
    std::unique_ptr<QTemporaryDir> CacheHome;

    QString Folder() const { return CacheHome->path() + QStringLiteral("/Dupliscan"); }
    QString CacheFile() const { return Folder() + QStringLiteral("/contents.cache"); }

    SearchResult Search(const QString &folder = QString()) {
        SearchRequest request;
        request.Folder1 = folder.isEmpty() ? S->Root : folder;
        request.Options.MaxDuplicates = 0;
        request.CacheFolder = Folder();
        return RunSearch(request);
    }

    // Whether the cache has a quick sum for the file as it is now.
    bool Cached(const QString &path) const {
        const Platform::FileInfo info = Platform::StatPath(path, false);
        FileRecord record;
        record.Size = info.Size;
        record.WriteTime = info.WriteTime;
        record.WriteTimeExtraNs = info.WriteTimeExtraNs;
        record.ChangeTime = info.ChangeTime;
        record.Device = info.Device;
        record.Inode = info.Inode;
        ContentCache cache;
        quint32 sum = 0;
        quint64 prefixHash = 0;
        return cache.Open(Folder()) && cache.FindQuickSum(CacheKeyOf(record), sum, prefixHash);
    }

    static timespec WriteTimeOf(const QString &path) {
        struct stat st {};
        stat(QFile::encodeName(path).constData(), &st);
        return st.st_mtim;
    }
    static bool SetWriteTime(const QString &path, timespec time) {
        const timespec times[2] = {time, time};
        return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
    }
    // Gives "b" the bytes of "a"; its write time stays, or moves by a nanosecond.
    static bool Rewrite(const QString &b, const QByteArray &bytes, bool newInode, bool touch) {
        timespec time = WriteTimeOf(b);
        const bool written = newInode ? WriteFile(b + ".new", bytes) && QFile::remove(b) &&
                                            QFile::rename(b + ".new", b)
                                      : WriteFile(b, bytes);
        if (touch)
            time.tv_nsec = time.tv_nsec > 0 ? time.tv_nsec - 1 : 1;
        return written && SetWriteTime(b, time);
    }

private slots:
    void init() {
        S = std::make_unique<Scratch>();
        CacheHome = std::make_unique<QTemporaryDir>();
        ContentCache::SetTodayForTests(-1);
    }
    void cleanup() {
        S.reset();
        CacheHome.reset();
        ContentCache::SetTodayForTests(-1);
    }

    void onlyAnEntryOfTheSameFileIsUsed_data() {
        QTest::addColumn<bool>("newInode");
        QTest::addColumn<bool>("touch");
        QTest::addColumn<QByteArray>("damage"); // what the cache file becomes; null: left
        QTest::addColumn<int>("matches");
        QTest::newRow("rewritten, write time set back") << false << false << QByteArray() << 1;
        QTest::newRow("write time a nanosecond off") << false << true << QByteArray() << 1;
        QTest::newRow("replaced by another file") << true << false << QByteArray() << 1;
        QTest::newRow("cache emptied") << false << false << QByteArray("") << 1;
        QTest::newRow("cache cut short") << false << false << QByteArray("cut") << 1;
        QTest::newRow("cache one byte changed") << false << false << QByteArray("flip") << 1;
        QTest::newRow("cache of garbage") << false << false << RandomData(5000, 9) << 1;
    }
    void onlyAnEntryOfTheSameFileIsUsed() {
        QFETCH(bool, newInode);
        QFETCH(bool, touch);
        QFETCH(QByteArray, damage);
        QFETCH(int, matches);
        const QByteArray bytes(100, 'a');
        S->Write("a", bytes);
        const QString b = S->Write("b", QByteArray(100, 'b'));
        const QString c = S->Write("c", QByteArray(100, 'c'));
        QCOMPARE(Search().Matches, 0);
        QVERIFY(Cached(b));
        QVERIFY(Rewrite(b, bytes, newInode, touch));
        QVERIFY(!Cached(b));
        if (!damage.isNull()) {
            QByteArray cache = ReadAll(CacheFile());
            if (damage == "cut")
                cache.chop(cache.size() / 2);
            else if (damage == "flip")
                cache[cache.size() / 2] = char(cache[cache.size() / 2] ^ 1);
            else
                cache = damage;
            QVERIFY(WriteFile(CacheFile(), cache));
        }
        QCOMPARE(Search().Matches, matches);
        // The run left a whole cache, with the new key of b.
        QVERIFY(Cached(b) && Cached(c));
        QVERIFY(Rewrite(c, bytes, false, false));
        QCOMPARE(Search().Matches, matches + 1);
    }

    void aStoppedRunLeavesAUsableCache() {
        const QByteArray bytes(100, 'a');
        S->Write("a", bytes);
        const QString b = S->Write("b", QByteArray(100, 'b'));
        S->Write("c", QByteArray(300, 'c'));
        S->Write("d", QByteArray(300, 'c'));
        S->Host.OnMessages = [this](int) {
            if (QFile::exists(CacheFile()))
                SetRunState(RunStateValue::StopRequested);
        };
        const SearchResult stopped = Search();
        QCOMPARE(stopped.Outcome, RunOutcome::Stopped);
        QCOMPARE(stopped.Matches, 0);
        S->Host.OnMessages = nullptr;
        // What was read before the stop is kept.
        QVERIFY(Cached(b) && Cached(S->Root + "c"));
        QVERIFY(Rewrite(b, bytes, false, false));
        QCOMPARE(Search().Matches, 2); // c and d, a and b
    }

    void entriesUnseenForThirtyDaysGo_data() {
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("kept");
        QTest::newRow("29 days: kept") << 29 << true;
        QTest::newRow("31 days: dropped") << 31 << false;
    }
    void entriesUnseenForThirtyDaysGo() {
        QFETCH(int, days);
        QFETCH(bool, kept);
        const QString a = S->Write("seen/a", QByteArray(100, 'a'));
        S->Write("seen/b", QByteArray(100, 'b'));
        const QString c = S->Write("unseen/c", QByteArray(100, 'c'));
        ContentCache::SetTodayForTests(20000);
        QCOMPARE(Search().Matches, 0);
        // Later runs search only one folder; the other's files stay as they are.
        ContentCache::SetTodayForTests(20000 + days);
        QCOMPARE(Search(S->Root + "seen/").Matches, 0);
        QVERIFY(Cached(a));
        QCOMPARE(Cached(c), kept);
    }

    void commandLineOptions() {
        S->Write("x1", "same");
        S->Write("x2", "same");
        const QStringList environment{QStringLiteral("XDG_CACHE_HOME=") + CacheHome->path()};
        auto cli = [&](const QStringList &arguments) {
            return RunProgram(QStringLiteral(DUPLISCAN_CLI), arguments, S->Root, environment);
        };
        QCOMPARE(cli({"--quiet", "--no-cache", S->Root}).ExitCode, 0);
        QVERIFY(!QFile::exists(CacheFile()));
        const ProgramRun first = cli({"--quiet", S->Root});
        QCOMPARE(first.ExitCode, 0);
        QVERIFY(QFile::exists(CacheFile()));

        // The cache's own files are never found, not even beside a copy.
        QVERIFY(QFile::copy(CacheFile(), Folder() + QStringLiteral("/copy")));
        const ProgramRun own = cli({"--quiet", Folder()});
        QCOMPARE(own.ExitCode, 0);
        QCOMPARE(own.Out, QByteArray());

        {
            // Another search holds the cache: this one runs without it, and
            // the cache stays.
            QLockFile lock(Folder() + QStringLiteral("/contents.lock"));
            QVERIFY(lock.tryLock(0));
            QCOMPARE(cli({"--quiet", S->Root}).Out, first.Out);
            const ProgramRun held = cli({"--clear-cache"});
            QCOMPARE(held.ExitCode, 1);
            QVERIFY(held.Err.contains(QFile::encodeName(Folder())));
            QVERIFY(QFile::exists(CacheFile()));
        }
        QCOMPARE(cli({"--clear-cache"}).ExitCode, 0);
        QVERIFY(!QFile::exists(CacheFile()));
        QCOMPARE(cli({"--clear-cache"}).ExitCode, 0);
    }
};

QTEST_GUILESS_MAIN(TestContentCache)
#include "TestContentCache.moc"
