#pragma once
// The ISO write window: a view of the write operation, writing the input record the main
// window had when it opened onto one card after another.
#include "ui/common/CardPromptWindow.h"

class cfrmWriteCard : public CardPromptWindow {
    Q_OBJECT
public:
    // The tracks to write: the input record's.
    cfrmWriteCard(const Connection &connection, const Iso::Tracks &tracks, RecordView *records,
                  QWidget *parent = nullptr);
};
