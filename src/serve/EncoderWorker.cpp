#include "serve/EncoderWorker.h"

#include "card/RawCodec.h"
#include "device/Device.h"
#include "device/Pacer.h"
#include "dialect/Dialect.h"
#include "operation/Connecting.h"
#include "operation/Session.h"

#include <algorithm>

namespace {

// The events of one job. Errors are acknowledged at once: the card is tried again, as after
// the error window's OK.
class JobOperator : public Operator {
public:
    std::function<void(qint64 card, const QString &phase)> prompted;
    std::function<void(const CardReport &)> ended;
    std::function<void(bool)> promptChanged;
    bool copy = false;

    void showPrompt(bool shown) override
    {
        if (shown == shown_)
            return;
        shown_ = shown;
        if (shown)
            announce();
        if (promptChanged)
            promptChanged(shown);
    }
    void showCard(qint64 number) override { card_ = number; }
    void showOutput(const Iso::Tracks &, Counts) override {}
    void showInput(const Iso::Tracks &, Counts) override {}
    void notice(Notice) override {}
    void cardEnded(const CardReport &report) override
    {
        if (report.result == CardResult::Ok)
            card_ = std::max(card_, report.card + 1);
        ended(report);
    }
    void reportError(OperationError) override {}
    void showPhase(PromptPhase phase) override
    {
        const bool writing = phase == PromptPhase::Target;
        const bool changed = writing != writing_;
        writing_ = writing;
        if (changed && shown_) {
            announce();
            if (promptChanged)
                promptChanged(true);
        }
    }

private:
    void announce()
    {
        prompted(card_, copy ? (writing_ ? QStringLiteral("target") : QStringLiteral("source")) : QStringLiteral("swipe"));
    }
    qint64 card_ = 1;
    bool shown_ = false;
    bool writing_ = false;
};

} // namespace

struct EncoderWorker::Thread {
    EncoderWorker &q;
    Connection connection;
    EncoderRig rig;
    bool ready = false;
    QString reason;
    quint64 job = 0;     // running
    bool cancelled = false;
    Session *session = nullptr;

    Thread(EncoderWorker &worker, const Connection &line, RigMaker &maker) : q(worker), connection(line), rig(maker())
    {
        connection.links = rig.links;
        connection.pacer = rig.pacer.get();
    }

    // The setup handshake; the encoder is ready or offline after it.
    void test()
    {
        const Connecting::Verdict v = Connecting(connection).run([this] { return cancelled; });
        ready = v.connected;
        reason = ready ? QString() : v.reason.isEmpty() ? QStringLiteral("The encoder does not answer.") : v.reason;
        emit q.tested(ready, reason);
    }

    void cancel(quint64 number)
    {
        if (number != job)
            return;
        cancelled = true;
        // As a window's Cancel: the flag, then the closing sequence while the wait goes on.
        if (session && session->running()) {
            session->cancel();
            session->close();
        }
    }

    void skip(quint64 number)
    {
        if (number == job && session)
            session->skip();
    }

    void execute(quint64 number, const Job &request)
    {
        job = number;
        cancelled = false;
        emit q.started(number);
        qint64 ok = 0, skipped = 0, failed = 0;
        auto end = [&](const QString &how, const QString &message) {
            job = 0;
            emit q.ended(number, how, ok, skipped, failed, message);
        };
        if (!ready)
            test();
        if (cancelled)
            return end(QStringLiteral("cancelled"), QString());
        if (!ready)
            return end(QStringLiteral("offline"), reason);
        if (request.kind == JobKind::Test)
            return end(QStringLiteral("finished"), QStringLiteral("%1 encoder answered.").arg(dialectName(connection.dialect)));

        JobOperator view;
        view.copy = request.kind == JobKind::Copy;
        view.promptChanged = rig.promptChanged;
        view.prompted = [&](qint64 card, const QString &phase) { emit q.prompt(number, card, phase); };
        const bool raw = request.kind == JobKind::NonIsoRead && !request.selection.standardFormat;
        view.ended = [&](const CardReport &report) {
            QStringList tracks;
            for (const QByteArray &t : report.tracks)
                tracks << (raw ? (t == Iso::NoData ? QString() : QString::fromLatin1(NonIso::ToHexPairs(t)).trimmed())
                               : QString::fromLatin1(t));
            if (std::all_of(tracks.begin(), tracks.end(), [](const QString &t) { return t.isEmpty(); }))
                tracks.clear();
            emit q.card(number, report.card, QString::fromLatin1(cardResultName(report.result)), tracks, report.record);
        };
        if (request.kind == JobKind::Save)
            return end(QStringLiteral("invalid"), QString());

        Job checked = request;
        if (checked.kind == JobKind::Incremental)
            checked.count = 0; // the series has its own count
        Session run(connection, checked, view);
        session = &run;
        const RunSummary summary = run.run();
        run.close();
        session = nullptr;
        ok = summary.ok;
        skipped = summary.skipped;
        failed = summary.failed;
        const OperationEnd how = summary.end;
        const QString lost = summary.portError;
        const bool series = request.kind == JobKind::Incremental;
        const bool countReached = summary.countReached;
        switch (how) {
        case OperationEnd::Finished:
            if (request.kind == JobKind::NonIsoRead || request.kind == JobKind::NonIsoWrite)
                return end(QStringLiteral("refused"), QStringLiteral("The encoder cannot take this format."));
            return end(QStringLiteral("finished"), request.kind == JobKind::Encode ? QStringLiteral("End of file reached.")
                                                   : series                           ? QStringLiteral("Last incremental encode done.")
                                                                                      : QString());
        case OperationEnd::Cancelled:
            return end(countReached && !cancelled ? QStringLiteral("finished") : QStringLiteral("cancelled"), QString());
        case OperationEnd::PortLost:
            ready = false;
            reason = lost.isEmpty() ? QStringLiteral("The serial port failed.") : lost;
            emit q.tested(false, reason);
            return end(QStringLiteral("port-lost"), QStringLiteral("Communication with the encoder failed. ") + reason);
        case OperationEnd::StartRefused:
            return end(QStringLiteral("refused"), QStringLiteral("The encoder refused to start."));
        case OperationEnd::Refused:
            return end(QStringLiteral("refused"), QStringLiteral("The encoder refused the write."));
        }
    }
};

EncoderWorker::EncoderWorker(const Connection &line, RigMaker rig)
{
    thread_.setObjectName(QStringLiteral("encoder"));
    context_ = new QObject;
    context_->moveToThread(&thread_);
    auto maker = std::make_shared<RigMaker>(std::move(rig));
    connect(&thread_, &QThread::started, context_, [this, line, maker] {
        inside_ = std::make_unique<Thread>(*this, line, *maker);
        inside_->test();
    });
    // What lives on the worker's thread goes with it.
    connect(&thread_, &QThread::finished, context_, [this] { inside_.reset(); }, Qt::DirectConnection);
}

EncoderWorker::~EncoderWorker()
{
    if (thread_.isRunning()) {
        // A job still running ends first, with its closing sequence; the thread's loop ends
        // once the job has returned to it (never inside the job's own waits).
        QMetaObject::invokeMethod(context_, [this] { inside_->cancel(inside_->job); }, Qt::QueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    delete context_;
}

void EncoderWorker::start() { thread_.start(); }

void EncoderWorker::run(quint64 number, const Job &job)
{
    QMetaObject::invokeMethod(context_, [this, number, job] { inside_->execute(number, job); }, Qt::QueuedConnection);
}

// Served by the running wait on the worker's thread, as a window's Cancel click is by its wait.
void EncoderWorker::cancel(quint64 number)
{
    QMetaObject::invokeMethod(context_, [this, number] { inside_->cancel(number); }, Qt::QueuedConnection);
}

void EncoderWorker::skip(quint64 number)
{
    QMetaObject::invokeMethod(context_, [this, number] { inside_->skip(number); }, Qt::QueuedConnection);
}
