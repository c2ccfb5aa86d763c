#include "search/SimilarityDriver.h"

#include "compare/ImageCompareUnit.h"
#include "compare/ImageDecoder.h"
#include "run/RunControl.h"
#include "search/ContentCache.h"
#include "search/WorkerReads.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace {
// From this percentage on pictures are compared strictly, over their whole
// height: who asks for 90 % and more wants copies, not pictures that merely
// share their middle.
constexpr int StrictImagePercent = 90;
const QString MatchIndent = QStringLiteral("            ");
} // namespace

bool IsMp3(const QString &text) {
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && QStringView(text).mid(dot).compare(u".mp3", Qt::CaseInsensitive) == 0;
}

SimilarityPairs::SimilarityPairs(const SearchOptions &options, bool include100, bool walkEveryPair)
    : Options(options), Include100(include100), Table(FileTable()),
      SizeOrdered(!walkEveryPair && !options.ImageMode && options.ContentPercent > 0) {
    const int n = int(Table.size());
    if (Options.CompareNames)
        Names.Build(Table, Options);
    Mp3.reserve(std::size_t(n));
    for (const FileEntry &entry : Table)
        Mp3.push_back(IsMp3(entry.Text));
    Prefixes.resize(std::size_t(n));
    PrefixStates.resize(std::size_t(n));
    if (SizeOrdered)
        BuildSizeOrder();
    HeadPath.reserve(256);
    PartnerPath.reserve(256);
    StatusText.reserve(256);
}

SimilarityPairs::~SimilarityPairs() = default;

void SimilarityPairs::BuildSizeOrder() {
    const int n = int(Table.size());
    BySize.resize(std::size_t(n));
    for (int k = 0; k < n; ++k)
        BySize[std::size_t(k)] = k;
    std::stable_sort(BySize.begin(), BySize.end(), [&](int x, int y) {
        return Table[std::size_t(x)].Record->Size < Table[std::size_t(y)].Record->Size;
    });
    SortedSizes.resize(std::size_t(n));
    for (int k = 0; k < n; ++k)
        SortedSizes[std::size_t(k)] = Table[std::size_t(BySize[std::size_t(k)])].Record->Size;
    Candidates.reserve(std::size_t(n));
}

void SimilarityPairs::PrepareHead(int i) {
    const FileEntry &head = Table[std::size_t(i)];
    HeadFingerprint.clear();
    HeadPath.truncate(0);
    HeadPath += Context().CommonBaseFolder;
    HeadPath += head.Text;
    if (B->Opened && B->FileName == HeadPath)
        std::swap(A, B);
}

int SimilarityPairs::FirstCandidate(int i) {
    if (StoreFailed)
        return -1;
    if (!SizeOrdered)
        return i + 1;
    Candidates.clear();
    Cursor = 0;
    const qint64 size = Table[std::size_t(i)].Record->Size;
    const int least = Options.ContentPercent;
    if (SizeRatio(size, size) < least)
        return -1;
    // SizeRatio falls off monotonically on both sides of the head's own size,
    // so the sizes that pass form one run of the sorted sizes; it is found
    // with the very test the pairs would get.
    const auto lower = std::partition_point(SortedSizes.begin(), SortedSizes.end(), [&](qint64 s) {
        return s < size && SizeRatio(size, s) < least;
    });
    const auto upper = std::partition_point(lower, SortedSizes.end(), [&](qint64 s) {
        return s <= size || SizeRatio(size, s) >= least;
    });
    const std::size_t from = std::size_t(lower - SortedSizes.begin());
    const std::size_t to = std::size_t(upper - SortedSizes.begin());
    for (std::size_t k = from; k < to; ++k) {
        const int j = BySize[k];
        // A file already in a block stays there for the rest of the run.
        if (j > i && Table[std::size_t(j)].Record->Group < 0)
            Candidates.push_back(j);
    }
    std::sort(Candidates.begin(), Candidates.end());
    return Candidates.empty() ? -1 : Candidates.front();
}

int SimilarityPairs::NextCandidate(int /*i*/, int j) {
    if (!SizeOrdered)
        return j + 1;
    ++Cursor;
    return Cursor < Candidates.size() ? Candidates[Cursor] : -1;
}

// Decoding is nearly all of a picture search's time. A fingerprint is a
// property of its file alone, so making them all up front on every core
// changes nothing the loop finds; only the record numbers follow the order in
// which the threads finish. Files the loop would never reach (a certain file's
// twins cut short by the limit, say) cost a decode they would not have, which
// is cheap next to decoding the rest on one core. Fingerprints of earlier runs
// are taken from the cache for files that are still exactly as they were.
bool SimilarityPairs::FingerprintAhead() {
    if (!Options.ImageMode || !StartupGdiplus())
        return true;
    std::vector<int> pictures;
    for (int k = 0; k < int(Table.size()); ++k) {
        const FileRecord &record = *Table[std::size_t(k)].Record;
        if (record.ImageId == 0 && !record.Unreadable)
            pictures.push_back(k);
    }
    if (pictures.size() < 2)
        return true;
    ContentCache &cache = RunCache();
    std::vector<int> files;
    QByteArray known;
    for (const int k : pictures) {
        FileRecord &record = *Table[std::size_t(k)].Record;
        if (cache.FindFingerprint(CacheKeyOf(record), known))
            record.ImageId = StoreFingerprint(known);
        else
            files.push_back(k);
    }
    const QString base = Context().CommonBaseFolder;
    std::mutex storing;
    const bool complete =
        ReadOnWorkers(files.size(), 0, [&](std::size_t m, ReadWorkspace &workspace) {
            FileEntry &entry = Table[std::size_t(files[m])];
            workspace.Path.resize(0);
            workspace.Path.append(base).append(entry.Text);
            const QByteArray fingerprint = FileFingerprint(workspace.Path);
            // Kept for later runs only when the file decoded was the one scanned.
            const CacheKey key = CacheKeyOf(*entry.Record);
            const bool unchanged = !fingerprint.isEmpty() && KeyOfPath(workspace.Path) == key;
            const std::lock_guard<std::mutex> lock(storing);
            entry.Record->ImageId = StoreFingerprint(fingerprint);
            if (unchanged)
                cache.KeepFingerprint(key, fingerprint);
        });
    // Also after a stop: what was decoded is kept for the next run.
    cache.Save();
    return complete;
}

int SimilarityPairs::ImagePercent(int i, int j) {
    FileRecord &a = *Table[std::size_t(i)].Record;
    FileRecord &b = *Table[std::size_t(j)].Record;
    if (a.ImageId == 0)
        a.ImageId = ImageFingerprint(HeadPath);
    if (HeadFingerprint.isEmpty() && a.ImageId > 0)
        HeadFingerprint = FingerprintData(a.ImageId);
    if (b.ImageId == 0)
        b.ImageId = ImageFingerprint(PartnerPath);
    if (!FingerprintStoreFailure().isEmpty()) {
        StoreFailed = true;
        return 0;
    }
    const bool strict = Options.ContentPercent >= StrictImagePercent;
    // Most pairs are unlike pictures; their coarse parts show it without the
    // partner's fingerprint being read back. Any score below the percentage
    // skips the pair alike.
    if (!FingerprintsMayReach(a.ImageId, b.ImageId, Options.ContentPercent, strict))
        return 1;
    return ImageSimilarity(HeadFingerprint, b.ImageId, strict);
}

// The block comparison; a file found unreadable is marked so that it takes no
// further part in the run.
int SimilarityPairs::ContentPercent(int i, int j) {
    FileRecord &a = *Table[std::size_t(i)].Record;
    FileRecord &b = *Table[std::size_t(j)].Record;
    if (!A->Open(HeadPath)) {
        a.Unreadable = true;
        return -1;
    }
    if (!B->Open(PartnerPath)) {
        b.Unreadable = true;
        return -1;
    }
    UnreadableSide unreadable = NoneUnreadable;
    int p = 0;
    if (Mp3[std::size_t(i)] && Mp3[std::size_t(j)])
        p = CompareInner(*A, *B, Options.ContentPercent, unreadable);
    if (p == 0 && unreadable == NoneUnreadable)
        p = CompareBlocksReaching(*A, *B, Options.ContentPercent, unreadable);
    if (p < Options.ContentPercent) {
        if (unreadable == FirstUnreadable)
            a.Unreadable = true;
        else if (unreadable == SecondUnreadable)
            b.Unreadable = true;
    }
    return p;
}

// Pictures of another shape but nearly the same size are compared by their
// bytes, which reads both whole for every such pair: on a second run over the
// same pictures that would be most of the time left. The score is a property
// of the two files, kept like their fingerprints.
int SimilarityPairs::PictureContentPercent(int i, int j) {
    const FileRecord &a = *Table[std::size_t(i)].Record;
    const FileRecord &b = *Table[std::size_t(j)].Record;
    const CacheKey first = CacheKeyOf(a), second = CacheKeyOf(b);
    const quint8 least = quint8(Options.ContentPercent);
    ContentCache &cache = RunCache();
    int p = 0;
    if (cache.FindPairPercent(first, second, least, p))
        return p;
    p = ContentPercent(i, j);
    if (cache.IsOpen() && !a.Unreadable && !b.Unreadable && !StopOrTerminate() &&
        KeyOfPath(HeadPath) == first && KeyOfPath(PartnerPath) == second)
        cache.KeepPairPercent(first, second, least, p);
    return p;
}

std::optional<quint64> SimilarityPairs::PrefixHash(int k, const QString &path) {
    const std::size_t at = std::size_t(k);
    if (PrefixStates[at] == 0)
        PrefixStates[at] = ComputeQuickSum(path, Prefixes[at]) == UnreadableSum ? 2 : 1;
    return PrefixStates[at] == 1 ? std::optional(Prefixes[at]) : std::nullopt;
}

// Both files usually sit whole in the readers after the block comparison, so
// they are compared there instead of being read once more. Otherwise the hash
// of their first bytes, read once per file and run, rules out nearly every
// pair of equal size before the files are compared byte for byte.
ByteComparison SimilarityPairs::SameContents(int i, int j, qint64 scannedSize) {
    if (A->HoldsWholeFile() && B->HoldsWholeFile() && A->FileName == HeadPath &&
        B->FileName == PartnerPath)
        return A->Size == B->Size && std::memcmp(A->Buffer, B->Buffer, std::size_t(A->Size)) == 0
                   ? ByteComparison::Equal
                   : ByteComparison::Different;
    const std::optional<quint64> head = PrefixHash(i, HeadPath);
    const std::optional<quint64> partner = PrefixHash(j, PartnerPath);
    if (!head || !partner || *head != *partner)
        return ByteComparison::Different;
    return FilesEqual(HeadPath, PartnerPath, scannedSize);
}

PairDriver::Verdict SimilarityPairs::TestPair(int i, int j, quint8 &percent) {
    FileRecord &a = *Table[std::size_t(i)].Record;
    FileRecord &b = *Table[std::size_t(j)].Record;
    if (Options.CompareNames && !Names.Passes(i, j))
        return Verdict::Skip;
    // The size-ordered walk only offers partners that pass this test.
    if (!Options.ImageMode && !SizeOrdered && SizeRatio(a.Size, b.Size) < Options.ContentPercent)
        return Verdict::Skip;
    if (a.Unreadable)
        return Verdict::EndHead;
    if (b.Unreadable)
        return Verdict::Skip;

    const QString &partnerText = Table[std::size_t(j)].Text;
    StatusText.truncate(0);
    StatusText += ComparePrefix();
    StatusText += partnerText;
    ShowStatus(StatusText);
    ProcessMessages();
    if (StopOrTerminate())
        return Verdict::EndHead;
    PartnerPath.truncate(0);
    PartnerPath += Context().CommonBaseFolder;
    PartnerPath += partnerText;

    int p = 0;
    bool byPictures = false;
    if (Options.ImageMode) {
        p = ImagePercent(i, j);
        if (StoreFailed)
            return Verdict::EndHead;
        if (p > 0 && p < Options.ContentPercent)
            return Verdict::Skip;
        byPictures = p > 0;
        // Pictures of another shape fall back to their contents; the block
        // comparison finds at most as many bytes as the smaller file has, so
        // sizes too far apart skip the pair without reading either file (a
        // file that cannot be read is then found so by a later pair, which
        // could not have matched it either). Only equal sizes can be
        // identical.
        if (p == 0 && a.Size != b.Size && SizeRatio(a.Size, b.Size) < Options.ContentPercent)
            return Verdict::Skip;
    }
    if (p == 0)
        p = Options.ImageMode ? PictureContentPercent(i, j) : ContentPercent(i, j);
    if (a.Unreadable || b.Unreadable)
        return Verdict::Skip;

    // Byte-identical files score 100 whatever the method measured (a size that
    // is no multiple of the block count, a recording outside the sizes of the
    // inner-part test, a picture without fingerprint), and no other pair
    // does. Identical pictures always have equal fingerprints.
    bool identical = false;
    if (a.Size == b.Size && (!byPictures || p == 100)) {
        const ByteComparison same = SameContents(i, j, a.Size);
        if (same == ByteComparison::Stopped)
            return Verdict::EndHead;
        identical = same == ByteComparison::Equal;
    }
    if (identical) {
        if (!Include100)
            return Verdict::Skip;
        p = 100;
    } else {
        if (p < Options.ContentPercent)
            return Verdict::Skip;
        p = qMin(p, 99);
    }

    percent = quint8(p);
    ShowStatus(QString::number(p) + QStringLiteral("% ") + GetPhrase(FileSearchPhrases(), 31) +
               QStringLiteral(": ") + HeadPath);
    ShowStatus(MatchIndent + PartnerPath);
    return Verdict::Match;
}

int SimilarityDriver(const SearchOptions &options, bool include100, RunOutcome &outcome) {
    int matches = 0;
    {
        SimilarityPairs driver(options, include100);
        // A stop while decoding ends the run at the loop's first poll.
        driver.FingerprintAhead();
        matches = RunPairwiseLoop(options, driver, outcome);
        if (driver.Failed() && outcome != RunOutcome::Terminated) {
            outcome = RunOutcome::Failed;
            Host().ShowError(GetPhraseParam(FileSearchPhrases(), 34, FingerprintStoreFailure()));
        }
    }
    ReleaseImageCache();
    return matches;
}
