#include "sim/Simulator.h"

#include "device/Pacer.h"

#include <QStringList>
#include <utility>

namespace {

QString hexPairs(const QByteArray &codes)
{
    QStringList pairs;
    for (char c : codes)
        pairs << QStringLiteral("%1").arg(unsigned(static_cast<unsigned char>(c)), 2, 16, QLatin1Char('0')).toUpper();
    return pairs.join(QLatin1Char(' '));
}

} // namespace

Simulator::Simulator(Pacer &clock) : line_([this](const QByteArray &bytes, double now) { receive(bytes, now); }, clock)
{
    reset();
}

Simulator::~Simulator() = default;

void Simulator::reset()
{
    line_.reset();
    deck_.reset();
    hkd_.reset();
    vnt_.reset();
    lastParser_ = nullptr;
    dialect_.reset();
    status_ = '0';
    faultCommand_.clear();
    fault_ = Fault::None;
    highCo_ = true;
    high210_ = {true, false, true};
    indicator_ = QStringLiteral("off");
    pending_ = SimPending{};
    emit changed();
}

// ---- Deck, slot and stack ----

void Simulator::selectCard(int index)
{
    deck_.selectCard(index);
    emit changed();
}

void Simulator::insertCard(const SimCard &card)
{
    deck_.insertCard(card);
    emit changed();
}

void Simulator::setStack(const QList<SimCard> &cards)
{
    deck_.setStack(cards);
    emit changed();
}

void Simulator::useSlot()
{
    deck_.useSlot();
    emit changed();
}

// ---- The operator ----

QString Simulator::operationName(Operation op)
{
    switch (op) {
    case Operation::None:
        break;
    case Operation::Read:
        return QStringLiteral("read");
    case Operation::Write:
        return QStringLiteral("write");
    case Operation::Erase:
        return QStringLiteral("erase");
    case Operation::NonIsoRead:
        return QStringLiteral("non-ISO read");
    case Operation::NonIsoWrite:
        return QStringLiteral("non-ISO write");
    }
    return {};
}

QString Simulator::statusText() const
{
    if (!awaitingSwipe())
        return QStringLiteral("Idle");
    return QStringLiteral("Waiting for a swipe: ") + operationName(pending_.op);
}

void Simulator::setBadSwipe(bool bad)
{
    if (deck_.badSwipe() == bad)
        return;
    deck_.setBadSwipe(bad);
    emit changed();
}

void Simulator::setNextSwipeBad(bool bad)
{
    deck_.setNextSwipeBad(bad);
    emit changed();
}

void Simulator::swipe()
{
    if (!awaitingSwipe() || !deck_.nextCard())
        return;
    // A bad swipe leaves the card on top of the stack, to be swiped again.
    const bool bad = deck_.takeBadSwipe();
    swipeThrough(bad ? *deck_.nextCard() : *deck_.takeForSwipe(), bad);
}

void Simulator::swipeAgain(int index)
{
    SimCard *card = stackMode() ? deck_.swipedCard(index) : nullptr;
    if (awaitingSwipe() && card)
        swipeThrough(*card, deck_.takeBadSwipe());
}

void Simulator::swipeThrough(SimCard &card, bool bad)
{
    const SimPending p = std::exchange(pending_, SimPending{});
    parserFor(p.armedBy).swiped(p, &card, bad);
    emit changed();
}

bool Simulator::record(SimCard &card, const SimTrackWrites &writes)
{
    // Nothing is recorded unless every track fits its format and density.
    for (size_t i = 0; i < 3; ++i) {
        if (writes[i] && !StripeCodec::fits(writes[i]->chars, writes[i]->bits, writes[i]->raw, high210_[i]))
            return false;
    }
    for (size_t i = 0; i < 3; ++i) {
        if (!writes[i])
            continue;
        SimTrack t;
        t.chars = writes[i]->chars;
        t.bitsPerChar = writes[i]->bits;
        t.raw = writes[i]->raw;
        t.high210 = high210_[i];
        card.tracks[i] = t;
    }
    // Named by what it holds now: a written blank card is no longer "Blank card".
    card.name = QStringLiteral("Written: ") + SimDeck::contents(card);
    return true;
}

void Simulator::erase(SimCard &card, int mask)
{
    for (int i = 0; i < 3; ++i)
        if (mask & (1 << i))
            card.tracks[size_t(i)] = SimTrack{};
    card.name = QStringLiteral("Erased: ") + SimDeck::contents(card);
}

// ---- Commands and faults ----

void Simulator::setCommandFault(const QByteArray &command, Fault fault)
{
    faultCommand_ = fault == Fault::None ? QByteArray() : command;
    fault_ = faultCommand_.isEmpty() ? Fault::None : fault;
}

CommandFault Simulator::faultFor(const QByteArray &command) const
{
    return !faultCommand_.isEmpty() && command == faultCommand_ ? fault_ : Fault::None;
}

void Simulator::setSilent(bool silent)
{
    line_.setSilent(silent);
    emit changed();
}

void Simulator::flood(double seconds, double perSecond) { line_.flood(line_.clock().now(), seconds, perSecond); }

void Simulator::vanishPort()
{
    line_.vanish();
    emit changed();
}

void Simulator::restorePort()
{
    line_.restore();
    emit changed();
}

QByteArray Simulator::receivedBytes() const
{
    QByteArray all;
    for (const Received &r : received())
        all += r.bytes;
    return all;
}

// ---- The encoder's side of the line ----

SimParser &Simulator::parserFor(DialectId d)
{
    switch (d) {
    case DialectId::Vnt290b:
        return vnt_;
    case DialectId::Hkd382:
        break;
    }
    return hkd_;
}

SimParser &Simulator::parser()
{
    SimParser &now = parserFor(speaks());
    // A change of dialect drops what the other dialect had half received.
    if (lastParser_ && lastParser_ != &now)
        lastParser_->drop();
    lastParser_ = &now;
    return now;
}

void Simulator::receive(const QByteArray &bytes, double now)
{
    const Operation before = pending_.op;
    parser().receive(bytes, now);
    if (pending_.op != before)
        emit changed();
}

void Simulator::reply(const QByteArray &bytes) { line_.send(bytes, line_.clock().now()); }

void Simulator::arm(SimPending p)
{
    p.armedBy = speaks();
    pending_ = std::move(p);
}

void Simulator::disarm() { pending_ = SimPending{}; }

// ---- For people ----

QString Simulator::trackText(const SimTrack &track)
{
    if (track.unreadable)
        return QStringLiteral("(unreadable)");
    if (track.chars.isEmpty())
        return QStringLiteral("(blank)");
    return track.raw ? hexPairs(track.chars) : QString::fromLatin1(track.chars);
}

QString Simulator::trackFormat(const SimTrack &track, int trackNo)
{
    if (track.isBlank())
        return {};
    return QStringLiteral("%1%2-bit, %3 BPI")
        .arg(track.raw ? QStringLiteral("raw ") : QString())
        .arg(StripeCodec::bitsOf(track, trackNo))
        .arg(track.high210 ? 210 : 75);
}

QString Simulator::describeTrack(const SimTrack &track, int trackNo)
{
    const QString format = track.unreadable ? QString() : trackFormat(track, trackNo);
    return format.isEmpty() ? trackText(track) : trackText(track) + QStringLiteral("  [") + format + QLatin1Char(']');
}
