#pragma once
// The encode-from-file window: writes the records of a checked file onto one card after
// another, in file order; a failed card is written again, a record can be skipped.
#include "ui/common/OperatorTexts.h"
#include "batch/FileButtons.h"
#include "ui/common/CardPromptWindow.h"

class QPushButton;

class cfrmEncodeRF : public CardPromptWindow {
    Q_OBJECT
public:
    // `records`: a data file's content that passed its check.
    cfrmEncodeRF(const Connection &connection, const QByteArray &records, RecordView *view, QWidget *parent = nullptr);

    QPushButton *Skip = nullptr; // Command1 index 1

    // EndOfFile only when the run ran out of records; Cancelled when the operator closed the window.
    EncodeRunEnd runEnd() const;
    bool FileEncodeCancelled() const { return userClosed_; }

    void done(int result) override;

    static inline const QString &kWriteComplete = OperationText::kWriteComplete;

    // Operator: Skip, and the card line only while a card is awaited.
    void begin() override;
    void enableSkip(bool enabled) override;

private:
    bool userClosed_ = false;
};
