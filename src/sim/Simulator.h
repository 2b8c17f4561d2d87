#pragma once
// The simulated encoder: both command dialects at the byte level, a deck of virtual cards that
// keep what is written to them, an operator who swipes, and faults to inject.
//
// Time is the pacer's: every reply byte is queued with a delivery time (one byte after another
// at the open link's line rate, as on a real line), and a link sees a byte only once
// pacer().now() has reached it. Nothing here sleeps or runs timers, so under a
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
#include "device/SerialLink.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <optional>

struct SimTrack {
    QByteArray chars;        // standard characters without sentinels, or raw codes when `raw`
    int bitsPerChar = 0;     // 0: the track's ISO format (7 bits on track 1, 5 on tracks 2 and 3)
    bool high210 = true;     // recorded at 210 BPI; false: 75 BPI
    bool unreadable = false; // a damaged stripe: every read gives "*"
    bool raw = false;        // chars are raw bit patterns (custom format), one code per character
    // A blank track (chars empty, readable) reads as "+".
    bool isBlank() const { return chars.isEmpty() && !unreadable; }
    bool operator==(const SimTrack &) const = default;
};

struct SimCard {
    QString name;
    std::array<SimTrack, 3> tracks;
    bool operator==(const SimCard &) const = default;
};

class SimLink;

class Simulator : public QObject {
    Q_OBJECT
public:
    enum class Dialect { FollowProgram, Hkd382, Vnt290b }; // FollowProgram: the program's chosen dialect
    enum class Operation { None, Read, Write, Erase, NonIsoRead, NonIsoWrite };

    static Simulator &instance(); // the one simulated encoder of the process
    ~Simulator() override;

    // Power-on: no faults, the default deck, its first card in the slot, the log cleared, no
    // operation pending, densities 210/75/210 BPI, dialect FollowProgram. Open links stay open.
    void reset();
    void setDialect(Dialect d);
    Dialect dialect() const { return dialect_; }
    bool speaksVnt() const; // the dialect in force now

    // ---- Deck and slot ----
    // The slot holds a deck card itself (by index), so what is written to it stays in the deck
    // and a later swipe of the same card reads it back. insertCard() puts a card that is not
    // in the deck into the slot instead (it lives there until replaced).
    QList<SimCard> &deck() { return deck_; }
    static QList<SimCard> defaultDeck();
    void selectCard(int index);
    int slotIndex() const; // the deck index in the slot, -1 for an inserted card
    SimCard &cardInSlot();
    void insertCard(const SimCard &card);

    // ---- The operator ----
    // Swipes the slot's card: completes the operation awaiting a swipe (read, write, erase,
    // non-ISO). A swipe with nothing pending is ignored.
    void swipe();
    bool awaitingSwipe() const { return pending_.op != Operation::None; }
    Operation pendingOperation() const { return pending_.op; }
    static QString operationName(Operation op);
    QString statusText() const; // "Waiting for a swipe: read" or "Idle"
    // The next swipes fail: reads give "*" tracks (HKD382: status error), writes and erases fail.
    void setBadSwipe(bool bad);
    bool badSwipe() const { return badSwipe_; }

    // ---- Faults ----
    void setSilent(bool silent); // powered off: takes no notice of anything and answers nothing
    void setReplyDelay(double seconds); // before each reply's first byte (default 0.02 s)
    void setReplyPieces(int pieces, double gap); // replies split in `pieces`, `gap` s apart
    void setNextReply(const QByteArray &bytes); // the next reply is these bytes instead (empty: none)
    void setStatusByte(char status); // HKD382 status of read/write/erase replies ('0': success)
    // The port vanishes: open links report Vanished and close at their next use; new opens
    // fail with NoSuchDevice until restorePort().
    void vanishPort();
    void restorePort();
    bool portPresent() const { return portPresent_; }

    // ---- What the encoder holds ----
    bool highCoercivity() const { return highCo_; }
    std::array<bool, 3> densities() const { return high210_; } // write density per track, true: 210 BPI
    QString indicator() const { return indicator_; }            // "off", "swipe", "idle", "error"

    // ---- What the encoder received, each write with its (pacer) time ----
    struct Received {
        double time;
        QByteArray bytes;
    };
    const QList<Received> &received() const { return received_; } // the latest 65536 writes
    QByteArray receivedBytes() const;
    void clearReceived() { received_.clear(); }

    std::unique_ptr<SerialLink> makeLink(); // a link to this encoder; any port number opens it

    // How a track reads in a format: its characters, "+" (blank) or "*" (unreadable).
    static QByteArray readTrack(const SimTrack &track, int trackNo, int bits, bool raw);
    // For people: the text (hex pairs for raw codes), its format and density, and both.
    static QString trackText(const SimTrack &track);
    static QString trackFormat(const SimTrack &track, int trackNo);
    static QString describeTrack(const SimTrack &track, int trackNo);

signals:
    void changed(); // card, slot, pending operation or fault switches changed (for the panel)

private:
    friend class SimLink;
    Simulator();

    struct TrackWrite {
        QByteArray chars;
        int bits = 7;
        bool raw = false;
        bool iso = true; // the track's own ISO format
    };
    using TrackWrites = std::array<std::optional<TrackWrite>, 3>;
    struct ReadFormat {
        int bits = 7;
        bool raw = false;
    };
    struct Pending {
        Operation op = Operation::None;
        bool vnt = false;
        TrackWrites writes;
        std::array<ReadFormat, 3> formats;
        int eraseMask = 0;
    };
    struct DataMode {
        bool active = false;
        int track = 0;
        TrackWrite write;
    };
    struct Outgoing {
        double time;
        QByteArray bytes;
    };

    // Links.
    PortError linkOpen(SimLink *link, const QString &settings);
    void linkClose(SimLink *link);
    void linkGone(SimLink *link);
    void linkWrite(const QByteArray &bytes);
    void deliverDue();

    // The encoder.
    void receive(const QByteArray &bytes);
    int parseHkd();
    int takeBlock(bool nonIso);
    int parseVnt();
    bool takeData();
    void reply(const QByteArray &bytes);
    void setPending(Pending p);
    void abortPending();
    bool writeTracks(const TrackWrites &writes);
    QByteArray hkdReadReply(const std::array<ReadFormat, 3> &formats, bool bad, char status);
    QByteArray vntTrackReply(int trackNo, ReadFormat format) const;

    QList<SimCard> deck_;
    int slot_ = 0;
    SimCard loose_;
    Dialect dialect_ = Dialect::FollowProgram;
    bool badSwipe_ = false;
    bool silent_ = false;
    double delay_ = 0.02;
    int pieces_ = 1;
    double gap_ = 0.0;
    double byteTime_ = 10.0 / 9600; // one byte on the line at the open link's settings
    std::optional<QByteArray> nextReply_;
    char status_ = '0';
    bool portPresent_ = true;

    bool highCo_ = true;
    std::array<bool, 3> high210_ = {true, false, true};
    QString indicator_ = QStringLiteral("off");
    Pending pending_;
    QByteArray input_;
    double lastInput_ = 0.0;
    DataMode data_;
    TrackWrites vntWrites_;
    int vntEraseMask_ = 0;
    std::optional<SimCard> readBuffer_;
    bool readBufferBad_ = false;

    QList<Received> received_;
    QList<Outgoing> outbox_;
    QList<SimLink *> links_;
    SimLink *holder_ = nullptr;
};

void installSimulatorLinkFactory(); // every link the program makes talks to Simulator::instance()
