#include "iso/frmEraseCard.h"

#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QLabel>
#include <QStyle>

namespace {
const QString kCardPrefix = QStringLiteral("You are erasing card #");
constexpr int kCardBlanks = 19;
} // namespace

const WindowProfile frmEraseCard::kProfile{
    {{StartStep::Reset, StartStep::Settle, StartStep::IndicatorSwipe, StartStep::ArmWrite}, true, 2.0, 0.0, true},
    Closing::ReopenAndReset,
};
const QString frmEraseCard::kLabel1Text = kCardPrefix + QString(kCardBlanks, QLatin1Char(' ')) + QStringLiteral(". Please swipe a card.");
const QString frmEraseCard::kCompleteMessage = QStringLiteral("\r\nErase complete.  Verify data accuracy before continue.");

frmEraseCard::frmEraseCard(int mask, RecordView *records, QWidget *parent)
    : CardPromptWindow(kProfile, records, parent, QStringLiteral("Erase - Swipe Prompt"), kLabel1Text,
                       QStyle::SP_TrashIcon),
      mask_(mask)
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

void frmEraseCard::runOperation()
{
    if (!openPort())
        return;
    cardNumber_ = 1;
    // Whatever ends the start returns at once: after a failure the encoder hears nothing more
    // from this window but its closing sequence.
    if (!runStartSequence())
        return;

    while (!cancelled()) {
        Label2->hide();
        Label1->setText(kLabel1Text);
        LC->setText(QString::number(cardNumber_));
        Label1->show();
        LC->show();
        setMessage(QString());

        const Outcome outcome = dialect().erase(device(), mask_, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            setMessage(kCompleteMessage);
            ++cardNumber_;
        } else {
            if (cancelled())
                break;
            dialect().disarm(device());
            if (cancelled())
                break;
            sfrmEraseErr error(this);
            showIndicatedError(error);
        }
        dialect().rearmWrite(device(), Rearm::DisarmAndPrepare);
        device().pauseUnlessCancelled(2.0); // Cancel must not wait out the pause
    }
}
