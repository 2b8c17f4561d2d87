#include "batch/cfrmEncodeWF.h"

#include <QLabel>

cfrmEncodeWF::cfrmEncodeWF(const Connection &connection, RecordView *records, QWidget *parent)
    : CardPromptWindow(records, parent, QStringLiteral("File Save Prompt"),
                       QStringLiteral("Your are saving card #") + QString(15, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmEncodeWF");
    Label1->hide(); // shown when the run starts
    setJob(connection, Job{.kind = JobKind::Save});
}

void cfrmEncodeWF::cardEnded(const CardReport &report)
{
    if (report.result == CardResult::Ok)
        journal_.append({report.tracks});
}

void cfrmEncodeWF::begin() { Label1->show(); }
