#include "cli/CliRunner.h"

#include "cli/CliOperator.h"
#include "cli/CliOptions.h"
#include "cli/SaveFile.h"
#include "cli/SignalWatch.h"
#include "device/Connection.h"
#include "device/Device.h"
#include "device/Pacer.h"
#include "device/PortCatalog.h"
#include "device/QtSerialLink.h"
#include "device/TraceLink.h"
#include "dialect/CommErrorText.h"
#include "dialect/Dialect.h"
#include "operation/BatchOperations.h"
#include "operation/IsoOperations.h"
#include "operation/NonIsoOperations.h"
#include "serve/Service.h"
#include "sim/Simulator.h"

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

// The operator of --simulate: swipes one second after each prompt, the next sample card where
// the encoder waits to read or erase, a blank card where it waits to write.
class SimulatedOperator {
public:
    using Later = std::function<void(double, std::function<void()>)>;
    SimulatedOperator(Simulator &sim, Later later) : sim_(sim), later_(std::move(later)) {}

    void promptChanged(bool shown)
    {
        shown_ = shown;
        if (!shown)
            return;
        const quint64 prompt = ++prompt_;
        later_(1.0, [this, prompt] { attempt(prompt); });
    }

private:
    void attempt(quint64 prompt)
    {
        if (prompt != prompt_ || !shown_)
            return;
        if (!sim_.awaitingSwipe()) {
            // The prompt came before the encoder was armed: look again shortly.
            later_(0.1, [this, prompt] { attempt(prompt); });
            return;
        }
        const Simulator::Operation op = sim_.pendingOperation();
        const bool writing = op == Simulator::Operation::Write || op == Simulator::Operation::NonIsoWrite;
        static const QList<SimCard> samples = Simulator::sampleStack();
        const SimCard card = writing ? Simulator::blankStack(1).first() : samples.at(int(nextSample_++ % samples.size()));
        sim_.setStack({card});
        sim_.swipe();
    }

    Simulator &sim_;
    Later later_;
    quint64 prompt_ = 0;
    quint64 nextSample_ = 0;
    bool shown_ = false;
};

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
        : request_(request), io_(io), output_(io.out, io.err, request.json), view_(output_, request.command)
    {
    }
    int exec();

private:
    void note(const QString &text) { output_.note(text); }
    bool makeLinks();
    // The setup handshake in `dialect`; false when it failed (the reason told).
    bool handshake(DialectId dialect, bool report);
    void commError(const QString &reason);
    int test();
    int serve();
    int operate(Operation &operation);
    // A new operation of type Op, its own arguments between the connection and the operator, run.
    template <class Op, class... Args>
    int operateNew(Args &&...args)
    {
        Op op(connection_, std::forward<Args>(args)..., view_);
        return operate(op);
    }
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
    Operation *current_ = nullptr;
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
            PortCatalog::setOverride(request_.port, request_.device);
        connection_.links = qtSerialLinks();
    }
    if (!request_.trace.isEmpty()) {
        // As the windowed program: owner-only, the track data hidden unless asked for.
        auto trace =
            std::make_shared<TraceFile>(*io_.pacer, request_.traceCardData ? TraceCardData::Shown : TraceCardData::Hidden);
        if (!trace->open(request_.trace, QStringLiteral("vnt410 ") + io_.version)) {
            note(QStringLiteral("vnt410: cannot write the trace file %1: %2").arg(request_.trace, trace->errorText()));
            return false;
        }
        connection_.links =
            tracedLinks(connection_.links, trace, [](DialectId d) { return dialectFor(d).cardDataMasker(); });
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
    CancelToken token;
    Device port(token, c);
    if (!port.open()) {
        if (report)
            commError(port.portErrorText());
        return false;
    }
    const Handshake outcome = dialectFor(dialect).handshake(port, c.highCoercivity, [this] { return signal_ != 0; });
    const QString reason = port.portFailed() ? port.portErrorText() : QString();
    port.close();
    if (signal_)
        return false;
    switch (outcome) {
    case Handshake::Connected:
        return true;
    case Handshake::ConnectedAfterError:
        // Setup shows its error window and goes on all the same.
        if (report)
            commError(reason);
        return true;
    case Handshake::Failed:
    case Handshake::FailedQuietly:
        if (report)
            commError(reason);
        return false;
    }
    return false;
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

int Run::operate(Operation &operation)
{
    view_.attach(&operation);
    current_ = &operation;
    const OperationEnd end = operation.run();
    operation.close();
    current_ = nullptr;
    view_.attach(nullptr);
    if (view_.good() > 0 || end != OperationEnd::PortLost)
        note(cardsDone(request_.command, view_.good()));
    if (signal_)
        return interrupted();
    if (view_.keepFailed())
        return CliExit::FileFailed;
    if (output_.failed())
        return CliExit::FileFailed;
    const bool nonIso = request_.command == CliCommand::NonIsoRead || request_.command == CliCommand::NonIsoWrite;
    if (end == OperationEnd::Finished && nonIso) {
        // Ends of themselves only when this encoder cannot take the format or its densities.
        note(QStringLiteral("vnt410: the encoder cannot take this format."));
        return CliExit::Encoder;
    }
    switch (end) {
    case OperationEnd::Finished:
    case OperationEnd::Cancelled:
        return CliExit::Done;
    case OperationEnd::PortLost: {
        QString why = operation.portErrorText();
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
    if (!request_.device.isEmpty() && !request_.simulate)
        PortCatalog::setOverride(request_.port, request_.device);
    s.device = request_.simulate ? PortCatalog::kSimulatedDevice : PortCatalog::deviceFor(request_.port);
    s.version = io_.version;
    s.rig = productionRig(request_.simulate, request_.trace, request_.traceCardData, io_.version);
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
    SaveFile saved;
    std::optional<EncodeDataFile::RecordTaker> records;
    if (request_.command == CliCommand::Save) {
        const SaveFile::Opened opened = saved.open(request_.file, request_.append);
        if (opened != SaveFile::Opened::Ok) {
            note(QStringLiteral("vnt410: ") + saved.problem());
            return opened == SaveFile::Opened::Failed ? CliExit::FileFailed : CliExit::Usage;
        }
        view_.keep = [this, &saved](const CardReport &report) {
            if (saved.add(report.tracks))
                return true;
            note(QStringLiteral("vnt410: ") + saved.problem());
            return false;
        };
    } else if (request_.command == CliCommand::Encode) {
        if (!QFileInfo::exists(request_.file)) {
            note(QStringLiteral("vnt410: %1: File not exists. ").arg(request_.file));
            return CliExit::Usage;
        }
        const EncodeDataFile::Loaded loaded = EncodeDataFile::ReadEncodeDataFile(request_.file);
        if (!loaded.ok) {
            note(QStringLiteral("vnt410: %1: Incorrect file format. Select ASCII format only.\n%2")
                     .arg(request_.file, loaded.problem));
            return CliExit::Usage;
        }
        if (request_.from > loaded.records) {
            note(QStringLiteral("vnt410: %1 holds %2 records; there is no record %3.")
                     .arg(request_.file)
                     .arg(loaded.records)
                     .arg(request_.from));
            return CliExit::Usage;
        }
        records.emplace(loaded.content);
        for (qint64 i = 1; i < request_.from; ++i)
            records->next();
        view_.setRecordOffset(request_.from - 1);
    }

    if (request_.command == CliCommand::Serve)
        return serve();
    if (!makeLinks())
        return CliExit::FileFailed;
    if (request_.command == CliCommand::Test)
        return test();
    if (!handshake(request_.dialect, true))
        return signal_ ? interrupted() : CliExit::Encoder;

    view_.setCount(request_.count);
    switch (request_.command) {
    case CliCommand::Test:
    case CliCommand::Serve:
        break;
    case CliCommand::Read:
        return operateNew<ReadOperation>();
    case CliCommand::Write:
        return operateNew<WriteOperation>(request_.tracks);
    case CliCommand::Copy:
        return operateNew<CopyOperation>();
    case CliCommand::Erase:
        return operateNew<EraseOperation>(request_.eraseMask);
    case CliCommand::Save:
        return operateNew<SaveOperation>();
    case CliCommand::Encode: {
        const int status = operateNew<EncodeOperation>(*records);
        if (status == CliExit::Done && records->atEnd())
            note(QStringLiteral("End of file reached."));
        return status;
    }
    case CliCommand::Incremental: {
        view_.setCount(0); // the series has its own count
        IncrementalOperation op(connection_, request_.series, view_);
        const int status = operate(op);
        if (status == CliExit::Done && op.series().IncrementRemaining <= 0)
            note(QStringLiteral("Last incremental encode done."));
        return status;
    }
    case CliCommand::NonIsoRead:
        view_.setNonIso(true, !request_.selection.standardFormat);
        return operateNew<NonIsoReadOperation>(request_.selection);
    case CliCommand::NonIsoWrite:
        view_.setNonIso(true, false);
        return operateNew<NonIsoWriteOperation>(request_.job);
    }
    return CliExit::Usage;
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
    return run.exec();
}
