#include "operation/Session.h"

#include "operation/BatchOperations.h"
#include "operation/Connecting.h"
#include "operation/IsoOperations.h"
#include "operation/NonIsoOperations.h"

Session::Session(const Connection &connection, const Job &job, Operator &op)
    : connection_(connection), job_(job), op_(op)
{
    Operator &self = *this;
    switch (job_.kind) {
    case JobKind::Test:
        break;
    case JobKind::Read:
        operation_ = std::make_unique<ReadOperation>(connection_, self);
        break;
    case JobKind::Write:
        operation_ = std::make_unique<WriteOperation>(connection_, job_.tracks, self);
        break;
    case JobKind::Copy:
        operation_ = std::make_unique<CopyOperation>(connection_, self);
        break;
    case JobKind::Erase:
        operation_ = std::make_unique<EraseOperation>(connection_, job_.eraseMask, self);
        break;
    case JobKind::Save:
        operation_ = std::make_unique<SaveOperation>(connection_, self);
        break;
    case JobKind::Encode:
        records_.emplace(job_.records);
        for (qint64 i = 1; i < job_.from; ++i)
            records_->next();
        operation_ = std::make_unique<EncodeOperation>(connection_, *records_, self);
        break;
    case JobKind::Incremental:
        operation_ = std::make_unique<IncrementalOperation>(connection_, job_.series, self);
        break;
    case JobKind::NonIsoRead:
        operation_ = std::make_unique<NonIsoReadOperation>(connection_, job_.selection, self);
        break;
    case JobKind::NonIsoWrite:
        operation_ = std::make_unique<NonIsoWriteOperation>(connection_, job_.nonIsoWrite, self);
        break;
    }
}

Session::~Session() = default;

RunSummary Session::run()
{
    if (final_)
        return *final_;
    RunSummary s;
    if (!operation_) {
        s = test();
    } else {
        s.end = operation_->run();
        fillSummary(s);
    }
    final_ = s;
    return s;
}

// The handshake alone, as setup's OK runs it.
RunSummary Session::test()
{
    RunSummary s;
    if (cancelled_)
        return s;
    Connecting connecting(connection_);
    const Connecting::Verdict v = connecting.run([this] { return bool(cancelled_); });
    s.portError = v.reason;
    if (cancelled_)
        s.end = OperationEnd::Cancelled;
    else if (v.connected)
        s.end = OperationEnd::Finished;
    else
        s.end = v.reason.isEmpty() ? OperationEnd::StartRefused : OperationEnd::PortLost;
    if (s.end == OperationEnd::Finished)
        s.ok = 1;
    return s;
}

RunSummary Session::summary() const
{
    if (final_)
        return *final_;
    RunSummary s;
    fillSummary(s);
    return s;
}

void Session::fillSummary(RunSummary &s) const
{
    s.ok = ok_;
    s.skipped = skipped_;
    s.failed = failed_;
    s.countReached = countReached_;
    if (!operation_)
        return;
    if (s.end == OperationEnd::PortLost)
        s.portError = operation_->portErrorText();
    switch (job_.kind) {
    case JobKind::Encode:
        s.fileDone = s.end == OperationEnd::Finished;
        s.nextRecord = job_.from + lastDoneRecord_;
        break;
    case JobKind::Incremental:
        s.series = static_cast<const IncrementalOperation &>(*operation_).series();
        break;
    case JobKind::Save:
        s.collected = static_cast<const SaveOperation &>(*operation_).collection();
        break;
    case JobKind::NonIsoRead:
        s.lastCard = static_cast<const NonIsoReadOperation &>(*operation_).lastCard();
        break;
    default:
        break;
    }
}

void Session::cancel()
{
    cancelled_ = true;
    if (operation_)
        operation_->cancel();
}

void Session::skip()
{
    if (operation_)
        operation_->skip();
}

void Session::close()
{
    cancelled_ = true;
    if (operation_)
        operation_->close();
}

void Session::cardEnded(const CardReport &report)
{
    CardReport r = report;
    // Record numbers as the file counts them, wherever the run started in it.
    if (r.record > 0 && job_.kind == JobKind::Encode) {
        r.record += job_.from - 1;
        if (r.result == CardResult::Ok || r.result == CardResult::Skipped)
            lastDoneRecord_ = report.record;
    }
    switch (r.result) {
    case CardResult::Ok:
        ++ok_;
        break;
    case CardResult::Skipped:
        ++skipped_;
        break;
    default:
        ++failed_;
        break;
    }
    op_.cardEnded(r);
    // A job's count is its own end: as Cancel, once the card has been told.
    if (r.result == CardResult::Ok && job_.count > 0 && ok_ >= job_.count && !countReached_) {
        countReached_ = true;
        cancel();
    }
}
