#include "compare/StreamUnit.h"

#include "run/RunControl.h"

#include <algorithm>
#include <array>
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

ReadResult TFileBlockReader::ReadInto(char *target, qint64 position, qint64 count) {
    if (!Opened || position < 0 || count < 0 || position > Size || count > Size - position)
        return ReadResult::OutOfRange;
    if (HasBuffer && BufferStart <= position && position + count <= BufferStart + BufferLength) {
        std::memcpy(target, Buffer + (position - BufferStart), std::size_t(count));
        return ReadResult::Ok;
    }
    if (!HandleOpen || !File.Seek(position) || !File.ReadExactly(target, count))
        return ReadResult::ReadFailed;
    return ReadResult::Ok;
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

void SplitArea(TAreaArray &areas, int index, qint64 offset, qint64 blockLength) {
    TArea &area = areas[std::size_t(index)];
    const TArea behind{area.Start + offset + blockLength, area.Length - offset - blockLength};
    area.Length = offset;
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
static_assert(LargestRecording <= TFileBlockReader::MaxBufferedBytes);

StreamLimits Limits;

// What a block search gives besides an offset.
constexpr qint64 NotFound = -1;
constexpr qint64 SearchFailed = -2;

UnreadableSide SideOf(const TFileBlockReader &reader, const TFileBlockReader &a) {
    return &reader == &a ? FirstUnreadable : SecondUnreadable;
}

int BlockPercent(qint64 found, qint64 block, qint64 largerSize) {
    return int(std::trunc(double(found * block) / double(largerSize) * 100.0));
}

// The twenty blocks of the smaller file, each sought in the areas of the
// larger file that no earlier block matched, area by area in array order;
// the first area that holds the block loses the matched bytes. prepare(k)
// makes block k the one sought (false: it cannot be read); find(area) gives
// its first offset in the area, NotFound, or SearchFailed. With mayGiveUp the
// walk ends as soon as the result can no longer reach minimum (0: never).
template <typename Prepare, typename Find>
int WalkBlocks(qint64 smallerSize, qint64 largerSize, qint64 block, int minimum, bool mayGiveUp,
               Prepare prepare, Find find) {
    // Blocks are only sought in as many bytes of the larger file as the smaller
    // one has, so a file cannot match another merely by being contained in it.
    thread_local TAreaArray areas;
    areas.clear();
    areas.reserve(BlockCount + 1);
    areas.push_back({0, smallerSize});
    int found = 0;
    for (int k = 0; k < BlockCount; ++k) {
        // Two of the first ten blocks must occur, else the files are unrelated.
        if (k == EarlyExitBlock && found < 2)
            return -1;
        if (mayGiveUp) {
            if (k < EarlyExitBlock && found + EarlyExitBlock - k < 2)
                return -1;
            if (minimum > 0 && BlockPercent(found + BlockCount - k, block, largerSize) < minimum)
                return -1;
        }
        if (!prepare(k))
            return -1;
        for (std::size_t index = 0; index < areas.size(); ++index) {
            const qint64 offset = find(areas[index]);
            if (offset == SearchFailed)
                return -1;
            if (offset >= 0) {
                ++found;
                SplitArea(areas, int(index), offset, block);
                break;
            }
        }
    }
    return BlockPercent(found, block, largerSize);
}

// Both files held whole.
int MatchInMemory(TFileBlockReader &a, TFileBlockReader &larger, TFileBlockReader &smaller,
                  qint64 block, int minimum, UnreadableSide &unreadable) {
    const ReadResult whole = larger.ReadAll();
    if (whole == ReadResult::ReadFailed)
        unreadable = SideOf(larger, a);
    if (whole != ReadResult::Ok)
        return -1;
    smaller.ReadAll();
    // Giving up early skips reads; only while the smaller file is held whole
    // can none of them fail, so that the unreadable side stays the same.
    const bool mayGiveUp = smaller.HoldsWholeFile();
    thread_local TBlockSearcher searcher;
    const char *haystack = larger.Buffer;
    return WalkBlocks(
        smaller.Size, larger.Size, block, minimum, mayGiveUp,
        [&](int k) {
            const char *pattern = nullptr;
            if (smaller.ReadBlock(qint32(block), pattern, k * block) != ReadResult::Ok) {
                unreadable = SideOf(smaller, a);
                return false;
            }
            searcher.Prepare(pattern, qint32(block));
            return true;
        },
        [&](const TArea &area) -> qint64 {
            return searcher.Find(haystack + area.Start, qint32(area.Length));
        });
}

// The fingerprint of a byte string: the sum of Code[byte] × Base^(distance
// from the end), modulo 2^64. Rolling it along the larger file costs a
// multiplication and two look-ups per byte, and a window that matches the
// fingerprint is still compared byte for byte, so a collision costs time only.
constexpr quint64 Base = 0x9E3779B97F4A7C15ULL;
const std::array<quint64, 256> &Codes() {
    static const std::array<quint64, 256> codes = [] {
        std::array<quint64, 256> c{};
        quint64 x = 0x243F6A8885A308D3ULL;
        for (quint64 &code : c) { // splitmix64: well-spread constants
            x += 0x9E3779B97F4A7C15ULL;
            quint64 z = x;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            code = z ^ (z >> 31);
        }
        return c;
    }();
    return codes;
}

// Reads a range of a file front to back through a buffer of the caller's.
class TForwardReader {
public:
    TForwardReader(TFileBlockReader &reader, qint64 position, qint64 end, char *buffer,
                   qint64 capacity)
        : Reader(reader), Position(position), End(end), Buffer(buffer), Capacity(capacity) {}

    // How many bytes follow in the buffer; 0 at the end of the range or after
    // a failed read.
    qint64 Available() {
        if (Used == Filled)
            Refill();
        return Filled - Used;
    }
    const unsigned char *Data() const {
        return reinterpret_cast<const unsigned char *>(Buffer) + Used;
    }
    void Advance(qint64 count) { Used += count; }
    bool Failed() const { return ReadFailed; }
    TFileBlockReader &File() const { return Reader; }

private:
    void Refill() {
        Position += Filled;
        Used = Filled = 0;
        const qint64 count = std::min(Capacity, End - Position);
        if (count <= 0 || ReadFailed)
            return;
        if (Reader.ReadInto(Buffer, Position, count) != ReadResult::Ok) {
            ReadFailed = true;
            return;
        }
        Filled = count;
    }

    TFileBlockReader &Reader;
    qint64 Position;
    const qint64 End;
    char *const Buffer;
    const qint64 Capacity;
    qint64 Used = 0;
    qint64 Filled = 0;
    bool ReadFailed = false;
};

// The block search for a larger file that is not held whole: the same first
// occurrences as in memory, reading a piece at a time. Between pieces events
// are let through; a stop ends the search as a failure without a side.
class TPiecewiseSearch {
public:
    TPiecewiseSearch(TFileBlockReader &smaller, TFileBlockReader &larger, qint64 block)
        : Smaller(smaller), Larger(larger), Block(block), InWindows(block <= Limits.WindowBlock),
          Piece(Limits.Piece) {
        if (InWindows) {
            WindowBytes = std::max(4 * Piece, 2 * Block);
            Window = Allocate(WindowBytes);
            if (!Smaller.HoldsWholeFile())
                PatternCopy = Allocate(Block);
        } else {
            for (auto *buffer : {&Lead, &Lag, &Mine, &Theirs})
                *buffer = Allocate(Piece);
            quint64 power = 1, square = Base; // Base^Block
            for (qint64 e = Block; e > 0; e >>= 1, square *= square)
                if (e & 1)
                    power *= square;
            for (int byte = 0; byte < 256; ++byte)
                Leaving[std::size_t(byte)] = quint64(0) - Codes()[std::size_t(byte)] * power;
        }
    }

    bool Usable() const { return !OutOfMemory; }
    // The reader whose read failed; null after a stop.
    TFileBlockReader *FailedReader = nullptr;

    bool Prepare(int k) {
        PatternStart = k * Block;
        FingerprintKnown = false;
        if (!InWindows)
            return true;
        const char *pattern = Smaller.Buffer + PatternStart;
        if (!Smaller.HoldsWholeFile()) {
            if (!Read(Smaller, PatternCopy.get(), PatternStart, Block))
                return false;
            pattern = PatternCopy.get();
        }
        Searcher.Prepare(pattern, qint32(Block));
        return true;
    }

    qint64 Find(const TArea &area) {
        if (area.Length < Block)
            return NotFound;
        if (InWindows)
            return FindInWindows(area);
        // Copies keep their blocks in place, and a comparison that fails
        // mostly does so within a few bytes: the first position is tried as
        // it is before any fingerprint is taken.
        switch (SameBytesAt(area.Start)) {
        case Sameness::Same:
            return 0;
        case Sameness::Failed:
            return SearchFailed;
        case Sameness::Different:
            break;
        }
        return area.Length == Block ? NotFound : FindByFingerprint(area);
    }

private:
    enum class Sameness { Same, Different, Failed };

    std::unique_ptr<char[]> Allocate(qint64 bytes) {
        std::unique_ptr<char[]> memory(new (std::nothrow) char[std::size_t(bytes)]);
        OutOfMemory = OutOfMemory || !memory;
        return memory;
    }

    // Lets events through; false when the run is to stop.
    static bool Poll() {
        ProcessMessages();
        return !StopOrTerminate();
    }

    bool Read(TFileBlockReader &reader, char *target, qint64 position, qint64 count) {
        if (!Poll())
            return false;
        if (reader.ReadInto(target, position, count) == ReadResult::Ok)
            return true;
        FailedReader = &reader;
        return false;
    }

    // Windows overlap by one byte less than the block, so that every position
    // of the area is tried once, in order.
    qint64 FindInWindows(const TArea &area) {
        char *window = Window.get();
        const qint64 end = area.Start + area.Length;
        qint64 start = area.Start, kept = 0;
        for (;;) {
            const qint64 count = std::min(WindowBytes - kept, end - (start + kept));
            if (!Read(Larger, window + kept, start + kept, count))
                return SearchFailed;
            const qint64 held = kept + count;
            const qint32 offset = Searcher.Find(window, qint32(held));
            if (offset >= 0)
                return start + offset - area.Start;
            if (start + held == end)
                return NotFound;
            kept = Block - 1;
            std::memmove(window, window + held - kept, std::size_t(kept));
            start += held - kept;
        }
    }

    // The block against the larger file at position, piece by piece, up to
    // the first difference.
    Sameness SameBytesAt(qint64 position) {
        for (qint64 done = 0; done < Block;) {
            const qint64 count = std::min(Piece, Block - done);
            if (!Read(Smaller, Mine.get(), PatternStart + done, count) ||
                !Read(Larger, Theirs.get(), position + done, count))
                return Sameness::Failed;
            if (std::memcmp(Mine.get(), Theirs.get(), std::size_t(count)) != 0)
                return Sameness::Different;
            done += count;
        }
        return Sameness::Same;
    }

    // Adds the bytes of a range to a fingerprint; false after a failed read
    // or a stop.
    bool Extend(quint64 &fingerprint, TForwardReader &range) {
        const std::array<quint64, 256> &codes = Codes();
        while (const qint64 n = range.Available()) {
            const unsigned char *bytes = range.Data();
            for (qint64 i = 0; i < n; ++i)
                fingerprint = fingerprint * Base + codes[bytes[i]];
            range.Advance(n);
            if (!Poll())
                return false;
        }
        return !Failed(range);
    }

    bool Failed(const TForwardReader &range) {
        if (range.Failed())
            FailedReader = &range.File();
        return range.Failed();
    }

    // The window's fingerprint is rolled one byte at a time; where it equals
    // the block's, the bytes decide.
    qint64 FindByFingerprint(const TArea &area) {
        const std::array<quint64, 256> &codes = Codes();
        const qint64 end = area.Start + area.Length;
        if (!FingerprintKnown) {
            TForwardReader pattern(Smaller, PatternStart, PatternStart + Block, Lead.get(), Piece);
            Sought = 0;
            if (!Extend(Sought, pattern))
                return SearchFailed;
            FingerprintKnown = true;
        }
        quint64 fingerprint = 0;
        TForwardReader first(Larger, area.Start, area.Start + Block, Lead.get(), Piece);
        if (!Extend(fingerprint, first))
            return SearchFailed;
        TForwardReader entering(Larger, area.Start + Block, end, Lead.get(), Piece);
        TForwardReader leaving(Larger, area.Start, end - Block, Lag.get(), Piece);
        qint64 position = area.Start;
        for (;;) {
            if (fingerprint == Sought) {
                switch (SameBytesAt(position)) {
                case Sameness::Same:
                    return position - area.Start;
                case Sameness::Failed:
                    return SearchFailed;
                case Sameness::Different:
                    break;
                }
            }
            if (position + Block == end)
                return NotFound;
            const qint64 n = std::min(entering.Available(), leaving.Available());
            if (n == 0) {
                Failed(entering);
                Failed(leaving);
                return SearchFailed;
            }
            const unsigned char *in = entering.Data(), *out = leaving.Data();
            qint64 i = 0;
            while (i < n) {
                fingerprint = fingerprint * Base + codes[in[i]] + Leaving[out[i]];
                ++i;
                if (fingerprint == Sought)
                    break;
            }
            entering.Advance(i);
            leaving.Advance(i);
            position += i;
            if (!Poll())
                return SearchFailed;
        }
    }

    TFileBlockReader &Smaller;
    TFileBlockReader &Larger;
    const qint64 Block;
    const bool InWindows;
    const qint64 Piece;
    bool OutOfMemory = false;
    qint64 PatternStart = 0;

    // Blocks sought in windows.
    qint64 WindowBytes = 0;
    std::unique_ptr<char[]> Window;
    std::unique_ptr<char[]> PatternCopy;
    TBlockSearcher Searcher;

    // Blocks sought by fingerprint.
    std::unique_ptr<char[]> Lead, Lag, Mine, Theirs;
    std::array<quint64, 256> Leaving{}; // what a byte leaving the window takes off
    quint64 Sought = 0;
    bool FingerprintKnown = false;
};

// Only the larger file is read in pieces; a smaller file that fits is held
// whole. Giving up early is always allowed here: a read it skips could only
// have named a file unreadable that the next run meets again.
int MatchPiecewise(TFileBlockReader &a, TFileBlockReader &larger, TFileBlockReader &smaller,
                   qint64 block, int minimum, UnreadableSide &unreadable) {
    if (smaller.Size <= Limits.WholeFile)
        smaller.ReadAll();
    TPiecewiseSearch search(smaller, larger, block);
    if (!search.Usable())
        return -1;
    const int result = WalkBlocks(
        smaller.Size, larger.Size, block, minimum, true, [&](int k) { return search.Prepare(k); },
        [&](const TArea &area) { return search.Find(area); });
    if (search.FailedReader)
        unreadable = SideOf(*search.FailedReader, a);
    return result;
}

// CompareBlocks that may give up as soon as the result can no longer reach
// minimum (0: never).
int MatchBlocks(TFileBlockReader &a, TFileBlockReader &b, int minimum, UnreadableSide &unreadable) {
    unreadable = NoneUnreadable;
    if (a.Size < SmallestBlockFile || b.Size < SmallestBlockFile)
        return -1;
    TFileBlockReader &larger = b.Size > a.Size ? b : a;
    TFileBlockReader &smaller = &larger == &a ? b : a;
    const qint64 block = smaller.Size / BlockCount;
    if (block < 20)
        return -1;
    if (larger.Size <= Limits.WholeFile)
        return MatchInMemory(a, larger, smaller, block, minimum, unreadable);
    return MatchPiecewise(a, larger, smaller, block, minimum, unreadable);
}
} // namespace

void SetStreamLimits(const StreamLimits &limits) {
    Limits = limits;
    Limits.WholeFile = std::min(Limits.WholeFile, TFileBlockReader::MaxBufferedBytes);
}

void ResetStreamUnit() {
    Limits = StreamLimits();
}

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
