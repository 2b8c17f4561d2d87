#pragma once
// The ISO read window: a view of the read operation, each card's tracks in the main window's
// output record.
#include "ui/common/CardPromptWindow.h"

class cfrmReadCard : public CardPromptWindow {
    Q_OBJECT
public:
    cfrmReadCard(const Connection &connection, RecordView *records, QWidget *parent = nullptr);
};
