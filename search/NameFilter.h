#pragma once
// Cheap tests that rule out a pair of names before any edit distance is
// computed. A pair they reject can never pass NamePartsSimilar; a pair they
// keep still gets the full test.

#include "compare/FileCompareUnit.h"

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
