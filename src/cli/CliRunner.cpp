#include "cli/CliRunner.h"

#include "cli/CliOperator.h"
#include "cli/CliOptions.h"
#include "device/SignalWatch.h"
#include "device/Connection.h"
#include "device/Pacer.h"
#include "device/QtSerialLink.h"
#include "device/SignalWatch.h"
#include "device/TraceLink.h"
#include "dialect/CommErrorText.h"
#include "dialect/Dialect.h"
#include "operation/Connecting.h"
#include "operation/Session.h"
#include "operation/RecordWriter.h"
#include "serve/Service.h"
#include "sim/SimulatedOperator.h"

#include <QFile>
#include <QFileInfo>
#include <QFileDevice>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <utility>

namespace {

QString cardsDone(CliCommand command, qint64 n)
{
    const QString cards = n == 1 ? QStringLiteral("1 card") : QStringLiteral("%1 cards").arg(n);
    switch (command) {
    case CliCommand::Read:
    case CliCommand::NonIsoRead:
        return cards + QStringLiteral(" read.");
    case CliCommand::Save:
        return cards + QStringLiteral(" saved.");
    case CliCommand::Copy:
        return cards + QStringLiteral(" copied.");
    case CliCommand::Erase:
        return cards + QStringLiteral(" erased.");
    default:
        return cards + QStringLiteral(" written.");
    }
}

class Run {
public:
    Run(const CliRequest &request, CliIo &io)
        : request_(request), io_(io), output_(io.out, io.err, request.json), view_(output_, request.job.kind)
    {
    }
    int exec();
    // The trace could not be written at some point (told once when it happened).
    bool traceFailed() const { return trace_ && trace_->failed(); }

private:
    void note(const QString &text) { output_.note(text); }
    bool makeLinks();
    // The setup handshake in `dialect`; false when it failed (the reason told).
    bool handshake(DialectId dialect, bool report);
    void commError(const QString &reason);
    int test();
    int operate(const Job &job);
    int serve();
    int interrupted() const { return CliExit::Interrupted + signal_; }
    void onSignal(int signal);

    CliRequest request_;
    CliIo &io_;
    CliOutput output_;
    CliOperator view_;
    Connection connection_;
    QObject timers_; // the simulated operator's swipes end with the run
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<SimulatedOperator> simOperator_;
    std::unique_ptr<SignalWatch> signals_;
    std::shared_ptr<TraceFile> trace_;
    Session *current_ = nullptr;
    int signal_ = 0;
};

void Run::onSignal(int signal)
{
    if (signal_ != 0)
        return;
    signal_ = signal;
    // As the window's Cancel: the flag, then the closing sequence while the loop still waits.
    if (current_ && current_->running()) {
        current_->cancel();
        current_->close();
    }
}

bool Run::makeLinks()
{
    connection_.port = request_.port;
    connection_.baud = request_.baud;
    connection_.parity = request_.parity;
    connection_.dataBits = request_.dataBits;
    connection_.dialect = request_.dialect;
    connection_.highCoercivity = request_.highCoercivity;
    connection_.pacer = io_.pacer;
    if (io_.links) {
        connection_.links = io_.links;
    } else if (request_.simulate) {
        sim_ = std::make_unique<Simulator>(*io_.pacer);
        SimulatedOperator::Later later = io_.later;
        if (!later)
            later = [this](double seconds, std::function<void()> action) {
                QTimer::singleShot(int(seconds * 1000), &timers_, std::move(action));
            };
        simOperator_ = std::make_unique<SimulatedOperator>(*sim_, std::move(later));
        view_.promptChanged = [this](bool shown) { simOperator_->promptChanged(shown); };
        connection_.links = sim_->links();
    } else {
        if (!request_.device.isEmpty())
            connection_.ports.setOverride(request_.port, request_.device);
        connection_.links = qtSerialLinks(connection_.ports);
    }
    if (!request_.trace.isEmpty()) {
        // As the windowed program: owner-only, the track data hidden unless asked for.
        trace_ = std::make_shared<TraceFile>(*io_.pacer, request_.traceCardData ? TraceCardData::Shown : TraceCardData::Hidden);
        trace_->onFailure = [this](const QString &problem) { note(QStringLiteral("vnt410: ") + problem); };
        if (!trace_->open(request_.trace, QStringLiteral("vnt410 ") + io_.version)) {
            note(QStringLiteral("vnt410: cannot write the trace file %1: %2").arg(request_.trace, trace_->errorText()));
            return false;
        }
        connection_.links =
            tracedLinks(connection_.links, trace_, [](DialectId d) { return dialectFor(d).cardDataMasker(); });
    }
    return true;
}

void Run::commError(const QString &reason)
{
    QString text = QStringLiteral("vnt410: ") + CommErrorText::kTitle;
    for (const QString &q : CommErrorText::kQuestions)
        text += QLatin1Char('\n') + q;
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    note(text);
}

bool Run::handshake(DialectId dialect, bool report)
{
    Connection c = connection_;
    c.dialect = dialect;
    const Connecting::Verdict v = Connecting(c).run([this] { return signal_ != 0; });
    if (signal_)
        return false;
    if (report && v.report)
        commError(v.reason);
    return v.connected;
}

int Run::test()
{
    QList<DialectId> tried{request_.dialect};
    if (!request_.dialectGiven)
        for (const DialectEntry &d : kDialects)
            if (d.id != request_.dialect)
                tried << d.id;
    for (qsizetype i = 0; i < tried.size(); ++i) {
        const DialectId d = tried[i];
        if (handshake(d, i + 1 == tried.size())) {
            output_.result({{QStringLiteral("result"), QStringLiteral("ok")}, {QStringLiteral("dialect"), dialectName(d)}},
                           QStringLiteral("%1 encoder answered.").arg(dialectName(d)));
            return CliExit::Done;
        }
        if (signal_)
            return interrupted();
    }
    return CliExit::Encoder;
}

int Run::operate(const Job &job)
{
    Session session(connection_, job, view_);
    view_.attach(&session);
    current_ = &session;
    const RunSummary summary = session.run();
    session.close();
    current_ = nullptr;
    view_.attach(nullptr);
    const OperationEnd end = summary.end;
    // The end line counts the cards whose result lines reached standard output.
    if (view_.good() > 0 || end != OperationEnd::PortLost)
        note(cardsDone(request_.job.kind, view_.good()));
    if (signal_)
        return interrupted();
    if (view_.keepFailed())
        return CliExit::FileFailed;
    if (output_.failed())
        return CliExit::FileFailed;
    const bool nonIso = request_.job.kind == CliCommand::NonIsoRead || request_.job.kind == CliCommand::NonIsoWrite;
    if (end == OperationEnd::Finished && nonIso) {
        // Ends of themselves only when this encoder cannot take the format or its densities.
        note(QStringLiteral("vnt410: the encoder cannot take this format."));
        return CliExit::Encoder;
    }
    switch (end) {
    case OperationEnd::Finished:
    case OperationEnd::Cancelled:
        if (summary.fileDone)
            note(QStringLiteral("End of file reached."));
        else if (request_.job.kind == JobKind::Incremental && summary.ranItsCourse())
            note(QStringLiteral("Last incremental encode done."));
        return CliExit::Done;
    case OperationEnd::PortLost: {
        QString why = summary.portError;
        if (why.isEmpty())
            why = QStringLiteral("The serial port failed.");
        note(QStringLiteral("vnt410: Communication with the encoder failed.\n") + why);
        return CliExit::Encoder;
    }
    case OperationEnd::StartRefused:
        note(QStringLiteral("vnt410: the encoder refused to start."));
        return CliExit::Encoder;
    case OperationEnd::Refused:
        note(QStringLiteral("vnt410: the encoder refused the write."));
        return CliExit::Encoder;
    }
    return CliExit::Encoder;
}

// The service: its own worker, links and pacer; this run's signals stop it.
int Run::serve()
{
    ServeSettings s;
    s.port = request_.listen;
    s.allowedOrigins = request_.allowOrigins;
    s.line.port = request_.port;
    s.line.baud = request_.baud;
    s.line.parity = request_.parity;
    s.line.dataBits = request_.dataBits;
    s.line.dialect = request_.dialect;
    s.line.highCoercivity = request_.highCoercivity;
    PortCatalog ports;
    if (!request_.device.isEmpty() && !request_.simulate)
        ports.setOverride(request_.port, request_.device);
    s.device = request_.simulate ? PortCatalog::kSimulatedDevice : ports.deviceFor(request_.port);
    s.version = io_.version;
    s.rig = productionRig(ports, request_.simulate, request_.trace, request_.traceCardData, io_.version);
    return runServe(s, io_.err, [this](std::function<void(int)> stop) {
        if (signals_)
            signals_->caught = std::move(stop);
    });
}

int Run::exec()
{
    if (!io_.pacer)
        return CliExit::Usage;
    if (io_.watchSignals) {
        signals_ = std::make_unique<SignalWatch>();
        signals_->caught = [this](int signal) { onSignal(signal); };
    }

    // What the command needs from files comes first: nothing goes to the encoder for a file
    // that is refused.
    RecordWriter saved;
    if (request_.job.kind == JobKind::Save) {
        const RecordWriter::Opened opened = saved.open(request_.file, request_.append);
        if (opened != RecordWriter::Opened::Ok) {
            note(QStringLiteral("vnt410: ") + saved.problem());
            return opened == RecordWriter::Opened::Failed ? CliExit::FileFailed : CliExit::Usage;
        }
        view_.keep = [this, &saved](const CardReport &report) {
            if (saved.add(EncodeDataFile::Record{report.tracks}))
                return true;
            // The card's own line says so; the file ends on the card before.
            output_.result({{QStringLiteral("card"), report.card}, {QStringLiteral("result"), QStringLiteral("not-saved")}},
                           QStringLiteral("card %1: not saved").arg(report.card));
            note(QStringLiteral("vnt410: card %1 was not saved: %2").arg(report.card).arg(saved.problem()));
            return false;
        };
    }

    if (request_.serve)
        return serve();
    if (!makeLinks())
        return trace_ && trace_->existed() ? CliExit::Usage : CliExit::FileFailed;
    // From the handshake on the encoder may be armed: a signal winds the run down.
    if (signals_)
        signals_->catchFromNow();
    if (request_.job.kind == JobKind::Test)
        return test();
    if (!handshake(request_.dialect, true))
        return signal_ ? interrupted() : CliExit::Encoder;

    if (request_.job.kind == JobKind::NonIsoRead)
        view_.setNonIso(true, !request_.job.selection.standardFormat);
    else if (request_.job.kind == JobKind::NonIsoWrite)
        view_.setNonIso(true, false);
    return operate(request_.job);
}

} // namespace

int runCli(const QStringList &args, CliIo &io)
{
    const CliRequest request = parseCli(args, io.version);
    if (request.action == CliRequest::Action::Print) {
        if (io.out) {
            io.out->write(request.text.toUtf8());
            if (auto *file = qobject_cast<QFileDevice *>(io.out))
                file->flush();
        }
        return CliExit::Done;
    }
    if (request.action == CliRequest::Action::UsageError) {
        if (io.err)
            io.err->write(request.text.toUtf8());
        return CliExit::Usage;
    }
    Run run(request, io);
    const int status = run.exec();
    return status == CliExit::Done && run.traceFailed() ? CliExit::FileFailed : status;
}
