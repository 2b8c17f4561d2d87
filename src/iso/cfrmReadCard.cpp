#include "iso/cfrmReadCard.h"

#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QLabel>

const WindowProfile cfrmReadCard::kProfile{
    {{StartStep::Reset, StartStep::Settle, StartStep::IndicatorSwipe, StartStep::ArmRead}, false},
    Closing::IdleAndDrain,
};
const ReadProfile cfrmReadCard::kRead{};

cfrmReadCard::cfrmReadCard(RecordView *records, QWidget *parent)
    : CardPromptWindow(kProfile, records, parent, QStringLiteral("Read Swipe Prompt"),
                       QStringLiteral("You are reading card #") + QString(17, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmReadCard");
}

void cfrmReadCard::runOperation()
{
    if (!openPort())
        return;
    LC->setText(QStringLiteral("1"));

    if (!runStartSequence())
        return;

    while (!cancelled()) {
        Label2->hide();
        dialect().armRead(device(), ArmRead::Ready);
        const ReadResult read = dialect().readIso(device(), kRead, prompt());
        if (cancelled())
            break;
        if (read.outcome == Outcome::Aborted)
            continue;
        if (read.outcome == Outcome::Succeeded) {
            showOutput(read.tracks);
            if (!Iso::AnyUnreadable(read.tracks)) {
                records()->setMessage(QStringLiteral("\r\nSuccessful read from card swipe."));
                nextCard();
                continue;
            }
        } else {
            showFailedOutput();
        }
        records()->setMessage(QString());
        sfrmReadErr err(this, readErrorTitle());
        showIndicatedError(err);
        dialect().signalReady(device());
    }
    records()->setMessage(QString());
}
