#include "noniso/nfrmSwipeWrite.h"

#include "noniso/NonIsoProfiles.h"
#include "ui/common/MessageWindow.h"

#include <QLabel>

nfrmSwipeWrite::nfrmSwipeWrite(const NonIso::WriteJob &job, QWidget *parent)
    : CardPromptWindow(NonIso::kWrite, nullptr, parent, QStringLiteral("Non-ISO Write Swipe Prompt"),
                       QStringLiteral("You are writing card #") + QString(19, QLatin1Char(' ')) + QStringLiteral(".")),
      job_(job)
{
    setObjectName("nfrmSwipeWrite");
    setErrorTitles(sfrmReadErr::kNonIsoTitle, sfrmWriteErr::kNonIsoTitle);
    LC->setText(QStringLiteral("0"));
    Label1->hide();
}

void nfrmSwipeWrite::runOperation()
{
    if (!openPort())
        return;
    Label1->show();
    LC->setText(QStringLiteral("1"));
    if (!runStartSequence())
        return;

    // Raw characters are written only where the encoder knows them; otherwise one error, then close.
    const bool writable = job_.standardFormat || dialect().hasCustomNonIsoFormat();
    const std::array<bool, 3> high210 = NonIso::High210(job_.densities());
    const IndicatorOptions indicator{false, 0.5, StopOn{true, true}};
    const CancelToken &flags = token();
    while (!cancelled()) {
        Label2->hide();
        // A density the encoder did not take must not be written over. Its waits serve no
        // events, so a silent encoder would chain error windows the operator cannot cancel:
        // it is reported once and the window closes.
        const bool configured = dialect().configureNonIsoDensity(device(), high210);
        Outcome outcome = Outcome::Failed;
        if (configured && writable)
            outcome = dialect().writeNonIso(device(), job_, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            nextCard();
        } else {
            if (flags.StopCollecting || cancelled())
                break;
            Started = true;
            dialect().rearmWrite(device(), Rearm::ResetOrAbort, Exchange::LastCharacter);
            sfrmWriteErr err(this, writeErrorTitle());
            showIndicatedError(err, indicator);
        }
        dialect().rearmWrite(device(), Rearm::IdleOrAbort, Exchange::LastCharacter);
        if (!writable || !configured)
            break;
    }
}
