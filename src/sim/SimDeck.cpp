#include "sim/SimDeck.h"

#include <QStringList>
#include <utility>

namespace {

SimTrack track(const char *chars, bool high210 = true)
{
    SimTrack t;
    t.chars = chars;
    t.high210 = high210;
    return t;
}

SimCard named(const QString &name, std::array<SimTrack, 3> tracks)
{
    SimCard c;
    c.name = name;
    c.tracks = std::move(tracks);
    return c;
}

} // namespace

QList<SimCard> SimDeck::defaultDeck()
{
    QList<SimCard> deck;
    deck << named(QStringLiteral("Bank card (tracks 1, 2, 3)"),
                  {track("B4000123456789010^SAMPLE/CARD HOLDER^30121010000000000000"),
                   track("4000123456789010=30121010000000000", false),
                   track("014000123456789010=724724100000000000030300000000000000000000000000000000000000000000000000000")});
    deck << named(QStringLiteral("Access card (track 2 only)"), {SimTrack{}, track("8024700042=3012", false), SimTrack{}});
    deck << named(QStringLiteral("Blank card"), {});
    SimCard damaged = named(QStringLiteral("Damaged card (track 2 unreadable)"),
                            {track("B5500000000000004^DAMAGED/STRIPE^2805"), track("", false),
                             track("0155000000000000004=2805")});
    damaged.tracks[1].unreadable = true;
    deck << damaged;
    SimCard hotel = named(QStringLiteral("Hotel key (track 1 in 5-bit format)"), {track("0412=20250301=1105"), {}, {}});
    hotel.tracks[0].bitsPerChar = 5;
    deck << hotel;
    return deck;
}

QList<SimCard> SimDeck::sampleStack()
{
    QList<SimCard> stack;
    stack << named(QStringLiteral("Bank card, A. SAMPLE"),
                   {track("B4000123456789010^SAMPLE/ANNA^30121010000000000000"),
                    track("4000123456789010=30121010000000000", false), track("0140001234567890=7247")});
    stack << named(QStringLiteral("Bank card, B. TESTER"),
                   {track("B5500987654321098^TESTER/BEN^29081010000000000000"),
                    track("5500987654321098=29081010000000000", false), SimTrack{}});
    stack << named(QStringLiteral("Access card 1001"), {SimTrack{}, track("8024701001=3012", false), SimTrack{}});
    stack << named(QStringLiteral("Loyalty card"),
                   {track("LOYALTY MEMBER 000777^GOLD"), SimTrack{}, track("7770001234")});
    stack << named(QStringLiteral("Library card"),
                   {track("LIBRARY^C. READER^2031"), track("31337000421=2031", false), SimTrack{}});
    return stack;
}

QList<SimCard> SimDeck::blankStack(int count)
{
    QList<SimCard> stack;
    for (int i = 0; i < count; ++i)
        stack << named(QStringLiteral("Blank card"), {});
    return stack;
}

QString SimDeck::contents(const SimCard &card)
{
    QStringList parts;
    for (int i = 0; i < 3; ++i) {
        const SimTrack &t = card.tracks[size_t(i)];
        if (t.isBlank())
            continue;
        QString text;
        if (t.unreadable)
            text = QStringLiteral("unreadable");
        else if (t.raw)
            text = QStringLiteral("%1 raw codes").arg(t.chars.size());
        else
            text = QString::fromLatin1(t.chars.left(12)) + (t.chars.size() > 12 ? QStringLiteral("…") : QString());
        parts << QStringLiteral("%1: %2").arg(i + 1).arg(text);
    }
    return parts.isEmpty() ? QStringLiteral("blank") : parts.join(QStringLiteral("  "));
}

void SimDeck::reset()
{
    deck_ = defaultDeck();
    slot_ = 0;
    loose_ = SimCard{};
    stackMode_ = false;
    stack_.clear();
    swiped_.clear();
    bad_ = false;
    nextBad_ = false;
}

void SimDeck::selectCard(int index)
{
    if (index >= 0 && index < deck_.size())
        slot_ = index;
}

int SimDeck::slotIndex() const { return slot_ >= 0 && slot_ < deck_.size() ? slot_ : -1; }

SimCard &SimDeck::cardInSlot() { return slotIndex() >= 0 ? deck_[slot_] : loose_; }

void SimDeck::insertCard(const SimCard &card)
{
    loose_ = card;
    slot_ = -1;
}

void SimDeck::setStack(const QList<SimCard> &cards)
{
    stackMode_ = true;
    stack_ = cards;
    swiped_.clear();
}

void SimDeck::useSlot() { stackMode_ = false; }

SimCard *SimDeck::nextCard()
{
    if (!stackMode_)
        return &cardInSlot();
    return stack_.isEmpty() ? nullptr : &stack_.front();
}

SimCard *SimDeck::takeForSwipe()
{
    if (!stackMode_)
        return &cardInSlot();
    if (stack_.isEmpty())
        return nullptr;
    swiped_.append(stack_.takeFirst());
    return &swiped_.last();
}

SimCard *SimDeck::swipedCard(int index) { return index >= 0 && index < swiped_.size() ? &swiped_[index] : nullptr; }

bool SimDeck::takeBadSwipe() { return std::exchange(nextBad_, false) || bad_; }
