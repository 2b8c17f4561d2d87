#pragma once
// One window's conversation with the encoder: its port and the exchange primitives with their
// time limits and cancellation. Each swipe window owns one Device and the CancelToken its waits
// read; what the bytes mean belongs to the dialects.
#include "device/CancelToken.h"
#include "device/Connection.h"
#include "device/SerialLink.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

enum class WaitEnd { Ready, TimedOut, Cancelled, PortFailed };

// What an exchange brought back, and how its wait ended. Only a Ready reply carries bytes the
// encoder sent; a cancelled or failed exchange matches no expected reply.
struct Reply {
    QByteArray bytes;
    WaitEnd end = WaitEnd::Ready;
    bool ok() const { return end == WaitEnd::Ready; }
    bool is(const QByteArray &expected) const { return ok() && bytes == expected; }
    bool startsWith(const QByteArray &prefix) const { return ok() && bytes.startsWith(prefix); }
};

// The cancellable exchange's forms.
enum class Exchange {
    Plain,         // serve events, write, wait for the first byte, take all
    Immediate,     // write without serving events first and re-arm StopCollecting (copy window)
    Settling,      // open the port if closed; 0.1 s more after the first byte (encode from file)
    LastCharacter, // 0.1 s more, keep the last byte; StopCollecting also ends it (non-ISO write)
};

// SendAndCollect's forms.
enum class Collect {
    UntilQuietOrCancel, // the line quiet 0.3 s, or Cancel
    UntilQuiet,         // only the 0.3 s of silence (save to file)
    Immediate,          // as UntilQuietOrCancel, written without serving events first (copy window)
};

class Device {
public:
    // The link comes from the connection, unless one is given.
    Device(CancelToken &token, const Connection &connection);
    Device(CancelToken &token, const Connection &connection, std::unique_ptr<SerialLink> link);
    ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    CancelToken &token() { return token_; }
    Pacer &pacer() const { return pacer_; }
    bool cancelled() const { return token_.CancelRequested; }

    // ---- The port -------------------------------------------------------------------------
    // Close if open, open the connection's port with its line settings. False: port failure.
    bool open();
    bool openIfClosed();
    void close();
    bool isOpen() const;
    // Writes now; nothing happens on a closed port. False when the bytes did not go out.
    bool write(const QByteArray &bytes);
    QByteArray takeAll();
    int pending();
    void discard() { takeAll(); }

    // A port that could not be opened or went away. Sticky until the next successful open.
    bool portFailed() const { return failed_; }
    PortError portError() const;
    QString portErrorText() const;
    // Called once per Device the first time the port fails (not for a deliberate close).
    void setPortLostHandler(std::function<void()> handler) { onPortLost_ = std::move(handler); }

    // ---- Waits ----------------------------------------------------------------------------
    void pause(double seconds, bool serveEvents = true);
    // A pause serving events that ends early on the token's Cancel or a lost port (a port closed
    // on purpose lets it run); it watches the input meanwhile. False when cut short.
    bool pauseUnlessCancelled(double seconds);
    // Polls until `count` bytes are pending, `limit` seconds (< 0: none) have passed since
    // `since` (< 0: now), a flag of `stop` is set, or the port fails.
    WaitEnd waitForBytes(int count, double limit, bool serveEvents, StopOn stop = {}, double since = -1);
    // Waits up to `limit` s for a byte (serving events), `settle` s more, then takes all.
    QByteArray waitAndTake(double limit, double settle = 0.0, StopOn stop = {});

    // Takes all pending input and reads on while the reply is still arriving: until `complete`
    // accepts it, or (without `complete`, or when nothing more comes) the line has been quiet
    // for a few character times. A slow line thus never cuts a reply short; on a fast one the
    // reply is already whole and nothing is waited for.
    QByteArray takeReply(const std::function<bool(const QByteArray &)> &complete, bool serveEvents, StopOn stop = {});
    double quietGap() const { return quietGap_; }

    // ---- Exchange primitives --------------------------------------------------------------
    // The setup window's timed exchange: N bytes within 1 s, else empty.
    QByteArray sendAndWait(const QByteArray &text, int n);
    // Waits without limit for the first reply byte; Cancelled or PortFailed otherwise.
    Reply sendAndWaitCancelable(const QByteArray &text, Exchange form = Exchange::Plain);
    // Collects until the line has been quiet for 0.3 s.
    QByteArray sendAndCollect(const QByteArray &text, Collect form = Collect::UntilQuietOrCancel);
    // Writes `text`, waits up to `limit` s for a byte, `settle` s more, then discards.
    void writeAndDrain(const QByteArray &text, double limit, double settle, bool serveEvents = true);

private:
    void noteFailure();
    void noteArrival(int pendingNow);
    // What a wait watches for input (see Pacer::waitPass).
    int inputDescriptor() const;

    CancelToken &token_;
    Pacer &pacer_;
    int port_;
    QString settings_;
    std::unique_ptr<SerialLink> link_;
    bool failed_ = false;
    bool lostReported_ = false;
    std::function<void()> onPortLost_;
    double quietGap_ = 0.03;
    int seen_ = 0;            // pending bytes already noticed
    double lastArrival_ = -1; // when the input last grew
};
