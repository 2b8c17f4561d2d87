#pragma once
// The ISO write window: writes the main window's input record onto one card after another
// until Cancel.
#include "iso/cfrmReadCard.h"

class cfrmWriteCard : public CardPromptWindow {
    Q_OBJECT
public:
    explicit cfrmWriteCard(RecordView *records, QWidget *parent = nullptr);

protected:
    void runOperation() override;

private:
    // VNT-290B: back to the armed state after a refused start or a failed attempt.
};
