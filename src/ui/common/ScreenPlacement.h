#pragma once
// Where the program puts its windows. Positions and sizes are outer ones (frame included), in
// screen coordinates; `screen` is the screen's available geometry.
#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <optional>

class QWidget;

namespace Placement {

// The top-left nearest to `topLeft` at which `size` lies wholly on `screen` (its top-left
// corner where the window is larger than the screen).
QPoint keptOn(const QPoint &topLeft, const QSize &size, const QRect &screen);

// The first place right of `anchor`, left of it, below it or above it (top or left edges
// aligned, `gap` apart) where `size` lies on the screen without covering `anchor` or any of
// `others`.
std::optional<QPoint> clearOf(const QRect &anchor, const QSize &size, const QRect &screen, int gap = 0,
                              const QList<QRect> &others = {});

// A window and the panel that stands at its right, centred together on the screen; where they
// do not fit side by side, the window at the screen's right edge and the panel at its left edge,
// narrowed to the room left of the window down to `panelMinWidth` (below that the two overlap).
// No panel: the window centred.
struct Pair {
    QPoint window;
    std::optional<QPoint> panel;
    int panelWidth = 0; // outer
};
Pair sideBySide(const QSize &window, const QSize &panel, const QRect &screen, int gap, int panelMinWidth = 0);

// The frame a window has or, not yet framed, the frame the window manager gave the program's
// other windows (none before the first has been framed).
QMargins frameMargins(const QWidget &window);
// The outer size a window will have.
QSize outerSize(const QWidget &window);
// Moves the window so that its frame, `frame` wide, starts at `frameTopLeft`, also before the
// window manager has framed it.
void moveFrameTo(QWidget &window, const QPoint &frameTopLeft, const QMargins &frame);
// The available geometry of the window's screen (the primary one before it has one).
QRect availableScreen(const QWidget &window);

// Runs `place` once the window is first exposed, when the window manager has framed it and
// its real outer size is known; a window that still reaches past the screen is then moved
// onto it.
void placeWhenFramed(QWidget &window, std::function<void()> place = {});

} // namespace Placement
