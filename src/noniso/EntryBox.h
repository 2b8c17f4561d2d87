#pragma once
// A non-ISO entry box: several lines of plain text that wrap anywhere, an optional longest
// text (0: no limit), and no line ends: Enter is left to the window (its default button), and
// tabs and line ends in pasted text become blanks.
#include "ui/common/LimitedTextEdit.h"

class EntryBox : public LimitedTextEdit {
    Q_OBJECT
public:
    explicit EntryBox(QWidget *parent = nullptr) : LimitedTextEdit(parent, 2, 0) {}

protected:
    QString cleaned(const QString &text) const override;
};
