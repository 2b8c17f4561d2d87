#pragma once
// The incremental write window: writes the series card by card, the chosen track carrying the
// running number. A written card advances the number and counts down; a failed card is tried
// again with the same number.
#include "ui/common/OperatorTexts.h"
#include "ui/common/CardPromptWindow.h"
#include "ui/common/MessageWindow.h"

class cfrmWriteIncr : public CardPromptWindow {
    Q_OBJECT
public:
    cfrmWriteIncr(const Connection &connection, const Batch::IncrementSeries &series, RecordView *records,
                  QWidget *parent = nullptr);

    // How the series ended: only a completed or cancelled series is followed by the completion
    // window; the others have already told the operator that cards remain.
    enum class End { Running, Completed, Cancelled, Refused, StartFailed, PortLost };
    End end() const;
    // The series as it stands: CurrentNumber is the number of the next (unwritten) card.
    Batch::IncrementSeries series() const { return summary().series; }

    static QString promptLine(qint64 total);
    // The line that tells how the series' cards went.
    QString tally() const
    {
        const RunSummary s = summary();
        return OperationText::tallyLine(QStringLiteral("written"), s.ok, 0, s.failed, false);
    }
};

// "Incremental Encode Complete".
class sfrmIncEOK : public MessageWindow {
    Q_OBJECT
public:
    explicit sfrmIncEOK(QWidget *parent = nullptr);
};
