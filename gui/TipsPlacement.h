#pragma once
// Where the tips window stands beside the main window. Plain rules on
// rectangles, so they hold without a screen.

#include <QPoint>
#include <QRect>
#include <optional>

namespace TipsPlacement {
// Room between the main window's right edge and the tips window.
constexpr int Gap = 8;

// The tips window's frame at the main window's top, right of its frame; flush
// with the area's right edge (over the main window) when it would reach past it.
QPoint TipsWindowPosition(const QRect &mainFrame, int tipsWidth, const QRect &area);

// Where the main window's left edge moves so that the tips window fits beside
// it: centred in the room left, never past the work area's left edge; none
// when it fits already or the window stands there already.
std::optional<int> MainWindowLeft(const QRect &workArea, const QRect &mainFrame, int tipsWidth);
} // namespace TipsPlacement
