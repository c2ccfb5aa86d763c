#pragma once
// Comparing two files: the quick checksum, byte-for-byte equality, and the
// similarity of their names.

#include <QString>
#include <QtGlobal>

#include <functional>

namespace Platform {
class FolderCache;
}

inline constexpr qint64 CompareBufferSize = 524288;
// Most files that differ do so near the start; this much is read first.
inline constexpr qint64 QuickChunk = 30720;

bool AllocCompareBuffers();
void FreeCompareBuffers();
// Back to the state at program start: no buffers, no read trace.
void ResetFileCompare();

// Files up to this size are known whole by the quick read's hash.
inline constexpr qint64 TinyFileSize = 7;

// What ComputeQuickSum gives for a file it cannot open or read.
inline constexpr quint32 UnreadableSum = 0xFFFFFFFF;

// The checksum of the first 30720 bytes; UnreadableSum when the file cannot be
// read. Never 0 or UnreadableSum for a readable file.
quint32 ComputeQuickSum(const QString &path);
// The same, and a 64-bit hash of the very bytes the sum was taken from. Equal
// files always have equal hashes, so a driver can rule out a pair without
// opening the two files again; files of at most TinyFileSize bytes have equal
// hashes only when they are equal.
quint32 ComputeQuickSum(const QString &path, quint64 &prefixHash);
// What one quick read learns of a file.
struct QuickRead {
    quint32 Sum = UnreadableSum;
    quint64 PrefixHash = 0;
    qint64 Size = 0; // the file's size when it was read
};
// The quick read with a buffer of the caller's (at least QuickChunk bytes), so
// that several threads can read sums at once; the bytes read stay in buffer.
QuickRead ReadQuickSum(const QString &path, char *buffer, Platform::FolderCache *folders);
quint32 ComputeQuickSumInto(const QString &path, char *buffer, quint64 &prefixHash);
// Goes on with hash over the bytes from..to of a file that must still be
// expectedSize bytes long, read in pieces of bufferSize through buffer; goOn is
// asked before each piece. Files equal over those bytes get equal hashes, so
// many files of one size can be told apart by reading each of them once. False
// when the file cannot be read, has another size, or goOn said no.
bool HashFileRange(const QString &path, qint64 expectedSize, qint64 from, qint64 to, char *buffer,
                   qint64 bufferSize, quint64 &hash, const std::function<bool()> &goOn,
                   Platform::FolderCache *folders = nullptr);
enum class ByteComparison { Equal, Different, Unreadable, Stopped };
// Byte for byte in chunks of the compare buffers, letting events through
// between chunks; Stopped when a stop was requested meanwhile. Both files must
// still have the size the scan saw (scannedSize) and end where the compared
// bytes end: a file that changed its size since the scan or grows during the
// comparison is Different.
ByteComparison FilesEqual(const QString &first, const QString &second, qint64 scannedSize);
// FilesEqual in the caller's own room, so that other threads may compare at
// the same time: two buffers of bufferSize bytes, a folder cache for the first
// file's folders (may be null), and what is asked between two pieces (false:
// Stopped).
struct CompareRoom {
    char *A = nullptr;
    char *B = nullptr;
    qint64 BufferSize = 0;
    Platform::FolderCache *FirstFolders = nullptr;
    std::function<bool()> GoOn;
};
ByteComparison CompareFileBytes(const QString &first, const QString &second, qint64 scannedSize,
                                const CompareRoom &room);

// The smaller size as a percentage of the larger, 0 when either is below 200
// bytes. No block comparison can score more, so it bounds a pair from above.
int SizeRatio(qint64 size1, qint64 size2);

// Counts the bytes FilesEqual reads per chunk, so tests can see the first short read.
struct ReadTrace {
    virtual ~ReadTrace() = default;
    virtual void ChunkRead(qint64 bytes) = 0;
};
void SetReadTrace(ReadTrace *trace);

// Name similarity.
int ExtensionGroup(const QString &extensionUpper);
bool StripCopyMarks(QString &name);
int NameDistancePercent(const QString &a, const QString &b);
bool NamesSimilar(const QString &name1, const QString &name2, quint8 percent, bool differentExts,
                  quint8 maxLength);

// The parts of one name that NamesSimilar compares, worked out once per file
// when a driver compares many pairs.
struct NameParts {
    QString Base;      // upper case, cut to the maximum length
    QString Extension; // upper case, dot included
    QString Stripped;  // Base without copy marks
    int Group = 0;     // extension group
};
NameParts SplitName(const QString &entryText, quint8 maxLength);
bool NamePartsSimilar(const NameParts &a, const NameParts &b, quint8 percent, bool differentExts);
// Same answer as 100 - NameDistancePercent(a, b) >= percent, but gives up as
// soon as the percentage is out of reach.
bool DistanceWithin(const QString &a, const QString &b, quint8 percent);
