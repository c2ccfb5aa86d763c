#include "search/ContentCache.h"

#include "compare/ImageCompareUnit.h"
#include "compare/ImageDecoder.h"
#include "search/SearchRequest.h"

#include "TestSupport.h"

#include <QImage>
#include <QLockFile>
#include <QTest>

#include <fcntl.h>
#include <functional>
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

    SearchResult Search(const QString &folder = QString(), bool pictures = false) {
        SearchRequest request;
        request.Folder1 = folder.isEmpty() ? S->Root : folder;
        request.Options.MaxDuplicates = 0;
        request.Options.ImageMode = pictures;
        request.Options.ContentPercent = pictures ? 95 : 100;
        request.CacheFolder = Folder();
        return RunSearch(request);
    }
    SearchResult SearchPictures(const QString &folder = QString()) { return Search(folder, true); }

    // What a run finds out about these files, as if an earlier run had.
    void Plant(const std::function<void(ContentCache &)> &plant) {
        ContentCache cache;
        QVERIFY(cache.Open(Folder()));
        plant(cache);
        QVERIFY(cache.Save());
    }

    static QImage Pattern(int w, int h, int seed) {
        QImage image(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qRgb((x * seed) % 256, (y * 7 + seed) % 256, (x ^ y) % 256));
        return image;
    }

    // Whether the cache has a quick sum, or a fingerprint, for the file as it is now.
    bool Cached(const QString &path, bool fingerprint = false) const {
        ContentCache cache;
        quint32 sum = 0;
        quint64 prefixHash = 0;
        QByteArray print;
        return cache.Open(Folder()) &&
               (fingerprint ? cache.FindFingerprint(KeyOfPath(path), print)
                            : cache.FindQuickSum(KeyOfPath(path), sum, prefixHash));
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
        ContentCache::SetPictureLimitForTests(0);
    }

    void onlyAnEntryOfTheSameFileIsUsed_data() {
        QTest::addColumn<bool>("newInode");
        QTest::addColumn<bool>("touch");
        QTest::addColumn<QByteArray>("damage"); // what the cache file becomes; null: left
        QTest::newRow("rewritten, write time set back") << false << false << QByteArray();
        QTest::newRow("write time a nanosecond off") << false << true << QByteArray();
        QTest::newRow("replaced by another file") << true << false << QByteArray();
        QTest::newRow("cache cut short") << false << false << QByteArray("cut");
        QTest::newRow("cache one byte changed") << false << false << QByteArray("flip");
        QTest::newRow("cache of garbage") << false << false << RandomData(5000, 9);
    }
    void onlyAnEntryOfTheSameFileIsUsed() {
        QFETCH(bool, newInode);
        QFETCH(bool, touch);
        QFETCH(QByteArray, damage);
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
        QCOMPARE(Search().Matches, 1);
        // The run left a whole cache, with the new key of b.
        QVERIFY(Cached(b) && Cached(c));
        QVERIFY(Rewrite(c, bytes, false, false));
        QCOMPARE(Search().Matches, 2);
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

    // A fingerprint or a score of two pictures is used for exactly the files
    // it was made from: planting a false one shows that it is used, and that
    // a file rewritten with its old write time is decoded and read again.
    void picturesFromTheCache_data() {
        QTest::addColumn<QSize>("shapeB");
        QTest::addColumn<bool>("byScore"); // else by fingerprint
        QTest::newRow("fingerprint") << QSize(100, 80) << false;
        QTest::newRow("score of another shape") << QSize(80, 100) << true;
    }
    void picturesFromTheCache() {
        QFETCH(QSize, shapeB);
        QFETCH(bool, byScore);
        if (!StartupGdiplus())
            QSKIP("no picture decoders");
        const QString a = S->Root + "a.bmp", b = S->Root + "b.bmp";
        QVERIFY(Pattern(100, 80, 3).save(a) &&
                Pattern(shapeB.width(), shapeB.height(), 11).save(b));
        QCOMPARE(SearchPictures().Matches, 0);
        QVERIFY(QFile::exists(Folder() + "/pictures.cache"));

        const CacheKey keyA = KeyOfPath(a), keyB = KeyOfPath(b);
        Plant([&](ContentCache &cache) {
            QByteArray fingerprint;
            QVERIFY(cache.FindFingerprint(keyA, fingerprint));
            if (byScore) {
                cache.KeepPairPercent(keyA, keyB, 95, 98);
                cache.KeepPairPercent(keyB, keyA, 95, 98);
            } else {
                cache.KeepFingerprint(keyB, fingerprint);
            }
        });
        QCOMPARE(SearchPictures().Matches, 1);
        QVERIFY(Rewrite(b, ReadAll(b), false, false));
        QCOMPARE(SearchPictures().Matches, 0);

        // A damaged cache is one the run does without.
        QVERIFY(WriteFile(Folder() + "/pictures.cache", RandomData(3000, 5)));
        QCOMPARE(SearchPictures().Matches, 0);
        QVERIFY(Cached(b, true));
    }

    // Past the limit the fingerprints looked up longest ago go first.
    void fingerprintsBeyondTheLimitGoOldestFirst() {
        if (!StartupGdiplus())
            QSKIP("no picture decoders");
        const QString old1 = S->Root + "old/1.bmp", old2 = S->Root + "old/2.bmp";
        const QString new1 = S->Root + "new/1.bmp", new2 = S->Root + "new/2.bmp";
        QVERIFY(QDir().mkpath(S->Root + "old") && QDir().mkpath(S->Root + "new"));
        QVERIFY(Pattern(100, 80, 1).save(old1) && Pattern(100, 80, 2).save(old2) &&
                Pattern(100, 80, 5).save(new1) && Pattern(100, 80, 9).save(new2));
        const QByteArray one = FileFingerprint(old1);
        // Room for three fingerprints, with what each entry costs besides.
        ContentCache::SetPictureLimitForTests(3 * (one.size() + 64));
        ContentCache::SetTodayForTests(20000);
        SearchPictures(S->Root + "old/");
        ContentCache::SetTodayForTests(20001);
        SearchPictures(S->Root + "new/");
        QVERIFY(Cached(new1, true) && Cached(new2, true));
        ContentCache::SetPictureLimitForTests(0);
        QCOMPARE(int(Cached(old1, true)) + int(Cached(old2, true)), 1);
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
        QVERIFY(WriteFile(Folder() + "/pictures.cache", "fingerprints"));
        QCOMPARE(cli({"--clear-cache"}).ExitCode, 0);
        QVERIFY(!QFile::exists(CacheFile()) && !QFile::exists(Folder() + "/pictures.cache"));
        QCOMPARE(cli({"--clear-cache"}).ExitCode, 0);
    }
};

QTEST_GUILESS_MAIN(TestContentCache)
#include "TestContentCache.moc"
