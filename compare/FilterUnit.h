#pragma once
// Which files the scan takes at all: size in kilobytes and extension lists.

#include <QString>
#include <QtGlobal>

struct FilterState {
    QString IncludeText;
    QString IncludeList;
    QString ExcludeText;
    QString ExcludeList;
    QString NeverList = QStringLiteral(" EXE DLL COM DRV VXD 386 OCX SYS INF INI LNK ");
    qint32 MinSizeKB = 0;
    qint32 MaxSizeKB = 2097151;
    bool ImageMode = false;
};

inline constexpr qint32 NoMaxSizeKB = 2097151;
inline const QString ImagePreset = QStringLiteral("jpg jpeg jpe gif bmp tif tiff png");

FilterState &Filter();
void ResetFilter();

// Sets the three lists as the filter dialog's OK does: exclude counts only
// without an include list.
void SetFilterLists(const QString &include, const QString &exclude, const QString &never);

bool FilterPassesSize(qint32 kilobytes);
bool FilterPassesExtension(const QString &extension);

void SetImagePreset();
void ClearImagePreset();
