// CPU the program uses while the read window waits for a swipe: the real window, the real
// pacer and the Qt serial link on a pseudo-terminal whose far end stays silent. The figure is
// the process's CPU time over 10 s of waiting, as a share of one core (target under 1%).
//
//   bench_readwait [seconds]
#include "SwipeWaitBench.h"
#include "iso/cfrmReadCard.h"

#include <QApplication>

int main(int argc, char **argv)
{
    SwipeWaitBench::useOffscreen();
    QApplication app(argc, argv);
    const double waitSeconds = SwipeWaitBench::waitSeconds(argc, argv);
    constexpr double settleSeconds = 1.0;  // the start sequence is over well before this
    constexpr double target = 1.0;         // percent of one core

    const SwipeWaitBench::Measurement m = SwipeWaitBench::measure<cfrmReadCard>(settleSeconds, waitSeconds);
    if (!m.ptyOk)
        return 2;
    const QByteArray expected = QByteArray::fromHex("1B611B841B72");
    if (m.sent != expected) {
        std::printf("the read window did not reach its swipe wait (sent %s)\n", m.sent.toHex(' ').constData());
        return 1;
    }
    const double percent = m.percent();
    const bool pass = percent < target;
    std::printf("read window waiting %.1f s for a swipe (Qt link, pseudo-terminal): CPU %.3f s = %.2f%% of one core, "
                "target < %.0f%%: %s\n",
                m.elapsed, m.cpu, percent, target, pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
