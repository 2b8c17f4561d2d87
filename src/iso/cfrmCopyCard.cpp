#include "iso/cfrmCopyCard.h"

#include "device/Commands.h"
#include "device/Pacer.h"
#include "device/SharedState.h"
#include "iso/TrackBlock.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/PictureDialog.h"
#include "ui/common/RecordView.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace MainModule;

const QString cfrmCopyCard::kReadTitle = QStringLiteral("Copy Swipe Prompt - Read Source");
const QString cfrmCopyCard::kWriteTitle = QStringLiteral("Copy Swipe Prompt - Write Target");
const QString cfrmCopyCard::kReadPrompt = QStringLiteral("Please swipe a card to read.");
const QString cfrmCopyCard::kWritePrompt = QStringLiteral("Please swipe a card to write.");
const QString cfrmCopyCard::kWriteComplete = QStringLiteral("\r\nWrite complete.  Verify data accuracy before continue.");

cfrmCopyCard::cfrmCopyCard(RecordView *records, QWidget *parent) : SwipeWindow(WindowKind::Copy, records, parent)
{
    setObjectName("cfrmCopyCard");

    Picture1 = makePicture(this, QStyle::SP_ArrowForward);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    // Wide enough for either prompt, and the window keeps its size while the prompt comes and goes.
    Label1->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(kWritePrompt) + 4);
    QSizePolicy keep = Label1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Label1->setSizePolicy(keep);
    setPhase(Phase::Read);
    Label1->hide();

    auto *content = new QVBoxLayout;
    content->addWidget(Label1, 1, Qt::AlignVCenter);
    layoutPictureDialog(this, Picture1, content, {Command1});
}

QColor cfrmCopyCard::readPromptColour() const { return palette().color(QPalette::ButtonText); }

QColor cfrmCopyCard::writePromptColour() { return QColor(255, 0, 0); }

void cfrmCopyCard::setPhase(Phase phase)
{
    const bool read = phase == Phase::Read;
    setWindowTitle(read ? kReadTitle : kWriteTitle);
    Label1->setText(read ? kReadPrompt : kWritePrompt);
    QPalette colours = Label1->palette();
    colours.setColor(QPalette::WindowText, read ? readPromptColour() : writePromptColour());
    Label1->setPalette(colours);
}

Iso::Prompt cfrmCopyCard::prompt()
{
    return [this](bool show) { Label1->setVisible(show); };
}

void cfrmCopyCard::setErrorIndicator(bool on)
{
    Device::IndicatorOptions options;
    // Reads leave the port closed; a window already closing must not open it again.
    options.openIfClosed = !CancelRequested;
    options.stop = StopOn{true, true};
    device().setErrorIndicator(on, options);
}

void cfrmCopyCard::showErrorWindow(QDialog &window, bool indicated)
{
    // The indication goes on before the copy window steps aside and off after it is back, so
    // the main window never stands unguarded while the encoder is answering.
    if (indicated)
        setErrorIndicator(true);
    if (CancelRequested)  // closed meanwhile: no error window over a closed window
        return;
    hide();
    showModal(window);
    show();
    if (indicated)
        setErrorIndicator(false);
}

void cfrmCopyCard::setInput(const QByteArray &t1, const QByteArray &t2, const QByteArray &t3, bool readCounts)
{
    const QByteArray tracks[3] = {t1, t2, t3};
    for (int i = 0; i < 3; ++i) {
        records()->setTrackText(i, tracks[i]);
        records()->setCount(i, readCounts ? Iso::CharCountText(tracks[i]) : QStringLiteral("0"));
    }
}

void cfrmCopyCard::setOutput(const QByteArray &t1, const QByteArray &t2, const QByteArray &t3, bool lengths)
{
    const QByteArray tracks[3] = {t1, t2, t3};
    for (int i = 0; i < 3; ++i) {
        records()->setTrackText(3 + i, tracks[i]);
        records()->setCount(3 + i, lengths ? QString::number(tracks[i].size()) : QStringLiteral("0"));
    }
}

void cfrmCopyCard::finish()
{
    setOutput({}, {}, {}, false);
    records()->setMessage(QString());
}

// True when the copy loop may begin. Whatever ends the start returns at once: after a failure
// the encoder hears nothing more from this window but its closing sequence.
bool cfrmCopyCard::startSequence()
{
    StopCollecting = false;
    if (!openPort())
        return false;
    Label1->show();
    // The copy window arms each read itself, so its start has no preparation to refuse.
    return runStartSequence(false);
}

void cfrmCopyCard::runOperation()
{
    if (!startSequence())
        return;
    while (!CancelRequested) {
        switch (readSource()) {
        case Next::Write:
            break;
        case Next::Finish:
            finish();
            return;
        case Next::Close:
            return;
        }
        if (!writeTarget()) {
            finish();
            return;
        }
    }
    finish();
}

cfrmCopyCard::Next cfrmCopyCard::readSource()
{
    Label1->hide();
    setPhase(Phase::Read);
    Device &dev = device();
    for (;;) {
        if (isVnt290b()) {
            dev.write(Cmd::Vnt::PrepareRead);
            WaitStart = pacer().now();
            dev.waitForBytes(1, 1.0, true, {}, WaitStart);
            const QByteArray reply = dev.takeAll();
            if (CancelRequested)
                return Next::Finish;
            if (reply != Cmd::Vnt::Ack) {
                setErrorIndicator(true);
                if (CancelRequested)
                    return Next::Close;
                sfrmReadErr error(this);
                showModal(error);
                setErrorIndicator(false);
                return Next::Close;
            }
        }
        Label1->hide();
        const Iso::Outcome outcome = Iso::ReadSwipe(dev, Iso::ReadOptions::copyWindow(), prompt());
        if (CancelRequested)
            return Next::Finish;
        if (outcome == Iso::Aborted)
            continue;
        if (outcome == Iso::Succeeded) {
            const auto &t = TrackData;
            setInput(t[1], t[2], t[3], true);
            setOutput({}, {}, {}, false);
            if (t[1] != Iso::Unreadable && t[2] != Iso::Unreadable && t[3] != Iso::Unreadable)
                return Next::Write;
            records()->setMessage(QString());
            sfrmReadErr error(this);
            showErrorWindow(error, false);
        } else {
            setInput({}, {}, {}, false);
            records()->setMessage(QString());
            sfrmReadErr error(this);
            showErrorWindow(error, true);
        }
    }
}

bool cfrmCopyCard::writeTarget()
{
    setOutput({}, {}, {}, false);
    records()->setMessage(QString());
    setPhase(Phase::Write);
    for (;;) {
        const QByteArray t1 = records()->trackText(0), t2 = records()->trackText(1), t3 = records()->trackText(2);
        const Iso::Outcome outcome = Iso::WriteSwipe(device(), t1, t2, t3, Iso::WriteOptions::copyWindow(), prompt());
        if (outcome == Iso::Succeeded && !CancelRequested) {
            setOutput(t1, t2, t3, true);
            records()->setMessage(kWriteComplete);
            return true;
        }
        if (CancelRequested)
            return false;
        setOutput(Iso::Unreadable, Iso::Unreadable, Iso::Unreadable, false);
        records()->setMessage(QString());
        sfrmWriteErr error(this);
        showErrorWindow(error, true);
        if (outcome == Iso::Aborted || CancelRequested)
            return false;
    }
}
