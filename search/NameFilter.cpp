#include "search/NameFilter.h"

#include <QHash>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
int BinOf(char16_t c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= '0' && c <= '9')
        return 26 + (c - '0') % 6;
    return int((c * 2654435761u) >> 27);
}

// Sum of |a - b| over the bins. Every edit changes at most two bins by one
// each, so half of this sum, rounded up, never exceeds the edit distance.
int BinDifference(const quint8 *a, const quint8 *b) {
#if defined(__SSE2__)
    const __m128i lo = _mm_sad_epu8(_mm_load_si128(reinterpret_cast<const __m128i *>(a)),
                                    _mm_load_si128(reinterpret_cast<const __m128i *>(b)));
    const __m128i hi = _mm_sad_epu8(_mm_load_si128(reinterpret_cast<const __m128i *>(a + 16)),
                                    _mm_load_si128(reinterpret_cast<const __m128i *>(b + 16)));
    const __m128i sum = _mm_add_epi64(lo, hi);
    return _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8));
#else
    int total = 0;
    for (int k = 0; k < 32; ++k)
        total += std::abs(int(a[k]) - int(b[k]));
    return total;
#endif
}
} // namespace

void NameFilter::Build(const std::vector<NameParts> &names, quint8 percent, bool differentExts) {
    Percent = percent;
    DifferentExts = differentExts;
    Profiles.assign(names.size(), Profile());
    QHash<QString, int> extensionIds;
    for (std::size_t k = 0; k < names.size(); ++k) {
        Profile &p = Profiles[k];
        const QString &stripped = names[k].Stripped;
        p.Length = int(stripped.size());
        for (QChar c : stripped) {
            quint8 &count = p.Counts[std::size_t(BinOf(c.unicode()))];
            if (count < 255)
                ++count;
        }
        auto id = extensionIds.constFind(names[k].Extension);
        if (id == extensionIds.constEnd())
            id = extensionIds.insert(names[k].Extension, int(extensionIds.size()));
        p.ExtensionId = id.value();
        p.Group = names[k].Group;
    }
}

bool NameFilter::MayMatch(int i, int j) const {
    const Profile &a = Profiles[std::size_t(i)], &b = Profiles[std::size_t(j)];
    if (!DifferentExts && a.ExtensionId != b.ExtensionId &&
        (Percent == 100 || a.Group == 0 || a.Group != b.Group))
        return false;
    if (a.Length == 0 || b.Length == 0 || Percent == 0)
        return true; // the exact rule decides these
    if (Percent > 100)
        return false;
    const int longer = std::max(a.Length, b.Length);
    const int limit = ((101 - Percent) * longer - 1) / 100;
    if (std::abs(a.Length - b.Length) > std::min(limit, 9))
        return false;
    return (BinDifference(a.Counts.data(), b.Counts.data()) + 1) / 2 <= limit;
}

int NameFilter::ClassOf(int k) const {
    const Profile &p = Profiles[std::size_t(k)];
    return p.Group != 0 ? p.Group : 100 + p.ExtensionId;
}

void NamePairTest::Build(const FileList &table, const SearchOptions &options) {
    Table = &table;
    Percent = options.NamePercent;
    DifferentExts = options.DifferentExts;
    IdenticalSize = options.IdenticalSize;
    Names.clear();
    Names.reserve(table.size());
    for (const FileEntry &entry : table)
        Names.push_back(SplitName(entry.Text, options.NameCompareMaxLength));
    if (Percent < 100)
        Similar.Build(Names, Percent, DifferentExts);
}

bool NamePairTest::Passes(int i, int j) const {
    if (IdenticalSize &&
        (*Table)[std::size_t(i)].Record->Size != (*Table)[std::size_t(j)].Record->Size)
        return false;
    if (Percent < 100 && !Similar.MayMatch(i, j))
        return false;
    return NamePartsSimilar(Names[std::size_t(i)], Names[std::size_t(j)], Percent, DifferentExts);
}
