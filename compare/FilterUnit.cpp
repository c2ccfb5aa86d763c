#include "compare/FilterUnit.h"

#include "lang/MultiLingua.h"

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

bool FilterPassesSize(qint64 kilobytes) {
    return TheFilter.MinSizeKB <= kilobytes &&
           (TheFilter.MaxSizeKB == NoMaxSizeKB || kilobytes <= TheFilter.MaxSizeKB);
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

const TMLStringList &FilterUnitPhrases() {
    static const TMLStringList list = [] {
        TMLStringList l(QStringLiteral("FilterUnit"));
        l.Add255Obj(QStringLiteral("keine Filterung, d.h. alle Dateien prüfen"), 1);
        l.Add255Obj(QStringLiteral("alle prüfen, AUSSER"), 2);
        l.Add255Obj(QStringLiteral("NICHT"), 3);
#ifdef Q_OS_WIN
        l.Add255Obj(QStringLiteral("GDI+ ist nicht verfügbar (für den Bildvergleich).#13#Bitte "
                                   "informiere dich auf der Dupliscan Homepage über GDI+"),
                    4);
#else
        // Pictures are decoded by Qt's image readers here; TIFF comes in a
        // package of its own that is easily missing.
        l.Add255Obj(QStringLiteral("Die Bildleser von Qt fehlen (für den Bildvergleich).#13#Bitte "
                                   "installieren Sie das Paket qt6-image-formats-plugins (für "
                                   "TIFF-Bilder)."),
                    4);
#endif
        l.Add255Obj(QStringLiteral("keine Obergrenze"), 6);
        return l;
    }();
    return list;
}

QString FilterDescription() {
    const FilterState &f = TheFilter;
    QString s = f.IncludeText;
    if (!f.ExcludeText.isEmpty()) {
        if (!s.isEmpty())
            s += QStringLiteral(", ") + GetPhrase(FilterUnitPhrases(), 3) + QLatin1Char(' ') +
                 f.ExcludeText;
        else
            s = GetPhrase(FilterUnitPhrases(), 2) + QLatin1Char(' ') + f.ExcludeText;
    }
    if (s.isEmpty())
        s = GetPhrase(FilterUnitPhrases(), 1);
    return s;
}

qint32 SizeLimitFromText(const QString &text, SizeLimit side) {
    bool ok = false;
    const qint32 k = text.trimmed().toInt(&ok);
    if (!ok || k < 1 || k > NoMaxSizeKB)
        return side == SizeLimit::Minimum ? 0 : NoMaxSizeKB;
    return k;
}

QString SizeLimitLabel(qint32 kilobytes, SizeLimit side, const QLocale &locale) {
    // Files of any size pass then; a figure here would promise a limit.
    if (side == SizeLimit::Maximum && kilobytes >= NoMaxSizeKB)
        return QStringLiteral("( ") + GetPhrase(FilterUnitPhrases(), 6) + QStringLiteral(" )");
    double megabytes = kilobytes / 1024.0;
    // A limit of a few kilobytes would read "0,0 MB", as if there were none.
    if (kilobytes > 0 && megabytes < 0.1)
        megabytes = 0.1;
    const QString relation =
        side == SizeLimit::Minimum ? QStringLiteral(">=") : QStringLiteral("<=");
    return QStringLiteral("( ") + relation + QLatin1Char(' ') + locale.toString(megabytes, 'f', 1) +
           QStringLiteral(" MB )");
}
