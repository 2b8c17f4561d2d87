#pragma once
// What the two dialect parsers share: the operations that wait for a swipe, and the small
// interface through which a parser acts on the encoder (replies, the armed operation, the
// indicator, coercivity, densities, recording on a card). A parser owns only its own
// partial input and dialect state, and is given the time; it never reads a clock.
#include "device/DialectId.h"
#include "sim/SimDeck.h"

#include <QByteArray>
#include <array>
#include <optional>

enum class SimOperation { None, Read, Write, Erase, NonIsoRead, NonIsoWrite };

// What to do with one chosen command.
enum class CommandFault {
    None,
    Refuse, // answer a failure (HKD382 ESC "1", VNT-290B "!") and do nothing else
    Ignore, // take no notice of it at all
};

struct SimTrackWrite {
    QByteArray chars;
    int bits = 7;
    bool raw = false;
    bool iso = true; // the track's own ISO format
};
using SimTrackWrites = std::array<std::optional<SimTrackWrite>, 3>;

struct SimReadFormat {
    int bits = 7;
    bool raw = false;
};

// An operation armed and waiting for a swipe.
struct SimPending {
    SimOperation op = SimOperation::None;
    DialectId armedBy = DialectId::Hkd382; // the parser that armed it completes it
    SimTrackWrites writes;
    std::array<SimReadFormat, 3> formats;
    int eraseMask = 0;
};

class SimCore {
public:
    virtual void reply(const QByteArray &bytes) = 0;
    virtual void arm(SimPending pending) = 0; // wait for a swipe
    virtual void disarm() = 0;
    virtual SimOperation armed() const = 0;
    virtual void setIndicator(const QString &state) = 0; // "off", "swipe", "idle", "error"
    virtual void setHighCo(bool high) = 0;
    virtual void setDensity(int trackIndex, bool high210) = 0;
    virtual char status() const = 0; // HKD382 status of read/write/erase replies
    // Records the tracks at the current densities; nothing unless every track fits.
    virtual bool record(SimCard &card, const SimTrackWrites &writes) = 0;
    virtual void erase(SimCard &card, int mask) = 0;
    virtual CommandFault faultFor(const QByteArray &command) const = 0;

protected:
    ~SimCore() = default;
};

// Input buffering common to both parsers: bytes are consumed command by command; an incomplete
// command left alone too long is dropped by the next bytes, and one that grows without end too.
class SimParser {
public:
    explicit SimParser(SimCore &core) : core_(core) {}
    virtual ~SimParser() = default;

    void receive(const QByteArray &bytes, double now);
    void drop(); // forgets a half-received command
    virtual void reset();
    // Completes the armed operation with the swiped card (nullptr: no card went through).
    virtual void swiped(const SimPending &pending, SimCard *card, bool bad) = 0;

protected:
    // Consumes one command from the front of input_; returns its length, 0 while incomplete,
    // -1 when it took the bytes from input_ itself.
    virtual int step() = 0;
    virtual void dropPartial() {}
    // The chosen fault for a complete command whose name bytes are `key`: true when it was
    // refused or ignored and must not be acted on.
    bool faulted(const QByteArray &key, const QByteArray &refusal);

    SimCore &core_;
    QByteArray input_;

private:
    double lastInput_ = 0.0;
};
