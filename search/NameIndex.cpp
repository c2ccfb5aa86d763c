#include "search/NameIndex.h"

#include "search/NameFilter.h"

#include <QHash>
#include <algorithm>

namespace {
// The most edits a pair may hold whose longer name has this length; the
// same rule as DistanceWithin.
int EditLimit(int longer, quint8 percent) {
    return ((101 - percent) * longer - 1) / 100;
}

// Names whose lengths differ by more never pair.
constexpr int MostLengthDifference = 9;

struct Cut {
    int Start = 0;
    int Length = 0;
};

Cut PieceOf(int length, int pieces, int t) {
    const int start = t * length / pieces;
    return {start, (t + 1) * length / pieces - start};
}

quint64 Mix(quint64 x) {
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 29;
    return x;
}

// The key a piece is filed under. A key two pieces share by chance only adds
// candidates, which the pair test tells apart.
quint64 PieceKey(quint64 pairKey, int length, int piece, QStringView text) {
    return Mix(Mix(pairKey + quint64(length) * 1024 + quint64(piece)) ^ quint64(qHash(text)));
}

// The pieces sorted by key, found through a table of where each run of
// leading key bits starts: two memory reads a lookup, four bytes a piece.
class PieceTable {
public:
    void Build(std::vector<std::pair<quint64, int>> &filed) {
        std::sort(filed.begin(), filed.end());
        Keys.resize(filed.size());
        Names.resize(filed.size());
        for (std::size_t m = 0; m < filed.size(); ++m) {
            Keys[m] = filed[m].first;
            Names[m] = filed[m].second;
        }
        filed = {};
        Bits = 4;
        while (Bits < 40 && (std::size_t(1) << Bits) < Keys.size())
            ++Bits;
        Starts.assign((std::size_t(1) << Bits) + 1, 0);
        for (const quint64 key : Keys)
            ++Starts[std::size_t(key >> (64 - Bits)) + 1];
        for (std::size_t m = 1; m < Starts.size(); ++m)
            Starts[m] += Starts[m - 1];
    }
    // The names filed under the key.
    std::span<const int> Find(quint64 key) const {
        const std::size_t run = std::size_t(key >> (64 - Bits));
        std::size_t m = Starts[run];
        const std::size_t end = Starts[run + 1];
        while (m < end && Keys[m] < key)
            ++m;
        std::size_t last = m;
        while (last < end && Keys[last] == key)
            ++last;
        return std::span<const int>(Names).subspan(m, last - m);
    }
    std::size_t Size() const { return Keys.size(); }
    quint64 Key(std::size_t m) const { return Keys[m]; }
    int Name(std::size_t m) const { return Names[m]; }

private:
    std::vector<quint64> Keys;
    std::vector<int> Names;
    std::vector<quint32> Starts;
    int Bits = 4;
};
} // namespace

bool NameIndex::Build(const std::vector<NameParts> &names, const std::vector<quint64> &pairKeys,
                      quint8 percent, const NameFilter &preTests, int crowdLimit) {
    const int n = int(names.size());
    Left.assign(std::size_t(n), true);
    RowStart.clear();
    Partners.clear();
    if (percent < LeastPercent || percent >= 100)
        return false;

    // Each name's pieces, as if it were the longer of a pair. A name too short
    // to be cut into pieces is left out.
    std::vector<std::pair<quint64, int>> filed;
    std::vector<bool> lengthFiled;
    for (int y = 0; y < n; ++y) {
        const QString &name = names[std::size_t(y)].Stripped;
        const int length = int(name.size());
        const int pieces = EditLimit(length, percent) + 1;
        if (length == 0 || pieces > length)
            continue;
        Left[std::size_t(y)] = false;
        if (lengthFiled.size() <= std::size_t(length))
            lengthFiled.resize(std::size_t(length) + 1, false);
        lengthFiled[std::size_t(length)] = true;
        for (int t = 0; t < pieces; ++t) {
            const Cut cut = PieceOf(length, pieces, t);
            filed.emplace_back(PieceKey(pairKeys[std::size_t(y)], length, t,
                                        QStringView(name).mid(cut.Start, cut.Length)),
                               y);
        }
    }
    PieceTable table;
    table.Build(filed);
    for (std::size_t first = 0, end = 0; first < table.Size(); first = end) {
        for (end = first + 1; end < table.Size() && table.Key(end) == table.Key(first);)
            ++end;
        // A crowded piece would make every lookup of it a long list: its
        // names are left out and paired with everything instead.
        if (end - first > std::size_t(crowdLimit))
            for (std::size_t m = first; m < end; ++m)
                Left[std::size_t(table.Name(m))] = true;
    }

    // Every name looks up its substrings where a piece of a partner at least
    // as long could lie. Of k edits spread over k + 1 pieces, some piece t is
    // untouched with at most t edits before it and k - t after it (take the
    // first t whose pieces up to and including it hold at most t edits). So
    // piece t moved by s places, in a name D shorter, needs |s| <= t and
    // |s + D| <= k - t.
    const std::size_t budget = std::max<std::size_t>(std::size_t(1) << 20, 32 * std::size_t(n));
    std::vector<quint64> pairs;
    std::vector<int> seenBy(std::size_t(n), -1); // each partner once per name
    for (int x = 0; x < n; ++x) {
        const QStringView name = names[std::size_t(x)].Stripped;
        const int shorter = int(name.size());
        if (shorter == 0)
            continue;
        const quint64 pairKey = pairKeys[std::size_t(x)];
        const int longest = std::min(shorter + MostLengthDifference, int(lengthFiled.size()) - 1);
        for (int length = shorter; length <= longest; ++length) {
            if (!lengthFiled[std::size_t(length)])
                continue;
            const int k = EditLimit(length, percent), d = length - shorter;
            if (d > k)
                continue;
            const int pieces = k + 1;
            for (int t = 0; t < pieces; ++t) {
                const Cut cut = PieceOf(length, pieces, t);
                const int from = std::max({-t, -d - (k - t), -cut.Start});
                const int to = std::min({t, -d + (k - t), shorter - cut.Start - cut.Length});
                for (int shift = from; shift <= to; ++shift) {
                    const std::span<const int> found = table.Find(
                        PieceKey(pairKey, length, t, name.mid(cut.Start + shift, cut.Length)));
                    if (found.size() > std::size_t(crowdLimit))
                        continue;
                    for (const int y : found) {
                        if (y == x || seenBy[std::size_t(y)] == x)
                            continue;
                        seenBy[std::size_t(y)] = x;
                        if (!preTests.MayMatch(std::min(x, y), std::max(x, y)))
                            continue;
                        pairs.push_back(quint64(std::min(x, y)) << 32 | quint64(std::max(x, y)));
                    }
                }
            }
        }
        if (pairs.size() > budget) {
            std::sort(pairs.begin(), pairs.end());
            pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
            if (pairs.size() > budget / 2) {
                Left.assign(std::size_t(n), true);
                return false;
            }
        }
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());

    RowStart.assign(std::size_t(n) + 1, 0);
    for (const quint64 pair : pairs)
        ++RowStart[std::size_t(pair >> 32) + 1];
    for (int k = 0; k < n; ++k)
        RowStart[std::size_t(k) + 1] += RowStart[std::size_t(k)];
    Partners.resize(pairs.size());
    for (std::size_t m = 0; m < pairs.size(); ++m)
        Partners[m] = int(pairs[m] & 0xFFFFFFFFu);
    return true;
}

std::span<const int> NameIndex::PartnersAfter(int i) const {
    if (RowStart.empty())
        return {};
    const auto begin = std::size_t(RowStart[std::size_t(i)]);
    return std::span<const int>(Partners).subspan(begin, std::size_t(RowStart[std::size_t(i) + 1]) -
                                                             begin);
}

int NameIndex::UnindexedCount() const {
    return int(std::count(Left.begin(), Left.end(), true));
}
