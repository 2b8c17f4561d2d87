// CPU the program uses while the save-to-file window waits for a swipe: the real window, the
// real pacer and the Qt serial link on a pseudo-terminal whose far end stays silent. The figure
// is the process's CPU time over 10 s of waiting, as a share of one core (target 0.5% at most).
//
//   bench_savewait [seconds]
#include "../tests/support/Pty.h"
#include "device/PortCatalog.h"
#include "device/QtSerialLink.h"
#include "device/Settings.h"
#include "batch/cfrmEncodeWF.h"
#include "ui/common/RecordView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace MainModule;

namespace {
double cpuSeconds()
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
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double waitSeconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    constexpr double settleSeconds = 2.5;  // the start sequence (densities included) is over well before this
    constexpr double target = 0.5;         // percent of one core

    Pty pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return 2;
    }
    PortCatalog::setOverride(1, pty.slavePath());
    installQtSerialLinkFactory();
    CommPortNumber = QStringLiteral("1");
    CommSettings = QStringLiteral("9600,n,8,1");
    EmulationMode = QStringLiteral("HKD382");

    Records records;
    cfrmEncodeWF window(&records, nullptr);
    double cpuStart = 0, cpuEnd = 0;
    qint64 wallStart = 0, wallEnd = 0;
    QElapsedTimer wall;
    wall.start();
    QByteArray sent;
    QTimer::singleShot(int(settleSeconds * 1000), &window, [&] {
        sent = pty.read();
        cpuStart = cpuSeconds();
        wallStart = wall.nsecsElapsed();
    });
    QTimer::singleShot(int((settleSeconds + waitSeconds) * 1000), &window, [&] {
        cpuEnd = cpuSeconds();
        wallEnd = wall.nsecsElapsed();
        window.close();
    });
    window.exec();

    const QByteArray expected = QByteArray::fromHex("1B611B841B5A3D163D1B6AD24BD21B72");
    if (sent != expected) {
        std::printf("the save window did not reach its swipe wait (sent %s)\n", sent.toHex(' ').constData());
        return 1;
    }
    const double elapsed = double(wallEnd - wallStart) / 1e9;
    const double percent = 100.0 * (cpuEnd - cpuStart) / elapsed;
    const bool pass = percent <= target;
    std::printf("save window waiting %.1f s for a swipe (Qt link, pseudo-terminal): CPU %.3f s = %.2f%% of one core, "
                "target <= %.1f%%: %s\n",
                elapsed, cpuEnd - cpuStart, percent, target, pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
