#include "operation/NonIsoOperations.h"

// ---- Read -----------------------------------------------------------------------------------

const OperationProfile NonIsoReadOperation::kProfile{{
    {{StartStep::Reset, StartStep::Settle}},
    Closing::IdleAndDrain,
}};

NonIsoReadOperation::NonIsoReadOperation(const Connection &connection, const NonIso::Selection &selection,
                                         Operator &op)
    : Operation(connection, kProfile, op), selection_(selection)
{
}

OperationEnd NonIsoReadOperation::loop()
{
    // Raw characters are read only where the encoder knows them; otherwise one error, then the end.
    const bool readable = selection_.standardFormat || dialect().hasCustomNonIsoFormat();
    const ReadyOptions ready{true, true};
    while (!cancelled()) {
        op().showPrompt(false);
        dialect().signalReady(device(), ready);
        const ReadResult read = dialect().readNonIso(device(), selection_, prompt());
        if (cancelled())
            break;
        if (read.outcome == Outcome::Succeeded) {
            dialect().signalReady(device(), ready);
            lastCard_ = read.tracks;
            op().cardEnded({card_, CardResult::Ok, lastCard_});
            op().showNonIsoCard(lastCard_);
            op().showCard(++card_);
        } else if (read.outcome == Outcome::Failed) {
            op().cardEnded({card_, CardResult::ReadError, {}});
            reportIndicated(OperationError::Read);
            if (!readable)
                return cancelled() ? stopped() : OperationEnd::Finished;
        }
    }
    return stopped();
}

// ---- Write ----------------------------------------------------------------------------------

const OperationProfile NonIsoWriteOperation::kProfile{{
    {{StartStep::IndicatorSwipe, StartStep::Settle, StartStep::Discard}},
    Closing::LastCharacterAttention,
    Exchange::LastCharacter,
}};

NonIsoWriteOperation::NonIsoWriteOperation(const Connection &connection, const NonIso::WriteJob &job, Operator &op)
    : Operation(connection, kProfile, op), job_(job)
{
}

OperationEnd NonIsoWriteOperation::loop()
{
    // Raw characters are written only where the encoder knows them; otherwise one error, then the end.
    const bool writable = job_.standardFormat || dialect().hasCustomNonIsoFormat();
    const std::array<bool, 3> high210 = NonIso::High210(job_.densities());
    const IndicatorOptions indicator{false, 0.5, StopOn{true, true}};
    const CancelToken &flags = token();
    while (!cancelled()) {
        op().showPrompt(false);
        // A density the encoder did not take must not be written over. Its waits serve no
        // events, so a silent encoder would chain error reports the operator cannot cancel:
        // it is reported once and the operation ends.
        const bool configured = dialect().configureNonIsoDensity(device(), high210);
        Outcome outcome = Outcome::Failed;
        if (configured && writable)
            outcome = dialect().writeNonIso(device(), job_, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            op().cardEnded({card_, CardResult::Ok, {}});
            op().showCard(++card_);
        } else {
            if (flags.StopCollecting || cancelled())
                break;
            op().cardEnded({card_, CardResult::WriteError, {}});
            dialect().rearmWrite(device(), Rearm::ResetOrAbort, Exchange::LastCharacter);
            reportIndicated(OperationError::Write, indicator);
        }
        dialect().rearmWrite(device(), Rearm::IdleOrAbort, Exchange::LastCharacter);
        if (!writable || !configured)
            return cancelled() ? stopped() : OperationEnd::Finished;
    }
    return stopped();
}
