#include "ui/common/ScreenPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace Placement {

namespace {
int clampTo(int value, int low, int high) { return std::max(low, std::min(value, high)); }

// Seen on a framed window; used for windows the window manager has not framed yet.
QMargins lastFrame;

class FramedWatch : public QObject {
public:
    FramedWatch(QWidget &window, std::function<void()> place)
        : QObject(&window), window_(&window), place_(std::move(place))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && window_ && window_->windowHandle() == watched &&
            window_->windowHandle()->isExposed()) {
            watched->removeEventFilter(this);
            QWidget &w = *window_;
            if (place_)
                place_();
            const QPoint kept = keptOn(w.pos(), outerSize(w), availableScreen(w));
            if (kept != w.pos())
                w.move(kept);
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWidget> window_;
    std::function<void()> place_;
};
} // namespace

QPoint keptOn(const QPoint &topLeft, const QSize &size, const QRect &screen)
{
    if (screen.isEmpty())
        return topLeft;
    return {clampTo(topLeft.x(), screen.left(), screen.right() + 1 - size.width()),
            clampTo(topLeft.y(), screen.top(), screen.bottom() + 1 - size.height())};
}

std::optional<QPoint> clearOf(const QRect &anchor, const QSize &size, const QRect &screen, int gap,
                              const QList<QRect> &others)
{
    const QPoint candidates[] = {
        {anchor.right() + 1 + gap, anchor.top()},
        {anchor.left() - gap - size.width(), anchor.top()},
        {anchor.left(), anchor.bottom() + 1 + gap},
        {anchor.left(), anchor.top() - gap - size.height()},
    };
    for (const QPoint &candidate : candidates) {
        const QPoint p = keptOn(candidate, size, screen);
        const QRect placed(p, size);
        const auto covers = [&placed](const QRect &r) { return placed.intersects(r); };
        if (!covers(anchor) && std::none_of(others.begin(), others.end(), covers) &&
            (screen.isEmpty() || screen.contains(placed)))
            return p;
    }
    return std::nullopt;
}

Pair sideBySide(const QSize &window, const QSize &panel, const QRect &screen, int gap, int panelMinWidth)
{
    const int y = screen.top() + (screen.height() - window.height()) / 2;
    if (panel.isEmpty())
        return {keptOn({screen.left() + (screen.width() - window.width()) / 2, y}, window, screen), std::nullopt};
    const int together = window.width() + gap + panel.width();
    if (together > screen.width()) {
        // Too wide together: the window at the screen's right edge, the panel narrowed into the
        // room at its left; only where even the narrowest panel does not fit do they overlap, the
        // panel's own buttons (at its left) still in sight.
        const QPoint w = keptOn({screen.right() + 1 - window.width(), y}, window, screen);
        const int width = std::clamp(screen.width() - window.width() - gap, std::min(panelMinWidth, panel.width()), panel.width());
        const QSize narrowed(width, panel.height());
        return {w, keptOn({screen.left(), w.y()}, narrowed, screen), width};
    }
    const QPoint w = keptOn({screen.left() + (screen.width() - together) / 2, y}, window, screen);
    return {w, keptOn({w.x() + window.width() + gap, w.y()}, panel, screen), panel.width()};
}

QMargins frameMargins(const QWidget &window)
{
    const QRect outer = window.frameGeometry(), inner = window.geometry();
    const QMargins own(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                       outer.bottom() - inner.bottom());
    if (!own.isNull()) {
        lastFrame = own;
        return own;
    }
    if (window.windowHandle() && window.windowHandle()->isExposed())
        return own; // framed, without a frame (no window manager, or a frameless window)
    return lastFrame;
}

QSize outerSize(const QWidget &window) { return window.size().grownBy(frameMargins(window)); }

void moveFrameTo(QWidget &window, const QPoint &frameTopLeft, const QMargins &frame)
{
    // X11 puts a window that exists but has not been framed yet by its inner position: the frame
    // it is about to get is taken off here. Elsewhere (and on X11 before the window exists) the
    // position is the frame's already.
    const bool unframed = window.windowHandle() && window.windowHandle()->frameMargins().isNull();
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    window.move(unframed && x11 ? frameTopLeft + QPoint(frame.left(), frame.top()) : frameTopLeft);
}

QRect availableScreen(const QWidget &window)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void placeWhenFramed(QWidget &window, std::function<void()> place)
{
    window.winId(); // the native window exists from here on, so its events can be watched
    window.windowHandle()->installEventFilter(new FramedWatch(window, std::move(place)));
}

} // namespace Placement
