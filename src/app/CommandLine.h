#pragma once
// The command line, read before any window system is touched, so --help, --version and usage
// errors work without a display.
#include <QMap>
#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Action { Run, Print, UsageError };
    Action action = Action::Run;
    QString text;                 // what to print (Print: standard output; UsageError: standard error)
    bool simulate = false;
    QMap<int, QString> ports;     // port number -> device
    QString trace;                // the traffic trace file, empty: none
    bool traceCardData = false;   // the trace shows track data as it is
};

// `args` as argv, the program name first.
CommandLine parseCommandLine(const QStringList &args, const QString &version);
