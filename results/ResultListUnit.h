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
// First and last row of the block that holds row.
void BlockRange(int row, int &first, int &last);
