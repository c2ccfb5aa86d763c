#pragma once
// Cheap tests that rule out a pair of names before any edit distance is
// computed. A pair they reject can never pass NamePartsSimilar; a pair they
// keep still gets the full test.

#include "compare/FileCompareUnit.h"
#include "search/FileSearchUnit.h"

#include <array>
#include <vector>

class NameFilter {
public:
    void Build(const std::vector<NameParts> &names, quint8 percent, bool differentExts);
    bool MayMatch(int i, int j) const;
    // Names of different classes never match unless extensions may differ:
    // the extension's group, or the extension itself when it is in none.
    int ClassOf(int k) const;

private:
    static constexpr int Bins = 32;
    struct alignas(16) Profile {
        std::array<quint8, Bins> Counts{}; // characters per bin, saturating
        int Length = 0;
        int ExtensionId = 0;
        int Group = 0;
    };
    std::vector<Profile> Profiles;
    quint8 Percent = 100;
    bool DifferentExts = false;
};

// The names step both drivers share: the size rule when names count only for
// equal sizes, then the names themselves, each split once per run, with the
// cheap pre-tests before any edit distance.
class NamePairTest {
public:
    void Build(const FileList &table, const SearchOptions &options);
    bool Passes(int i, int j) const;
    const NameParts &Parts(int k) const { return Names[std::size_t(k)]; }
    const std::vector<NameParts> &AllParts() const { return Names; }
    const NameFilter &PreTests() const { return Similar; }

private:
    const FileList *Table = nullptr;
    std::vector<NameParts> Names;
    NameFilter Similar;
    quint8 Percent = 100;
    bool DifferentExts = false;
    bool IdenticalSize = false;
};
