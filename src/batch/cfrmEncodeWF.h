#pragma once
// The save-to-file window: reads one card after another and collects every sound read as a
// record, until Cancel; the file button writes the collection afterwards.
#include "batch/BatchMessages.h"
#include "batch/EncodeDataFile.h"
#include "batch/SaveJournal.h"
#include "ui/common/CardPromptWindow.h"

class cfrmEncodeWF : public CardPromptWindow {
    Q_OBJECT
public:
    explicit cfrmEncodeWF(RecordView *records, QWidget *parent = nullptr);

    const EncodeDataFile::SaveCollection &collection() const { return collection_; }
    // The card the run waits for: one more than the records collected.
    int SaveCardNumber() const { return collection_.cardNumber(); }

protected:
    void runOperation() override;

private:
    EncodeDataFile::SaveCollection collection_;
    SaveJournal journal_{journalProblemBox(this)}; // each record also at once, for a crash
};
