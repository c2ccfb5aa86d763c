#pragma once
// Which files the scan takes at all: size in kilobytes and extension lists.

#include <QString>
#include <QtGlobal>

// The largest size limit, which means no upper limit at all.
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

bool FilterPassesSize(qint32 kilobytes);
bool FilterPassesExtension(const QString &extension);

void SetImagePreset();
void ClearImagePreset();
