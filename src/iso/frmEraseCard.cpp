#include "iso/frmEraseCard.h"

#include "device/Commands.h"
#include "device/SharedState.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QLabel>
#include <QStyle>

using namespace MainModule;

namespace {
const QString kCardPrefix = QStringLiteral("You are erasing card #");
constexpr int kCardBlanks = 19;
} // namespace

const QString frmEraseCard::kLabel1Text = kCardPrefix + QString(kCardBlanks, QLatin1Char(' ')) + QStringLiteral(". Please swipe a card.");
const QString frmEraseCard::kCompleteMessage = QStringLiteral("\r\nErase complete.  Verify data accuracy before continue.");

frmEraseCard::frmEraseCard(RecordView *records, QWidget *parent)
    : CardPromptWindow(WindowKind::Erase, records, parent, QStringLiteral("Erase - Swipe Prompt"), kLabel1Text,
                       QStyle::SP_TrashIcon)
{
    setObjectName("frmEraseCard");
    // The card-number line appears when the loop starts.
    Label1->hide();
    LC->hide();
}

void frmEraseCard::setMessage(const QString &text)
{
    if (records())
        records()->setMessage(text);
}

// True when the loop may begin. Whatever ends the start returns at once: after a failure
// the encoder hears nothing more from this window but its closing sequence.
bool frmEraseCard::startSequence()
{
    StopCollecting = false;
    CancelRequested = false;
    if (!openPort())
        return false;
    Label1->hide();
    LC->hide();
    cardNumber_ = 1;

    return runStartSequence(true);
}

void frmEraseCard::runOperation()
{
    if (!startSequence())
        return;

    const bool vnt = isVnt290b();
    while (!CancelRequested) {
        Label2->hide();
        Label1->setText(kLabel1Text);
        LC->setText(QString::number(cardNumber_));
        Label1->show();
        LC->show();
        setMessage(QString());

        const int outcome = EraseSwipe(EraseTrackMask);
        if (outcome == 1 && !CancelRequested) {
            setMessage(kCompleteMessage);
            ++cardNumber_;
        } else {
            if (CancelRequested)
                break;
            if (vnt) {
                device().disarm();
                if (CancelRequested)
                    break;
            }
            sfrmEraseErr error(this);
            showIndicatedError(error);
        }
        if (vnt) {
            device().disarm();
            device().sendAndWaitCancelable(Cmd::Vnt::PrepareWrite);
        }
        device().pause(2.0);
    }
}

int frmEraseCard::EraseSwipe(int mask)
{
    Device &dev = device();
    const bool vnt = isVnt290b();
    if (vnt) {
        for (int track = 1; track <= 3; ++track) {
            if ((mask & (1 << (track - 1))) && dev.sendAndWaitCancelable(Cmd::Vnt::EraseTrack[size_t(track)]) != Cmd::Vnt::Ack)
                return 2;
        }
        if (dev.sendAndWaitCancelable(Cmd::Vnt::EraseGo) != Cmd::Vnt::Ack)
            return 2;
    } else {
        dev.pause(0.5);
        // Once the window has closed, the port stays closed: no command after the closing sequence.
        if (CancelRequested)
            return 2;
        if (!dev.openIfClosed())
            return 0;
        dev.write(Cmd::Hkd::eraseTracks(mask));
    }
    dev.pause(0.3);
    Label2->show();

    int outcome = 0;
    const WaitEnd end = dev.waitForBytes(vnt ? 1 : 2, -1, true, StopOn{true, false});
    if (end == WaitEnd::Ready) {
        const QByteArray reply = dev.takeAll();
        outcome = reply == (vnt ? Cmd::Vnt::Ack : Cmd::Hkd::Ok) ? 1 : 0;
    } else if (CancelRequested) {
        // The closing sequence has usually closed the port by now; the abort then goes nowhere.
        dev.sendAndWaitCancelable(vnt ? Cmd::Vnt::AbortWrite : Cmd::Hkd::AbortWrite);
    }
    Label2->hide();
    return outcome;
}
