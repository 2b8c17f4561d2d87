#pragma once
// The save-to-file window: reads one card after another and collects every sound read as a
// record, until Cancel; the file button writes the collection afterwards.
#include "batch/BatchMessages.h"
#include "batch/SaveJournal.h"
#include "ui/common/CardPromptWindow.h"

class cfrmEncodeWF : public CardPromptWindow {
    Q_OBJECT
public:
    // `journal`: the run's journal, held by the caller past the window until the records reach
    // their file; none given: one of the window's own, which goes with the window.
    cfrmEncodeWF(const Connection &connection, RecordView *records, QWidget *parent = nullptr,
                 SaveJournal *journal = nullptr);

    EncodeDataFile::SaveCollection collection() const { return summary().collected; }
    // The card the run waits for: one more than the records collected.
    int SaveCardNumber() const { return collection().cardNumber(); }

    ~cfrmEncodeWF() override;
    const SaveJournal &journal() const { return *journal_; }

    void begin() override;
    // Each record saved goes to the journal at once.
    void cardEnded(const CardReport &report) override;

private:
    std::unique_ptr<SaveJournal> ownJournal_;
    SaveJournal *journal_; // each record also at once, for a crash
};
