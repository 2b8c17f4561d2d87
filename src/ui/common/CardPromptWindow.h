#pragma once
#include "ui/common/SwipeWindow.h"

#include <QStyle>

class QLabel;
class QVBoxLayout;

// A swipe window that counts cards: a picture, the card-number line with the number (LC) in
// its blank run, the swipe prompt and Cancel.
class CardPromptWindow : public SwipeWindow {
    Q_OBJECT
public:
    CardPromptWindow(RecordView *records, QWidget *parent, const QString &title,
                     const QString &numberLine, QStyle::StandardPixmap picture = QStyle::SP_ArrowForward);

    QLabel *Label1 = nullptr;
    QLabel *LC = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Picture1 = nullptr;

    // Operator: Label2 is the prompt; the card line shows the number.
    void showPrompt(bool shown) override;
    void showCard(qint64 number) override;
    void hideCard() override;

protected:
    QLabel *statusLine() const override { return Label2; }
    // A line of its own below the prompt, hidden until shown; its room is kept from the start.
    QLabel *addLine(const QString &name);

private:
    QVBoxLayout *lines_ = nullptr;
};
