#include "operation/IsoOperations.h"


// ---- Read -----------------------------------------------------------------------------------

const OperationProfile ReadOperation::kProfile{{
    {{StartStep::Reset, StartStep::Settle, StartStep::IndicatorSwipe, StartStep::ArmRead}, false},
    Closing::IdleAndDrain,
}};
const ReadProfile ReadOperation::kRead{};

ReadOperation::ReadOperation(const Connection &connection, Operator &op) : Operation(connection, kProfile, op) {}

OperationEnd ReadOperation::loop()
{
    while (!cancelled()) {
        op().showPrompt(false);
        dialect().armRead(device(), ArmRead::Ready);
        const ReadResult read = dialect().readIso(device(), kRead, prompt());
        if (cancelled())
            break;
        if (read.outcome == Outcome::Aborted)
            continue;
        if (read.outcome == Outcome::Succeeded) {
            op().showOutput(read.tracks, Counts::AsRead);
            const bool good = !Iso::AnyUnreadable(read.tracks);
            op().cardEnded({card_, good ? CardResult::Ok : CardResult::ReadError, read.tracks});
            if (good) {
                op().notice(Notice::ReadSuccess);
                op().showCard(++card_);
                continue;
            }
        } else {
            showFailedOutput();
            op().cardEnded({card_, CardResult::ReadError, {}});
        }
        op().notice(Notice::Clear);
        reportIndicated(OperationError::Read);
        dialect().signalReady(device());
    }
    op().notice(Notice::Clear);
    return stopped();
}

// ---- Write ----------------------------------------------------------------------------------

const OperationProfile WriteOperation::kProfile{{
    {{StartStep::IndicatorSwipe, StartStep::ConfigureDensity, StartStep::ArmWrite}, true, 2.0, 0.0, true},
    Closing::Release,
}};
const WriteProfile WriteOperation::kWrite{};

WriteOperation::WriteOperation(const Connection &connection, const Iso::Tracks &tracks, Operator &op)
    : Operation(connection, kProfile, op), tracks_(tracks)
{
}

OperationEnd WriteOperation::loop()
{
    while (!cancelled()) {
        op().showPrompt(false);
        const Outcome outcome = dialect().writeIso(device(), tracks_, kWrite, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            op().cardEnded({card_, CardResult::Ok, tracks_});
            op().showOutput(tracks_, Counts::Lengths);
            op().notice(Notice::WriteComplete);
            op().showCard(++card_);
        } else {
            if (!cancelled())
                op().cardEnded({card_, CardResult::WriteError, tracks_});
            if (!reportWriteFailure())
                break;
            if (outcome == Outcome::Aborted) {
                op().notice(Notice::Clear);
                return OperationEnd::Refused;
            }
        }
        dialect().rearmWrite(device(), Rearm::PrepareAndSettle);
    }
    op().notice(Notice::Clear);
    return stopped();
}

// ---- Erase ----------------------------------------------------------------------------------

const OperationProfile EraseOperation::kProfile{{
    {{StartStep::Reset, StartStep::Settle, StartStep::IndicatorSwipe, StartStep::ArmWrite}, true, 2.0, 0.0, true},
    Closing::ReopenAndReset,
}};

EraseOperation::EraseOperation(const Connection &connection, int mask, Operator &op)
    : Operation(connection, kProfile, op), mask_(mask)
{
}

OperationEnd EraseOperation::loop()
{
    while (!cancelled()) {
        op().showPrompt(false);
        op().showCard(card_);
        op().notice(Notice::Clear);

        const Outcome outcome = dialect().erase(device(), mask_, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            op().cardEnded({card_, CardResult::Ok, {}});
            op().notice(Notice::EraseComplete);
            ++card_;
        } else {
            if (cancelled())
                break;
            op().cardEnded({card_, CardResult::EraseError, {}});
            dialect().disarm(device());
            if (cancelled())
                break;
            reportIndicated(OperationError::Erase);
        }
        dialect().rearmWrite(device(), Rearm::DisarmAndPrepare);
        device().pauseUnlessCancelled(2.0); // Cancel must not wait out the pause
    }
    return stopped();
}

// ---- Copy -----------------------------------------------------------------------------------

// The copy arms each read itself, so its start has no preparation to refuse.
const OperationProfile CopyOperation::kProfile{{
    {{StartStep::Reset, StartStep::ConfigureDensity, StartStep::Settle}},
    Closing::AttentionDrain,
    Exchange::Immediate,
}};

const ReadProfile CopyOperation::kRead{
    0.5, 0.5, true, true, PromptTiming::FromStartKept, TrackFetch::Collected, Exchange::Immediate, Collect::Immediate,
    true, // a track not answered at all is no "no data": the card is read again
};

const WriteProfile CopyOperation::kWrite = [] {
    WriteProfile w;
    w.discard = WriteDiscard::BeforeCommand;
    w.stopOnCollect = true;
    w.cardAck = AckMatch::Exact;
    w.exchange = Exchange::Immediate;
    return w;
}();

CopyOperation::CopyOperation(const Connection &connection, Operator &op) : Operation(connection, kProfile, op) {}

void CopyOperation::setErrorIndicator(bool on)
{
    IndicatorOptions options;
    // Reads leave the port closed; an operation already closing must not open it again.
    options.openIfClosed = !cancelled();
    options.stop = StopOn{true, true};
    dialect().setErrorIndicator(device(), on, options);
}

void CopyOperation::reportAside(OperationError error, bool indicated)
{
    // The indication goes on before the prompt steps aside and off after it is back, so the
    // main window never stands unguarded while the encoder is answering.
    if (indicated)
        setErrorIndicator(true);
    if (cancelled())
        return;
    op().stepAside(true);
    op().reportError(error);
    op().stepAside(false);
    if (indicated)
        setErrorIndicator(false);
}

void CopyOperation::finish()
{
    op().showOutput({}, Counts::Zero);
    op().notice(Notice::Clear);
}

OperationEnd CopyOperation::loop()
{
    while (!cancelled()) {
        switch (readSource()) {
        case Next::Write:
            break;
        case Next::Finish:
            finish();
            return stopped();
        case Next::Close:
            return refused_ ? OperationEnd::Refused : stopped();
        }
        if (!writeTarget()) {
            finish();
            return stopped();
        }
        ++copied_;
    }
    finish();
    return stopped();
}

CopyOperation::Next CopyOperation::readSource()
{
    op().showPrompt(false);
    op().showPhase(PromptPhase::Source);
    for (;;) {
        const bool armed = dialect().armRead(device(), ArmRead::Checked);
        if (cancelled())
            return Next::Finish;
        if (!armed) {
            setErrorIndicator(true);
            if (cancelled())
                return Next::Close;
            op().reportError(OperationError::Read);
            setErrorIndicator(false);
            refused_ = !cancelled();
            return Next::Close;
        }
        op().showPrompt(false);
        const ReadResult read = dialect().readIso(device(), kRead, prompt());
        if (cancelled())
            return Next::Finish;
        if (read.outcome == Outcome::Aborted)
            continue;
        if (read.outcome == Outcome::Succeeded) {
            source_ = read.tracks;
            op().showInput(source_, Counts::AsRead);
            op().showOutput({}, Counts::Zero);
            if (!Iso::AnyUnreadable(source_))
                return Next::Write;
            op().cardEnded({copied_ + 1, CardResult::ReadError, source_});
            op().notice(Notice::Clear);
            reportAside(OperationError::Read, false);
        } else {
            op().cardEnded({copied_ + 1, CardResult::ReadError, {}});
            op().showInput({}, Counts::Zero);
            op().notice(Notice::Clear);
            reportAside(OperationError::Read, true);
        }
    }
}

bool CopyOperation::writeTarget()
{
    op().showOutput({}, Counts::Zero);
    op().notice(Notice::Clear);
    op().showPhase(PromptPhase::Target);
    for (;;) {
        const Outcome outcome = dialect().writeIso(device(), source_, kWrite, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            op().cardEnded({copied_ + 1, CardResult::Ok, source_});
            op().showOutput(source_, Counts::AsRead);
            op().notice(Notice::WriteComplete);
            return true;
        }
        if (cancelled())
            return false;
        op().cardEnded({copied_ + 1, CardResult::WriteError, source_});
        showFailedOutput();
        op().notice(Notice::Clear);
        reportAside(OperationError::Write, true);
        if (outcome == Outcome::Aborted || cancelled())
            return false;
    }
}
