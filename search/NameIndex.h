#pragma once
// Finds the pairs of names that may be similar without looking at every pair.
//
// If two names lie within k edits, and the longer one is cut into k + 1
// pieces, one of the pieces is untouched by the edits and turns up in the
// shorter name, shifted by at most a few places. So every name's pieces are
// filed under their text, and every name looks up its own substrings at the
// places where a longer or equally long partner's pieces could lie. What a
// lookup finds may be similar; what it does not find cannot be, except for
// the names the index leaves out (see Unindexed), which the caller has to
// pair with everything as before.

#include "compare/FileCompareUnit.h"

#include <QtGlobal>
#include <span>
#include <vector>

class NameFilter;

class NameIndex {
public:
    // Names with another pair key never pair. A piece shared by more than
    // crowdLimit names says little; those names are left out instead.
    // False when the index would hold more candidate pairs than it saves
    // (the caller then walks every pair); likewise below the percentage
    // from which pieces are long enough to tell names apart.
    bool Build(const std::vector<NameParts> &names, const std::vector<quint64> &pairKeys,
               quint8 percent, const NameFilter &preTests, int crowdLimit = 32);

    // Every later name that the index found may be similar to name i, in
    // order; a name left out of the index may be missing from it.
    std::span<const int> PartnersAfter(int i) const;
    // A name left out: its pairs may be missing from the lists of others,
    // and its own list is incomplete.
    bool Unindexed(int k) const { return Left[std::size_t(k)]; }
    int UnindexedCount() const;

    // The index does not pay below this percentage: pieces get too short.
    static constexpr quint8 LeastPercent = 70;

private:
    std::vector<bool> Left;
    std::vector<int> RowStart;
    std::vector<int> Partners;
};
