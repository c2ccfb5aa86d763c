#include "search/ExactDriver.h"

#include "compare/FileCompareUnit.h"
#include "search/CompareDriver.h"
#include "search/NameFilter.h"
#include "search/SearchHost.h"

#include <unordered_map>
#include <vector>

namespace {
// Only files that share a key can match, so each file is chained to the next
// later file with its key and the loop walks that chain instead of all pairs.
// The chain keeps table order, so blocks, order and counts stay exactly those
// of the full pairwise walk.
class CandidateChain {
public:
    template <typename KeyOf> void Build(int n, KeyOf keyOf) {
        Next.assign(std::size_t(n), -1);
        std::unordered_map<QString, int> last;
        last.reserve(std::size_t(n));
        for (int k = n - 1; k >= 0; --k) {
            auto [it, inserted] = last.try_emplace(keyOf(k), k);
            if (!inserted) {
                Next[std::size_t(k)] = it->second;
                it->second = k;
            }
        }
    }
    int After(int k) const { return Next[std::size_t(k)]; }

private:
    std::vector<int> Next;
};

class ExactPairs : public PairDriver {
public:
    explicit ExactPairs(const SearchOptions &options) : Options(options), Table(FileTable()) {
        const int n = int(Table.size());
        if (Options.CompareContents)
            PrefixHash.assign(std::size_t(n), 0);
        if (Options.CompareNames) {
            Names.reserve(std::size_t(n));
            for (const FileEntry &entry : Table)
                Names.push_back(SplitName(entry.Text, Options.NameCompareMaxLength));
            if (Options.NamePercent < 100)
                Similar.Build(Names, Options.NamePercent, Options.DifferentExts);
        }
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
        int polls = 0;
        for (int k = 0; k < n; ++k) {
            if (!wanted[std::size_t(k)])
                continue;
            FileRecord &record = *Table[std::size_t(k)].Record;
            if (record.QuickSum != 0)
                continue;
            if (++polls % 16 == 0) {
                ProcessMessages();
                if (StopOrTerminate())
                    return; // the loop turns this into the run's outcome
            }
            ShowStatus(ComparePrefix() + Table[std::size_t(k)].Text);
            record.QuickSum =
                ComputeQuickSum(FullPathOf(Table[std::size_t(k)]), PrefixHash[std::size_t(k)]);
        }
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
        FileRecord &a = *Table[std::size_t(i)].Record;
        FileRecord &b = *Table[std::size_t(j)].Record;
        if (Options.CompareNames) {
            if (Options.IdenticalSize && a.Size != b.Size)
                return Verdict::Skip;
            if (!NamesMatch(i, j))
                return Verdict::Skip;
            percent = 1;
        }
        if (Options.CompareContents) {
            if (a.Size != b.Size)
                return Verdict::Skip;
            // Most pairs of a size are told apart by sums already known; only
            // pairs that need the disk are reported and polled around.
            if (a.QuickSum != 0 && b.QuickSum != 0 && !SumsAgree(i, j))
                return Verdict::Skip;
            ShowStatus(ComparePrefix() + Table[std::size_t(j)].Text);
            ProcessMessages();
            if (StopOrTerminate())
                return Verdict::EndHead;
            if (a.QuickSum == 0)
                a.QuickSum =
                    ComputeQuickSum(FullPathOf(Table[std::size_t(i)]), PrefixHash[std::size_t(i)]);
            if (a.QuickSum == UnreadableSum)
                return Verdict::EndHead;
            if (b.QuickSum == 0)
                b.QuickSum =
                    ComputeQuickSum(FullPathOf(Table[std::size_t(j)]), PrefixHash[std::size_t(j)]);
            if (b.QuickSum == UnreadableSum || !SumsAgree(i, j))
                return Verdict::Skip;
            if (!FilesEqual(FullPathOf(Table[std::size_t(i)]), FullPathOf(Table[std::size_t(j)])))
                return Verdict::Skip;
            percent = 100;
        }
        if (!Options.CompareNames && !Options.CompareContents)
            return Verdict::Skip;
        return Verdict::Match;
    }

private:
    int Follow(int k) const { return Chained ? Chain.After(k) : k + 1; }

    // Similar names are rare among all pairs; passing over the pairs the cheap
    // pre-tests reject keeps the loop from touching their records. Every so
    // often a rejected pair is handed out anyway so the loop still polls.
    int SkipUnlikelyNames(int i, int j) const {
        if (!Options.CompareNames || Options.NamePercent == 100)
            return j;
        const int n = int(Table.size());
        for (int skipped = 0; j >= 0 && j < n && skipped < 4096; ++skipped) {
            if (Similar.MayMatch(i, j))
                break;
            j = Follow(j);
        }
        return j;
    }

    QString KeyOf(int k) const {
        const FileRecord &record = *Table[std::size_t(k)].Record;
        QString key;
        if (BySize)
            key = QString::number(record.Size);
        if (ByName) {
            key += QChar(0) + Names[std::size_t(k)].Base;
            if (!Options.DifferentExts)
                key += QChar(0) + Names[std::size_t(k)].Extension;
        }
        if (ByNameClass)
            key += QChar(0) + QString::number(Similar.ClassOf(k));
        if (BySums) {
            // An unreadable file pairs with nothing; give it a key of its own.
            if (record.QuickSum == 0 || record.QuickSum == UnreadableSum)
                return QStringLiteral("#") + QString::number(k);
            key += QChar(0) + QString::number(record.QuickSum) + QChar(0) +
                   QString::number(PrefixHash[std::size_t(k)]);
        }
        return key;
    }

    bool SumsAgree(int i, int j) const {
        return Table[std::size_t(i)].Record->QuickSum == Table[std::size_t(j)].Record->QuickSum &&
               PrefixHash[std::size_t(i)] == PrefixHash[std::size_t(j)];
    }

    bool NamesMatch(int i, int j) const {
        const NameParts &a = Names[std::size_t(i)], &b = Names[std::size_t(j)];
        if (Options.NamePercent < 100 && !Similar.MayMatch(i, j))
            return false;
        return NamePartsSimilar(a, b, Options.NamePercent, Options.DifferentExts);
    }

    const SearchOptions &Options;
    FileList &Table;
    std::vector<NameParts> Names;
    std::vector<quint64> PrefixHash;
    NameFilter Similar;
    CandidateChain Chain;
    bool Chained = false;
    bool BySize = false;
    bool ByName = false;
    bool ByNameClass = false;
    bool BySums = false;
};
} // namespace

int ExactDriver(const SearchOptions &options, quint8 &outcome) {
    ExactPairs driver(options);
    driver.ReadSumsAhead();
    return RunPairwiseLoop(options, driver, outcome);
}
