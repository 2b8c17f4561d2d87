#include "operation/BatchOperations.h"

#include "operation/IsoOperations.h"

using EncodeDataFile::Record;

// ---- Save run -------------------------------------------------------------------------------

const OperationProfile SaveOperation::kProfile{{
    {{StartStep::Reset, StartStep::Settle, StartStep::IndicatorSwipe, StartStep::ConfigureDensity, StartStep::ArmRead}},
    Closing::Reset,
}};

const ReadProfile SaveOperation::kRead = [] {
    ReadProfile r;
    r.openFirst = true;
    r.fetch = TrackFetch::Collected;
    r.collect = Collect::UntilQuiet;
    r.silentTrackFails = true; // a missing track must not be saved as a card without it
    return r;
}();

SaveOperation::SaveOperation(const Connection &connection, Operator &op) : Operation(connection, kProfile, op) {}

OperationEnd SaveOperation::loop()
{
    while (!cancelled()) {
        op().showPrompt(false);
        op().showCard(collection_.cardNumber());
        dialect().armRead(device(), ArmRead::Drained);
        if (cancelled())
            break;
        const ReadResult read = dialect().readIso(device(), kRead, prompt());
        if (cancelled())
            break;
        if (read.outcome == Outcome::Aborted)
            continue; // not armed: try again at once
        if (read.outcome == Outcome::Succeeded) {
            op().showOutput(read.tracks, Counts::AsRead);
            // A "*" track, or a byte its track cannot hold (line noise), is no card to save:
            // a "|", CR or LF would shift every record after it.
            const Record record{read.tracks};
            if (collection_.append(record)) {
                op().cardEnded({collection_.count(), CardResult::Ok, read.tracks, collection_.count()});
                op().notice(Notice::ReadSuccess);
                continue;
            }
            op().cardEnded({collection_.cardNumber(), CardResult::ReadError, read.tracks});
        } else {
            showFailedOutput();
            op().cardEnded({collection_.cardNumber(), CardResult::ReadError, {}});
        }
        ++failed_;
        op().notice(Notice::Clear);
        reportIndicated(OperationError::Read);
    }
    op().notice(Notice::Clear);
    return stopped();
}

// ---- Encode from file -----------------------------------------------------------------------

const OperationProfile EncodeOperation::kProfile{{
    {{StartStep::Reset, StartStep::ConfigureDensity, StartStep::Settle, StartStep::ArmWrite}, true, 2.0, 0.0, true},
    Closing::SettlingAttention,
    Exchange::Settling,
}};

// Skip ends the swipe wait; a cancelled wait counts as skipped (or sends Attention where the dialect aborts by command).
const WriteProfile EncodeOperation::kWrite = [] {
    WriteProfile w;
    w.pauseBefore = 0.0;
    w.discard = WriteDiscard::None;
    w.trackAck = AckMatch::Exact;
    w.cardAck = AckMatch::Exact;
    w.onCancel = CancelSends::Attention;
    w.cancelled = Outcome::Skipped;
    w.skippable = true;
    w.exchange = Exchange::Settling;
    return w;
}();

EncodeOperation::EncodeOperation(const Connection &connection, EncodeDataFile::RecordTaker &source, Operator &op)
    : Operation(connection, kProfile, op), source_(source)
{
}

OperationEnd EncodeOperation::loop()
{
    OperationEnd end = OperationEnd::Cancelled;
    bool nextRecordDue = true;
    Record record;
    while (!cancelled()) {
        op().showPrompt(false);
        if (nextRecordDue) {
            const std::optional<Record> next = source_.next();
            if (!next) {
                end = OperationEnd::Finished;
                break;
            }
            record = *next;
            ++record_;
            // The record only shows; the write takes the record's own bytes.
            op().showInput(record.track, Counts::Kept);
        }
        op().showOutput({}, Counts::Lengths);
        token().SkipRequested = false;
        op().enableSkip(true);
        op().showCard(card_);
        const Iso::Tracks tracks = record.track;
        const Outcome outcome = dialect().writeIso(device(), tracks, kWrite, prompt());
        op().enableSkip(false);

        if (outcome == Outcome::Succeeded && !cancelled()) {
            op().cardEnded({card_, CardResult::Ok, tracks, record_});
            op().showOutput(tracks, Counts::Lengths);
            op().notice(Notice::WriteComplete);
            op().hideCard();
            ++card_;
            nextRecordDue = true;
        } else if (cancelled()) {
            break;
        } else if (outcome == Outcome::Skipped) {
            // Skip moves on to the next record, also after a failed attempt: a record the
            // encoder refuses on every card must not hold up the rest of the file.
            ++skipped_;
            op().cardEnded({card_, CardResult::Skipped, tracks, record_});
            nextRecordDue = true;
            dialect().rearmWrite(device(), Rearm::AttentionAndPrepare, Exchange::Settling);
        } else {
            ++failed_;
            op().cardEnded({card_, CardResult::WriteError, tracks, record_});
            showFailedOutput();
            op().notice(Notice::Clear);
            op().stepAside(true);
            dialect().indicatorOffBeforeError(device());
            dialect().disarm(device(), Exchange::Settling);
            if (cancelled())
                break;
            reportIndicated(OperationError::Write);
            if (cancelled())
                break;
            op().stepAside(false);
            nextRecordDue = false; // the same record onto the next card
            if (outcome == Outcome::Aborted) {
                end = OperationEnd::Refused; // the encoder refused the write
                break;
            }
        }
        dialect().rearmWrite(device(), Rearm::Disarm, Exchange::Settling);
        device().pauseUnlessCancelled(1.5);
        op().notice(Notice::Clear);
    }
    op().notice(Notice::Clear);
    return end == OperationEnd::Cancelled ? stopped() : end;
}

// ---- Incremental series ---------------------------------------------------------------------

const OperationProfile IncrementalOperation::kProfile{
    {
        {{StartStep::IndicatorSwipe, StartStep::ConfigureDensity, StartStep::ArmWrite}, true, 0.5, 0.1, true},
        Closing::Release,
    },
    OperationError::Write,
};

const WriteProfile IncrementalOperation::kWrite = [] {
    WriteProfile w;
    w.discard = WriteDiscard::None;
    w.stopOnCollect = true;
    return w;
}();

IncrementalOperation::IncrementalOperation(const Connection &connection, const Batch::IncrementSeries &series,
                                           Operator &op)
    : Operation(connection, kProfile, op), series_(series), total_(series.IncrementRemaining)
{
}

OperationEnd IncrementalOperation::loop()
{
    OperationEnd end = OperationEnd::Cancelled;
    while (!cancelled()) {
        op().showPrompt(false);
        op().showCard(total_ - series_.IncrementRemaining + 1);

        // The input record shows the card; what is written is `tracks` itself.
        const Iso::Tracks tracks = series_.card();
        op().showInput(tracks, Counts::Kept);
        op().showOutput({}, Counts::Zero);
        const Outcome outcome = dialect().writeIso(device(), tracks, kWrite, prompt());
        const qint64 card = total_ - series_.IncrementRemaining + 1;
        if (outcome == Outcome::Succeeded && !cancelled()) {
            op().cardEnded({card, CardResult::Ok, tracks});
            op().showOutput(tracks, Counts::Lengths);
            op().notice(Notice::WriteComplete);
            series_.CurrentNumber += series_.IncrementStep;
            const qint64 before = series_.IncrementRemaining--;
            // At or below 1 before the decrement the series is complete, so it always ends.
            if (before <= 1) {
                end = OperationEnd::Finished;
                break;
            }
        } else {
            if (!cancelled())
                op().cardEnded({card, CardResult::WriteError, tracks});
            if (!reportWriteFailure())
                break;
            ++failed_;
            if (outcome == Outcome::Aborted) {
                end = OperationEnd::Refused;
                break;
            }
        }
        dialect().rearmWrite(device(), Rearm::DisarmAndPrepare);
        device().pauseUnlessCancelled(0.5);
        op().notice(Notice::Clear);
    }
    op().notice(Notice::Clear);
    return end == OperationEnd::Cancelled ? stopped() : end;
}
