// The command-line program's start, beside the windowed program's:
// - start to first command: `vnt410 --device PTY read --count 1` from spawn to the first byte
//   at the pseudo-terminal's far end (the handshake's Reset), median and worst of the runs
//   (target: within 50 ms);
// - resident memory: the peak of a whole `vnt410 --simulate read --count 1` (target: under
//   15 MB), and for comparison the windowed program idle in setup (offscreen) after 1.5 s.
//
//   bench_cli [runs]
#include "../tests/support/Pty.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace {

pid_t spawn(const QList<QByteArray> &args, bool quiet = true)
{
    std::vector<char *> argv;
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The peak resident set of a child that has ended, in MB.
double reap(pid_t pid, int *status = nullptr)
{
    int st = 0;
    rusage usage{};
    if (::wait4(pid, &st, 0, &usage) != pid)
        return -1;
    if (status)
        *status = st;
    return double(usage.ru_maxrss) / 1024.0;
}

double residentNowMb(pid_t pid)
{
    FILE *f = std::fopen(QByteArray("/proc/" + QByteArray::number(pid) + "/status").constData(), "r");
    if (!f)
        return -1;
    char line[256];
    double kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %lf kB", &kb) == 1)
            break;
    std::fclose(f);
    return kb / 1024.0;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const QByteArray cli = VNT410_PROGRAM;
    const QByteArray windowed = VNT410_UTILITY;
    bool pass = true;

    QList<double> firstByte;
    for (int i = 0; i < runs; ++i) {
        Pty pty;
        if (!pty.ok())
            return 2;
        QElapsedTimer clock;
        clock.start();
        const pid_t pid = spawn({cli, "--device", pty.slavePath().toLocal8Bit(), "read", "--count", "1"});
        if (pid < 0)
            return 2;
        const QByteArray got = pty.read(5000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        ::kill(pid, SIGKILL);
        reap(pid);
        if (got.isEmpty()) {
            std::printf("vnt410 sent nothing within 5 s\n");
            return 1;
        }
        firstByte << ms;
    }
    std::sort(firstByte.begin(), firstByte.end());
    const double median = firstByte.at(firstByte.size() / 2), worst = firstByte.last();
    const bool startOk = median <= 50.0;
    pass = pass && startOk;
    std::printf("vnt410 start to first command (pseudo-terminal, %d runs): median %.1f ms, worst %.1f ms, "
                "target <= 50 ms: %s\n",
                runs, median, worst, startOk ? "PASS" : "FAIL");

    QElapsedTimer whole;
    whole.start();
    const pid_t sim = spawn({cli, "--simulate", "read", "--count", "1"});
    int status = 0;
    const double peak = reap(sim, &status);
    const bool memoryOk = peak > 0 && peak < 15.0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    pass = pass && memoryOk;
    std::printf("vnt410 --simulate read --count 1: %.2f s, exit %d, peak resident %.1f MB, target < 15 MB: %s\n",
                double(whole.nsecsElapsed()) / 1e9, WIFEXITED(status) ? WEXITSTATUS(status) : -1, peak,
                memoryOk ? "PASS" : "FAIL");

    // The windowed program for comparison: idle in its setup window, offscreen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const pid_t gui = spawn({windowed, "--simulate"});
    if (gui > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const double resident = residentNowMb(gui);
        ::kill(gui, SIGTERM);
        const double guiPeak = reap(gui);
        std::printf("vnt410-utility --simulate (offscreen, setup window after 1.5 s): resident %.1f MB, peak %.1f MB\n",
                    resident, guiPeak);
    }
    return pass ? 0 : 1;
}
