#include "compare/FilterUnit.h"

namespace {
FilterState TheFilter;

// Blanks at both ends let " JPG " match only the whole word.
QString ListOf(const QString &text) {
    return text.isEmpty() ? QString() : QLatin1Char(' ') + text.toUpper() + QLatin1Char(' ');
}

QString AsciiUpper(const QString &text) {
    QString out = text;
    for (QChar &c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return out;
}
} // namespace

FilterState &Filter() {
    return TheFilter;
}

void ResetFilter() {
    TheFilter = FilterState();
}

void SetFilterLists(const QString &include, const QString &exclude, const QString &never) {
    TheFilter.IncludeText = include.trimmed();
    TheFilter.IncludeList = ListOf(TheFilter.IncludeText);
    TheFilter.ExcludeText = exclude.trimmed();
    TheFilter.ExcludeList =
        TheFilter.IncludeText.isEmpty() ? ListOf(TheFilter.ExcludeText) : QString();
    TheFilter.NeverList = QLatin1Char(' ') + never.trimmed().toUpper() + QLatin1Char(' ');
}

void ApplyFilterSettings(const FilterSettings &settings) {
    SetFilterLists(settings.Include, settings.Exclude, settings.Never);
    TheFilter.MinSizeKB = settings.MinSizeKB;
    TheFilter.MaxSizeKB = settings.MaxSizeKB;
}

bool FilterPassesSize(qint32 kilobytes) {
    return TheFilter.MinSizeKB <= kilobytes && kilobytes <= TheFilter.MaxSizeKB;
}

bool FilterPassesExtension(const QString &extension) {
    QString e = AsciiUpper(extension.trimmed());
    if (e.isEmpty() && TheFilter.IncludeText.isEmpty())
        return true;
    if (e.startsWith(QLatin1Char('.')))
        e.remove(0, 1);
    const QString t = QLatin1Char(' ') + e + QLatin1Char(' ');
    if (!TheFilter.IncludeText.isEmpty() && !TheFilter.IncludeList.contains(t))
        return false;
    return !TheFilter.ExcludeList.contains(t) && !TheFilter.NeverList.contains(t);
}

void SetImagePreset() {
    if (!TheFilter.IncludeText.trimmed().isEmpty())
        return;
    TheFilter.IncludeText = ImagePreset;
    TheFilter.IncludeList = ListOf(ImagePreset);
}

void ClearImagePreset() {
    if (TheFilter.IncludeText.trimmed().toLower() != ImagePreset)
        return;
    TheFilter.IncludeText.clear();
    TheFilter.IncludeList.clear();
}
