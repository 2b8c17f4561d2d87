#pragma once
// The two-line track 3 box: plain text that wraps anywhere, with a longest text like a line edit
// and no line breaks from the Enter key (track data is one line shown over two).
#include "ui/common/LimitedTextEdit.h"

class TrackTextEdit : public LimitedTextEdit {
    Q_OBJECT
public:
    explicit TrackTextEdit(QWidget *parent = nullptr) : LimitedTextEdit(parent, 1, 32767) {}
};
