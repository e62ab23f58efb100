#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;
struct MainFormUi;

// The main window's sizes and place. At its designed size (944 x 761, and the status bar under
// it) every control stands where the window was laid out; a larger or smaller window gives the
// difference to the grid and the history (half each in height, both in width), the right-hand
// column keeps its width and moves with the right edge, and the status log takes the height left
// under the about box. The size and place the user left the window at, and whether it was
// maximised, are kept in the program's settings (~/.config/kurierix/kurierix.conf) and taken
// again at the next start. The window takes its designed place (181, 207) and size, or the kept
// ones, only where they fit the screen's available area (without its panels); elsewhere it is
// moved up (or left) and, when still too large, made as small as the area allows, never below
// its minimum size.
namespace WindowFit {

// The status bar below the pages, which keep their designed size above it.
inline constexpr int kFootHeight = 20;
inline constexpr QSize kDesignedSize{944, 761 + kFootHeight};
// Small enough for a 1366 x 768 screen with a panel: 670 (the status bar included) + a title bar
// of up to 30 px stays within 700 px.
inline constexpr QSize kMinimumSize{944, 670};

// The room a window manager's frame takes around the client area, before the window is shown
// and its frame known: a title bar of up to 30 px and thin borders.
inline constexpr QMargins kAssumedFrame{4, 30, 4, 4};
inline constexpr QPoint kDesignedPlace{181, 207};

// The outer top-left corner and the client size of a window that wants `place` (outer corner)
// and `size` (client area) on a screen whose available area is `available`, its frame adding
// `frame` around the client area.
QRect fitted(const QRect& available, QPoint place, QSize size, QSize minimum, const QMargins& frame);

// Places the containers of `ui` for a window whose client area is `size`.
void fit(MainFormUi& ui, QSize size);
// Lets `window` be resized between the minimum size and any larger one, and gives it the size
// and place of its last showing, if they were kept.
void restore(QWidget* window);
void save(const QWidget* window);

} // namespace WindowFit
