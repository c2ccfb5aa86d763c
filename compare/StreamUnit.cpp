#include "compare/StreamUnit.h"

#include <cmath>
#include <cstring>
#include <new>

bool TFileBlockReader::Open(const QString &name) {
    if (Opened && FileName == name)
        return true;
    Close();
    if (!File.Open(name)) {
        File.Close();
        Opened = HandleOpen = false;
        return false;
    }
    Opened = HandleOpen = true;
    // Copied rather than shared, so that a caller can build the next name in
    // the same text without a fresh allocation for every file.
    FileName.truncate(0);
    FileName.append(name);
    // The true size: cut to 32 bits, a file of 4 GiB + 10 bytes would pass for
    // a file of 10 bytes.
    Size = File.Size();
    return true;
}

void TFileBlockReader::Close() {
    FreeBuffer();
    if (HandleOpen)
        File.Close();
    HandleOpen = false;
    FileName.truncate(0);
    Opened = false;
}

void TFileBlockReader::FreeBuffer() {
    if (!HasBuffer)
        return;
    Buffer = nullptr;
    BufferLength = 0;
    HasBuffer = false;
    if (Capacity > RetainedBytes) {
        Storage.reset();
        Capacity = 0;
    }
}

ReadResult TFileBlockReader::EnsureBuffered(qint64 position, qint64 count) {
    // Written so that no sum can overflow, whatever the caller passes.
    if (!Opened || position < 0 || count < 0 || position > Size || count > Size - position)
        return ReadResult::OutOfRange;
    if (count > MaxBufferedBytes)
        return ReadResult::TooLarge;
    if (HasBuffer) {
        if (BufferStart <= position && position + count <= BufferStart + BufferLength)
            return ReadResult::Ok;
        FreeBuffer();
    }
    if (count == 0)
        return ReadResult::Ok;
    if (count > Capacity) {
        Storage.reset();
        Storage.reset(new (std::nothrow) char[std::size_t(count)]);
        Capacity = Storage ? count : 0;
        if (!Storage) {
            HasBuffer = false;
            return ReadResult::TooLarge;
        }
    }
    Buffer = Storage.get();
    HasBuffer = true;
    BufferLength = qint32(count);
    BufferStart = position;
    if (!HandleOpen || !File.Seek(position) || !File.ReadExactly(Buffer, count)) {
        FreeBuffer();
        return ReadResult::ReadFailed;
    }
    if (position == 0 && count == Size) {
        File.Close();
        HandleOpen = false;
    }
    return ReadResult::Ok;
}

ReadResult TFileBlockReader::ReadBlock(qint32 count, const char *&block, qint64 position) {
    block = nullptr;
    const ReadResult result = EnsureBuffered(position, count);
    if (result == ReadResult::Ok && Buffer)
        block = Buffer + (position - BufferStart);
    return result;
}

qint32 FindBytes(const char *pattern, qint32 patternLength, const char *data, qint32 dataLength) {
    if (!pattern || !data || patternLength <= 0 || dataLength <= 0 || dataLength < patternLength)
        return -1;
    const char *found = Platform::FindMemory(data, dataLength, pattern, patternLength);
    return found ? qint32(found - data) : -1;
}

namespace {
// Shorter blocks are found fastest by the C library alone.
constexpr qint32 ShortestSkippingPattern = 256;
constexpr int GroupBytes = 4;

quint32 GroupHash(const char *p, int bits) {
    quint32 word;
    std::memcpy(&word, p, GroupBytes);
    return (word * 2654435761u) >> (32 - bits);
}
} // namespace

void TBlockSearcher::Prepare(const char *pattern, qint32 length) {
    Pattern = pattern;
    Length = length;
    if (!pattern || length < ShortestSkippingPattern)
        return;
    // For each group hash: how far the window may move when its last four
    // bytes have that hash, so that no occurrence is passed over.
    Shift.fill(length - GroupBytes + 1);
    for (qint32 p = 0; p < length - GroupBytes; ++p)
        Shift[GroupHash(pattern + p, HashBits)] = length - GroupBytes - p;
    LastHash = GroupHash(pattern + length - GroupBytes, HashBits);
}

qint32 TBlockSearcher::Find(const char *data, qint32 length) const {
    if (!Pattern || !data || Length <= 0 || length <= 0 || length < Length)
        return -1;
    qint64 position = 0;
    if (Length >= ShortestSkippingPattern) {
        const qint64 last = length - Length;
        const qint64 stepLimit = length / 16 + 64;
        qint64 steps = 0;
        int verified = 0;
        while (position <= last) {
            const quint32 hash = GroupHash(data + position + Length - GroupBytes, HashBits);
            if (hash == LastHash) {
                if (std::memcmp(data + position, Pattern, std::size_t(Length)) == 0)
                    return qint32(position);
                if (++verified > 16)
                    break;
            }
            position += Shift[hash];
            if (++steps > stepLimit)
                break;
        }
        if (position > last)
            return -1;
    }
    // Every position before this one has been ruled out.
    const char *found = Platform::FindMemory(data + position, length - position, Pattern, Length);
    return found ? qint32(found - data) : -1;
}

void SplitArea(TAreaArray &areas, int index, int offset, int blockLength) {
    TArea &area = areas[std::size_t(index)];
    const TArea behind{area.Start + quint32(offset) + quint32(blockLength),
                       area.Length - quint32(offset) - quint32(blockLength)};
    area.Length = quint32(offset);
    areas.push_back(behind);
    if (offset == 0) {
        areas[std::size_t(index)] = areas.back();
        areas.pop_back();
    }
}

namespace {
constexpr qint64 SmallestBlockFile = 400;
constexpr int BlockCount = 20;
constexpr int EarlyExitBlock = 10;
// Tag blocks of recordings live in the first and last 50 KB.
constexpr qint64 TagBytes = 51200;
constexpr qint64 SmallestRecording = 1048576;
constexpr qint64 LargestRecording = 15728640;

UnreadableSide SideOf(const TFileBlockReader &reader, const TFileBlockReader &a) {
    return &reader == &a ? FirstUnreadable : SecondUnreadable;
}
} // namespace

namespace {
int BlockPercent(qint64 found, qint64 block, qint64 largerSize) {
    return int(std::trunc(double(found * block) / double(largerSize) * 100.0));
}

// CompareBlocks that may give up as soon as the result can no longer reach
// minimum (0: never). It gives up only while the smaller file is held whole,
// so no read that could fail is skipped and the unreadable side is the same.
int MatchBlocks(TFileBlockReader &a, TFileBlockReader &b, int minimum, UnreadableSide &unreadable) {
    unreadable = NoneUnreadable;
    if (a.Size < SmallestBlockFile || b.Size < SmallestBlockFile ||
        a.Size > TFileBlockReader::MaxBufferedBytes || b.Size > TFileBlockReader::MaxBufferedBytes)
        return -1;
    TFileBlockReader &larger = b.Size > a.Size ? b : a;
    TFileBlockReader &smaller = &larger == &a ? b : a;
    const qint64 block = smaller.Size / BlockCount;
    if (block < 20)
        return -1;
    const ReadResult whole = larger.ReadAll();
    if (whole == ReadResult::ReadFailed)
        unreadable = SideOf(larger, a);
    if (whole != ReadResult::Ok)
        return -1;
    smaller.ReadAll();
    const bool mayGiveUp = smaller.HoldsWholeFile();

    // Blocks are only sought in as many bytes of the larger file as the smaller
    // one has, so a file cannot match another merely by being contained in it.
    thread_local TAreaArray areas;
    thread_local TBlockSearcher searcher;
    areas.clear();
    areas.reserve(BlockCount + 1);
    areas.push_back({0, quint32(smaller.Size)});
    const char *haystack = larger.Buffer;
    int found = 0;
    for (int k = 0; k < BlockCount; ++k) {
        // Two of the first ten blocks must occur, else the files are unrelated.
        if (k == EarlyExitBlock && found < 2)
            return -1;
        if (mayGiveUp) {
            if (k < EarlyExitBlock && found + EarlyExitBlock - k < 2)
                return -1;
            if (minimum > 0 && BlockPercent(found + BlockCount - k, block, larger.Size) < minimum)
                return -1;
        }
        const char *pattern = nullptr;
        if (smaller.ReadBlock(qint32(block), pattern, k * block) != ReadResult::Ok) {
            unreadable = SideOf(smaller, a);
            return -1;
        }
        searcher.Prepare(pattern, qint32(block));
        for (std::size_t index = 0; index < areas.size(); ++index) {
            const TArea area = areas[index];
            const qint32 offset = searcher.Find(haystack + area.Start, qint32(area.Length));
            if (offset >= 0) {
                ++found;
                SplitArea(areas, int(index), offset, int(block));
                break;
            }
        }
    }
    return BlockPercent(found, block, larger.Size);
}
} // namespace

int CompareBlocks(TFileBlockReader &a, TFileBlockReader &b, UnreadableSide &unreadable) {
    return MatchBlocks(a, b, 0, unreadable);
}

int CompareBlocksReaching(TFileBlockReader &a, TFileBlockReader &b, quint8 minimumPercent,
                          UnreadableSide &unreadable) {
    return MatchBlocks(a, b, minimumPercent, unreadable);
}

int CompareInner(TFileBlockReader &a, TFileBlockReader &b, quint8 minimumPercent,
                 UnreadableSide &unreadable) {
    unreadable = NoneUnreadable;
    if (a.Size < SmallestRecording || b.Size < SmallestRecording || a.Size > LargestRecording ||
        b.Size > LargestRecording)
        return -1;
    TFileBlockReader &larger = b.Size > a.Size ? b : a;
    TFileBlockReader &smaller = &larger == &a ? b : a;
    const qint64 inner = smaller.Size - 2 * TagBytes;
    const int percent = int(std::trunc(double(inner) / double(larger.Size) * 100.0));
    if (minimumPercent > percent)
        return percent;
    for (TFileBlockReader *reader : {&larger, &smaller}) {
        const ReadResult result = reader->ReadAll();
        if (result == ReadResult::ReadFailed)
            unreadable = SideOf(*reader, a);
        if (result != ReadResult::Ok)
            return -1;
    }
    const qint32 offset =
        FindBytes(smaller.Buffer + TagBytes, qint32(inner), larger.Buffer, qint32(larger.Size));
    return offset >= 0 ? percent : 0;
}
