#include "search/ContentCache.h"

#include "search/SearchRequest.h"

#include "TestSupport.h"

#include <QLockFile>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

using namespace TestSupport;

// The cache is seen at work through a file rewritten under its old key: a
// search that takes the old quick sum from the cache cannot pair it with its
// new twin, one that reads it again can.
class TestContentCache : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> S;
    std::unique_ptr<QTemporaryDir> CacheHome;

    QString Folder() const { return CacheHome->path() + QStringLiteral("/Dupliscan"); }
    QString CacheFile() const { return Folder() + QStringLiteral("/contents.cache"); }

    SearchResult Search() {
        SearchRequest request;
        request.Folder1 = S->Root;
        request.Options.MaxDuplicates = 0;
        request.CacheFolder = Folder();
        return RunSearch(request);
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
        QTest::newRow("same key: the entry is used") << false << false << QByteArray() << 0;
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
        QVERIFY(QFile::exists(CacheFile()));
        QVERIFY(Rewrite(b, bytes, newInode, touch));
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
        // The run left a whole cache, which the next one takes: c keeps its
        // old sum.
        QVERIFY(Rewrite(c, bytes, false, false));
        QCOMPARE(Search().Matches, matches);
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
        QVERIFY(Rewrite(b, bytes, false, false));
        QCOMPARE(Search().Matches, 1); // c and d; a and b by their old sums
    }

    void entriesUnseenForThirtyDaysGo_data() {
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("matches");
        QTest::newRow("29 days: kept") << 29 << 0;
        QTest::newRow("31 days: dropped") << 31 << 1;
    }
    void entriesUnseenForThirtyDaysGo() {
        QFETCH(int, days);
        QFETCH(int, matches);
        const QByteArray bytes(100, 'a');
        S->Write("a", bytes);
        const QString b = S->Write("b", QByteArray(100, 'b'));
        const QString away = CacheHome->path() + QStringLiteral("/away");
        ContentCache::SetTodayForTests(20000);
        QCOMPARE(Search().Matches, 0);
        // Renaming keeps inode and write time: the file comes back unchanged.
        QVERIFY(QFile::rename(b, away));
        ContentCache::SetTodayForTests(20000 + days);
        QCOMPARE(Search().Matches, 0);
        QVERIFY(QFile::rename(away, b));
        QVERIFY(Rewrite(b, bytes, false, false));
        QCOMPARE(Search().Matches, matches);
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
