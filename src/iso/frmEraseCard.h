#pragma once
// A view of the erase operation: the chosen tracks erased from one card after another, the
// cards counted, the outcome of each in the main window's message box.
#include "ui/common/OperatorTexts.h"
#include "ui/common/CardPromptWindow.h"

class frmEraseCard : public CardPromptWindow {
    Q_OBJECT
public:
    // `mask`: bit 0 track 1, bit 1 track 2, bit 2 track 3 (as chosen in frmTrackSelect).
    frmEraseCard(const Connection &connection, int mask, RecordView *records, QWidget *parent = nullptr);

    static const QString kLabel1Text;
    static inline const QString &kCompleteMessage = OperationText::kEraseComplete;
};
