// What waiting costs on the real port path, beside a busy-polling loop (count pending input,
// process events, back to back) measured in the same run: CPU and wakeups while a window waits
// for a swipe, wakeups of a bounded wait, how precisely 0.3/1/2 s waits end, how soon a reply is
// seen, and that a vanished device leaves no busy loop. Runs over a pseudo-terminal with the Qt
// serial link and the real pacer. A wakeup is a voluntary context switch of the waiting thread
// (a sleep that ended); the busy loop never sleeps, so its column counts loop passes instead.
// Exits 1 when a figure misses its target.
//
//   bench_waits [--quick]     (--quick: shorter waits and fewer samples)
#include "../tests/support/Pty.h"
#include "device/Device.h"
#include "device/Pacer.h"
#include "device/PortCatalog.h"
#include "device/QtSerialLink.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <poll.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {
double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Sleeps of this thread that ended.
long wakeups()
{
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return u.ru_nvcsw;
}

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

bool allPassed = true;

// A figure beside the busy-polling one, and its target (at most).
void report(const char *what, double busy, double value, const char *unit, double target)
{
    const bool pass = value <= target;
    allPassed = allPassed && pass;
    std::printf("%-44s %11.3f %11.3f  <= %8.3f %-6s %s\n", what, busy, value, target, unit, pass ? "PASS" : "FAIL");
    std::fflush(stdout);
}

// A figure shown for comparison only.
void note(const char *what, double value, const char *unit)
{
    std::printf("%-44s %11s %11.3f  %11s %-6s %s\n", what, "", value, "", unit, "(reference)");
    std::fflush(stdout);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t i = size_t(std::ceil(p * double(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

RealPacer &pacer()
{
    static RealPacer p;
    return p;
}

// Port 1 at 9600,n,8,1 on the real pacer.
Connection benchConnection(const QString &device = {})
{
    Connection c;
    if (!device.isEmpty())
        c.ports.setOverride(1, device);
    c.links = qtSerialLinks(c.ports);
    c.pacer = &pacer();
    return c;
}

std::unique_ptr<Device> openDevice(Pty &pty)
{
    static CancelToken token;
    auto dev = std::make_unique<Device>(token, benchConnection(pty.slavePath()));
    if (!dev->open()) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(pty.slavePath()), qPrintable(dev->portErrorText()));
        std::exit(2);
    }
    return dev;
}

// The design the waits replace: count, process events, again, until `count` bytes or `limit` s.
struct BusyResult {
    bool ready;
    long passes;
};
BusyResult busyWait(Device &dev, int count, double limit)
{
    const auto t0 = Clock::now();
    long passes = 0;
    for (;;) {
        ++passes;
        if (dev.pending() >= count)
            return {true, passes};
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (limit >= 0 && secondsSince(t0) > limit)
            return {false, passes};
    }
}

// The encoder answers `delay` seconds from now, in `pieces` pieces `gap` seconds apart.
std::thread encoderAfter(Pty &pty, double delay, int pieces = 1, double gap = 0.0)
{
    return std::thread([&pty, delay, pieces, gap] {
        std::this_thread::sleep_for(std::chrono::duration<double>(delay));
        for (int i = 0; i < pieces; ++i) {
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::duration<double>(gap));
            pty.write(QByteArray("\x1b" "0"));
        }
    });
}

// (1) A window waits for a swipe that comes after `seconds`.
void swipeWait(double seconds, double busySeconds)
{
    Pty pty;
    auto dev = openDevice(pty);
    std::thread encoder = encoderAfter(pty, busySeconds);
    double cpu0 = cpuSeconds();
    auto t0 = Clock::now();
    const BusyResult busy = busyWait(*dev, 1, -1);
    const double busyWall = secondsSince(t0), busyCpu = cpuSeconds() - cpu0;
    encoder.join();
    dev->discard();
    pty.read();

    encoder = encoderAfter(pty, seconds);
    const long w0 = wakeups();
    cpu0 = cpuSeconds();
    t0 = Clock::now();
    const Reply reply = dev->sendAndWaitCancelable(QByteArray("\x1b\x72"));
    const double wall = secondsSince(t0), cpu = cpuSeconds() - cpu0;
    const long w = wakeups() - w0;
    encoder.join();
    if (!reply.ok() || reply.bytes.isEmpty() || !busy.ready)
        std::printf("   (a wait ended without the reply)\n");
    char what[64];
    std::snprintf(what, sizeof what, "(1) waiting %.0f s for a swipe: wakeups", seconds);
    report(what, double(busy.passes) / busyWall, double(w) / wall, "/s", 1.0);
    report("    CPU", 100.0 * busyCpu / busyWall, 100.0 * cpu / wall, "%", 0.05);
}

// (2) A bounded wait that sees `pieces` pieces of input and then runs to its deadline.
void boundedWait(bool serveEvents, int pieces)
{
    Pty pty;
    auto dev = openDevice(pty);
    const double limit = 1.0;
    std::thread encoder = encoderAfter(pty, 0.1, pieces, 0.12);
    const BusyResult busy = busyWait(*dev, 1000, limit);
    encoder.join();
    dev->discard();

    encoder = encoderAfter(pty, 0.1, pieces, 0.12);
    // The wait's own sleeps: the thread's context switches also count one that is not a sleep of
    // the wait (seen as 7 switches for 6 sleeps), so they would overstate it.
    const quint64 w0 = pacer().wakeups();
    const WaitEnd end = dev->waitForBytes(1000, limit, serveEvents);
    const long w = long(pacer().wakeups() - w0);
    encoder.join();
    if (end != WaitEnd::TimedOut || busy.ready)
        std::printf("   (the bounded wait did not run to its deadline)\n");
    char what[64];
    std::snprintf(what, sizeof what, "(2) 1 s wait, %d chunks, %s: wakeups", pieces, serveEvents ? "events" : "no events");
    report(what, double(busy.passes), double(w), "", double(pieces + 1));
}

// How late this machine wakes a thread from a bare kernel timer: the floor under every wait
// below. On a machine whose cores are busy with other work it alone can miss the target.
double kernelTimerLate(double seconds)
{
    const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    itimerspec when{};
    when.it_value.tv_sec = time_t(seconds);
    when.it_value.tv_nsec = long((seconds - double(time_t(seconds))) * 1e9);
    const auto t0 = Clock::now();
    ::timerfd_settime(fd, 0, &when, nullptr);
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, -1);
    const double late = (secondsSince(t0) - seconds) * 1000.0;
    ::close(fd);
    return late;
}

// (3) 0.3/1/2 s waits end on time: fixed pauses and bounded waits that time out.
void overshoot(bool quick)
{
    std::vector<double> floor;
    for (int i = 0; i < (quick ? 100 : 300); ++i)
        floor.push_back(kernelTimerLate(0.01));
    note("(3) kernel timer alone, 10 ms sleeps: late p99", percentile(floor, 0.99), "ms");
    note("    max", percentile(floor, 1.0), "ms");
    Pty pty;
    auto dev = openDevice(pty);
    for (double t : {0.3, 1.0, 2.0}) {
        const int reps = t < 0.5 ? (quick ? 8 : 20) : t < 1.5 ? (quick ? 2 : 5) : (quick ? 1 : 3);
        std::vector<double> busy;
        for (int i = 0; i < std::max(1, reps / 4); ++i) {
            const auto t0 = Clock::now();
            busyWait(*dev, 1, t);
            busy.push_back((secondsSince(t0) - t) * 1000.0);
        }
        for (int kind = 0; kind < 4; ++kind) {
            const bool serve = kind % 2 == 0;
            std::vector<double> over;
            double early = 0.0;
            for (int i = 0; i < reps; ++i) {
                const auto t0 = Clock::now();
                if (kind < 2)
                    pacer().pause(t, serve);
                else
                    dev->waitForBytes(1, t, serve);
                const double ms = (secondsSince(t0) - t) * 1000.0;
                over.push_back(ms);
                early = std::min(early, ms);
            }
            char what[64];
            std::snprintf(what, sizeof what, "(3) %s %.1f s, %s: overshoot p99", kind < 2 ? "pause" : "timed wait", t,
                          serve ? "events" : "no events");
            report(what, percentile(busy, 0.99), percentile(over, 0.99), "ms", 1.0);
            if (early < 0.0)
                report("    ended early by", 0.0, -early, "ms", 0.0);
        }
    }
}

// (4) From the reply's arrival to the wait's return.
void replyLatency(int samples, bool serveEvents)
{
    Pty pty;
    auto dev = openDevice(pty);
    std::mt19937 rng(410);
    std::uniform_int_distribution<int> delayMs(20, 120);
    std::vector<double> lat, busyLat;
    for (int i = 0; i < samples; ++i) {
        for (bool busy : {true, false}) {
            dev->discard();
            Clock::time_point sent;
            const int delay = delayMs(rng);
            std::thread encoder([&pty, &sent, delay] {
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                sent = Clock::now();
                pty.write(QByteArray("\x1b" "0"));
            });
            bool ready;
            if (busy) {
                ready = busyWait(*dev, 1, 2.0).ready;
            } else if (serveEvents) {
                ready = dev->sendAndWaitCancelable(QByteArray("\x1b\x72")).ok();
            } else {
                dev->write(QByteArray("\x1b\x72"));
                ready = dev->waitForBytes(1, 2.0, false) == WaitEnd::Ready;
            }
            const auto seen = Clock::now();
            encoder.join();
            if (ready)
                (busy ? busyLat : lat).push_back(std::chrono::duration<double, std::milli>(seen - sent).count());
            dev->discard();
            pty.read();
        }
    }
    if (int(lat.size()) != samples)
        std::printf("   (%d of %d waits did not see their reply)\n", samples - int(lat.size()), samples);
    report(serveEvents ? "(4) reply to return, events: median" : "(4) reply to return, no events: median",
           percentile(busyLat, 0.5), percentile(lat, 0.5), "ms", 1.0);
    report("    max", percentile(busyLat, 1.0), percentile(lat, 1.0), "ms", 50.0);
}

// (5) After the device vanished, the program is idle again.
void cpuAfterVanish(double seconds)
{
    Pty pty;
    auto dev = openDevice(pty);
    int lost = 0;
    dev->setPortLostHandler([&lost] { ++lost; });
    pty.closeMaster();
    const Reply reply = dev->sendAndWaitCancelable(QByteArray("\x1b\x72"));
    const double cpu0 = cpuSeconds();
    const auto t0 = Clock::now();
    pacer().pause(seconds, true);
    const double cpu = cpuSeconds() - cpu0;
    const double wall = secondsSince(t0);
    if (reply.end != WaitEnd::PortFailed || lost != 1)
        std::printf("   (vanished device: reply \"%s\", %d reports)\n", reply.bytes.constData(), lost);
    report("(5) CPU serving events after the device vanished", 0.0, 100.0 * cpu / wall, "%", 0.05);
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));

    std::printf("%-44s %11s %11s  %11s %-6s %s\n", "measure", "busy-poll", "pacer", "target", "unit", "result");
    std::fflush(stdout);
    swipeWait(quick ? 3.0 : 10.0, quick ? 1.0 : 2.0);
    for (bool serve : {true, false})
        boundedWait(serve, 5);
    overshoot(quick);
    replyLatency(quick ? 15 : 50, true);
    replyLatency(quick ? 15 : 50, false);
    cpuAfterVanish(quick ? 1.0 : 2.0);
    std::printf("%s\n", allPassed ? "all targets met" : "some targets missed");
    return allPassed ? 0 : 1;
}
