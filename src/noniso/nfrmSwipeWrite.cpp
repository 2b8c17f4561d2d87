#include "noniso/nfrmSwipeWrite.h"

#include "ui/common/MessageWindow.h"

#include <QLabel>

nfrmSwipeWrite::nfrmSwipeWrite(const Connection &connection, const NonIso::WriteJob &job, QWidget *parent)
    : CardPromptWindow(nullptr, parent, QStringLiteral("Non-ISO Write Swipe Prompt"),
                       QStringLiteral("You are writing card #") + QString(19, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("nfrmSwipeWrite");
    setErrorTitles(sfrmReadErr::kNonIsoTitle, sfrmWriteErr::kNonIsoTitle);
    LC->setText(QStringLiteral("0"));
    Label1->hide();
    setRecordInUse(RecordInUse::Input);
    setJob(connection, Job{.kind = JobKind::NonIsoWrite, .nonIsoWrite = job});
}

const QString nfrmSwipeWrite::kWriteComplete = QStringLiteral("Write complete.");

void nfrmSwipeWrite::begin() { Label1->show(); }

void nfrmSwipeWrite::cardEnded(const CardReport &report)
{
    if (report.result != CardResult::Ok)
        return;
    completeShown_ = true;
    Label2->setText(kWriteComplete);
    Label2->show();
}

void nfrmSwipeWrite::showPrompt(bool shown)
{
    if (shown) {
        completeShown_ = false;
        Label2->setText(QStringLiteral("Please swipe a card."));
    } else if (completeShown_) {
        return;
    }
    CardPromptWindow::showPrompt(shown);
}
