#pragma once
// Erases the tracks chosen in EraseTrackMask on one card after another until Cancel,
// counting the cards; the outcome of each card goes to the main window's message box.
#include "ui/common/SwipeWindow.h"

class QLabel;

class frmEraseCard : public SwipeWindow {
    Q_OBJECT
public:
    explicit frmEraseCard(RecordView *records, QWidget *parent = nullptr);

    // One erase attempt: 0 failed, 1 erased, 2 refused or abandoned.
    int EraseSwipe(int mask);

    QLabel *Label1 = nullptr;  // the card-number line
    QLabel *LC = nullptr;      // the card number, over the blank run of Label1
    QLabel *Label2 = nullptr;  // "Please swipe a card.", only while waiting for the swipe
    QLabel *Picture1 = nullptr;

    static const QString kLabel1Text;
    static const QString kCompleteMessage;

protected:
    void runOperation() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool startSequence();
    void showErrorWindow(QDialog &window);
    void setMessage(const QString &text);
    void placeCardNumber();

    int cardNumber_ = 1;
};
