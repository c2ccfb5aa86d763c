#include "compare/FileCompareUnit.h"

#include "platform/Platform.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {
const std::array<QString, 5> ExtensionGroups = {
    QStringLiteral(" DOC DOT ODT SXW RTF PDF "),
    QStringLiteral(" JPG JPEG JPE GIF BMP TIF TIFF PNG "),
    QStringLiteral(" MP3 WMA OGG AU AIF AIFF WAV "),
    QStringLiteral(" AVI MPG MPEG WMV MOV DIVX MP4 M4V ASF "),
    QStringLiteral(" ISO BIN CUE VCD IMG CCD "),
};

// Trims control characters and blanks at both ends.
void TrimBlanks(QString &s) {
    qsizetype start = 0, end = s.size();
    while (start < end && s.at(start).unicode() <= ' ')
        ++start;
    while (end > start && s.at(end - 1).unicode() <= ' ')
        --end;
    if (start > 0 || end < s.size())
        s = s.mid(start, end - start);
}

bool IsDigitIn(QChar c, char from, char to) {
    return c >= QLatin1Char(from) && c <= QLatin1Char(to);
}

// 1-based character access that gives a NUL past either end.
QChar At(const QString &s, qsizetype position) {
    return position >= 1 && position <= s.size() ? s.at(position - 1) : QChar();
}

// Removes one leading "COPY (n) OF " / "KOPIE (n) VON " mark; false when none.
bool StripLeadingMark(QString &name) {
    qsizetype k;
    QString separator;
    if (name.size() > 8 && name.startsWith(QLatin1String("COPY "))) {
        k = 5;
        separator = QStringLiteral(" OF ");
    } else if (name.size() > 8 && name.startsWith(QLatin1String("KOPIE "))) {
        k = 6;
        separator = QStringLiteral(" VON ");
    } else {
        return false;
    }
    if (At(name, k + 1) == QLatin1Char('(') && IsDigitIn(At(name, k + 2), '1', '9') &&
        At(name, k + 3) == QLatin1Char(')'))
        k += 4;
    if (QStringView(name).mid(k - 1, separator.size()) != separator)
        return false;
    name.remove(0, k + separator.size() - 1);
    return true;
}

bool EndsWithSmallCopyNumber(const QString &name) {
    const qsizetype n = name.size();
    return n >= 4 && name.at(n - 3) == QLatin1Char('(') && IsDigitIn(name.at(n - 2), '1', '3') &&
           name.at(n - 1) == QLatin1Char(')');
}

// Levenshtein distance limited to `limit`: returns limit + 1 as soon as the
// distance must exceed it. Only the diagonal band of width 2 * limit + 1 can
// hold values within the limit.
int BoundedDistance(QStringView a, QStringView b, int limit) {
    const int la = int(a.size()), lb = int(b.size());
    constexpr int Out = 1 << 20;
    thread_local std::vector<int> previous, current;
    previous.assign(std::size_t(lb) + 1, Out);
    current.assign(std::size_t(lb) + 1, Out);
    for (int j = 0; j <= std::min(lb, limit); ++j)
        previous[std::size_t(j)] = j;
    for (int i = 1; i <= la; ++i) {
        const int from = std::max(1, i - limit), to = std::min(lb, i + limit);
        current[std::size_t(from - 1)] = (from == 1 && i <= limit) ? i : Out;
        int rowMinimum = current[std::size_t(from - 1)];
        const QChar ca = a[i - 1];
        for (int j = from; j <= to; ++j) {
            const int substitution = previous[std::size_t(j - 1)] + (ca == b[j - 1] ? 0 : 1);
            const int deletion = previous[std::size_t(j)] + 1;
            const int insertion = current[std::size_t(j - 1)] + 1;
            const int value = std::min({substitution, deletion, insertion});
            current[std::size_t(j)] = value;
            rowMinimum = std::min(rowMinimum, value);
        }
        if (to < lb)
            current[std::size_t(to + 1)] = Out;
        if (rowMinimum > limit)
            return limit + 1;
        std::swap(previous, current);
    }
    return std::min(previous[std::size_t(lb)], limit + 1);
}

// The Levenshtein distance of a pattern of up to 64 characters to any text,
// bit-parallel (Myers, in Hyyro's form for the global distance): one column of
// the table is held as bit vectors of its vertical differences, so each text
// character costs a dozen word operations instead of a row of cells. The
// drivers compare one head with many partners, so the pattern's character
// masks are kept until another pattern comes.
class PatternBits {
public:
    static constexpr int MaxLength = 64;

    void Set(QStringView pattern) {
        if (QStringView(Pattern) == pattern)
            return;
        for (QChar c : std::as_const(Pattern))
            if (c.unicode() < Latin.size())
                Latin[c.unicode()] = 0;
        Others.clear();
        Pattern = pattern.toString();
        for (int k = 0; k < int(pattern.size()); ++k) {
            const char16_t c = pattern[k].unicode();
            const quint64 bit = quint64(1) << k;
            if (c < Latin.size()) {
                Latin[c] |= bit;
                continue;
            }
            auto other = std::find_if(Others.begin(), Others.end(),
                                      [c](const auto &entry) { return entry.first == c; });
            if (other == Others.end())
                Others.emplace_back(c, bit);
            else
                other->second |= bit;
        }
    }

    // The distance, or limit + 1 as soon as it must exceed the limit.
    int Distance(QStringView text, int limit) const {
        const int m = int(Pattern.size()), n = int(text.size());
        const quint64 last = quint64(1) << (m - 1);
        quint64 plus = m == MaxLength ? ~quint64(0) : (quint64(1) << m) - 1, minus = 0;
        int score = m;
        for (int j = 0; j < n; ++j) {
            const quint64 equal = Mask(text[j].unicode());
            const quint64 vertical = equal | minus;
            const quint64 horizontal = (((equal & plus) + plus) ^ plus) | equal;
            quint64 up = minus | ~(horizontal | plus);
            quint64 down = plus & horizontal;
            if (up & last)
                ++score;
            else if (down & last)
                --score;
            // The top row of the table grows by one per column.
            up = (up << 1) | 1;
            down <<= 1;
            plus = down | ~(vertical | up);
            minus = up & vertical;
            // The rest of the text lowers the distance by one per character at most.
            if (score - (n - 1 - j) > limit)
                return limit + 1;
        }
        return std::min(score, limit + 1);
    }

private:
    quint64 Mask(char16_t c) const {
        if (c < Latin.size())
            return Latin[c];
        for (const auto &[character, bits] : Others)
            if (character == c)
                return bits;
        return 0;
    }

    QString Pattern;
    std::array<quint64, 256> Latin{};
    std::vector<std::pair<char16_t, quint64>> Others;
};

int LimitedDistance(QStringView a, QStringView b, int limit) {
    thread_local PatternBits pattern;
    if (a.size() <= PatternBits::MaxLength) {
        pattern.Set(a);
        return pattern.Distance(b, limit);
    }
    if (b.size() <= PatternBits::MaxLength) {
        pattern.Set(b);
        return pattern.Distance(a, limit);
    }
    return BoundedDistance(a, b, limit);
}
} // namespace

int ExtensionGroup(const QString &extensionUpper) {
    const QString word = QLatin1Char(' ') + extensionUpper + QLatin1Char(' ');
    for (std::size_t g = 0; g < ExtensionGroups.size(); ++g)
        if (ExtensionGroups[g].contains(word))
            return int(g) + 1;
    return 0;
}

bool StripCopyMarks(QString &name) {
    bool changed = false;
    for (;;) {
        TrimBlanks(name);
        if (!StripLeadingMark(name))
            break;
        changed = true;
    }
    while (EndsWithSmallCopyNumber(name)) {
        name.chop(3);
        TrimBlanks(name);
        changed = true;
    }
    return changed;
}

int NameDistancePercent(const QString &a, const QString &b) {
    const qsizetype la = a.size(), lb = b.size();
    if (la == 0 && lb == 0)
        return 0;
    if (la == 0 || lb == 0)
        return 100;
    if (std::abs(la - lb) > 9)
        return 100;
    std::vector<int> row(std::size_t(lb) + 1);
    for (qsizetype j = 0; j <= lb; ++j)
        row[std::size_t(j)] = int(j);
    for (qsizetype i = 1; i <= la; ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= lb; ++j) {
            const int above = row[std::size_t(j)];
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            row[std::size_t(j)] =
                std::min({above + 1, row[std::size_t(j - 1)] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return int(row[std::size_t(lb)] * 100 / std::max(la, lb));
}

bool DistanceWithin(const QString &a, const QString &b, quint8 percent) {
    const int la = int(a.size()), lb = int(b.size());
    if (la == 0 || lb == 0 || std::abs(la - lb) > 9)
        return 100 - NameDistancePercent(a, b) >= percent;
    if (percent > 100)
        return false;
    // d * 100 div L <= 100 - percent  <=>  d <= ((101 - percent) * L - 1) div 100
    const int longer = std::max(la, lb);
    const int limit = ((101 - percent) * longer - 1) / 100;
    if (limit >= longer)
        return true;
    if (std::abs(la - lb) > limit)
        return false;
    return LimitedDistance(a, b, limit) <= limit;
}

NameParts SplitName(const QString &entryText, quint8 maxLength) {
    NameParts parts;
    const qsizetype slash = entryText.lastIndexOf(Platform::PathDelimiter());
    const QString name = entryText.mid(slash + 1).toUpper();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    parts.Base = dot >= 0 ? name.left(dot) : name;
    parts.Extension = dot >= 0 ? name.mid(dot) : QString();
    if (maxLength != 0)
        parts.Base.truncate(maxLength);
    parts.Stripped = parts.Base;
    StripCopyMarks(parts.Stripped);
    parts.Group = parts.Extension.isEmpty() ? 0 : ExtensionGroup(parts.Extension.mid(1));
    return parts;
}

bool NamePartsSimilar(const NameParts &a, const NameParts &b, quint8 percent, bool differentExts) {
    if (a.Extension != b.Extension && !differentExts) {
        if (percent == 100)
            return false;
        if ((a.Group == 0 && b.Group == 0) || a.Group != b.Group)
            return false;
    }
    if (percent == 100)
        return a.Base == b.Base;
    return DistanceWithin(a.Stripped, b.Stripped, percent);
}

bool NamesSimilar(const QString &name1, const QString &name2, quint8 percent, bool differentExts,
                  quint8 maxLength) {
    return NamePartsSimilar(SplitName(name1, maxLength), SplitName(name2, maxLength), percent,
                            differentExts);
}
