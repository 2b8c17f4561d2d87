#pragma once
// The ISO write window: writes the main window's input record onto one card after another
// until Cancel.
#include "ui/common/CardPromptWindow.h"

class cfrmWriteCard : public CardPromptWindow {
    Q_OBJECT
public:
    explicit cfrmWriteCard(RecordView *records, QWidget *parent = nullptr);

    static const WindowProfile kProfile;
    static const WriteProfile kWrite;

protected:
    void runOperation() override;
};
