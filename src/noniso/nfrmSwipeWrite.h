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
    // A good card says so in the prompt's line until the next prompt.
    void cardEnded(const CardReport &report) override;
    void showPrompt(bool shown) override;

    static const QString kWriteComplete;

private:
    bool completeShown_ = false;
};
