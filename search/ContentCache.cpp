#include "search/ContentCache.h"

#include "compare/ImageCompareUnit.h"
#include "platform/Platform.h"
#include "platform/ReplacingFile.h"
#include "search/FileSearchUnit.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <optional>
#include <tuple>
#include <type_traits>

namespace {
const QByteArray SumsMagic = QByteArrayLiteral("DUPLISCAN-CACHE3");
const QString SumsFileName = QStringLiteral("contents.cache");
// A fingerprint of another making would compare wrongly with fresh ones.
const QByteArray PicturesMagic =
    QByteArrayLiteral("DUPLISCAN-PICTURES") + QByteArray::number(FingerprintVersion);
const QString PicturesFileName = QStringLiteral("pictures.cache");
const QString LockName = QStringLiteral("contents.lock");

std::optional<int> TodayOverride;

int Today() {
    return TodayOverride ? *TodayOverride : int(QDateTime::currentSecsSinceEpoch() / 86400);
}

// Entries no run has looked up for CacheKeepDays.
auto IsOld() {
    return [oldest = Today() - CacheKeepDays](const auto &e) { return e.Day < oldest; };
}

auto Tied(const CacheKey &k) {
    return std::tie(k.Device, k.Inode, k.Size, k.WriteTime, k.WriteTimeExtraNs, k.ChangeTime);
}
bool KeyLess(const CacheKey &a, const CacheKey &b) {
    return Tied(a) < Tied(b);
}

struct SumEntry {
    CacheKey Key;
    quint64 PrefixHash = 0;
    quint32 Sum = 0;
    qint32 Day = 0;
};
struct FingerprintEntry {
    CacheKey Key;
    qint32 Day = 0;
    QByteArray Bytes;
};
// The score of a picture's contents against another's (in this order) at one
// least percentage; Key is the first file's, Partner the second's.
struct PairEntry {
    CacheKey Key;
    CacheKey Partner;
    qint32 Day = 0;
    quint8 Least = 0;
    qint8 Percent = 0;
};

// Little-endian fields, written and read in one order.
class Writer {
public:
    QByteArray Bytes;
    template <typename T> void Put(T value) {
        for (std::size_t k = 0; k < sizeof(T); ++k)
            Bytes.append(char(quint64(value) >> (8 * k)));
    }
    void PutKey(const CacheKey &key) {
        Put(key.Device);
        Put(key.Inode);
        Put(key.Size);
        Put(key.WriteTime);
        Put(key.WriteTimeExtraNs);
        Put(key.ChangeTime);
    }
};

// Reads the bytes from..to of a buffer it does not copy.
class Reader {
public:
    Reader(const QByteArray &bytes, qsizetype from, qsizetype to)
        : Bytes(bytes), At(from), End(to) {}
    template <typename T> bool Get(T &value) {
        if (End - At < qsizetype(sizeof(T)))
            return false;
        quint64 v = 0;
        for (std::size_t k = 0; k < sizeof(T); ++k)
            v |= quint64(quint8(Bytes[At + qsizetype(k)])) << (8 * k);
        value = T(v);
        At += qsizetype(sizeof(T));
        return true;
    }
    bool GetKey(CacheKey &key) {
        return Get(key.Device) && Get(key.Inode) && Get(key.Size) && Get(key.WriteTime) &&
               Get(key.WriteTimeExtraNs) && Get(key.ChangeTime);
    }
    bool GetBytes(QByteArray &out, quint32 length) {
        if (End - At < qsizetype(length))
            return false;
        out = Bytes.mid(At, length);
        At += length;
        return true;
    }
    qsizetype Left() const { return End - At; }

private:
    const QByteArray &Bytes;
    qsizetype At;
    const qsizetype End;
};

// Tells a damaged file from a whole one; the same on every machine, unlike
// Qt's seeded hashes.
quint64 Checksum(const char *data, qsizetype n) {
    quint64 hash = 0xCBF29CE484222325ULL;
    for (qsizetype k = 0; k < n; ++k)
        hash = (hash ^ quint8(data[k])) * 0x100000001B3ULL;
    return hash;
}

// What tells entries apart and orders them: the file's key, and for a pair
// the partner's key and the percentage as well.
template <typename Entry> auto Identity(const Entry &e) {
    if constexpr (std::is_same_v<Entry, PairEntry>)
        return std::tuple_cat(Tied(e.Key), Tied(e.Partner), std::tie(e.Least));
    else
        return Tied(e.Key);
}
template <typename Entry> bool EntryLess(const Entry &a, const Entry &b) {
    return Identity(a) < Identity(b);
}
template <typename Entry> bool SameEntry(const Entry &a, const Entry &b) {
    return Identity(a) == Identity(b);
}

template <typename Entry> void Merge(std::vector<Entry> &kept, std::vector<Entry> &added) {
    auto less = [](const Entry &a, const Entry &b) { return EntryLess(a, b); };
    std::stable_sort(added.begin(), added.end(), less);
    std::vector<Entry> merged;
    merged.reserve(kept.size() + added.size());
    // The entry made this run wins over an older one of the same key.
    std::merge(std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
               std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()),
               std::back_inserter(merged), less);
    merged.erase(std::unique(merged.begin(), merged.end(),
                             [](const Entry &a, const Entry &b) { return SameEntry(a, b); }),
                 merged.end());
    std::erase_if(merged, IsOld());
    kept = std::move(merged);
    added.clear();
}

template <typename Entry> Entry *Find(std::vector<Entry> &entries, const CacheKey &key) {
    const auto at =
        std::lower_bound(entries.begin(), entries.end(), key,
                         [](const Entry &e, const CacheKey &k) { return KeyLess(e.Key, k); });
    return at != entries.end() && at->Key == key ? &*at : nullptr;
}

// Each entry knows how it is written and read. A cache file is the magic,
// one or more lists (a count, then the entries in key order), and a checksum
// of all before it.
void PutEntry(Writer &out, const SumEntry &e) {
    out.PutKey(e.Key);
    out.Put(e.PrefixHash);
    out.Put(e.Sum);
    out.Put(e.Day);
}
bool GetEntry(Reader &in, SumEntry &e) {
    return in.GetKey(e.Key) && in.Get(e.PrefixHash) && in.Get(e.Sum) && in.Get(e.Day);
}
void PutEntry(Writer &out, const FingerprintEntry &e) {
    out.PutKey(e.Key);
    out.Put(e.Day);
    out.Put(quint32(e.Bytes.size()));
    out.Bytes.append(e.Bytes);
}
bool GetEntry(Reader &in, FingerprintEntry &e) {
    quint32 length = 0;
    return in.GetKey(e.Key) && in.Get(e.Day) && in.Get(length) && in.GetBytes(e.Bytes, length);
}
void PutEntry(Writer &out, const PairEntry &e) {
    out.PutKey(e.Key);
    out.PutKey(e.Partner);
    out.Put(e.Day);
    out.Put(e.Least);
    out.Put(e.Percent);
}
bool GetEntry(Reader &in, PairEntry &e) {
    return in.GetKey(e.Key) && in.GetKey(e.Partner) && in.Get(e.Day) && in.Get(e.Least) &&
           in.Get(e.Percent);
}

template <typename Entry> bool GetList(Reader &in, std::vector<Entry> &entries) {
    quint32 count = 0;
    // Every entry takes more than a key's bytes; a count beyond that is damage.
    if (!in.Get(count) || in.Left() / 40 < qsizetype(count))
        return false;
    entries.resize(count);
    for (Entry &e : entries)
        if (!GetEntry(in, e))
            return false;
    return std::is_sorted(entries.begin(), entries.end(),
                          [](const Entry &a, const Entry &b) { return EntryLess(a, b); });
}

template <typename Entry> void PutList(Writer &out, const std::vector<Entry> &entries) {
    out.Put(quint32(entries.size()));
    for (const Entry &e : entries)
        PutEntry(out, e);
}

// False for anything but a whole cache file of this program's making; the
// lists are then empty, as if there were none.
template <typename... Lists>
bool LoadFile(const QString &path, const QByteArray &magic, Lists &...lists) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    bool whole = bytes.size() >= magic.size() + 8 && bytes.startsWith(magic);
    const qsizetype body = bytes.size() - 8;
    if (whole) {
        Reader tail(bytes, body, bytes.size());
        quint64 check = 0;
        whole = tail.Get(check) && check == Checksum(bytes.constData(), body);
    }
    if (whole) {
        // Read in place: a copy of the cache would double what it costs.
        Reader in(bytes, magic.size(), body);
        whole = (GetList(in, lists) && ...) && in.Left() == 0;
    }
    if (!whole)
        (lists.clear(), ...);
    return whole;
}

template <typename... Lists>
QByteArray SerializeLists(const QByteArray &magic, const Lists &...lists) {
    Writer out;
    out.Bytes.reserve(((qsizetype(lists.size()) * 49) + ...) + 64);
    out.Bytes.append(magic);
    (PutList(out, lists), ...);
    out.Put(Checksum(out.Bytes.constData(), out.Bytes.size()));
    return out.Bytes;
}

// Fingerprints are large (up to 40 KB a picture), and pairs many; past these
// the entries used longest ago give way, so that a collection of photos does
// not fill the disk.
constexpr qint64 DefaultPictureCacheLimit = 512LL * 1024 * 1024;
qint64 PictureCacheLimit = DefaultPictureCacheLimit;
constexpr qint64 PairCacheLimit = 1'000'000;

template <typename Entry, typename Cost>
void KeepNewest(std::vector<Entry> &entries, qint64 limit, Cost cost) {
    qint64 total = 0;
    for (const Entry &e : entries)
        total += cost(e);
    if (total <= limit)
        return;
    std::vector<std::size_t> newestFirst(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k)
        newestFirst[k] = k;
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [&](std::size_t a, std::size_t b) { return entries[a].Day > entries[b].Day; });
    std::vector<bool> keep(entries.size(), false);
    qint64 kept = 0;
    for (const std::size_t k : newestFirst) {
        kept += cost(entries[k]);
        if (kept > limit)
            break;
        keep[k] = true;
    }
    std::size_t k = 0;
    std::erase_if(entries, [&](const Entry &) { return !keep[k++]; });
}
} // namespace

struct ContentCache::Entries {
    std::vector<SumEntry> Sums; // sorted by key
    std::vector<SumEntry> NewSums;
    bool SumsChanged = false;
    // Read only when a picture search asks for one.
    bool FingerprintsLoaded = false;
    std::vector<FingerprintEntry> Fingerprints; // sorted by key
    std::vector<FingerprintEntry> NewFingerprints;
    std::vector<PairEntry> Pairs; // sorted by both keys and the percentage
    std::vector<PairEntry> NewPairs;
    bool FingerprintsChanged = false;
};

CacheKey CacheKeyOf(const FileRecord &record) {
    return {record.Device,           record.Inode,     record.Size, record.WriteTime,
            record.WriteTimeExtraNs, record.ChangeTime};
}

CacheKey KeyOfPath(const QString &path) {
    const Platform::FileInfo info = Platform::StatPath(path, false);
    if (!info.Exists)
        return {};
    return {info.Device,           info.Inode,     info.Size, info.WriteTime,
            info.WriteTimeExtraNs, info.ChangeTime};
}

ContentCache::ContentCache() = default;

ContentCache::~ContentCache() {
    Close();
}

bool ContentCache::Open(const QString &folder) {
    Close();
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return false;
    const QString base = Platform::WithTrailingDelimiter(folder);
    auto lock = std::make_unique<QLockFile>(base + LockName);
    // A long search keeps its lock however old it is; only a lock whose
    // process is gone is stale.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    Lock = std::move(lock);
    Folder = base;
    Data = std::make_unique<Entries>();
    LoadFile(Folder + SumsFileName, SumsMagic, Data->Sums);
    // Entries of files that no run looks up any more go at the next save,
    // whatever this run finds.
    Data->SumsChanged = std::any_of(Data->Sums.begin(), Data->Sums.end(), IsOld());
    return true;
}

bool ContentCache::IsOpen() const {
    return Data != nullptr;
}

std::vector<FileIdentity> ContentCache::OwnFiles() const {
    std::vector<FileIdentity> files;
    if (!IsOpen())
        return files;
    for (const QString &path : {Folder + SumsFileName, Folder + PicturesFileName, Lock->fileName()})
        if (const Platform::FileInfo info = Platform::StatPath(path, false); info.Exists)
            files.push_back({info.Device, info.Inode});
    return files;
}

bool ContentCache::FindQuickSum(const CacheKey &key, quint32 &sum, quint64 &prefixHash) {
    SumEntry *e = IsOpen() ? Find(Data->Sums, key) : nullptr;
    if (!e)
        return false;
    sum = e->Sum;
    prefixHash = e->PrefixHash;
    Data->SumsChanged = Data->SumsChanged || e->Day != Today();
    e->Day = Today();
    return true;
}

void ContentCache::KeepQuickSum(const CacheKey &key, quint32 sum, quint64 prefixHash) {
    if (!IsOpen())
        return;
    Data->NewSums.push_back({key, prefixHash, sum, Today()});
    Data->SumsChanged = true;
}

void ContentCache::LoadFingerprints() {
    if (Data->FingerprintsLoaded)
        return;
    Data->FingerprintsLoaded = true;
    LoadFile(Folder + PicturesFileName, PicturesMagic, Data->Fingerprints, Data->Pairs);
    Data->FingerprintsChanged =
        std::any_of(Data->Fingerprints.begin(), Data->Fingerprints.end(), IsOld()) ||
        std::any_of(Data->Pairs.begin(), Data->Pairs.end(), IsOld());
}

bool ContentCache::FindFingerprint(const CacheKey &key, QByteArray &fingerprint) {
    if (!IsOpen())
        return false;
    LoadFingerprints();
    FingerprintEntry *e = Find(Data->Fingerprints, key);
    if (!e)
        return false;
    fingerprint = e->Bytes;
    Data->FingerprintsChanged = Data->FingerprintsChanged || e->Day != Today();
    e->Day = Today();
    return true;
}

void ContentCache::KeepFingerprint(const CacheKey &key, const QByteArray &fingerprint) {
    if (!IsOpen() || fingerprint.isEmpty())
        return;
    LoadFingerprints();
    Data->NewFingerprints.push_back({key, Today(), fingerprint});
    Data->FingerprintsChanged = true;
}

bool ContentCache::FindPairPercent(const CacheKey &first, const CacheKey &second, quint8 least,
                                   int &percent) {
    if (!IsOpen())
        return false;
    LoadFingerprints();
    const PairEntry wanted{first, second, 0, least, 0};
    const auto at =
        std::lower_bound(Data->Pairs.begin(), Data->Pairs.end(), wanted, EntryLess<PairEntry>);
    if (at == Data->Pairs.end() || !SameEntry(*at, wanted))
        return false;
    percent = at->Percent;
    Data->FingerprintsChanged = Data->FingerprintsChanged || at->Day != Today();
    at->Day = Today();
    return true;
}

void ContentCache::KeepPairPercent(const CacheKey &first, const CacheKey &second, quint8 least,
                                   int percent) {
    if (!IsOpen() || percent < -1 || percent > 100)
        return;
    LoadFingerprints();
    Data->NewPairs.push_back({first, second, Today(), least, qint8(percent)});
    Data->FingerprintsChanged = true;
}

bool ContentCache::Save() {
    if (!IsOpen())
        return true;
    // A full disk or a folder gone read-only leaves the last cache in place.
    bool saved = true;
    if (Data->SumsChanged) {
        Merge(Data->Sums, Data->NewSums);
        Data->SumsChanged = !Platform::ReplaceFileContent(Folder + SumsFileName,
                                                          SerializeLists(SumsMagic, Data->Sums));
        saved = !Data->SumsChanged;
    }
    if (Data->FingerprintsChanged) {
        Merge(Data->Fingerprints, Data->NewFingerprints);
        Merge(Data->Pairs, Data->NewPairs);
        KeepNewest(Data->Fingerprints, PictureCacheLimit,
                   [](const FingerprintEntry &e) { return e.Bytes.size() + 64; });
        KeepNewest(Data->Pairs, PairCacheLimit, [](const PairEntry &) { return 1; });
        Data->FingerprintsChanged = !Platform::ReplaceFileContent(
            Folder + PicturesFileName,
            SerializeLists(PicturesMagic, Data->Fingerprints, Data->Pairs));
        saved = saved && !Data->FingerprintsChanged;
    }
    return saved;
}

void ContentCache::Close() {
    Save();
    Data.reset();
    Lock.reset(); // unlocks
    Folder.clear();
}

void ContentCache::SetPictureLimitForTests(qint64 bytes) {
    PictureCacheLimit = bytes > 0 ? bytes : DefaultPictureCacheLimit;
}

void ContentCache::SetTodayForTests(int day) {
    TodayOverride = day < 0 ? std::nullopt : std::optional<int>(day);
}

QString CacheFolder() {
    const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return generic.isEmpty() ? QString() : generic + QStringLiteral("/Dupliscan");
}

ContentCache &RunCache() {
    static ContentCache cache;
    return cache;
}

CacheClearing ClearCache(const QString &folder) {
    const QString base = Platform::WithTrailingDelimiter(folder);
    const QStringList files{base + SumsFileName, base + PicturesFileName};
    if (std::none_of(files.begin(), files.end(), [](const QString &f) { return QFile::exists(f); }))
        return CacheClearing::Cleared;
    QLockFile lock(base + LockName);
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return CacheClearing::InUse;
    bool removed = true;
    for (const QString &file : files)
        removed = (!QFile::exists(file) || QFile::remove(file)) && removed;
    return removed ? CacheClearing::Cleared : CacheClearing::Failed;
}
