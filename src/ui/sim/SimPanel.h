#pragma once
// The operator's side of the simulated encoder: the card in the slot or a stack of cards (each
// swipe takes the next; a card already swiped can be picked and swiped again to check it), the
// Swipe buttons and the bad-swipe switches. Long card names are elided, never widen the panel,
// and are shown whole in their tooltips. A top-level tool window of its own, never a child of
// the main window, so it stays usable while operation windows are window-modal.
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Simulator;
struct SimCard;

class SimPanel : public QWidget {
    Q_OBJECT
public:
    enum Cards { SlotCard, SampleStack, BlankStack }; // the rows of cardsBox()

    explicit SimPanel(Simulator &sim);

    QPushButton *swipeButton() const { return swipe_; }
    QPushButton *swipeAgainButton() const { return swipeAgain_; }
    QCheckBox *badSwipeBox() const { return badSwipe_; }
    QCheckBox *nextBadBox() const { return nextBad_; }
    QComboBox *cardsBox() const { return cards_; }
    QPushButton *restackButton() const { return restack_; }
    QListWidget *deckList() const { return deck_; }
    QLabel *statusLabel() const { return status_; }
    QLabel *cardLabel() const { return cardName_; }
    QLabel *noteLabel() const { return note_; }
    QLineEdit *trackField(int index) const { return tracks_[size_t(index)]; }

public slots:
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onSwipe();
    void onSwipeAgain();
    bool swipeRefused();
    void showCardName(const QString &name);
    void deal(int cards);
    void showCard(const SimCard &card, const QString &name);

    Simulator &sim_;
    QLabel *status_;
    QComboBox *cards_;
    QPushButton *restack_;
    QGroupBox *cardBox_;
    QLabel *cardName_;
    std::array<QLineEdit *, 3> tracks_{};
    std::array<QLabel *, 3> formats_{};
    QListWidget *deck_;
    QPushButton *swipe_;
    QPushButton *swipeAgain_;
    QCheckBox *badSwipe_;
    QCheckBox *nextBad_;
    QLabel *note_;
    int shownRow_ = -1; // stack mode: the row the operator or the last swipe chose, -1: the next card
    int shownCard_ = -1; // stack mode: the row whose card is shown
    QString fullName_; // the card's whole name, elided in cardName_
    bool filling_ = false;
};
