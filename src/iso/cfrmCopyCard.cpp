#include "iso/cfrmCopyCard.h"

#include "ui/common/MessageWindow.h"
#include "ui/common/PictureDialog.h"
#include "ui/common/RecordView.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

// The copy window arms each read itself, so its start has no preparation to refuse.
const WindowProfile cfrmCopyCard::kProfile{
    {{StartStep::Reset, StartStep::ConfigureDensity, StartStep::Settle}},
    Closing::AttentionDrain,
    Exchange::Immediate,
};

const ReadProfile cfrmCopyCard::kRead{
    0.5, 0.5, true, true, PromptTiming::FromStartKept, TrackFetch::Collected, Exchange::Immediate, Collect::Immediate,
    true, // a track not answered at all is no "no data": the card is read again
};

const WriteProfile cfrmCopyCard::kWrite = [] {
    WriteProfile w;
    w.discard = WriteDiscard::BeforeCommand;
    w.stopOnCollect = true;
    w.cardAck = AckMatch::Exact;
    w.exchange = Exchange::Immediate;
    return w;
}();

const QString cfrmCopyCard::kReadTitle = QStringLiteral("Copy Swipe Prompt - Read Source");
const QString cfrmCopyCard::kWriteTitle = QStringLiteral("Copy Swipe Prompt - Write Target");
const QString cfrmCopyCard::kReadPrompt = QStringLiteral("Please swipe a card to read.");
const QString cfrmCopyCard::kWritePrompt = QStringLiteral("Please swipe a card to write.");
const QString cfrmCopyCard::kWriteComplete = QStringLiteral("\r\nWrite complete.  Verify data accuracy before continue.");

cfrmCopyCard::cfrmCopyCard(RecordView *records, QWidget *parent) : SwipeWindow(kProfile, records, parent)
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

Prompt cfrmCopyCard::prompt()
{
    return [this](bool show) { Label1->setVisible(show); };
}

void cfrmCopyCard::setErrorIndicator(bool on)
{
    IndicatorOptions options;
    // Reads leave the port closed; a window already closing must not open it again.
    options.openIfClosed = !cancelled();
    options.stop = StopOn{true, true};
    dialect().setErrorIndicator(device(), on, options);
}

void cfrmCopyCard::showErrorWindow(QDialog &window, bool indicated)
{
    // The indication goes on before the copy window steps aside and off after it is back, so
    // the main window never stands unguarded while the encoder is answering.
    if (indicated)
        setErrorIndicator(true);
    if (cancelled()) // closed meanwhile: no error window over a closed window
        return;
    hide();
    showModal(window);
    show();
    if (indicated)
        setErrorIndicator(false);
}

void cfrmCopyCard::setInput(const Iso::Tracks &tracks, bool readCounts)
{
    for (int i = 0; i < 3; ++i) {
        records()->setTrackText(i, tracks[size_t(i)]);
        records()->setCount(i, readCounts ? Iso::CharCountText(tracks[size_t(i)]) : QStringLiteral("0"));
    }
}

void cfrmCopyCard::setOutput(const Iso::Tracks &tracks, bool lengths)
{
    for (int i = 0; i < 3; ++i) {
        records()->setTrackText(3 + i, tracks[size_t(i)]);
        records()->setCount(3 + i, lengths ? QString::number(tracks[size_t(i)].size()) : QStringLiteral("0"));
    }
}

void cfrmCopyCard::finish()
{
    setOutput({}, false);
    records()->setMessage(QString());
}

// True when the copy loop may begin. Whatever ends the start returns at once: after a failure
// the encoder hears nothing more from this window but its closing sequence.
bool cfrmCopyCard::startSequence()
{
    if (!openPort())
        return false;
    Label1->show();
    return runStartSequence();
}

void cfrmCopyCard::runOperation()
{
    if (!startSequence())
        return;
    while (!cancelled()) {
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
    for (;;) {
        const bool armed = dialect().armRead(device(), ArmRead::Checked);
        if (cancelled())
            return Next::Finish;
        if (!armed) {
            setErrorIndicator(true);
            if (cancelled())
                return Next::Close;
            sfrmReadErr error(this, readErrorTitle());
            showModal(error);
            setErrorIndicator(false);
            return Next::Close;
        }
        Label1->hide();
        const ReadResult read = dialect().readIso(device(), kRead, prompt());
        if (cancelled())
            return Next::Finish;
        if (read.outcome == Outcome::Aborted)
            continue;
        if (read.outcome == Outcome::Succeeded) {
            setInput(read.tracks, true);
            setOutput({}, false);
            if (!Iso::AnyUnreadable(read.tracks))
                return Next::Write;
            records()->setMessage(QString());
            sfrmReadErr error(this, readErrorTitle());
            showErrorWindow(error, false);
        } else {
            setInput({}, false);
            records()->setMessage(QString());
            sfrmReadErr error(this, readErrorTitle());
            showErrorWindow(error, true);
        }
    }
}

bool cfrmCopyCard::writeTarget()
{
    setOutput({}, false);
    records()->setMessage(QString());
    setPhase(Phase::Write);
    for (;;) {
        const Iso::Tracks tracks{records()->trackText(0), records()->trackText(1), records()->trackText(2)};
        const Outcome outcome = dialect().writeIso(device(), tracks, kWrite, prompt());
        if (outcome == Outcome::Succeeded && !cancelled()) {
            setOutput(tracks, true);
            records()->setMessage(kWriteComplete);
            return true;
        }
        if (cancelled())
            return false;
        setOutput({Iso::Unreadable, Iso::Unreadable, Iso::Unreadable}, false);
        records()->setMessage(QString());
        sfrmWriteErr error(this, writeErrorTitle());
        showErrorWindow(error, true);
        if (outcome == Outcome::Aborted || cancelled())
            return false;
    }
}
