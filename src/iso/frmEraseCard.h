#pragma once
// Erases the chosen tracks on one card after another until Cancel, counting the cards; the
// outcome of each card goes to the main window's message box.
#include "ui/common/CardPromptWindow.h"

class frmEraseCard : public CardPromptWindow {
    Q_OBJECT
public:
    // `mask`: bit 0 track 1, bit 1 track 2, bit 2 track 3 (as chosen in frmTrackSelect).
    frmEraseCard(int mask, RecordView *records, QWidget *parent = nullptr);

    static const WindowProfile kProfile;
    static const QString kLabel1Text;
    static const QString kCompleteMessage;

protected:
    void runOperation() override;

private:
    void setMessage(const QString &text);
    int mask_;
    int cardNumber_ = 1;
};
