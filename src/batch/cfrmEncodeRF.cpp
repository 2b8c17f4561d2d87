#include "batch/cfrmEncodeRF.h"

#include "batch/BatchProfiles.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

using EncodeDataFile::Record;

const QString cfrmEncodeRF::kWriteComplete = QStringLiteral("\r\nWrite complete.  Verify data accuracy before continue.");

namespace {
// The layout that holds `widget`, searched from `layout` down.
QBoxLayout *boxHolding(QLayout *layout, QWidget *widget)
{
    if (!layout)
        return nullptr;
    if (auto *box = qobject_cast<QBoxLayout *>(layout); box && box->indexOf(widget) >= 0)
        return box;
    for (int i = 0; i < layout->count(); ++i)
        if (QBoxLayout *found = boxHolding(layout->itemAt(i)->layout(), widget))
            return found;
    return nullptr;
}
} // namespace

cfrmEncodeRF::cfrmEncodeRF(EncodeDataFile::RecordTaker &source, RecordView *records, QWidget *parent)
    : CardPromptWindow(Batch::kEncodeFromFile, records, parent, QStringLiteral("File Encode Prompt - Write Record"),
                       QStringLiteral("You are writing card #") + QString(17, QLatin1Char(' ')) + QStringLiteral(".")),
      source_(source)
{
    setObjectName("cfrmEncodeRF");
    Skip = new QPushButton(tr("Skip"), this);
    Skip->setObjectName("Command1_1");
    Skip->setAutoDefault(false);
    Skip->setMinimumWidth(90);
    Skip->setEnabled(false);
    if (QBoxLayout *row = boxHolding(layout(), Command1))
        row->insertWidget(row->indexOf(Command1), Skip);
    connect(Skip, &QPushButton::clicked, this, [this] {
        hidePrompt();
        Skip->setEnabled(false);
        token().SkipRequested = true;
    });
}

EncodeRunEnd cfrmEncodeRF::runEnd() const
{
    if (ranOut_)
        return EncodeRunEnd::EndOfFile;
    return userClosed_ ? EncodeRunEnd::Cancelled : EncodeRunEnd::Stopped;
}

void cfrmEncodeRF::done(int result)
{
    // Closed by the operator (Cancel, Escape, close box) rather than by the run's own end.
    if (!runOver_)
        userClosed_ = true;
    CardPromptWindow::done(result);
}

void cfrmEncodeRF::hidePrompt()
{
    LC->hide();
    Label1->hide();
    Label2->hide();
}

void cfrmEncodeRF::showRecord(const Record &record)
{
    // The boxes only show the record; the write takes the record's own bytes.
    for (int i = 0; i < 3; ++i)
        records()->setTrackText(i, record.track[size_t(i)]);
}

void cfrmEncodeRF::runOperation()
{
    run();
    runOver_ = true;
}

void cfrmEncodeRF::run()
{
    Skip->setEnabled(false);
    LC->show();
    if (!openPort())
        return;
    if (!runStartSequence())
        return;

    bool nextRecordDue = true;
    Record record;
    while (!cancelled()) {
        Label2->hide();
        if (nextRecordDue) {
            const std::optional<Record> next = source_.next();
            if (!next) {
                ranOut_ = true;
                break;
            }
            record = *next;
            showRecord(record);
        }
        showOutput({}, true);
        token().SkipRequested = false;
        Skip->setEnabled(true);
        LC->show();
        Label1->show();
        const Iso::Tracks tracks{record.track[0], record.track[1], record.track[2]};
        const Outcome outcome = dialect().writeIso(device(), tracks, Batch::kEncodeFromFileWrite, prompt());
        Skip->setEnabled(false);

        if (outcome == Outcome::Succeeded && !cancelled()) {
            showOutput(tracks, true);
            records()->setMessage(kWriteComplete);
            hidePrompt();
            nextCard();
            nextRecordDue = true;
        } else if (cancelled()) {
            break;
        } else if (outcome == Outcome::Skipped) {
            // Skip moves on to the next record, also after a failed attempt: a record the
            // encoder refuses on every card must not hold up the rest of the file.
            nextRecordDue = true;
            dialect().rearmWrite(device(), Rearm::AttentionAndPrepare, Exchange::Settling);
        } else {
            showFailedOutput();
            records()->setMessage(QString());
            Started = true;
            hide();
            dialect().indicatorOffBeforeError(device());
            dialect().disarm(device(), Exchange::Settling);
            if (cancelled())
                break;
            sfrmWriteErr error(this, writeErrorTitle());
            showIndicatedError(error);
            if (cancelled())
                break;
            show();
            nextRecordDue = false; // the same record onto the next card
            if (outcome == Outcome::Aborted)
                break; // the encoder refused the write
        }
        dialect().rearmWrite(device(), Rearm::Disarm, Exchange::Settling);
        device().pauseUnlessCancelled(1.5);
        records()->setMessage(QString());
    }
    records()->setMessage(QString());
}
