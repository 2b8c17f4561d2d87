#pragma once
// The command line of vnt410: the line options, then a command and its own options. Parsing
// also checks the data given (tracks, numbers) as the entry windows do, so bad data is refused
// before anything is sent to the encoder.
#include "card/NonIsoFormat.h"
#include "card/TrackBlock.h"
#include "device/DialectId.h"
#include "operation/IncrementSeries.h"

#include <QString>
#include <QStringList>

enum class CliCommand { Test, Read, Write, Copy, Erase, Save, Encode, Incremental, NonIsoRead, NonIsoWrite, Serve };

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

    CliCommand command = CliCommand::Test;
    qint64 count = 0;      // good cards to end after; 0: until interrupted
    Iso::Tracks tracks;    // write
    int eraseMask = 0;     // bit 0 track 1 .. bit 2 track 3
    QString file;          // save, encode
    bool append = false;   // save
    qint64 from = 1;       // encode: the first record written
    Batch::IncrementSeries series; // incremental
    NonIso::Selection selection;   // noniso-read, noniso-write
    NonIso::WriteJob job;          // noniso-write
    quint16 listen = 8410;         // serve
    QStringList allowOrigins;      // serve
};

// `args` as argv, the program name first.
CliRequest parseCli(const QStringList &args, const QString &version);
