#include "gui/TipsPlacement.h"

#include <algorithm>

namespace TipsPlacement {

QPoint TipsWindowPosition(const QRect &mainFrame, int tipsWidth, const QRect &area) {
    int left = mainFrame.left() + mainFrame.width() + Gap;
    const int areaRight = area.left() + area.width();
    if (left + tipsWidth > areaRight)
        left = areaRight - tipsWidth;
    return {left, mainFrame.top()};
}

std::optional<int> MainWindowLeft(const QRect &workArea, const QRect &mainFrame, int tipsWidth) {
    const int free = workArea.width() - mainFrame.width();
    const int needed = tipsWidth + Gap;
    // Measured from the work area's edge, so a second screen to the right
    // counts its own room, not the room of both.
    if (needed <= free - (mainFrame.left() - workArea.left()))
        return std::nullopt;
    const int left = std::max(workArea.left() + (free - needed) / 2, workArea.left());
    if (left == mainFrame.left())
        return std::nullopt;
    return left;
}

} // namespace TipsPlacement
