#include "device/Pacer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
Pacer *g_installed = nullptr;

RealPacer &realPacer()
{
    static RealPacer p;
    return p;
}
} // namespace

Pacer &Pacer::instance() { return g_installed ? *g_installed : realPacer(); }
void Pacer::install(Pacer *p) { g_installed = p; }

// ---------------------------------------------------------------------------------------------
RealPacer::RealPacer() { clock_.start(); }

double RealPacer::now() { return double(clock_.nsecsElapsed()) / 1e9; }

void RealPacer::serveFor(int maxMs)
{
    QCoreApplication::sendPostedEvents();
    auto *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) {
        QThread::msleep(ulong(maxMs));
        return;
    }
    // Sleep in the event loop: a window event, serial input or the tick wakes us.
    QTimer tick;
    tick.setSingleShot(true);
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(maxMs);
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void RealPacer::serve(double maxWait) { serveFor(std::clamp(int(std::lround(maxWait * 1000.0)), 1, 1000)); }

void RealPacer::serveOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void RealPacer::idle() { QThread::usleep(2000); }

void RealPacer::pause(double seconds, bool serveEvents)
{
    const double end = now() + seconds;
    for (;;) {
        const double left = end - now();
        if (left <= 0)
            return;
        if (serveEvents)
            serveFor(std::max(1, std::min(50, int(std::ceil(left * 1000.0)))));
        else
            QThread::usleep(ulong(left * 1e6));
    }
}

// ---------------------------------------------------------------------------------------------
VirtualPacer::VirtualPacer(double start, double tick) : now_(start), tick_(tick) {}

bool VirtualPacer::runDue(bool serving)
{
    bool ran = false;
    for (auto it = actions_.begin(); it != actions_.end() && it->first <= now_ + 1e-9;) {
        if (it->second.windowEvent && !serving) {
            ++it;
            continue;
        }
        auto action = std::move(it->second.run);
        actions_.erase(it);
        action();
        ran = true;
        it = actions_.begin(); // the action may have scheduled or removed others
    }
    return ran;
}

double VirtualPacer::nextRunnable(bool serving) const
{
    for (const auto &[time, action] : actions_)
        if (serving || !action.windowEvent)
            return std::max(time, now_);
    return std::numeric_limits<double>::infinity();
}

void VirtualPacer::serveOnce()
{
    ++passes_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    runDue(true);
}

void VirtualPacer::serve(double)
{
    ++passes_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    now_ += tick_;
    runDue(true);
}

void VirtualPacer::idle()
{
    ++passes_;
    now_ += tick_;
    runDue(false);
}

void VirtualPacer::moveTo(double t, bool serveEvents)
{
    // Step through scheduled actions in order so each runs at its own time.
    for (double next = nextRunnable(serveEvents); next <= t; next = nextRunnable(serveEvents)) {
        now_ = std::max(now_, next);
        runDue(serveEvents);
        if (serveEvents)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    now_ = std::max(now_, t);
    if (serveEvents)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    runDue(serveEvents);
}

void VirtualPacer::pause(double seconds, bool serveEvents)
{
    ++passes_;
    moveTo(now_ + seconds, serveEvents);
}

void VirtualPacer::advance(double dt) { moveTo(now_ + dt, false); }

void VirtualPacer::at(double t, std::function<void()> action) { actions_.emplace(t, Action{std::move(action), false}); }

void VirtualPacer::atEvent(double t, std::function<void()> action)
{
    actions_.emplace(t, Action{std::move(action), true});
}
