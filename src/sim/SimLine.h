#pragma once
// The simulated encoder's serial line: the links that open it (one holder at a time, a second
// open fails with Busy; bytes sent while nobody holds it are lost), every byte with its time,
// replies delivered one byte after another at the open link's line rate, and the line faults:
// reply delay, replies in pieces, a substitute reply, silence, a vanished port.
// Time is passed in; the links read it from the line's clock.
#include "device/SerialLink.h"

class Pacer;

#include <QByteArray>
#include <QList>
#include <functional>
#include <memory>
#include <optional>

class SimLink;

class SimLine {
public:
    using Receiver = std::function<void(const QByteArray &bytes, double now)>;
    SimLine(Receiver receiver, Pacer &clock);
    ~SimLine();

    // A link for a program that speaks `dialect`.
    std::unique_ptr<SerialLink> makeLink(DialectId dialect);
    // The dialect of the program whose link opened the line last.
    DialectId programDialect() const { return program_; }
    Pacer &clock() const { return clock_; }
    void reset(); // no faults, nothing queued, the log cleared; open links stay open

    // Queues a reply from the encoder, its first byte after the reply delay.
    void send(const QByteArray &bytes, double now);

    // ---- Faults ----
    void setSilent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }
    void setReplyDelay(double seconds);
    void setReplyPieces(int pieces, double gap);
    void setNextReply(const QByteArray &bytes) { nextReply_ = bytes; }
    // Line noise: arbitrary bytes from `now` for `seconds`, `perSecond` of them a second
    // (0: back to back at the line rate), mixed in with the replies.
    void flood(double now, double seconds, double perSecond = 0.0);
    void vanish();
    void restore() { present_ = true; }
    bool present() const { return present_; }

    // ---- What the encoder received ----
    struct Received {
        double time;
        QByteArray bytes;
    };
    const QList<Received> &received() const { return received_; }
    void clearReceived() { received_.clear(); }

private:
    friend class SimLink;
    PortError open(SimLink *link, const QString &settings, double now);
    void close(SimLink *link, double now);
    void gone(SimLink *link);
    void write(const QByteArray &bytes, double now);
    void deliver(double now);
    double nextNoise() const; // when the next noise byte is due, or +infinity

    struct Outgoing {
        double time;
        QByteArray bytes;
    };

    Receiver receiver_;
    Pacer &clock_;
    DialectId program_ = DialectId::Hkd382;
    bool silent_ = false;
    double delay_ = 0.02;
    int pieces_ = 1;
    double gap_ = 0.0;
    double byteTime_ = 10.0 / 9600; // one byte on the line at the open link's settings
    std::optional<QByteArray> nextReply_;
    bool present_ = true;
    QList<Received> received_;
    QList<Outgoing> outbox_;
    double noiseFrom_ = 0.0, noiseUntil_ = -1.0, noiseGap_ = 0.0;
    qint64 noiseSent_ = 0;
    quint32 noiseSeed_ = 1;
    QList<SimLink *> links_;
    SimLink *holder_ = nullptr;
};
