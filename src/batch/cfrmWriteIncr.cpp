#include "batch/cfrmWriteIncr.h"

#include "batch/BatchProfiles.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QLabel>

cfrmWriteIncr::cfrmWriteIncr(const Batch::IncrementSeries &series, RecordView *records, QWidget *parent)
    : CardPromptWindow(Batch::kIncremental, records, parent, QStringLiteral("Incremental Encode Prompt "),
                       promptLine(series.IncrementRemaining)),
      series_(series), total_(series.IncrementRemaining)
{
    setObjectName("cfrmWriteIncr");
    // This window's own title: a later write window reads "Write Swipe Error" again.
    setErrorTitles(sfrmReadErr::kTitle, QStringLiteral("Incremental Encode Write Error"));
}

QString cfrmWriteIncr::promptLine(qint64 total)
{
    return QStringLiteral("You are writing card #") + QString(17, QLatin1Char(' ')) + QStringLiteral("of  ")
           + QString::number(total) + QStringLiteral(". Please swipe a card.");
}

void cfrmWriteIncr::reportRejectedAttention()
{
    sfrmWriteErr error(this, writeErrorTitle());
    showModal(error);
}

// The main window's input record shows the card; what is written is `tracks` itself.
void cfrmWriteIncr::composeCard(const Iso::Tracks &tracks)
{
    for (int i = 0; i < 3; ++i)
        records()->setTrackText(i, tracks[size_t(i)]);
    for (int i = 3; i < 6; ++i) {
        records()->setTrackText(i, QByteArray());
        records()->setCount(i, QStringLiteral("0"));
    }
}

void cfrmWriteIncr::runOperation()
{
    const auto ended = [this](End otherwise) {
        end_ = device().portFailed() ? End::PortLost : cancelled() ? End::Cancelled : otherwise;
    };
    Label1->hide();
    LC->hide();
    if (!openPort()) {
        end_ = End::PortLost;
        return;
    }
    if (!runStartSequence()) {
        ended(End::StartFailed);
        return;
    }

    while (true) {
        if (cancelled())
            break;
        Label2->hide();
        Label1->setText(promptLine(total_));
        LC->setText(QString::number(total_ - series_.IncrementRemaining + 1));
        Label1->show();
        LC->show();

        const Iso::Tracks tracks = series_.card();
        composeCard(tracks);
        const Outcome outcome = dialect().writeIso(device(), tracks, Batch::kIncrementalWrite, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            showOutput(tracks, true);
            records()->setMessage(QStringLiteral("\r\nWrite complete.  Verify data accuracy before continue."));
            series_.CurrentNumber += series_.IncrementStep;
            const qint64 before = series_.IncrementRemaining--;
            // At or below 1 before the decrement the series is complete, so it always ends.
            if (before <= 1) {
                end_ = End::Completed;
                break;
            }
        } else {
            if (!showWriteFailure())
                break;
            if (outcome == Outcome::Aborted) {
                end_ = End::Refused;
                break;
            }
        }
        dialect().rearmWrite(device(), Rearm::DisarmAndPrepare);
        device().pauseUnlessCancelled(0.5);
        records()->setMessage(QString());
    }
    if (end_ == End::Running)
        ended(End::Cancelled);
    records()->setMessage(QString());
}

sfrmIncEOK::sfrmIncEOK(QWidget *parent)
    : MessageWindow(QStringLiteral("Incremental Encode Complete"),
                    QStringLiteral("Last incremental encode done.  Press OK to exit."), parent,
                    QStyle::SP_MessageBoxInformation)
{
    setObjectName("sfrmIncEOK");
}
