#include "iso/cfrmWriteCard.h"

#include "device/Commands.h"
#include "device/SharedState.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QLabel>

using namespace MainModule;

cfrmWriteCard::cfrmWriteCard(RecordView *records, QWidget *parent)
    : CardPromptWindow(WindowKind::IsoWrite, records, parent, QStringLiteral("Write Swipe Prompt"),
                       QStringLiteral("You are writing card #") + QString(18, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmWriteCard");
}

void cfrmWriteCard::runOperation()
{
    StopCollecting = false;
    if (!openPort())
        return;

    if (!runStartSequence(true))
        return;

    while (!CancelRequested) {
        Label2->hide();
        const QByteArray t1 = records()->trackText(0), t2 = records()->trackText(1), t3 = records()->trackText(2);
        const Iso::Outcome outcome = Iso::WriteSwipe(device(), t1, t2, t3, Iso::WriteOptions::writeWindow(), prompt());
        if (outcome == Iso::Succeeded && !CancelRequested) {
            showOutput(t1, t2, t3, QString::number(t1.size()), QString::number(t2.size()), QString::number(t3.size()));
            records()->setMessage(QStringLiteral("\r\nWrite complete.  Verify data accuracy before continue."));
            nextCard();
        } else {
            if (CancelRequested)
                break;
            showFailedOutput();
            records()->setMessage(QString());
            Started = true;
            if (isVnt290b()) {
                device().disarm();
                if (CancelRequested)
                    break;
            }
            sfrmWriteErr err(this);
            showIndicatedError(err);
            if (outcome == Iso::Aborted)
                break;
        }
        if (isVnt290b()) {
            device().sendAndWaitCancelable(Cmd::Vnt::PrepareWrite);
            device().pause(0.3, true);
            if (!CancelRequested)  // never re-open a port the closing sequence has closed
                device().openIfClosed();
            device().discard();
        }
    }
    records()->setMessage(QString());
}
