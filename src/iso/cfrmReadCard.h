#pragma once
// The ISO read window: reads cards one after another until Cancel, showing each card's tracks
// in the main window's output record.
#include "ui/common/CardPromptWindow.h"

class cfrmReadCard : public CardPromptWindow {
    Q_OBJECT
public:
    explicit cfrmReadCard(RecordView *records, QWidget *parent = nullptr);

    static const WindowProfile kProfile;
    static const ReadProfile kRead;

protected:
    void runOperation() override;
};
