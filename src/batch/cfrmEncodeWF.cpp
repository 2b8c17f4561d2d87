#include "batch/cfrmEncodeWF.h"

#include <QLabel>

cfrmEncodeWF::cfrmEncodeWF(const Connection &connection, RecordView *records, QWidget *parent, SaveJournal *journal)
    : CardPromptWindow(records, parent, QStringLiteral("File Save Prompt"),
                       QStringLiteral("Your are saving card #") + QString(15, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmEncodeWF");
    Label1->hide(); // shown when the run starts
    setOperation(std::make_unique<SaveOperation>(connection, *this));
    if (!journal) {
        ownJournal_ = std::make_unique<SaveJournal>();
        journal = ownJournal_.get();
    }
    journal_ = journal;
    journal_->setReport(journalProblemBox(this));
    // The record is on the disk before the window says the card was read.
    save().onCollected = [this](const EncodeDataFile::Record &record) {
        journal_->append(collection().count(), record);
    };
}

cfrmEncodeWF::~cfrmEncodeWF()
{
    if (ownJournal_)
        ownJournal_->finish();
}

void cfrmEncodeWF::begin() { Label1->show(); }
