#pragma once
// The command line of vnt410: the line options, then a command and its own options. The data
// given (tracks, numbers, the file to encode) goes through its job's check, the one the entry
// windows use, so bad data is refused before anything is sent to the encoder.
#include "device/DialectId.h"
#include "operation/Job.h"

#include <QString>
#include <QStringList>

// The commands are the kinds of job.
using CliCommand = JobKind;

struct CliRequest {
    enum class Action { Run, Print, UsageError };
    Action action = Action::Run;
    QString text; // Print: for standard output; UsageError: for standard error

    // The line, as setup's choices.
    int port = 1;
    QString device; // names the port directly; empty: the port number's device
    DialectId dialect = DialectId::Hkd382;
    bool dialectGiven = false;
    QString baud = QStringLiteral("9600");
    QString parity = QStringLiteral("None");
    QString dataBits = QStringLiteral("8");
    bool highCoercivity = true;
    bool simulate = false;
    QString trace;
    bool traceCardData = false; // the trace shows track data instead of ".."
    bool json = false;

    Job job;              // the command, checked; kind Test for "test"
    QString file;         // save: the file the cards go to; encode: the file the records came from
    bool append = false;  // save
    bool serve = false;        // "serve": the service instead of a job
    quint16 listen = 8410;     // serve
    QStringList allowOrigins;  // serve
};

// `args` as argv, the program name first.
CliRequest parseCli(const QStringList &args, const QString &version);
