// What waiting costs on the real port path: CPU while a window waits for a swipe, how soon a
// reply is seen, how precisely fixed waits end, and that a vanished device leaves no busy loop.
// Runs over a pseudo-terminal with the Qt serial link and the real pacer. Prints a table;
// exits 1 when a figure misses its target.
//
//   bench_waits [--quick]     (--quick: a 2 s wait and fewer samples)
#include "../tests/support/Pty.h"
#include "device/Device.h"
#include "device/Pacer.h"
#include "device/PortCatalog.h"
#include "device/QtSerialLink.h"
#include "device/Settings.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace MainModule;
using Clock = std::chrono::steady_clock;

namespace {
double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

bool allPassed = true;

// A figure and its target (the figure must stay below it).
void report(const char *what, double value, const char *unit, double target)
{
    const bool pass = value < target;
    allPassed = allPassed && pass;
    std::printf("%-52s %9.2f %-3s  < %6.2f %-3s %s\n", what, value, unit, target, unit, pass ? "PASS" : "FAIL");
    std::fflush(stdout);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

std::unique_ptr<Device> openDevice(Pty &pty)
{
    PortCatalog::setOverride(1, pty.slavePath());
    CommPortNumber = QStringLiteral("1");
    CommSettings = QStringLiteral("9600,n,8,1");
    static CancelToken token;
    auto dev = std::make_unique<Device>(token, std::make_unique<QtSerialLink>());
    if (!dev->open()) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(pty.slavePath()), qPrintable(dev->portErrorText()));
        std::exit(2);
    }
    return dev;
}

// (a) A window waits for a swipe that comes after `seconds`.
void cpuWhileWaiting(double seconds)
{
    Pty pty;
    auto dev = openDevice(pty);
    std::thread encoder([&pty, seconds] {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        pty.write(QByteArray("\x1b" "s" "\x1b" "0"));
    });
    const double cpu0 = cpuSeconds();
    const auto t0 = Clock::now();
    const Reply reply = dev->sendAndWaitCancelable(QByteArray("\x1b\x72"));
    const double wall = secondsSince(t0);
    const double cpu = cpuSeconds() - cpu0;
    encoder.join();
    if (!reply.ok() || reply.bytes.isEmpty())
        std::printf("   (the wait ended without the reply)\n");
    char what[64];
    std::snprintf(what, sizeof what, "(a) CPU while waiting %.0f s for a reply", seconds);
    report(what, 100.0 * cpu / wall, "%", 1.0);
}

// (b) From the reply's arrival to the wait's return.
void replyLatency(int samples, bool serveEvents)
{
    Pty pty;
    auto dev = openDevice(pty);
    std::mt19937 rng(410);
    std::uniform_int_distribution<int> delayMs(20, 120);
    std::vector<double> lat;
    for (int i = 0; i < samples; ++i) {
        dev->discard();
        Clock::time_point sent;
        const int delay = delayMs(rng);
        std::thread encoder([&pty, &sent, delay] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            sent = Clock::now();
            pty.write(QByteArray("\x1b" "0"));
        });
        WaitEnd end;
        if (serveEvents) {
            end = dev->sendAndWaitCancelable(QByteArray("\x1b\x72")).end;
        } else {
            dev->write(QByteArray("\x1b\x72"));
            end = dev->waitForBytes(1, 2.0, false);
        }
        const auto seen = Clock::now();
        encoder.join();
        if (end == WaitEnd::Ready)
            lat.push_back(std::chrono::duration<double, std::milli>(seen - sent).count());
        dev->discard();
        pty.read();
    }
    const double worst = lat.empty() ? 1e9 : *std::max_element(lat.begin(), lat.end());
    if (int(lat.size()) != samples)
        std::printf("   (%d of %d waits did not see their reply)\n", samples - int(lat.size()), samples);
    report(serveEvents ? "(b) reply seen, serving events: median" : "(b) reply seen, not serving events: median",
           median(lat), "ms", 15.0);
    report(serveEvents ? "    serving events: max" : "    not serving events: max", worst, "ms", 50.0);
}

// (c) Fixed waits end on time, never early.
void pauseOvershoot(int reps)
{
    for (bool serve : {true, false}) {
        for (double t : {0.1, 0.3, 0.5, 1.0, 2.0}) {
            double worst = 0.0, early = 0.0;
            double cpu = 0.0, wall = 0.0;
            for (int i = 0; i < reps; ++i) {
                const double c0 = cpuSeconds();
                const auto t0 = Clock::now();
                pacer().pause(t, serve);
                const double took = secondsSince(t0);
                cpu += cpuSeconds() - c0;
                wall += took;
                worst = std::max(worst, (took - t) * 1000.0);
                early = std::min(early, (took - t) * 1000.0);
            }
            char what[64];
            std::snprintf(what, sizeof what, "(c) pause %.1f s %s: overshoot max", t, serve ? "serving events" : "without events");
            report(what, worst, "ms", 15.0);
            if (early < -0.5) {
                std::snprintf(what, sizeof what, "    ended early by");
                report(what, -early, "ms", 0.5);
            }
            if (t >= 1.0) {
                std::snprintf(what, sizeof what, "    CPU during the %.0f s pauses", t);
                report(what, 100.0 * cpu / wall, "%", 1.0);
            }
        }
    }
}

// (d) After the device vanished, the program is idle again.
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
    report("(d) CPU serving events after the device vanished", 100.0 * cpu / wall, "%", 1.0);
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    PortCatalog::setSimulated(false);

    std::printf("%-52s %13s  %12s %s\n", "measure", "value", "target", "result");
    std::fflush(stdout);
    cpuWhileWaiting(quick ? 2.0 : 10.0);
    replyLatency(quick ? 15 : 50, true);
    replyLatency(quick ? 15 : 50, false);
    pauseOvershoot(quick ? 1 : 3);
    cpuAfterVanish(quick ? 1.0 : 2.0);
    std::printf("%s\n", allPassed ? "all targets met" : "some targets missed");
    return allPassed ? 0 : 1;
}
