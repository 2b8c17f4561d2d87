#pragma once
// The simulated encoder: both command dialects at the byte level, a deck of virtual cards that
// keep what is written to them, an operator who swipes, and faults to inject. This class is
// the facade over its parts: the stripe codec, the HKD382 and VNT-290B parsers, the line and
// the deck.
//
// Time is the pacer's: every reply byte is queued with a delivery time (one byte after another
// at the open link's line rate, as on a real line), and a link sees a byte only once
// clock has reached it. Nothing here sleeps or runs timers, so under a
// VirtualPacer the encoder answers exactly when the program's waits let the clock get there.
//
// The encoder is one serial device: one link at a time may hold it open (a second open fails
// with Busy, as a real port would), and bytes that arrive while no link holds it are lost.
//
// Tracks are kept as what the stripe carries: standard characters (with sentinels and the LRC
// added when recorded) or raw codes, at a number of bits per character. A read decodes those
// bits in the format asked for, so reading a track in a format it was not written in gives
// "*" (standard formats) or re-framed codes (raw formats), as on a real card.
//
// Answers the command set leaves open: a failed HKD382 write, erase or read after a swipe
// answers with status "1" (ESC "1"), and a malformed command at once; a failed VNT-290B write
// or erase answers "!" after the swipe. An unreadable track reads as "*": inside the HKD382 read
// block between its sentinels (status "0"), and as the whole answer to "Q", "R", "S" etc.
// A write records nothing unless every track fits its format and density.
#include "sim/HkdParser.h"
#include "sim/SimCore.h"
#include "sim/SimDeck.h"
#include "sim/SimLine.h"
#include "sim/StripeCodec.h"
#include "sim/VntParser.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class Simulator : public QObject, private SimCore {
    Q_OBJECT
public:
    using Operation = SimOperation;
    using Fault = CommandFault;

    // Its time is `clock`'s, the clock of the program's connection.
    explicit Simulator(Pacer &clock);
    ~Simulator() override;

    // Power-on: no faults, the default deck, its first card in the slot, no stack, the log
    // cleared, no operation pending, densities 210/75/210 BPI, following the program's dialect, no
    // command faults, "P" without "L" allowed. Open links stay open.
    void reset();
    // A fixed dialect, or none: the encoder answers in the dialect of the program whose link
    // opened it last.
    void setDialect(std::optional<DialectId> d) { dialect_ = d; }
    std::optional<DialectId> dialect() const { return dialect_; }
    DialectId speaks() const { return dialect_ ? *dialect_ : line_.programDialect(); } // in force now

    // ---- Deck and slot ----
    // The slot holds a deck card itself (by index), so what is written to it stays in the deck
    // and a later swipe of the same card reads it back. insertCard() puts a card that is not
    // in the deck into the slot instead (it lives there until replaced).
    QList<SimCard> &deck() { return deck_.deck(); }
    static QList<SimCard> defaultDeck() { return SimDeck::defaultDeck(); }
    void selectCard(int index);
    int slotIndex() const { return deck_.slotIndex(); }
    SimCard &cardInSlot() { return deck_.cardInSlot(); }
    void insertCard(const SimCard &card);

    // ---- The stack ----
    // Stack mode: each swipe takes the next card of the stack (the slot is left alone) and
    // lays it on the swiped pile, where it keeps what the operation wrote. With the stack empty
    // there is no card to swipe: swipe() does nothing.
    void setStack(const QList<SimCard> &cards);
    void useSlot(); // back to the slot's card
    bool stackMode() const { return deck_.stackMode(); }
    const QList<SimCard> &stack() const { return deck_.stack(); }             // waiting, next first
    const QList<SimCard> &swipedCards() const { return deck_.swipedCards(); } // in swipe order
    static QList<SimCard> sampleStack() { return SimDeck::sampleStack(); }
    static QList<SimCard> blankStack(int count = 5) { return SimDeck::blankStack(count); }

    // ---- The operator ----
    // Swipes the slot's card (stack mode: the next card, which a bad swipe leaves on the stack):
    // completes the operation awaiting a swipe (read, write, erase, non-ISO). A swipe with
    // nothing pending is ignored.
    bool hasCardToSwipe() { return deck_.nextCard() != nullptr; }
    void swipe();
    // Stack mode: swipes card `index` of the swiped pile once more, e.g. to read back what was
    // written on it; it keeps its place on the pile. Ignored like swipe(), and out of range.
    void swipeAgain(int index);
    bool awaitingSwipe() const { return pending_.op != Operation::None; }
    Operation pendingOperation() const { return pending_.op; }
    static QString operationName(Operation op);
    QString statusText() const; // "Waiting for a swipe: read" or "Idle"
    // Every swipe from now fails: reads give "*" tracks (HKD382: status error), writes and
    // erases fail.
    void setBadSwipe(bool bad);
    bool badSwipe() const { return deck_.badSwipe(); }
    // The next swipe only fails, once.
    void setNextSwipeBad(bool bad = true);
    bool nextSwipeBad() const { return deck_.nextSwipeBad(); }

    // ---- Commands ----
    // Refuse (HKD382 ESC "1", VNT-290B "!") or ignore every command named by `command` (its
    // leading bytes: ESC and the command letter, or the VNT-290B letter); Fault::None clears.
    // One chosen command at a time.
    void setCommandFault(const QByteArray &command, Fault fault);
    // VNT-290B: "P" is refused ("!") unless "L" armed the read first. Off by default.
    void setPrepareReadRequired(bool required) { vnt_.setPrepareReadRequired(required); }

    // ---- Faults ----
    void setSilent(bool silent); // powered off: takes no notice of anything and answers nothing
    void setReplyDelay(double seconds) { line_.setReplyDelay(seconds); } // before a reply (default 0.02 s)
    void setReplyPieces(int pieces, double gap) { line_.setReplyPieces(pieces, gap); } // `gap` s apart
    void setNextReply(const QByteArray &bytes) { line_.setNextReply(bytes); } // instead of the next reply (empty: none)
    // A line flooded with noise for `seconds` from now (`perSecond` bytes a second; 0: at the line rate).
    void flood(double seconds, double perSecond = 0.0);
    void setStatusByte(char status) { status_ = status; } // HKD382 status of read/write/erase ('0': success)
    // The port vanishes: open links report Vanished and close at their next use; new opens
    // fail with NoSuchDevice until restorePort().
    void vanishPort();
    void restorePort();
    bool portPresent() const { return line_.present(); }

    // ---- What the encoder holds ----
    bool highCoercivity() const { return highCo_; }
    std::array<bool, 3> densities() const { return high210_; } // write density per track, true: 210 BPI
    QString indicator() const { return indicator_; }            // "off", "swipe", "idle", "error"

    // ---- What the encoder received, each write with its (pacer) time ----
    using Received = SimLine::Received;
    const QList<Received> &received() const { return line_.received(); } // the latest 65536 writes
    QByteArray receivedBytes() const;
    void clearReceived() { line_.clearReceived(); }

    // Any port number opens it.
    std::unique_ptr<SerialLink> makeLink(DialectId programDialect = DialectId::Hkd382)
    {
        return line_.makeLink(programDialect);
    }
    // Links to this encoder, for a connection.
    LinkFactory links()
    {
        return [this](DialectId d) { return makeLink(d); };
    }

    // How a track reads in a format: its characters, "+" (blank) or "*" (unreadable).
    static QByteArray readTrack(const SimTrack &track, int trackNo, int bits, bool raw)
    {
        return StripeCodec::read(track, trackNo, bits, raw);
    }
    // For people: the text (hex pairs for raw codes), its format and density, and both.
    static QString trackText(const SimTrack &track);
    static QString trackFormat(const SimTrack &track, int trackNo);
    static QString describeTrack(const SimTrack &track, int trackNo);

signals:
    void changed(); // card, slot, pending operation or fault switches changed (for the panel)

private:
    void swipeThrough(SimCard &card, bool bad);
    void receive(const QByteArray &bytes, double now);
    SimParser &parser();
    SimParser &parserFor(DialectId d);

    // SimCore: what the parsers may do to the encoder.
    void reply(const QByteArray &bytes) override;
    void arm(SimPending pending) override;
    void disarm() override;
    SimOperation armed() const override { return pending_.op; }
    void setIndicator(const QString &state) override { indicator_ = state; }
    void setHighCo(bool high) override { highCo_ = high; }
    void setDensity(int trackIndex, bool high210) override { high210_[size_t(trackIndex)] = high210; }
    char status() const override { return status_; }
    bool record(SimCard &card, const SimTrackWrites &writes) override;
    void erase(SimCard &card, int mask) override;
    CommandFault faultFor(const QByteArray &command) const override;

    SimLine line_;
    SimDeck deck_;
    HkdParser hkd_{*this};
    VntParser vnt_{*this};
    SimParser *lastParser_ = nullptr;
    std::optional<DialectId> dialect_;
    char status_ = '0';
    QByteArray faultCommand_;
    Fault fault_ = Fault::None;

    bool highCo_ = true;
    std::array<bool, 3> high210_ = {true, false, true};
    QString indicator_ = QStringLiteral("off");
    SimPending pending_;
};
