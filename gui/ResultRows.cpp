#include "gui/ResultRows.h"

#include "search/SearchContext.h"

namespace ResultRows {

int InfoPaneWidth(quint8 dateView) {
    switch (dateView) {
    case 0:
        return 100;
    case 2:
        return 240;
    default:
        return 190;
    }
}

bool ShowsPercentColumn() {
    return Context().LastRunOptions.ContentPercent < 100;
}

QString PercentText(const FileRecord &record) {
    if (record.IsBlockHead)
        return QStringLiteral(">");
    return QString::number(record.Percent) + QLatin1Char('%');
}

NameRowLayout LayoutNameRow(const QRect &row, bool percentColumn) {
    NameRowLayout layout;
    layout.Icon = QRect(row.left() + 4, row.top() + 3, IconSize, IconSize);
    int left = row.left() + 22;
    const int top = row.top() + 1;
    if (percentColumn) {
        layout.Percent = QRect(left, top, 40, row.bottom() - top + 1);
        left += 50;
    }
    left += 2;
    layout.Path = QRect(left, top, std::max(0, row.right() - left + 1), row.bottom() - top + 1);
    return layout;
}

int WheelRows(int &remainder, int angleDelta) {
    constexpr int Notch = 120;
    remainder += angleDelta;
    const int notches = remainder / Notch;
    remainder -= notches * Notch;
    return -notches * WheelStep;
}

} // namespace ResultRows
