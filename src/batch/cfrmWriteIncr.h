#pragma once
// The incremental write window: writes the series card by card, the chosen track carrying the
// running number. A written card advances the number and counts down; a failed card is tried
// again with the same number.
#include "batch/IncrementSeries.h"
#include "ui/common/CardPromptWindow.h"
#include "ui/common/MessageWindow.h"

class cfrmWriteIncr : public CardPromptWindow {
    Q_OBJECT
public:
    cfrmWriteIncr(const Batch::IncrementSeries &series, RecordView *records, QWidget *parent = nullptr);

    // How the series ended: only a completed or cancelled series is followed by the completion
    // window; the others have already told the operator that cards remain.
    enum class End { Running, Completed, Cancelled, Refused, StartFailed, PortLost };
    End end() const { return end_; }
    // The series as it stands: CurrentNumber is the number of the next (unwritten) card.
    const Batch::IncrementSeries &series() const { return series_; }

    static QString promptLine(qint64 total);

protected:
    void runOperation() override;
    void reportRejectedAttention() override;

private:
    void composeCard(const Iso::Tracks &tracks);

    Batch::IncrementSeries series_;
    qint64 total_;
    End end_ = End::Running;
};

// "Incremental Encode Complete".
class sfrmIncEOK : public MessageWindow {
    Q_OBJECT
public:
    explicit sfrmIncEOK(QWidget *parent = nullptr);
};
