#include "iso/cfrmWriteCard.h"

#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QLabel>

const WindowProfile cfrmWriteCard::kProfile{
    {{StartStep::IndicatorSwipe, StartStep::ConfigureDensity, StartStep::ArmWrite}, true, 2.0, 0.0, true},
    Closing::Release,
};
const WriteProfile cfrmWriteCard::kWrite{};

cfrmWriteCard::cfrmWriteCard(RecordView *records, QWidget *parent)
    : CardPromptWindow(kProfile, records, parent, QStringLiteral("Write Swipe Prompt"),
                       QStringLiteral("You are writing card #") + QString(18, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmWriteCard");
}

void cfrmWriteCard::runOperation()
{
    if (!openPort())
        return;

    if (!runStartSequence())
        return;

    while (!cancelled()) {
        Label2->hide();
        const Iso::Tracks tracks{records()->trackText(0), records()->trackText(1), records()->trackText(2)};
        const Outcome outcome = dialect().writeIso(device(), tracks, kWrite, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            showOutput(tracks, true);
            records()->setMessage(QStringLiteral("\r\nWrite complete.  Verify data accuracy before continue."));
            nextCard();
        } else {
            if (!showWriteFailure())
                break;
            if (outcome == Outcome::Aborted)
                break;
        }
        dialect().rearmWrite(device(), Rearm::PrepareAndSettle);
    }
    records()->setMessage(QString());
}
