#include "device/Pacer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>

#ifdef Q_OS_LINUX
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

// ---------------------------------------------------------------------------------------------
void Pacer::waitPass(double, bool serveEvents, int)
{
    if (serveEvents)
        serve();
    else
        idle();
}

void Pacer::pausePass(double deadline, int) { pause(std::min(deadline - now(), kTick), true); }

// ---------------------------------------------------------------------------------------------
namespace {
// A link whose input no descriptor announces is looked at this often.
constexpr double kUnseenInputServing = 0.01;
constexpr double kUnseenInputIdle = 0.002;

timespec toTimespec(double seconds)
{
    seconds = std::max(seconds, 0.0);
    timespec ts{};
    ts.tv_sec = time_t(seconds);
    ts.tv_nsec = long((seconds - double(ts.tv_sec)) * 1e9);
    return ts;
}

// Wakes the event loop at a deadline. On Linux a timer descriptor does it to the microsecond:
// a QTimer counts whole milliseconds and the glib loop rounds its sleep up on top.
class DeadlineAlarm {
public:
    explicit DeadlineAlarm(double seconds)
    {
#ifdef Q_OS_LINUX
        fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd_ >= 0) {
            itimerspec when{};
            when.it_value = toTimespec(std::max(seconds, 1e-6));
            ::timerfd_settime(fd_, 0, &when, nullptr);
            notifier_.emplace(qintptr(fd_), QSocketNotifier::Read);
            return;
        }
#endif
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.start(int(std::min(std::ceil(seconds * 1000.0), double(std::numeric_limits<int>::max()))));
    }
    ~DeadlineAlarm()
    {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
    }
    DeadlineAlarm(const DeadlineAlarm &) = delete;
    DeadlineAlarm &operator=(const DeadlineAlarm &) = delete;

private:
    int fd_ = -1;
    std::optional<QSocketNotifier> notifier_;
    QTimer timer_;
};
} // namespace

RealPacer::RealPacer() { clock_.start(); }

double RealPacer::now() const { return double(clock_.nsecsElapsed()) / 1e9; }

// Sleeps in the event loop until a window event, serial input (the port's own notifier) or the
// deadline wakes it.
void RealPacer::serveUntil(double deadline)
{
    QCoreApplication::sendPostedEvents();
    auto *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) {
        sleepUntil(deadline, kNoInput);
        return;
    }
    const double left = deadline - now();
    if (left <= 0) {
        dispatcher->processEvents(QEventLoop::AllEvents);
        return;
    }
    std::optional<DeadlineAlarm> alarm;
    if (std::isfinite(left))
        alarm.emplace(left);
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    ++wakeups_;
}

// Sleeps, serving no events, until input on `descriptor` or the deadline.
void RealPacer::sleepUntil(double deadline, int descriptor)
{
    const double left = deadline - now();
    const bool watch = descriptor >= 0;
    if (left <= 0 || (!watch && !std::isfinite(left)))
        return;
#ifdef Q_OS_LINUX
    // The deadline is a timer descriptor, not poll's own time-out: the kernel lets a poll time-out
    // run 0.1 % late (1 ms on a 1 s wait), a timer only by the thread's small timer slack.
    int alarm = -1;
    if (std::isfinite(left)) {
        alarm = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (alarm >= 0) {
            itimerspec when{};
            when.it_value = toTimespec(std::max(left, 1e-6));
            ::timerfd_settime(alarm, 0, &when, nullptr);
        }
    }
    pollfd fds[2] = {{alarm, POLLIN, 0}, {watch ? descriptor : -1, POLLIN, 0}};
    timespec ts = toTimespec(left);
    ::ppoll(fds, 2, alarm >= 0 || !std::isfinite(left) ? nullptr : &ts, nullptr);
    if (alarm >= 0)
        ::close(alarm);
#else
    Q_UNUSED(descriptor);
    QThread::usleep(ulong(std::min(left, watch ? kUnseenInputIdle : left) * 1e6));
#endif
    ++wakeups_;
}

void RealPacer::waitPass(double deadline, bool serveEvents, int descriptor)
{
    if (descriptor == kNoDescriptor)
        deadline = std::min(deadline, now() + (serveEvents ? kUnseenInputServing : kUnseenInputIdle));
    if (serveEvents)
        serveUntil(deadline);
    else
        sleepUntil(deadline, descriptor);
}

void RealPacer::serve(double maxWait) { serveUntil(now() + std::clamp(maxWait, 0.001, 1.0)); }

void RealPacer::serveOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void RealPacer::idle() { sleepUntil(now() + kUnseenInputIdle, kNoInput); }

void RealPacer::pause(double seconds, bool serveEvents)
{
    const double end = now() + seconds;
    while (now() < end) {
        if (serveEvents)
            serveUntil(end);
        else
            sleepUntil(end, kNoInput);
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

void VirtualPacer::waitPass(double deadline, bool serveEvents, int descriptor)
{
    Pacer::waitPass(deadline, serveEvents, descriptor);
}

void VirtualPacer::pausePass(double deadline, int descriptor) { Pacer::pausePass(deadline, descriptor); }

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
