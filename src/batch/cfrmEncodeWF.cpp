#include "batch/cfrmEncodeWF.h"

#include <QLabel>

cfrmEncodeWF::cfrmEncodeWF(const Connection &connection, RecordView *records, QWidget *parent, SaveJournal *journal)
    : CardPromptWindow(records, parent, QStringLiteral("File Save Prompt"),
                       QStringLiteral("Your are saving card #") + QString(15, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmEncodeWF");
    Label1->hide(); // shown when the run starts
    setJob(connection, Job{.kind = JobKind::Save});
    if (!journal) {
        ownJournal_ = std::make_unique<SaveJournal>();
        journal = ownJournal_.get();
    }
    journal_ = journal;
    journal_->setReport(journalProblemBox(this));
}

cfrmEncodeWF::~cfrmEncodeWF()
{
    if (ownJournal_)
        ownJournal_->finish();
}

void cfrmEncodeWF::begin() { Label1->show(); }

void cfrmEncodeWF::cardEnded(const CardReport &report)
{
    // The record is on the disk before the window says the card was read.
    if (report.result == CardResult::Ok)
        journal_->append(report.card, {report.tracks});
}
