#pragma once
// What a row of the result list shows and where, as plain rules the tests
// check without a window.

#include "search/FileSearchUnit.h"

#include <QRect>
#include <QString>

namespace ResultRows {

constexpr int RowHeight = 20;
constexpr int IconSize = 13;
// A left click this far from the row's left edge hits the mark icon.
constexpr int IconArea = 18;
// Rows a wheel notch scrolls.
constexpr int WheelStep = 2;

// Width of the date and size pane for each date view: size only, date, date and time.
int InfoPaneWidth(quint8 dateView);
constexpr int InitialInfoPaneWidth = 194;

// Only similarity runs have a percentage worth a column.
bool ShowsPercentColumn();
// ">" for a block head, the match percentage for the others ("85%").
QString PercentText(const FileRecord &record);

struct NameRowLayout {
    QRect Icon;
    QRect Percent; // empty without the percentage column
    QRect Path;
};
// Icon, percentage column and path within a row of the name pane.
NameRowLayout LayoutNameRow(const QRect &row, bool percentColumn);

// Rows to scroll for a wheel turn; the part of a notch a fine-grained wheel
// sends is kept in remainder until it adds up to one.
int WheelRows(int &remainder, int angleDelta);

} // namespace ResultRows
