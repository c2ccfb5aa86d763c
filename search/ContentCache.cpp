#include "search/ContentCache.h"

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

namespace {
const QByteArray Magic = QByteArrayLiteral("DUPLISCAN-CACHE2");
const QString FileName = QStringLiteral("contents.cache");
const QString LockName = QStringLiteral("contents.lock");

std::optional<int> TodayOverride;

int Today() {
    return TodayOverride ? *TodayOverride : int(QDateTime::currentSecsSinceEpoch() / 86400);
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

class Reader {
public:
    explicit Reader(const QByteArray &bytes) : Bytes(bytes) {}
    template <typename T> bool Get(T &value) {
        if (Bytes.size() - At < qsizetype(sizeof(T)))
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
        if (Bytes.size() - At < qsizetype(length))
            return false;
        out = Bytes.mid(At, length);
        At += length;
        return true;
    }
    qsizetype Left() const { return Bytes.size() - At; }

private:
    const QByteArray &Bytes;
    qsizetype At = 0;
};

// Tells a damaged file from a whole one; the same on every machine, unlike
// Qt's seeded hashes.
quint64 Checksum(const char *data, qsizetype n) {
    quint64 hash = 0xCBF29CE484222325ULL;
    for (qsizetype k = 0; k < n; ++k)
        hash = (hash ^ quint8(data[k])) * 0x100000001B3ULL;
    return hash;
}

template <typename Entry> void Merge(std::vector<Entry> &kept, std::vector<Entry> &added) {
    auto less = [](const Entry &a, const Entry &b) { return KeyLess(a.Key, b.Key); };
    std::stable_sort(added.begin(), added.end(), less);
    std::vector<Entry> merged;
    merged.reserve(kept.size() + added.size());
    // The entry made this run wins over an older one of the same key.
    std::merge(std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
               std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()),
               std::back_inserter(merged), less);
    merged.erase(std::unique(merged.begin(), merged.end(),
                             [](const Entry &a, const Entry &b) { return a.Key == b.Key; }),
                 merged.end());
    const int oldest = Today() - CacheKeepDays;
    std::erase_if(merged, [oldest](const Entry &e) { return e.Day < oldest; });
    kept = std::move(merged);
    added.clear();
}

template <typename Entry> Entry *Find(std::vector<Entry> &entries, const CacheKey &key) {
    const auto at =
        std::lower_bound(entries.begin(), entries.end(), key,
                         [](const Entry &e, const CacheKey &k) { return KeyLess(e.Key, k); });
    return at != entries.end() && at->Key == key ? &*at : nullptr;
}
} // namespace

struct ContentCache::Entries {
    std::vector<SumEntry> Sums; // sorted by key
    std::vector<SumEntry> NewSums;
    std::vector<FingerprintEntry> Fingerprints; // sorted by key
    std::vector<FingerprintEntry> NewFingerprints;

    // False for anything but a whole cache file of this program's making.
    bool Load(const QByteArray &bytes) {
        if (bytes.size() < Magic.size() + 16 || !bytes.startsWith(Magic))
            return false;
        const qsizetype body = bytes.size() - 8;
        const QByteArray stored = bytes.right(8);
        Reader tail(stored);
        quint64 check = 0;
        if (!tail.Get(check) || check != Checksum(bytes.constData(), body))
            return false;
        const QByteArray content = bytes.mid(Magic.size(), body - Magic.size());
        Reader in(content);
        quint32 sums = 0, fingerprints = 0;
        if (!in.Get(sums) || !in.Get(fingerprints) || in.Left() / 49 < qsizetype(sums))
            return false;
        Sums.resize(sums);
        for (SumEntry &e : Sums)
            if (!in.GetKey(e.Key) || !in.Get(e.PrefixHash) || !in.Get(e.Sum) || !in.Get(e.Day))
                return false;
        for (quint32 k = 0; k < fingerprints; ++k) {
            FingerprintEntry e;
            quint32 length = 0;
            if (!in.GetKey(e.Key) || !in.Get(e.Day) || !in.Get(length) ||
                !in.GetBytes(e.Bytes, length))
                return false;
            Fingerprints.push_back(std::move(e));
        }
        const auto less = [](const auto &a, const auto &b) { return KeyLess(a.Key, b.Key); };
        return in.Left() == 0 && std::is_sorted(Sums.begin(), Sums.end(), less) &&
               std::is_sorted(Fingerprints.begin(), Fingerprints.end(), less);
    }

    QByteArray Serialize() const {
        Writer out;
        out.Bytes.reserve(qsizetype(Sums.size()) * 49 + 64);
        out.Bytes.append(Magic);
        out.Put(quint32(Sums.size()));
        out.Put(quint32(Fingerprints.size()));
        for (const SumEntry &e : Sums) {
            out.PutKey(e.Key);
            out.Put(e.PrefixHash);
            out.Put(e.Sum);
            out.Put(e.Day);
        }
        for (const FingerprintEntry &e : Fingerprints) {
            out.PutKey(e.Key);
            out.Put(e.Day);
            out.Put(quint32(e.Bytes.size()));
            out.Bytes.append(e.Bytes);
        }
        out.Put(Checksum(out.Bytes.constData(), out.Bytes.size()));
        return out.Bytes;
    }
};

CacheKey CacheKeyOf(const FileRecord &record) {
    return {record.Device,           record.Inode,     record.Size, record.WriteTime,
            record.WriteTimeExtraNs, record.ChangeTime};
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
    FilePath = base + FileName;
    Data = std::make_unique<Entries>();
    QFile file(FilePath);
    if (file.open(QIODevice::ReadOnly) && !Data->Load(file.readAll()))
        Data = std::make_unique<Entries>(); // damaged: as if there were none
    // Entries of files that no run looks up any more go at the next save,
    // whatever this run finds.
    const int oldest = Today() - CacheKeepDays;
    const auto old = [oldest](const auto &e) { return e.Day < oldest; };
    Changed = std::any_of(Data->Sums.begin(), Data->Sums.end(), old) ||
              std::any_of(Data->Fingerprints.begin(), Data->Fingerprints.end(), old);
    return true;
}

bool ContentCache::IsOpen() const {
    return Data != nullptr;
}

std::vector<FileIdentity> ContentCache::OwnFiles() const {
    std::vector<FileIdentity> files;
    if (!IsOpen())
        return files;
    for (const QString &path : {FilePath, Lock->fileName()})
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
    Changed = Changed || e->Day != Today();
    e->Day = Today();
    return true;
}

void ContentCache::KeepQuickSum(const CacheKey &key, quint32 sum, quint64 prefixHash) {
    if (!IsOpen())
        return;
    Data->NewSums.push_back({key, prefixHash, sum, Today()});
    Changed = true;
}

bool ContentCache::FindFingerprint(const CacheKey &key, QByteArray &fingerprint) {
    FingerprintEntry *e = IsOpen() ? Find(Data->Fingerprints, key) : nullptr;
    if (!e)
        return false;
    fingerprint = e->Bytes;
    Changed = Changed || e->Day != Today();
    e->Day = Today();
    return true;
}

void ContentCache::KeepFingerprint(const CacheKey &key, const QByteArray &fingerprint) {
    if (!IsOpen())
        return;
    Data->NewFingerprints.push_back({key, Today(), fingerprint});
    Changed = true;
}

bool ContentCache::Save() {
    if (!IsOpen() || !Changed)
        return true;
    Merge(Data->Sums, Data->NewSums);
    Merge(Data->Fingerprints, Data->NewFingerprints);
    // A full disk or a folder gone read-only leaves the last cache in place.
    if (!Platform::ReplaceFileContent(FilePath, Data->Serialize()))
        return false;
    Changed = false;
    return true;
}

void ContentCache::Close() {
    Save();
    Data.reset();
    Lock.reset(); // unlocks
    FilePath.clear();
    Changed = false;
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
    if (!QFile::exists(base + FileName))
        return CacheClearing::Cleared;
    QLockFile lock(base + LockName);
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return CacheClearing::InUse;
    return QFile::remove(base + FileName) ? CacheClearing::Cleared : CacheClearing::Failed;
}
