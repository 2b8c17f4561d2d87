#pragma once
#include "ui/common/SwipeWindow.h"

#include <QStyle>

class QLabel;

// A swipe window that counts cards: a picture, the card-number line with the number (LC) in
// its blank run, the swipe prompt and Cancel.
class CardPromptWindow : public SwipeWindow {
    Q_OBJECT
public:
    CardPromptWindow(const WindowProfile &profile, RecordView *records, QWidget *parent, const QString &title,
                     const QString &numberLine, QStyle::StandardPixmap picture = QStyle::SP_ArrowForward);

    QLabel *Label1 = nullptr;
    QLabel *LC = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Picture1 = nullptr;

protected:
    QLabel *statusLine() const override { return Label2; }
    // Shows or hides the swipe prompt, for the attempts.
    Prompt prompt();
    void nextCard();
    // Output record of the main window: tracks 1..3 and their counts.
    // Counts as read (0 for "+") or, with `lengths`, the texts' lengths.
    void showOutput(const Iso::Tracks &tracks, bool lengths = false);
    void showFailedOutput();
    // A write that failed: the output marked failed, the encoder disarmed and the write error
    // shown. False when the window was cancelled on the way (nothing more is shown).
    bool showWriteFailure();
};
