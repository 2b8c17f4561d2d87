#pragma once
// The non-ISO write: writes the same entered data onto one card after another until Cancel,
// setting the chosen densities before every card.
#include "card/NonIsoFormat.h"
#include "ui/common/CardPromptWindow.h"

class nfrmSwipeWrite : public CardPromptWindow {
    Q_OBJECT
public:
    explicit nfrmSwipeWrite(const NonIso::WriteJob &job, QWidget *parent = nullptr);

protected:
    void runOperation() override;

private:
    NonIso::WriteJob job_;
};
