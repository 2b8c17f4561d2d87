// vnt410: the encoder's operations for scripts and card production, without any window.
#include "cli/CliRunner.h"
#include "device/Pacer.h"
#include "device/ProcessGuard.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <unistd.h>

int main(int argc, char **argv)
{
    disableCoreDumps(); // before anything holds card data
    holdStandardStreams();
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // A reader that went away is told by a failed write, not by a signal that skips the closing.
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vnt410"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    // Unbuffered: every line leaves at once.
    QFile out, err;
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);

    RealPacer pacer;
    CliIo io;
    io.out = &out;
    io.err = &err;
    io.pacer = &pacer;
    io.version = QStringLiteral(PROJECT_VERSION);
    return runCli(args, io);
}
