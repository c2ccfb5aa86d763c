#include "compare/FileCompareUnit.h"

#include "platform/Platform.h"
#include "run/RunControl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {
std::unique_ptr<char[]> BufferA;
std::unique_ptr<char[]> BufferB;
ReadTrace *Trace = nullptr;

quint32 LittleEndianWord(const unsigned char *p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
// A quick multiplicative hash over the bytes, 8 at a time; the length is mixed
// in so that files differing only in trailing zero bytes differ.
quint64 HashBytes(const unsigned char *bytes, qint64 n) {
    constexpr quint64 Multiplier = 0x9E3779B97F4A7C15ULL;
    quint64 h = quint64(n) * Multiplier;
    qint64 k = 0;
    for (; k + 8 <= n; k += 8) {
        quint64 word;
        std::memcpy(&word, bytes + k, 8);
        h = (h ^ word) * Multiplier;
        h ^= h >> 29;
    }
    quint64 tail = 0;
    std::memcpy(&tail, bytes + k, std::size_t(n - k));
    h = (h ^ tail) * Multiplier;
    return h ^ (h >> 32);
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
    prefixHash = 0;
    Platform::ReadFile file;
    if (!file.Open(path))
        return UnreadableSum;
    const qint64 n = std::min(file.Size(), QuickChunk);
    if (!file.ReadExactly(buffer, n))
        return UnreadableSum;
    const auto *bytes = reinterpret_cast<const unsigned char *>(buffer);
    quint32 sum = 0;
    for (qint64 k = 0; k + 4 <= n; k += 4)
        sum += LittleEndianWord(bytes + k);
    prefixHash = HashBytes(bytes, n);
    return (sum == 0 || sum == UnreadableSum) ? 1 : sum;
}

ByteComparison FilesEqual(const QString &first, const QString &second, qint64 scannedSize) {
    if (!BufferA && !AllocCompareBuffers())
        return ByteComparison::Unreadable;
    Platform::ReadFile a, b;
    if (!a.Open(first) || !b.Open(second))
        return ByteComparison::Unreadable;
    const qint64 size = scannedSize;
    if (a.Size() != size || b.Size() != size)
        return ByteComparison::Different;
    qint64 remaining = size;
    bool firstChunk = true;
    while (remaining > 0) {
        qint64 chunk = std::min(remaining, CompareBufferSize);
        if (firstChunk) {
            // Files that differ mostly do so near the start: a large file is
            // first compared over the quick sum's bytes only.
            if (size > 204800 && chunk > QuickChunk)
                chunk = QuickChunk;
        } else {
            ProcessMessages();
            if (RunState() == RunStateValue::StopRequested)
                return ByteComparison::Stopped;
            if (!SkipCommonHole(a, b, size - remaining, remaining))
                return ByteComparison::Unreadable;
            if (remaining == 0)
                break;
            chunk = std::min(remaining, CompareBufferSize);
        }
        firstChunk = false;
        if (!a.ReadExactly(BufferA.get(), chunk) || !b.ReadExactly(BufferB.get(), chunk))
            return ByteComparison::Unreadable;
        if (Trace)
            Trace->ChunkRead(chunk);
        if (std::memcmp(BufferA.get(), BufferB.get(), std::size_t(chunk)) != 0)
            return ByteComparison::Different;
        remaining -= chunk;
    }
    // Bytes behind the compared ones were written while the files were read.
    return a.AtEnd() && b.AtEnd() ? ByteComparison::Equal : ByteComparison::Different;
}

int SizeRatio(qint64 size1, qint64 size2) {
    if (size1 < 200 || size2 < 200)
        return 0;
    const double smaller = std::min(size1, size2), larger = std::max(size1, size2);
    return int(std::trunc(smaller / larger * 100.0));
}
