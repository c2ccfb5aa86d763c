#pragma once
// Row helpers of the result list shared by the exports, the deletion and the
// selections.

#include "search/FileSearchUnit.h"

#include <QString>

enum DateViewMode : quint8 { NoDate = 0, DateOnly = 1, DateAndTime = 2 };

// How dates are shown; the exports follow it too.
quint8 &DateView();
// Back to the date view the program starts with.
void ResetResultList();

// Full path of match list row i.
QString RowPath(int row);
// The record's last-write time in local time, "yyyy-mm-dd" or "yyyy-mm-dd  hh:nn".
QString DateText(const FileRecord &record);
// The size as the list shows it: whole kilobytes rounded half up, at least 1,
// with the locale's thousands separator (" 977 KB "); "- " for a virtual row.
QString SizeKBText(const FileRecord &record);

// The block that holds a row. Rows outside the list give Found false and -1
// everywhere; a row without a block is a block of its own.
struct BlockRows {
    bool Found = false;
    int Group = -1;
    int First = -1;
    int Last = -1;
};
BlockRows BlockRange(int row);

// The mark a click on a row's icon (or Space) gives it: Stay, Delete and
// StayNoDelete take turns; deleted and virtual rows keep theirs.
quint8 ToggledMark(quint8 mark);
