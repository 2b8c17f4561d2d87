#include "iso/cfrmReadCard.h"

#include "device/SharedState.h"
#include "iso/TrackBlock.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QLabel>
#include <QPushButton>

using namespace MainModule;

cfrmReadCard::cfrmReadCard(RecordView *records, QWidget *parent)
    : CardPromptWindow(WindowKind::IsoRead, records, parent, QStringLiteral("Read Swipe Prompt"),
                       QStringLiteral("You are reading card #") + QString(17, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmReadCard");
}

void cfrmReadCard::runOperation()
{
    if (!openPort())
        return;
    LC->setText(QStringLiteral("1"));
    StopCollecting = false;
    CancelRequested = false;

    if (!runStartSequence(false))
        return;

    while (!CancelRequested) {
        Label2->hide();
        if (isVnt290b())
            device().signalReady();
        const Iso::Outcome outcome = Iso::ReadSwipe(device(), Iso::ReadOptions::readWindow(), prompt());
        if (CancelRequested)
            break;
        if (outcome == Iso::Aborted)
            continue;
        if (outcome == Iso::Succeeded) {
            const auto &t = TrackData;
            showOutput(t[1], t[2], t[3], Iso::CharCountText(t[1]), Iso::CharCountText(t[2]), Iso::CharCountText(t[3]));
            if (t[1] != Iso::Unreadable && t[2] != Iso::Unreadable && t[3] != Iso::Unreadable) {
                records()->setMessage(QStringLiteral("\r\nSuccessful read from card swipe."));
                nextCard();
                continue;
            }
        } else {
            showFailedOutput();
        }
        records()->setMessage(QString());
        sfrmReadErr err(this);
        showIndicatedError(err);
        device().signalReady();
    }
    records()->setMessage(QString());
}
