#include "search/ExactDriver.h"

#include "compare/FileCompareUnit.h"
#include "run/RunControl.h"
#include "search/NameFilter.h"
#include "search/PairwiseLoop.h"

#include <QHash>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
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

// Reads the quick sums of many files on a few threads. Every sum is a
// property of its file alone, so the order in which they are read changes
// nothing; the calling thread keeps polling, so stop, pause and cancel act
// at once.
class SumReader {
public:
    SumReader(const std::vector<int> &files, std::vector<quint64> &prefixHash)
        : Files(files), Table(FileTable()), PrefixHash(prefixHash), Sums(files.size(), 0),
          Hashes(files.size(), 0), Read(files.size(), 0), Base(Context().CommonBaseFolder) {}

    // False when the run was stopped before every sum was read.
    bool Run() {
        const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
        std::vector<std::thread> workers;
        for (unsigned t = 0; t < threads && !Files.empty(); ++t)
            workers.emplace_back([this] { Work(); });
        bool stopped = false;
        while (Done.load() < Files.size()) {
            ProcessMessages();
            if (RunState() == RunStateValue::Paused) {
                Pause = true;
                const bool goesOn = WaitWhilePaused();
                Pause = false;
                if (!goesOn)
                    break;
            }
            if (StopOrTerminate())
                break;
            Host().Sleep(2);
        }
        stopped = Done.load() < Files.size();
        Cancel = true;
        for (std::thread &worker : workers)
            worker.join();
        // Joined: the workers' results are visible here.
        for (std::size_t m = 0; m < Files.size(); ++m) {
            if (!Read[m])
                continue;
            FileRecord &record = *Table[std::size_t(Files[m])].Record;
            if (Sums[m] == UnreadableSum)
                record.Unreadable = true;
            else
                record.QuickSum = Sums[m];
            PrefixHash[std::size_t(Files[m])] = Hashes[m];
        }
        return !stopped;
    }

private:
    void Work() {
        const std::unique_ptr<char[]> buffer(new char[QuickChunk]);
        // Paths are built here, one at a time: all of them at once would
        // cost megabytes.
        QString path;
        for (;;) {
            while (Pause && !Cancel)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const std::size_t m = Next.fetch_add(1);
            if (m >= Files.size() || Cancel)
                return;
            path.resize(0);
            path.append(Base).append(Table[std::size_t(Files[m])].Text);
            Sums[m] = ComputeQuickSumInto(path, buffer.get(), Hashes[m]);
            Read[m] = 1;
            Done.fetch_add(1);
        }
    }

    const std::vector<int> &Files;
    FileList &Table;
    std::vector<quint64> &PrefixHash;
    // Each slot is written by one worker only.
    std::vector<quint32> Sums;
    std::vector<quint64> Hashes;
    std::vector<char> Read;
    const QString Base;
    std::atomic<std::size_t> Next{0};
    std::atomic<std::size_t> Done{0};
    std::atomic<bool> Cancel{false};
    std::atomic<bool> Pause{false};
};

class ExactPairs : public PairDriver {
public:
    explicit ExactPairs(const SearchOptions &options) : Options(options), Table(FileTable()) {
        const int n = int(Table.size());
        if (Options.CompareContents)
            PrefixHash.assign(std::size_t(n), 0);
        if (Options.CompareNames)
            Names.Build(Table, Options);
        BySize = Options.CompareContents || (Options.CompareNames && Options.IdenticalSize);
        ByName = Options.CompareNames && Options.NamePercent == 100;
        ByNameClass = Options.CompareNames && Options.NamePercent < 100 && !Options.DifferentExts;
        Chained = BySize || ByName || ByNameClass;
        if (Chained)
            Chain.Build(n, [&](int k) { return KeyOf(k); });
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
        for (int k = 0; k < n; ++k)
            if (wanted[std::size_t(k)] && !HasSum(*Table[std::size_t(k)].Record))
                files.push_back(k);
        if (!SumReader(files, PrefixHash).Run())
            return; // stopped: the loop turns this into the run's outcome
        BySums = true;
        Chain.Build(n, [&](int k) { return KeyOf(k); });
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

    int FirstCandidate(int i) override { return SkipUnlikelyNames(i, Follow(i)); }
    int NextCandidate(int i, int j) override { return SkipUnlikelyNames(i, Follow(j)); }

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
    static bool HasSum(const FileRecord &record) {
        return record.QuickSum != 0 || record.Unreadable;
    }

    // Size, then the quick sums, then every byte.
    Verdict ContentsVerdict(int i, int j, quint8 &percent) {
        FileRecord &a = *Table[std::size_t(i)].Record;
        FileRecord &b = *Table[std::size_t(j)].Record;
        if (a.Size != b.Size || KnownSumsDiffer(i, j))
            return Verdict::Skip;
        if (!AnnounceDiskCompare(j))
            return Verdict::EndHead;
        if (!ReadSum(i))
            return Verdict::EndHead; // an unreadable head has no partner at all
        if (!ReadSum(j) || !SumsAgree(i, j))
            return Verdict::Skip;
        switch (FilesEqual(FullPathOf(Table[std::size_t(i)]), FullPathOf(Table[std::size_t(j)]),
                           a.Size)) {
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

    // Most pairs of a size are told apart by sums read ahead; those never
    // touch the disk again.
    bool KnownSumsDiffer(int i, int j) const {
        const FileRecord &a = *Table[std::size_t(i)].Record;
        const FileRecord &b = *Table[std::size_t(j)].Record;
        return a.QuickSum != 0 && b.QuickSum != 0 && !SumsAgree(i, j);
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
            const quint32 sum =
                ComputeQuickSum(FullPathOf(Table[std::size_t(k)]), PrefixHash[std::size_t(k)]);
            if (sum == UnreadableSum)
                record.Unreadable = true;
            else
                record.QuickSum = sum;
        }
        return !record.Unreadable;
    }

    int Follow(int k) const { return Chained ? Chain.After(k) : k + 1; }

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
            if (record.QuickSum == 0 || record.Unreadable)
                return Mix(~quint64(0), quint64(k));
            key = Mix(Mix(key, record.QuickSum), PrefixHash[std::size_t(k)]);
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
    CandidateChain Chain;
    bool Chained = false;
    bool BySize = false;
    bool ByName = false;
    bool ByNameClass = false;
    bool BySums = false;
};
} // namespace

int ExactDriver(const SearchOptions &options, RunOutcome &outcome) {
    ExactPairs driver(options);
    driver.ReadSumsAhead();
    return RunPairwiseLoop(options, driver, outcome);
}
