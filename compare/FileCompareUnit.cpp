#include "compare/FileCompareUnit.h"

#include "platform/Platform.h"
#include "run/RunControl.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {
std::unique_ptr<char[]> BufferA;
std::unique_ptr<char[]> BufferB;
ReadTrace *Trace = nullptr;
// A head is compared with one partner after another; its folder's path is
// walked once. Partners lie anywhere, so theirs are opened by full name.
Platform::FolderCache FirstFolders;

quint32 LittleEndianWord(const unsigned char *p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
// A 64-bit hash of the bytes (Qt's, which uses the processor's AES steps
// where it has them); the length is mixed in so that files differing only in
// trailing zero bytes differ. A hash taken piece by piece goes on from the
// hash of the pieces before. Qt takes its fast path only for a seed other
// than 0.
quint64 HashBytes(const unsigned char *bytes, qint64 n, quint64 before = 0) {
    constexpr quint64 Multiplier = 0x9E3779B97F4A7C15ULL;
    const quint64 seed = ((before ^ quint64(n)) * Multiplier) | 1;
    return qHashBits(bytes, std::size_t(n), std::size_t(seed));
}

// A file of at most TinyFileSize bytes is its own hash: its bytes and its
// length, so that for such files equal hashes mean equal bytes.
quint64 TinyHash(const unsigned char *bytes, qint64 n) {
    quint64 hash = quint64(n) << 56;
    for (qint64 k = 0; k < n; ++k)
        hash |= quint64(bytes[k]) << (8 * k);
    return hash;
}

// A stretch that is a hole in both files reads as zeros in both: sparse files
// (disk images, preallocated files) are compared over their stored bytes only.
bool SkipCommonHole(Platform::ReadFile &a, Platform::ReadFile &b, qint64 done, qint64 &remaining) {
    if (!a.MayHaveHoles() || !b.MayHaveHoles())
        return true;
    const qint64 nextA = a.NextData(done), nextB = b.NextData(done);
    if (nextA == done && nextB == done)
        return true;
    const qint64 hole = std::min({nextA, nextB, done + remaining}) - done;
    remaining -= hole;
    return a.Seek(done + hole) && b.Seek(done + hole);
}
} // namespace

bool AllocCompareBuffers() {
    if (BufferA)
        return true;
    BufferA.reset(new (std::nothrow) char[CompareBufferSize]);
    BufferB.reset(new (std::nothrow) char[CompareBufferSize]);
    if (!BufferA || !BufferB) {
        FreeCompareBuffers();
        return false;
    }
    return true;
}

void FreeCompareBuffers() {
    BufferA.reset();
    BufferB.reset();
    FirstFolders.Close();
}

void ResetFileCompare() {
    FreeCompareBuffers();
    Trace = nullptr;
}

void SetReadTrace(ReadTrace *trace) {
    Trace = trace;
}

quint32 ComputeQuickSum(const QString &path) {
    quint64 unused = 0;
    return ComputeQuickSum(path, unused);
}

quint32 ComputeQuickSum(const QString &path, quint64 &prefixHash) {
    prefixHash = 0;
    if (!BufferA && !AllocCompareBuffers())
        return UnreadableSum;
    return ComputeQuickSumInto(path, BufferA.get(), prefixHash);
}

quint32 ComputeQuickSumInto(const QString &path, char *buffer, quint64 &prefixHash) {
    const QuickRead read = ReadQuickSum(path, buffer, nullptr);
    prefixHash = read.PrefixHash;
    return read.Sum;
}

QuickRead ReadQuickSum(const QString &path, char *buffer, Platform::FolderCache *folders) {
    QuickRead read;
    Platform::ReadFile file;
    if (!file.Open(path, folders))
        return read;
    const qint64 n = std::min(file.Size(), QuickChunk);
    if (!file.ReadExactly(buffer, n))
        return read;
    const auto *bytes = reinterpret_cast<const unsigned char *>(buffer);
    quint32 sum = 0;
    for (qint64 k = 0; k + 4 <= n; k += 4)
        sum += LittleEndianWord(bytes + k);
    read.Sum = (sum == 0 || sum == UnreadableSum) ? 1 : sum;
    read.PrefixHash = n <= TinyFileSize ? TinyHash(bytes, n) : HashBytes(bytes, n);
    read.Size = file.Size();
    return read;
}

ByteComparison CompareFileBytes(const QString &first, const QString &second, qint64 scannedSize,
                                const CompareRoom &room) {
    Platform::ReadFile a, b;
    if (!a.Open(first, room.FirstFolders) || !b.Open(second))
        return ByteComparison::Unreadable;
    const qint64 size = scannedSize;
    if (a.Size() != size || b.Size() != size)
        return ByteComparison::Different;
    qint64 remaining = size;
    bool firstChunk = true;
    while (remaining > 0) {
        qint64 chunk = std::min(remaining, room.BufferSize);
        if (firstChunk) {
            // Files that differ mostly do so near the start: a large file is
            // first compared over the quick sum's bytes only.
            if (size > 204800 && chunk > QuickChunk)
                chunk = QuickChunk;
        } else {
            if (!room.GoOn())
                return ByteComparison::Stopped;
            if (!SkipCommonHole(a, b, size - remaining, remaining))
                return ByteComparison::Unreadable;
            if (remaining == 0)
                break;
            chunk = std::min(remaining, room.BufferSize);
        }
        firstChunk = false;
        // The last piece is read together with the test that nothing follows
        // it: bytes behind the compared ones were written while the files
        // were read.
        if (chunk == remaining) {
            bool followsA = false, followsB = false;
            if (!a.ReadLast(room.A, chunk, followsA) || !b.ReadLast(room.B, chunk, followsB))
                return ByteComparison::Unreadable;
            if (Trace)
                Trace->ChunkRead(chunk);
            return !followsA && !followsB && std::memcmp(room.A, room.B, std::size_t(chunk)) == 0
                       ? ByteComparison::Equal
                       : ByteComparison::Different;
        }
        if (!a.ReadExactly(room.A, chunk) || !b.ReadExactly(room.B, chunk))
            return ByteComparison::Unreadable;
        if (Trace)
            Trace->ChunkRead(chunk);
        if (std::memcmp(room.A, room.B, std::size_t(chunk)) != 0)
            return ByteComparison::Different;
        remaining -= chunk;
    }
    return a.AtEnd() && b.AtEnd() ? ByteComparison::Equal : ByteComparison::Different;
}

ByteComparison FilesEqual(const QString &first, const QString &second, qint64 scannedSize) {
    if (!BufferA && !AllocCompareBuffers())
        return ByteComparison::Unreadable;
    const CompareRoom room{BufferA.get(), BufferB.get(), CompareBufferSize, &FirstFolders, [] {
                               ProcessMessages();
                               return RunState() != RunStateValue::StopRequested;
                           }};
    return CompareFileBytes(first, second, scannedSize, room);
}

bool HashFileRange(const QString &path, qint64 expectedSize, qint64 from, qint64 to, char *buffer,
                   qint64 bufferSize, quint64 &hash, const std::function<bool()> &goOn,
                   Platform::FolderCache *folders) {
    Platform::ReadFile file;
    if (!file.Open(path, folders) || file.Size() != expectedSize || !file.Seek(from))
        return false;
    for (qint64 position = from; position < to;) {
        if (!goOn())
            return false;
        const qint64 piece = std::min(to - position, bufferSize);
        if (!file.ReadExactly(buffer, piece))
            return false;
        hash = HashBytes(reinterpret_cast<const unsigned char *>(buffer), piece, hash);
        position += piece;
    }
    return true;
}

int SizeRatio(qint64 size1, qint64 size2) {
    if (size1 < 200 || size2 < 200)
        return 0;
    const double smaller = std::min(size1, size2), larger = std::max(size1, size2);
    return int(std::trunc(smaller / larger * 100.0));
}
