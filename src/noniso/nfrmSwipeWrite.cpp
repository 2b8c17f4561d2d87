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
    Label3 = addLine(QStringLiteral("Label3"));
    setRecordInUse(RecordInUse::Input);
    setJob(connection, Job{.kind = JobKind::NonIsoWrite, .nonIsoWrite = job});
}

void nfrmSwipeWrite::begin() { Label1->show(); }

void nfrmSwipeWrite::cardEnded(const CardReport &report)
{
    // A failed card leaves the line alone: its error window says so, and the last card written still was.
    if (report.result != CardResult::Ok)
        return;
    Label3->setText(QStringLiteral("Card %1 written.").arg(report.card));
    Label3->show();
}
