#include "search/ExactDriver.h"

#include "compare/FileCompareUnit.h"
#include "run/RunControl.h"
#include "search/ContentCache.h"
#include "search/NameFilter.h"
#include "search/NameIndex.h"
#include "search/PairwiseLoop.h"
#include "search/WorkerReads.h"

#include <QHash>
#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

namespace {
// Only files that share a key can match, so each file is chained to the next
// later file with its key and the loop walks that chain instead of all pairs.
// The chain keeps table order, so blocks, order and counts stay exactly those
// of the full pairwise walk. Keys are 64-bit hashes: two keys that collide
// only merge two chains, and the pair tests still tell their files apart.
class CandidateChain {
public:
    template <typename KeyOf> void Build(int n, KeyOf keyOf) {
        std::vector<std::pair<quint64, int>> keyed;
        keyed.reserve(std::size_t(n));
        for (int k = 0; k < n; ++k)
            keyed.emplace_back(keyOf(k), k);
        std::sort(keyed.begin(), keyed.end());
        Next.assign(std::size_t(n), -1);
        for (std::size_t m = 1; m < keyed.size(); ++m)
            if (keyed[m].first == keyed[m - 1].first)
                Next[std::size_t(keyed[m - 1].second)] = keyed[m].second;
    }
    int After(int k) const { return Next[std::size_t(k)]; }

private:
    std::vector<int> Next;
};

quint64 Mix(quint64 key, quint64 value) {
    key ^= value + 0x9E3779B97F4A7C15ULL + (key << 6) + (key >> 2);
    return key * 0xBF58476D1CE4E5B9ULL;
}

// The full path of a table entry, built in the worker's own room.
const QString &PathIn(ReadWorkspace &workspace, const QString &base, const FileEntry &entry) {
    workspace.Path.resize(0);
    workspace.Path.append(base).append(entry.Text);
    return workspace.Path;
}

// Each file's bytes beyond the quick read are hashed only while it shares its
// chain with two others at least, in windows that double from this one, so
// that a group of large files that part soon after the quick read is not read
// to the end.
constexpr qint64 FirstTailWindow = 262144;

class ExactPairs : public PairDriver {
public:
    explicit ExactPairs(const SearchOptions &options) : Options(options), Table(FileTable()) {
        const int n = int(Table.size());
        if (Options.CompareContents) {
            PrefixHash.assign(std::size_t(n), 0);
            WholeInHash.assign(std::size_t(n), false);
        }
        if (Options.CompareNames)
            Names.Build(Table, Options);
        BySize = Options.CompareContents || (Options.CompareNames && Options.IdenticalSize);
        ByName = Options.CompareNames && Options.NamePercent == 100;
        ByNameClass = Options.CompareNames && Options.NamePercent < 100 && !Options.DifferentExts;
        Chained = BySize || ByName || ByNameClass;
        if (Chained)
            Chain.Build(n, [&](int k) { return KeyOf(k); });
        if (Options.CompareNames && !Options.CompareContents && Options.NamePercent < 100)
            BuildNameIndex();
    }

    // Reads the quick sums of every file that has a partner of its size (of
    // the certain file's size only, when one file's twins are sought) and
    // chains by sums as well, so that the loop meets only pairs that are
    // most likely equal. Which files match does not change: a pair with
    // different sums could never have matched.
    void ReadSumsAhead() {
        if (!Options.CompareContents || Table.empty())
            return;
        const int n = int(Table.size());
        std::vector<bool> wanted(std::size_t(n), false);
        if (!Options.CertainFile.isEmpty()) {
            for (int j = 0; j >= 0; j = Chain.After(j))
                wanted[std::size_t(j)] = true;
        } else {
            for (int k = 0; k < n; ++k)
                if (const int partner = Chain.After(k); partner >= 0)
                    wanted[std::size_t(k)] = wanted[std::size_t(partner)] = true;
        }
        std::vector<int> files;
        ContentCache &cache = RunCache();
        for (int k = 0; k < n; ++k) {
            const FileRecord &record = *Table[std::size_t(k)].Record;
            if (!wanted[std::size_t(k)] || HasSum(record))
                continue;
            QuickRead known{0, 0, record.Size};
            if (cache.FindQuickSum(CacheKeyOf(record), known.Sum, known.PrefixHash))
                KeepSum(k, known);
            else
                files.push_back(k);
        }
        const bool complete = ReadSums(files);
        // Also after a stop: what was read is kept for the next run.
        cache.Save();
        if (!complete)
            return; // stopped: the loop turns this into the run's outcome
        BySums = true;
        Chain.Build(n, [&](int k) { return KeyOf(k); });
    }

    // Where more than two files share size and quick read, every head would be
    // compared byte for byte with every later file of its chain: a square of
    // the group's size in file reads. Hashing the rest of each file once and
    // chaining by that as well leaves only pairs of most likely equal files to
    // the byte comparison, which still decides. A pair of files is compared
    // right away, as reading both once is all the hash would save; files no
    // longer than the quick read are known whole by its hash already. With a
    // certain file only one head is compared, so nothing is gained there.
    // Ahead of the loop only a first window of each file is read, so that the
    // loop starts soon and a stop keeps the blocks found before large files
    // are read through; files that still share that window with two others
    // are read on once the loop reaches them (FollowTails).
    // False when the run was stopped meanwhile.
    bool HashTailsAhead() {
        if (!BySums || !Options.CertainFile.isEmpty())
            return true;
        const int n = int(Table.size());
        std::vector<int> files(std::size_t(n), 0);
        std::iota(files.begin(), files.end(), 0);
        files = CrowdedFiles(files, QuickChunk);
        if (files.empty())
            return true;
        Tails.assign(std::size_t(n), Tail());
        ByTails = true;
        if (!HashTails(files, QuickChunk, QuickChunk + FirstTailWindow))
            return false; // stopped: the loop turns this into the run's outcome
        for (const int k : CrowdedFiles(files, QuickChunk + FirstTailWindow))
            Tails[std::size_t(k)].Pending = true;
        Chain.Build(n, [&](int k) { return KeyOf(k); });
        return true;
    }

    // The loop compares the first file of a chain with each later one byte for
    // byte, one pair after another, on one thread. Those comparisons are made
    // here on the worker threads instead, and the loop takes their results
    // when it comes to the pair (a comparison depends on the two files alone).
    // Any other pair, such as the heads that files unequal to their chain's
    // first one form later, is compared by the loop itself.
    void CompareAhead() {
        if (!BySums || !Options.CertainFile.isEmpty() || Options.CompareNames)
            return;
        const int n = int(Table.size());
        std::vector<bool> followsAnother(std::size_t(n), false);
        for (int k = 0; k < n; ++k)
            if (const int next = Chain.After(k); next >= 0)
                followsAnother[std::size_t(next)] = true;
        for (int head = 0; head < n; ++head) {
            if (followsAnother[std::size_t(head)])
                continue;
            for (int k = Chain.After(head); k >= 0; k = Chain.After(k))
                if (NeedsByteComparison(head, k))
                    Ahead.push_back({k, head, ByteComparison::Stopped});
        }
        // The pairs come in the loop's order; a run that ends at a number of
        // matches needs at most that many of them.
        if (Options.MaxDuplicates >= 1 && Ahead.size() > std::size_t(Options.MaxDuplicates))
            Ahead.resize(std::size_t(Options.MaxDuplicates));
        if (Ahead.empty())
            return;
        const QString base = Context().CommonBaseFolder;
        ReadOnWorkers(
            Ahead.size(), 2 * CompareBufferSize, [&](std::size_t m, ReadWorkspace &workspace) {
                AheadPair &pair = Ahead[m];
                const FileEntry &partner = Table[std::size_t(pair.Partner)];
                const QString second = base + partner.Text;
                const CompareRoom room{workspace.Buffer, workspace.Buffer + CompareBufferSize,
                                       CompareBufferSize, &workspace.Folders,
                                       [&workspace] { return workspace.GoOn(); }};
                pair.Result =
                    CompareFileBytes(PathIn(workspace, base, Table[std::size_t(pair.Head)]), second,
                                     partner.Record->Size, room);
            });
        std::sort(Ahead.begin(), Ahead.end(),
                  [](const AheadPair &x, const AheadPair &y) { return x.Partner < y.Partner; });
    }

    int PhraseId() const override {
        if (Options.CompareContents)
            return 17;
        return (Options.NamePercent < 100 || Options.DifferentExts) ? 2 : 1;
    }

    void PrepareHead(int i) override {
        if (Options.CompareNames && !Options.CompareContents && !Options.IdenticalSize)
            ShowStatus(ComparePrefix() + Table[std::size_t(i)].Text);
    }

    int FirstCandidate(int i) override {
        if (ByTails && Tails[std::size_t(i)].Pending)
            FollowTails(i);
        Indexed = ByNameIndex && !Index.Unindexed(i);
        if (Indexed) {
            Row = Index.PartnersAfter(i);
            RowCursor = 0;
            Straggler = NextUnindexed[std::size_t(i)];
            return NextIndexed(i);
        }
        return SkipUnlikelyNames(i, Follow(i));
    }
    int NextCandidate(int i, int j) override {
        return Indexed ? NextIndexed(i) : SkipUnlikelyNames(i, Follow(j));
    }

    Verdict TestPair(int i, int j, quint8 &percent) override {
        if (Options.CompareNames) {
            if (!Names.Passes(i, j))
                return Verdict::Skip;
            percent = 1;
        }
        if (!Options.CompareContents)
            return Options.CompareNames ? Verdict::Match : Verdict::Skip;
        return ContentsVerdict(i, j, percent);
    }

private:
    // What is known of a file's bytes beyond the quick read.
    struct Tail {
        quint64 Hash = 0;
        // Could not be read (or changed its size): it pairs with nothing.
        bool Unreadable = false;
        // Shares the first window with two others at least; read further
        // when the loop reaches it.
        bool Pending = false;
    };

    // Reads on, in windows that double, the files of head i's chain that
    // share the first window, until none shares what was read with two
    // others. The chain stays as it is: the pair test tells their tails apart.
    void FollowTails(int i) {
        std::vector<int> files;
        for (int k = i; k >= 0; k = Chain.After(k))
            if (Tails[std::size_t(k)].Pending)
                files.push_back(k);
        const std::vector<int> group = files;
        for (qint64 from = QuickChunk + FirstTailWindow, window = 2 * FirstTailWindow;
             !files.empty(); from += window, window *= 2) {
            if (!HashTails(files, from, from + window))
                return; // stopped: the pair test polls before it reads
            files = CrowdedFiles(files, from + window);
        }
        for (const int k : group)
            Tails[std::size_t(k)].Pending = false;
    }

    // Reads the quick sums of the files on the worker threads.
    bool ReadSums(const std::vector<int> &files) {
        std::vector<QuickRead> reads(files.size(), QuickRead{0, 0, 0}); // sum 0: not read
        const QString base = Context().CommonBaseFolder;
        const bool complete =
            ReadOnWorkers(files.size(), QuickChunk, [&](std::size_t m, ReadWorkspace &workspace) {
                const FileEntry &entry = Table[std::size_t(files[m])];
                reads[m] = ReadQuickSum(PathIn(workspace, base, entry), workspace.Buffer,
                                        &workspace.Folders);
            });
        for (std::size_t m = 0; m < files.size(); ++m)
            if (reads[m].Sum != 0)
                KeepSum(files[m], reads[m], true);
        return complete;
    }

    // Takes the quick read's findings over; a fresh read of a file that still
    // has its scanned size is kept for the next run too.
    void KeepSum(int k, const QuickRead &read, bool fresh = false) {
        FileRecord &record = *Table[std::size_t(k)].Record;
        if (read.Sum == UnreadableSum)
            record.Unreadable = true;
        else
            record.QuickSum = read.Sum;
        if (fresh && read.Sum != UnreadableSum && read.Size == record.Size)
            RunCache().KeepQuickSum(CacheKeyOf(record), read.Sum, read.PrefixHash);
        PrefixHash[std::size_t(k)] = read.PrefixHash;
        WholeInHash[std::size_t(k)] =
            read.Sum != UnreadableSum && read.Size == record.Size && record.Size <= TinyFileSize;
    }

    // Goes on with the tail hashes of the files over the bytes from..to (as
    // far as each file reaches), on the worker threads.
    bool HashTails(const std::vector<int> &files, qint64 from, qint64 to) {
        const QString base = Context().CommonBaseFolder;
        return ReadOnWorkers(files.size(), FirstTailWindow,
                             [&](std::size_t m, ReadWorkspace &workspace) {
                                 const FileEntry &entry = Table[std::size_t(files[m])];
                                 const qint64 size = entry.Record->Size;
                                 Tail &tail = Tails[std::size_t(files[m])];
                                 tail.Unreadable = !HashFileRange(
                                     PathIn(workspace, base, entry), size, from, std::min(to, size),
                                     workspace.Buffer, workspace.BufferSize, tail.Hash,
                                     [&workspace] { return workspace.GoOn(); }, &workspace.Folders);
                             });
    }

    // The files that share their key with two others at least and reach
    // beyond the given position: only these need more of their bytes read.
    std::vector<int> CrowdedFiles(const std::vector<int> &files, qint64 beyond) const {
        std::vector<std::pair<quint64, int>> keyed;
        keyed.reserve(files.size());
        for (const int k : files)
            keyed.emplace_back(KeyOf(k), k);
        std::sort(keyed.begin(), keyed.end());
        std::vector<int> crowded;
        for (std::size_t first = 0, end = 0; first < keyed.size(); first = end) {
            for (end = first + 1; end < keyed.size() && keyed[end].first == keyed[first].first;)
                ++end;
            for (std::size_t m = first; end - first > 2 && m < end; ++m)
                if (Table[std::size_t(keyed[m].second)].Record->Size > beyond)
                    crowded.push_back(keyed[m].second);
        }
        std::sort(crowded.begin(), crowded.end());
        return crowded;
    }

    static bool HasSum(const FileRecord &record) {
        return record.QuickSum != 0 || record.Unreadable;
    }

    // Size, then the quick sums, then every byte.
    Verdict ContentsVerdict(int i, int j, quint8 &percent) {
        FileRecord &a = *Table[std::size_t(i)].Record;
        FileRecord &b = *Table[std::size_t(j)].Record;
        if (a.Size != b.Size || KnownSumsDiffer(i, j) || KnownTailsDiffer(i, j))
            return Verdict::Skip;
        // Tiny files were compared whole when their sums were read.
        if (WholeInHash[std::size_t(i)] && WholeInHash[std::size_t(j)]) {
            percent = 100;
            return Verdict::Match;
        }
        if (!AnnounceDiskCompare(j))
            return Verdict::EndHead;
        if (!ReadSum(i))
            return Verdict::EndHead; // an unreadable head has no partner at all
        if (!ReadSum(j) || !SumsAgree(i, j))
            return Verdict::Skip;
        switch (CompareBytes(i, j, a.Size)) {
        case ByteComparison::Equal:
            percent = 100;
            return Verdict::Match;
        case ByteComparison::Stopped:
            return Verdict::EndHead;
        case ByteComparison::Different:
        case ByteComparison::Unreadable:
            break;
        }
        return Verdict::Skip;
    }

    // What ContentsVerdict would have to compare byte for byte, as far as it
    // is known before the loop.
    bool NeedsByteComparison(int i, int j) const {
        const FileRecord &a = *Table[std::size_t(i)].Record;
        const FileRecord &b = *Table[std::size_t(j)].Record;
        if (a.Size != b.Size || !HasSum(a) || !HasSum(b) || a.Unreadable || b.Unreadable ||
            !SumsAgree(i, j) || KnownTailsDiffer(i, j))
            return false;
        if (ByTails && (Tails[std::size_t(i)].Pending || Tails[std::size_t(j)].Pending))
            return false;
        if (WholeInHash[std::size_t(i)] && WholeInHash[std::size_t(j)])
            return false;
        // Pairs the loop passes over anyway: one file under two names, and
        // folders the folder mode does not pair.
        if (a.Inode != 0 && a.Device == b.Device && a.Inode == b.Inode)
            return false;
        return Options.FolderMode == 0 ||
               FolderCriterion(FullPathOf(Table[std::size_t(i)]), FullPathOf(Table[std::size_t(j)]),
                               Options.FolderMode);
    }

    ByteComparison CompareBytes(int i, int j, qint64 size) {
        const auto at =
            std::lower_bound(Ahead.begin(), Ahead.end(), j, [](const AheadPair &pair, int partner) {
                return pair.Partner < partner;
            });
        if (at != Ahead.end() && at->Partner == j && at->Head == i &&
            at->Result != ByteComparison::Stopped)
            return at->Result;
        return FilesEqual(FullPathOf(Table[std::size_t(i)]), FullPathOf(Table[std::size_t(j)]),
                          size);
    }

    // Most pairs of a size are told apart by sums read ahead; those never
    // touch the disk again.
    bool KnownSumsDiffer(int i, int j) const {
        const FileRecord &a = *Table[std::size_t(i)].Record;
        const FileRecord &b = *Table[std::size_t(j)].Record;
        return a.QuickSum != 0 && b.QuickSum != 0 && !SumsAgree(i, j);
    }

    // Equal files read alike, so their tails, read equally far, hash alike; a
    // file whose tail could not be read pairs with nothing.
    bool KnownTailsDiffer(int i, int j) const {
        if (!ByTails)
            return false;
        const Tail &a = Tails[std::size_t(i)], &b = Tails[std::size_t(j)];
        return a.Unreadable || b.Unreadable || (!a.Pending && !b.Pending && a.Hash != b.Hash);
    }

    // Only pairs that need the disk are reported and polled around; false
    // when the run was stopped meanwhile.
    bool AnnounceDiskCompare(int j) {
        ShowStatus(ComparePrefix() + Table[std::size_t(j)].Text);
        ProcessMessages();
        return !StopOrTerminate();
    }

    // Reads the file's quick sum unless known; false when it is unreadable.
    bool ReadSum(int k) {
        FileRecord &record = *Table[std::size_t(k)].Record;
        if (!HasSum(record)) {
            if (!SumBuffer)
                SumBuffer.reset(new char[QuickChunk]);
            KeepSum(k, ReadQuickSum(FullPathOf(Table[std::size_t(k)]), SumBuffer.get(), nullptr),
                    true);
        }
        return !record.Unreadable;
    }

    int Follow(int k) const { return Chained ? Chain.After(k) : k + 1; }

    // Similar names are found through the index of their pieces; the names it
    // leaves out are paired with every later name of their chain as before,
    // and with the heads the index holds through NextUnindexed.
    void BuildNameIndex() {
        const int n = int(Table.size());
        std::vector<quint64> keys(std::size_t(n), 0);
        if (Chained)
            for (int k = 0; k < n; ++k)
                keys[std::size_t(k)] = KeyOf(k);
        ByNameIndex = Index.Build(Names.AllParts(), keys, Options.NamePercent, Names.PreTests());
        if (!ByNameIndex)
            return;
        std::vector<std::pair<quint64, int>> keyed;
        keyed.reserve(std::size_t(n));
        for (int k = 0; k < n; ++k)
            keyed.emplace_back(keys[std::size_t(k)], k);
        std::sort(keyed.begin(), keyed.end());
        NextUnindexed.assign(std::size_t(n), -1);
        for (std::size_t m = keyed.size(); m-- > 0;) {
            const bool sameKeyAfter = m + 1 < keyed.size() && keyed[m + 1].first == keyed[m].first;
            if (!sameKeyAfter)
                continue;
            const int after = keyed[m + 1].second;
            NextUnindexed[std::size_t(keyed[m].second)] =
                Index.Unindexed(after) ? after : NextUnindexed[std::size_t(after)];
        }
    }

    // The next of head i's partners from the index and from the names it
    // leaves out, in table order.
    int NextIndexed(int i) {
        for (int skipped = 0; Straggler >= 0 && skipped < 4096; ++skipped) {
            if (Names.PreTests().MayMatch(i, Straggler))
                break;
            Straggler = NextUnindexed[std::size_t(Straggler)];
        }
        const int fromRow = RowCursor < Row.size() ? Row[RowCursor] : -1;
        if (fromRow >= 0 && (Straggler < 0 || fromRow <= Straggler)) {
            ++RowCursor;
            if (fromRow == Straggler)
                Straggler = NextUnindexed[std::size_t(Straggler)];
            return fromRow;
        }
        const int next = Straggler;
        if (Straggler >= 0)
            Straggler = NextUnindexed[std::size_t(Straggler)];
        return next;
    }

    // Similar names are rare among all pairs; passing over the pairs the cheap
    // pre-tests reject keeps the loop from touching their records. Every so
    // often a rejected pair is handed out anyway so the loop still polls.
    int SkipUnlikelyNames(int i, int j) const {
        if (!Options.CompareNames || Options.NamePercent == 100)
            return j;
        const int n = int(Table.size());
        for (int skipped = 0; j >= 0 && j < n && skipped < 4096; ++skipped) {
            if (Names.PreTests().MayMatch(i, j))
                break;
            j = Follow(j);
        }
        return j;
    }

    quint64 KeyOf(int k) const {
        const FileRecord &record = *Table[std::size_t(k)].Record;
        quint64 key = 0;
        if (BySize)
            key = Mix(key, quint64(record.Size));
        if (ByName) {
            key = Mix(key, qHash(Names.Parts(k).Base));
            if (!Options.DifferentExts)
                key = Mix(key, qHash(Names.Parts(k).Extension));
        }
        if (ByNameClass)
            key = Mix(key, quint64(Names.PreTests().ClassOf(k)));
        if (BySums) {
            // An unreadable file pairs with nothing; give it a key of its own.
            if (record.QuickSum == 0 || record.Unreadable ||
                (ByTails && Tails[std::size_t(k)].Unreadable))
                return Mix(~quint64(0), quint64(k));
            key = Mix(Mix(key, record.QuickSum), PrefixHash[std::size_t(k)]);
            if (ByTails)
                key = Mix(key, Tails[std::size_t(k)].Hash);
        }
        return key;
    }

    bool SumsAgree(int i, int j) const {
        return Table[std::size_t(i)].Record->QuickSum == Table[std::size_t(j)].Record->QuickSum &&
               PrefixHash[std::size_t(i)] == PrefixHash[std::size_t(j)];
    }

    const SearchOptions &Options;
    FileList &Table;
    NamePairTest Names;
    std::vector<quint64> PrefixHash;
    // The quick read saw the whole file, at the scanned size.
    std::vector<bool> WholeInHash;
    std::unique_ptr<char[]> SumBuffer; // for sums the loop reads itself
    std::vector<Tail> Tails;
    // A byte comparison made before the loop, by partner.
    struct AheadPair {
        int Partner = 0;
        int Head = 0;
        ByteComparison Result = ByteComparison::Stopped; // Stopped: not made
    };
    std::vector<AheadPair> Ahead;
    CandidateChain Chain;
    bool Chained = false;
    bool BySize = false;
    bool ByName = false;
    bool ByNameClass = false;
    NameIndex Index;
    bool ByNameIndex = false;
    std::vector<int> NextUnindexed; // the next left-out name of the same chain
    bool Indexed = false;           // the head's partners come from the index
    std::span<const int> Row;
    std::size_t RowCursor = 0;
    int Straggler = -1;
    bool BySums = false;
    bool ByTails = false;
};
} // namespace

int ExactDriver(const SearchOptions &options, RunOutcome &outcome) {
    ExactPairs driver(options);
    driver.ReadSumsAhead();
    if (driver.HashTailsAhead())
        driver.CompareAhead();
    return RunPairwiseLoop(options, driver, outcome);
}
