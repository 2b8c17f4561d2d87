#pragma once
// The encode-from-file window: writes the records of a checked file onto one card after
// another, in file order; a failed card is written again, a record can be skipped.
#include "batch/EncodeDataFile.h"
#include "batch/FileButtons.h"
#include "ui/common/CardPromptWindow.h"

class QPushButton;

class cfrmEncodeRF : public CardPromptWindow {
    Q_OBJECT
public:
    cfrmEncodeRF(EncodeDataFile::RecordTaker &source, RecordView *records, QWidget *parent = nullptr);

    QPushButton *Skip = nullptr; // Command1 index 1

    // EndOfFile only when the run ran out of records; Cancelled when the operator closed the window.
    EncodeRunEnd runEnd() const;
    bool FileEncodeCancelled() const { return userClosed_; }

    void done(int result) override;

    static const QString kWriteComplete;

protected:
    void runOperation() override;

private:
    void run();
    void showRecord(const EncodeDataFile::Record &record);
    void hidePrompt();

    EncodeDataFile::RecordTaker &source_;
    bool runOver_ = false;
    bool ranOut_ = false;
    bool userClosed_ = false;
};
