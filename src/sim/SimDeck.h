#pragma once
// The cards the simulated operator swipes. Two modes:
// - the slot (default): one card is in the slot, a deck card by index or an inserted card, and
//   every swipe swipes that same card;
// - a stack: each good swipe takes the next card of the stack and puts it on the swiped pile,
//   so a run over several cards can be checked card by card afterwards.
// Bad swipes: a standing switch (every swipe is bad) and a one-shot (the next swipe only).
#include "sim/StripeCodec.h"

#include <QList>
#include <QString>
#include <array>

struct SimCard {
    QString name;
    std::array<SimTrack, 3> tracks;
    bool operator==(const SimCard &) const = default;
};

class SimDeck {
public:
    static QList<SimCard> defaultDeck();
    static QList<SimCard> sampleStack(); // five readable cards, each different
    static QList<SimCard> blankStack(int count = 5);
    // A short account of what a card holds now, e.g. "1: B4000… 2: 4000…" or "blank".
    static QString contents(const SimCard &card);

    void reset(); // the default deck, its first card in the slot, no stack, no bad swipes

    // ---- The slot ----
    QList<SimCard> &deck() { return deck_; }
    void selectCard(int index);
    int slotIndex() const; // the deck index in the slot, -1 for an inserted card
    SimCard &cardInSlot();
    void insertCard(const SimCard &card);

    // ---- The stack ----
    void setStack(const QList<SimCard> &cards); // stack mode with these cards, next first
    void useSlot();                             // back to the slot; the piles are kept
    bool stackMode() const { return stackMode_; }
    const QList<SimCard> &stack() const { return stack_; }
    const QList<SimCard> &swipedCards() const { return swiped_; }

    // The card the next swipe goes through: the slot's card, or the top of the stack (nullptr
    // when the stack is empty). takeForSwipe() moves a stack card onto the swiped pile.
    SimCard *nextCard();
    SimCard *takeForSwipe();
    SimCard *swipedCard(int index); // on the swiped pile, nullptr out of range

    // ---- Bad swipes ----
    void setBadSwipe(bool bad) { bad_ = bad; }
    bool badSwipe() const { return bad_; }
    void setNextSwipeBad(bool bad) { nextBad_ = bad; }
    bool nextSwipeBad() const { return nextBad_; }
    bool takeBadSwipe(); // whether this swipe is bad; uses up the one-shot

private:
    QList<SimCard> deck_;
    int slot_ = 0;
    SimCard loose_;
    bool stackMode_ = false;
    QList<SimCard> stack_;
    QList<SimCard> swiped_;
    bool bad_ = false;
    bool nextBad_ = false;
};
