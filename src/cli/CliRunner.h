#pragma once
// The vnt410 program without its process: parses the command line, runs the setup handshake as
// setup's OK does, then the command's operation on the same layer the windows use, and returns
// the exit status. Tests run it in-process with a virtual pacer and the simulator.
#include "device/SerialLink.h"

#include <QString>
#include <QStringList>
#include <functional>

class Pacer;
class QIODevice;

namespace CliExit {
inline constexpr int Done = 0;
inline constexpr int FileFailed = 1;   // the save file (or standard output) could not be written
inline constexpr int Usage = 2;        // usage or data refused
inline constexpr int Encoder = 3;      // no port, no handshake, a refusal or a lost port
inline constexpr int Interrupted = 128; // plus the signal's number: 129 SIGHUP, 130 SIGINT, 143 SIGTERM
} // namespace CliExit

struct CliIo {
    QIODevice *out = nullptr; // results
    QIODevice *err = nullptr; // prompts, errors, usage
    Pacer *pacer = nullptr;   // every wait
    // Links to use for every port instead of the system's ports (tests); unset: the ports, or
    // the built-in encoder with --simulate.
    LinkFactory links;
    // Runs `action` `seconds` from now, served by the pacer's waits (the simulated operator's
    // swipes); unset: a QTimer.
    std::function<void(double seconds, std::function<void()> action)> later;
    // SIGINT, SIGTERM and SIGHUP cancel the run (off where a test signals the run itself).
    bool watchSignals = true;
    QString version = QStringLiteral("0");
};

// `args` as argv, the program name first. Returns the exit status.
int runCli(const QStringList &args, CliIo &io);
