// Loading a large encode data file: read, check every record, then take them all as the
// encode run does. Prints the figures; exits 1 when checking and loading miss the target.
//
//   bench_datafile [records]     (default 100000)
#include "card/Validators.h"
#include "operation/EncodeDataFile.h"
#include "operation/JobChecks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace EncodeDataFile;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const double targetMs = 200.0;

    // Cards as a save run would collect them: full track 1 and 2, a shorter track 3.
    SaveCollection collected;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i).rightJustified(8, '0');
        const QByteArray t1 = "%B4000" + n + "1234^CARDHOLDER/TEST " + n + "^2612101000000000000000000";
        const QByteArray t2 = "4000" + n + "1234=2612101" + n;
        const QByteArray t3 = i % 3 == 0 ? QByteArray("+") : "011234" + n + "=" + n + "00000000000000";
        if (!collected.append(Record{{t1.left(MaxLength[0]), t2.left(MaxLength[1]), t3}})) {
            std::fprintf(stderr, "sample card %d not storable\n", i);
            return 2;
        }
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("cards.txt");
    if (writeFile(path, collected.text(), false).status != WriteStatus::Written)
        return 2;

    double best = 1e9, bestCheck = 1e9, bestTake = 1e9;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        const Loaded loaded = ReadEncodeDataFile(path);
        const Jobs::Checked checked = Jobs::encode(loaded.content, 1);
        const double checkedMs = timer.nsecsElapsed() / 1e6;
        RecordTaker taker(checked.job.records);
        int taken = 0;
        while (taker.next())
            ++taken;
        const double totalMs = timer.nsecsElapsed() / 1e6;
        if (!checked.ok() || taken != count) {
            std::fprintf(stderr, "load failed: %s (%d records)\n", qPrintable(loaded.problem + checked.refusal.value_or(Refusal{}).text), taken);
            return 2;
        }
        best = std::min(best, totalMs);
        bestCheck = std::min(bestCheck, checkedMs);
        bestTake = std::min(bestTake, totalMs - checkedMs);
    }
    std::printf("encode data file: %d records, %.1f MB\n", count, collected.text().size() / 1e6);
    std::printf("  read and check           %8.1f ms\n", bestCheck);
    std::printf("  take every record        %8.1f ms\n", bestTake);
    std::printf("  check and load           %8.1f ms   (target <= %.0f ms)  %s\n", best, targetMs,
                best <= targetMs ? "ok" : "MISSED");
    return best <= targetMs ? 0 : 1;
}
