#pragma once
// Erases the tracks chosen in EraseTrackMask on one card after another until Cancel,
// counting the cards; the outcome of each card goes to the main window's message box.
#include "iso/CardPromptWindow.h"

class frmEraseCard : public CardPromptWindow {
    Q_OBJECT
public:
    explicit frmEraseCard(RecordView *records, QWidget *parent = nullptr);

    // One erase attempt: 0 failed, 1 erased, 2 refused or abandoned.
    int EraseSwipe(int mask);

    static const QString kLabel1Text;
    static const QString kCompleteMessage;

protected:
    void runOperation() override;

private:
    bool startSequence();
    void setMessage(const QString &text);

    int cardNumber_ = 1;
};
