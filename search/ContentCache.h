#pragma once
// What the reads of earlier runs learnt about files (quick sums, picture
// fingerprints), kept in the user's cache folder, so that a folder searched
// again is not read again. An entry counts only for the very file it was made
// from: the same device, inode, size and last-write time to the nanosecond,
// and the same inode change time, which catches what the others miss: a file
// rewritten with its write time set back (archivers, copy tools keeping
// times) or a new file that got the inode number of a removed one.
//
// The cache is a help and never a condition: a cache file that is damaged,
// locked by another running search or cannot be written leaves the run as it
// would be without one. Writes replace the whole file at once, so a run
// stopped at any moment leaves the last complete cache behind.

#include "search/SearchContext.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

struct FileRecord;
class QLockFile;

struct CacheKey {
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 Size = 0;
    qint64 WriteTime = 0; // 100-ns steps
    quint8 WriteTimeExtraNs = 0;
    qint64 ChangeTime = 0;
    friend bool operator==(const CacheKey &, const CacheKey &) = default;
};
CacheKey CacheKeyOf(const FileRecord &record);
// The key of the file at the path as it is now (a link not followed); all
// zero when it is gone.
CacheKey KeyOfPath(const QString &path);

// Entries of files no run has looked up for this many days are dropped.
inline constexpr int CacheKeepDays = 30;

class ContentCache {
public:
    ContentCache();
    ~ContentCache();
    ContentCache(const ContentCache &) = delete;
    ContentCache &operator=(const ContentCache &) = delete;

    // Takes the cache of the folder for this run: locks it and reads it.
    // False when it cannot be used; the cache then stays closed and every
    // call below does nothing.
    bool Open(const QString &folder);
    bool IsOpen() const;
    // The files a search must leave out: the cache's own.
    std::vector<FileIdentity> OwnFiles() const;

    bool FindQuickSum(const CacheKey &key, quint32 &sum, quint64 &prefixHash);
    void KeepQuickSum(const CacheKey &key, quint32 sum, quint64 prefixHash);
    bool FindFingerprint(const CacheKey &key, QByteArray &fingerprint);
    void KeepFingerprint(const CacheKey &key, const QByteArray &fingerprint);
    // The contents score of two pictures that could not be compared as
    // pictures, the first file against the second, when the least percentage
    // asked for was least (-1: below it). Kept with the fingerprints.
    bool FindPairPercent(const CacheKey &first, const CacheKey &second, quint8 least, int &percent);
    void KeepPairPercent(const CacheKey &first, const CacheKey &second, quint8 least, int percent);

    // Quick sums and fingerprints live in two files; the fingerprints are
    // read at the first call that needs them, so that searches without
    // pictures do not pay for them. A fingerprint that is empty (no picture)
    // is not kept.
    // Writes what changed since the last save; false when that failed (the
    // cache files are then as before).
    bool Save();
    // Saves, unlocks and forgets.
    void Close();

    // The day number entries are stamped with (days since 1970); tests move
    // time on. Below 0: the real day again.
    static void SetTodayForTests(int day);
    // How many bytes of fingerprints are kept; 0: the usual limit.
    static void SetPictureLimitForTests(qint64 bytes);

private:
    struct Entries;
    void LoadFingerprints();
    std::unique_ptr<Entries> Data;
    std::unique_ptr<QLockFile> Lock;
    QString Folder; // with a trailing delimiter
};

// The folder of the cache: the window's QStandardPaths::CacheLocation, which
// the command line shares.
QString CacheFolder();
// The cache of this run, opened by the search run unless the request says not
// to use one.
ContentCache &RunCache();
// Removes the cache file of the folder, unless another search holds it.
enum class CacheClearing { Cleared, InUse, Failed };
CacheClearing ClearCache(const QString &folder);
