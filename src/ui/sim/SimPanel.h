#pragma once
// The operator's side of the simulated encoder: which card is in the slot, the deck to pick
// from, the Swipe button and a bad-swipe switch. A top-level tool window of its own, never a
// child of the main window, so it stays usable while operation windows are window-modal.
#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Simulator;

class SimPanel : public QWidget {
    Q_OBJECT
public:
    explicit SimPanel(Simulator &sim);
    SimPanel();

    QPushButton *swipeButton() const { return swipe_; }
    QCheckBox *badSwipeBox() const { return badSwipe_; }
    QListWidget *deckList() const { return deck_; }
    QLabel *statusLabel() const { return status_; }
    QLabel *noteLabel() const { return note_; }
    QLineEdit *trackField(int index) const { return tracks_[size_t(index)]; }

public slots:
    void refresh();

private:
    void onSwipe();

    Simulator &sim_;
    QLabel *status_;
    QLabel *cardName_;
    std::array<QLineEdit *, 3> tracks_{};
    std::array<QLabel *, 3> formats_{};
    QListWidget *deck_;
    QPushButton *swipe_;
    QCheckBox *badSwipe_;
    QLabel *note_;
    bool filling_ = false;
};
