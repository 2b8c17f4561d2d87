#pragma once
// What the swipe-wait benchmarks share: a window of the program waiting for a swipe with the
// real pacer and the Qt serial link on a pseudo-terminal whose far end stays silent, and the
// process's CPU time over the wait once the start sequence is over.
#include "../tests/support/Pty.h"
#include "device/Pacer.h"
#include "device/Connection.h"
#include "device/PortCatalog.h"
#include "device/QtSerialLink.h"
#include "ui/common/RecordView.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace SwipeWaitBench {

inline double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class Records : public RecordView {
public:
    QByteArray trackText(int) const override { return {}; }
    void setTrackText(int, const QByteArray &) override {}
    void setCount(int, const QString &) override {}
    QString message() const override { return {}; }
    void setMessage(const QString &) override {}
};

// Before the application is made.
inline void useOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The wait from the command line: [seconds], at least 1, 10 by default.
inline double waitSeconds(int argc, char **argv)
{
    return argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
}

struct Measurement {
    bool ptyOk = false;
    QByteArray sent; // what the encoder received before the measured wait
    double cpu = 0;  // CPU seconds over the wait
    double elapsed = 0;
    double percent() const { return 100.0 * cpu / elapsed; }
};

// Runs a Window(records, parent) after settleSeconds for waitSeconds, then closes it.
template <class Window>
Measurement measure(double settleSeconds, double waitSeconds)
{
    Measurement m;
    Pty pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return m;
    }
    m.ptyOk = true;
    RealPacer pacer;
    Connection connection;
    connection.ports.setOverride(1, pty.slavePath());
    connection.links = qtSerialLinks(connection.ports);
    connection.pacer = &pacer;

    Records records;
    Window window(connection, &records, nullptr);
    double cpuStart = 0, cpuEnd = 0;
    qint64 wallStart = 0, wallEnd = 0;
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(int(settleSeconds * 1000), &window, [&] {
        m.sent = pty.read();
        cpuStart = cpuSeconds();
        wallStart = wall.nsecsElapsed();
    });
    QTimer::singleShot(int((settleSeconds + waitSeconds) * 1000), &window, [&] {
        cpuEnd = cpuSeconds();
        wallEnd = wall.nsecsElapsed();
        window.close();
    });
    window.exec();
    m.cpu = cpuEnd - cpuStart;
    m.elapsed = double(wallEnd - wallStart) / 1e9;
    return m;
}

} // namespace SwipeWaitBench
