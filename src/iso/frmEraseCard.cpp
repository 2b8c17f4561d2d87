#include "iso/frmEraseCard.h"

#include "device/Commands.h"
#include "device/SharedState.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace MainModule;

namespace {
const QString kCardPrefix = QStringLiteral("You are erasing card #");
constexpr int kCardBlanks = 19;
} // namespace

const QString frmEraseCard::kLabel1Text = kCardPrefix + QString(kCardBlanks, QLatin1Char(' ')) + QStringLiteral(". Please swipe a card.");
const QString frmEraseCard::kCompleteMessage = QStringLiteral("\r\nErase complete.  Verify data accuracy before continue.");

frmEraseCard::frmEraseCard(RecordView *records, QWidget *parent) : SwipeWindow(WindowKind::Erase, records, parent)
{
    setObjectName("frmEraseCard");
    setWindowTitle(QStringLiteral("Erase - Swipe Prompt"));

    Picture1 = new QLabel(this);
    Picture1->setObjectName("Picture1");
    Picture1->setPixmap(style()->standardIcon(QStyle::SP_TrashIcon).pixmap(48, 48));
    Picture1->setFixedSize(48, 48);

    Label1 = new QLabel(kLabel1Text, this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The number sits in the blank run of the line, so it rides on the line's label.
    LC = new QLabel(QStringLiteral("1"), Label1);
    LC->setObjectName("LC");
    LC->setAlignment(Qt::AlignCenter);
    QFont bold = LC->font();
    bold.setBold(true);
    LC->setFont(bold);
    Label1->installEventFilter(this);

    Label2 = new QLabel(QStringLiteral("Please swipe a card."), this);
    Label2->setObjectName("Label2");

    // The window keeps its size while the lines come and go.
    for (QLabel *label : {Label1, Label2}) {
        QSizePolicy policy = label->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        label->setSizePolicy(policy);
    }
    Label1->hide();
    LC->hide();
    Label2->hide();

    Command1->setMinimumWidth(90);

    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addSpacing(6);
    text->addWidget(Label2);
    text->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(Picture1, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addStretch();
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(row);
    outer->addSpacing(10);
    outer->addLayout(buttons);
    outer->setContentsMargins(18, 18, 18, 14);
}

bool frmEraseCard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label1 && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
        placeCardNumber();
    return SwipeWindow::eventFilter(watched, event);
}

void frmEraseCard::placeCardNumber()
{
    const QFontMetrics fm(Label1->font());
    const QRect area = Label1->contentsRect();
    LC->setGeometry(area.left() + fm.horizontalAdvance(kCardPrefix), area.top(),
                    fm.horizontalAdvance(QString(kCardBlanks, QLatin1Char(' '))), area.height());
}

void frmEraseCard::setMessage(const QString &text)
{
    if (records())
        records()->setMessage(text);
}

void frmEraseCard::showErrorWindow(QDialog &window)
{
    device().setErrorIndicator(true);
    showModal(window);
    device().setErrorIndicator(false);
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

    const StartResult result = device().runStart(WindowKind::Erase);
    if (CancelRequested)
        return false;
    switch (result) {
    case StartResult::Ok:
        return true;
    case StartResult::PortFailed:
        return false;
    case StartResult::AttentionRejected: {
        sfrmReadErr error(this);
        showModal(error);
        return false;
    }
    case StartResult::PrepareRejected: {
        device().sendAndWaitCancelable(Cmd::Vnt::PrepareRead);
        device().sendAndWaitCancelable(Cmd::Vnt::AbortWrite);
        if (CancelRequested)
            return false;
        sfrmReadErr error(this);
        showErrorWindow(error);
        return false;
    }
    }
    return false;
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
                device().sendAndWaitCancelable(Cmd::Vnt::PrepareRead);
                device().sendAndWaitCancelable(Cmd::Vnt::AbortWrite);
                if (CancelRequested)
                    break;
            }
            sfrmEraseErr error(this);
            showErrorWindow(error);
        }
        if (vnt) {
            device().sendAndWaitCancelable(Cmd::Vnt::PrepareRead);
            device().sendAndWaitCancelable(Cmd::Vnt::AbortWrite);
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
