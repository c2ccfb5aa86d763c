#pragma once
// Which files the scan takes at all: size in kilobytes and extension lists.

#include <QLocale>
#include <QString>
#include <QtGlobal>

class TMLStringList;

// The largest size limit a person can enter; as the upper limit it means no
// limit at all, so files of any size pass.
inline constexpr qint32 NoMaxSizeKB = 2097151;
// Program files and system files are never worth a duplicate search.
inline const QString DefaultNeverList =
    QStringLiteral("exe dll com drv vxd 386 ocx sys inf ini lnk");
inline const QString ImagePreset = QStringLiteral("jpg jpeg jpe gif bmp tif tiff png");

// The lists as matched: " " + upper-case text + " ", so "JPG" never matches
// inside "JPEG".
struct FilterState {
    QString IncludeText;
    QString IncludeList;
    QString ExcludeText;
    QString ExcludeList;
    QString NeverList = QLatin1Char(' ') + DefaultNeverList.toUpper() + QLatin1Char(' ');
    qint32 MinSizeKB = 0;
    qint32 MaxSizeKB = NoMaxSizeKB;
    bool ImageMode = false;
};

// The filter as a person sets it.
struct FilterSettings {
    // Blank-separated extensions without dots; exclude counts only without an
    // include list.
    QString Include;
    QString Exclude;
    QString Never = DefaultNeverList;
    qint32 MinSizeKB = 0;
    qint32 MaxSizeKB = NoMaxSizeKB;
};

FilterState &Filter();
void ResetFilter();

// Sets the three lists as the filter dialog's OK does: exclude counts only
// without an include list.
void SetFilterLists(const QString &include, const QString &exclude, const QString &never);

// The lists and size limits of the settings; the image-mode flag stays.
void ApplyFilterSettings(const FilterSettings &settings);

bool FilterPassesSize(qint64 kilobytes);
bool FilterPassesExtension(const QString &extension);

void SetImagePreset();
void ClearImagePreset();

// The unit's messages: 1-3 build the description, 4 tells why the image
// comparison cannot be chosen.
const TMLStringList &FilterUnitPhrases();

// One line for the start page: the include list, the exclude list after
// "NOT" (or "Check all EXCEPT FOR" alone), or "no filtering". The never list
// is left out because it hardly ever changes.
QString FilterDescription();

// The two size edits of the filter dialog.
enum class SizeLimit { Minimum, Maximum };

// The kilobytes an edit's text stands for. An empty text, a text that is no
// whole number, or one outside 1..NoMaxSizeKB means no limit on that side
// (0 for the minimum, NoMaxSizeKB for the maximum).
qint32 SizeLimitFromText(const QString &text, SizeLimit side);
// The limit in megabytes beside the edit, "( >= 0,1 MB )" or "( <= 2.048,0 MB )"
// in German notation; any size above 0 shows at least 0.1 MB.
QString SizeLimitLabel(qint32 kilobytes, SizeLimit side, const QLocale &locale = QLocale());
