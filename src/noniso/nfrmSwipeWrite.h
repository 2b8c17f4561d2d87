#pragma once
// The non-ISO write window: a view of the non-ISO write operation, the same entered data onto
// one card after another.
#include "card/NonIsoFormat.h"
#include "ui/common/CardPromptWindow.h"

class nfrmSwipeWrite : public CardPromptWindow {
    Q_OBJECT
public:
    nfrmSwipeWrite(const Connection &connection, const NonIso::WriteJob &job, QWidget *parent = nullptr);

    void begin() override;
    // A good card says so on a line of its own ("Card 1 written.") until the next good card:
    // the message box lies under the entry and selection windows.
    void cardEnded(const CardReport &report) override;

    QLabel *Label3 = nullptr; // the last card written
};
