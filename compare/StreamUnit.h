#pragma once
// A reader that keeps one range of a file, often the whole file, in memory,
// and the block matching that measures how much of one file occurs in another.
// Files up to a few megabytes are compared in memory; larger ones are read in
// pieces, so that a comparison needs the same few dozen megabytes whatever the
// sizes, and gives the same result as it would in memory.

#include "platform/Platform.h"

#include <QString>
#include <array>
#include <memory>
#include <vector>

enum class ReadResult : quint8 {
    Ok = 0,
    TooLarge = 1,
    ReadFailed = 2,
    OutOfRange = 3,
};

class TFileBlockReader {
public:
    // The most a reader holds at once; a longer range is TooLarge.
    static constexpr qint64 MaxBufferedBytes = 16 * 1024 * 1024;

    TFileBlockReader() = default;
    ~TFileBlockReader() { Close(); }
    TFileBlockReader(const TFileBlockReader &) = delete;
    TFileBlockReader &operator=(const TFileBlockReader &) = delete;

    // Opening the name already held changes nothing, so the buffered file stays.
    bool Open(const QString &name);
    void Close();
    void FreeBuffer();
    ReadResult EnsureBuffered(qint64 position, qint64 count);
    ReadResult ReadAll() { return EnsureBuffered(0, Size); }
    // block points into the buffer until the next read or Close.
    ReadResult ReadBlock(qint32 count, const char *&block, qint64 position);
    // Copies a range into the caller's memory: from the buffer when it holds
    // the range, otherwise from the file. The buffer stays as it is.
    ReadResult ReadInto(char *target, qint64 position, qint64 count);

    // True when the whole file is in memory.
    bool HoldsWholeFile() const {
        return Opened && HasBuffer && BufferStart == 0 && BufferLength == Size;
    }

    QString FileName;
    bool Opened = false;
    bool HandleOpen = false;
    bool HasBuffer = false;
    qint64 BufferStart = 0;
    char *Buffer = nullptr; // points into Storage while HasBuffer
    qint32 BufferLength = 0;
    qint64 Size = 0;

private:
    // A driver reads thousands of files through one reader; keeping the memory
    // of a freed buffer (up to RetainedBytes) spares an allocation and fresh
    // pages for every file.
    static constexpr qint64 RetainedBytes = 64 * 1024 * 1024;
    std::unique_ptr<char[]> Storage;
    qint64 Capacity = 0;
    Platform::ReadFile File;
};

// A byte range of the larger file that no block has matched yet.
struct TArea {
    qint64 Start = 0;
    qint64 Length = 0;
};
using TAreaArray = std::vector<TArea>;

// Which file of a pair could not be read.
enum UnreadableSide : quint8 {
    NoneUnreadable = 0,
    FirstUnreadable = 1,  // the file of the first reader
    SecondUnreadable = 2, // the file of the second reader
};

// Offset of the first occurrence of pattern in data, or -1.
qint32 FindBytes(const char *pattern, qint32 patternLength, const char *data, qint32 dataLength);
// Finds one block in many stretches of data, with the result of FindBytes.
// Prepared once per block, it skips ahead by groups of four bytes, which on
// everyday data passes over most bytes unread; on runs of repeated bytes,
// where skipping does not pay, it hands over to the linear searcher.
class TBlockSearcher {
public:
    // The pattern must stay valid while Find is used.
    void Prepare(const char *pattern, qint32 length);
    qint32 Find(const char *data, qint32 length) const;

private:
    static constexpr int HashBits = 12;
    const char *Pattern = nullptr;
    qint32 Length = 0;
    quint32 LastHash = 0;
    std::array<qint32, 1 << HashBits> Shift{};
};

// Cuts the found block out of area index, keeping the parts before and behind it.
void SplitArea(TAreaArray &areas, int index, qint64 offset, qint64 blockLength);
// How much of the smaller file occurs in the larger one, judged by twenty
// blocks; -1 when the pair cannot be judged this way.
int CompareBlocks(TFileBlockReader &a, TFileBlockReader &b, UnreadableSide &unreadable);
// CompareBlocks for a caller that only needs results of at least
// minimumPercent: those are the same, any other result is some value below
// minimumPercent, found without searching blocks that could not change that.
int CompareBlocksReaching(TFileBlockReader &a, TFileBlockReader &b, quint8 minimumPercent,
                          UnreadableSide &unreadable);
// For two recordings: whether the smaller file without its first and last
// 51200 bytes occurs as one piece in the larger file. The percentage when it
// does, 0 when it does not, a percentage below minimumPercent when it cannot
// reach it, -1 when the sizes are outside 1 MiB..15 MiB or a read fails.
// The range is the method's own: it is meant for single recordings, and both
// files of such a pair fit in the readers together.
int CompareInner(TFileBlockReader &a, TFileBlockReader &b, quint8 minimumPercent,
                 UnreadableSide &unreadable);

// How much a block comparison holds at a time. Pairs whose larger file is at
// most WholeFile bytes are compared in memory; other files are read in pieces
// of Piece bytes, and a block of up to WindowBlock bytes is sought in windows
// of the larger file, a longer one by a fingerprint rolled along it. Tests
// make the limits small so that small files take every path.
struct StreamLimits {
    qint64 WholeFile = TFileBlockReader::MaxBufferedBytes;
    qint64 Piece = 1024 * 1024;
    qint64 WindowBlock = 4 * 1024 * 1024;
};
void SetStreamLimits(const StreamLimits &limits);
// Back to the limits of the program (tests).
void ResetStreamUnit();
