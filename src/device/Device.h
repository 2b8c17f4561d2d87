#pragma once
// One window's conversation with the encoder: its port, the exchange primitives with their
// time limits and cancellation, and the device procedures the swipe windows share. Each
// swipe window owns one Device; the differences between windows are options, not copies.
#include "device/SerialLink.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <vector>

enum class WaitEnd { Ready, TimedOut, Cancelled, PortFailed };

// Which flags end a wait besides its own condition.
struct StopOn {
    bool cancel = false;   // CancelRequested
    bool collect = false;  // StopCollecting
    const bool *flag = nullptr;  // a window's own request (Skip)
};

// The windows that talk to the encoder, for their start and closing sequences.
enum class WindowKind { IsoRead, IsoWrite, Copy, Incremental, EncodeFromFile, SaveToFile, Erase, NonIsoRead, NonIsoWrite };

// PortFailed also covers a window closed while its start was waiting: nothing is reported.
enum class StartResult { Ok, AttentionRejected, PrepareRejected, PortFailed };

class Device {
public:
    explicit Device(std::unique_ptr<SerialLink> link = makeLink());
    ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    // ---- The port -------------------------------------------------------------------------
    // Close if open, apply CommSettings and CommPortNumber, open. False: port failure.
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
    // Polls until `count` bytes are pending, `limit` seconds (< 0: none) have passed since
    // `since` (< 0: now), a flag of `stop` is set, or the port fails.
    WaitEnd waitForBytes(int count, double limit, bool serveEvents, StopOn stop = {}, double since = -1);

    // ---- Exchange primitives --------------------------------------------------------------
    // The setup window's timed exchange: N bytes within 1 s, else empty.
    QByteArray sendAndWait(const QByteArray &text, int n);

    struct CancelableOptions {
        enum Form { Plain, Settling, LastCharacter } form = Plain;
        bool serveBeforeWrite = true;     // the copy window writes at once
        bool clearStopAfterWrite = false; // the copy window re-arms StopCollecting
    };
    // Waits without limit for the first reply byte; "ERR" on cancel or port failure.
    QByteArray sendAndWaitCancelable(const QByteArray &text, CancelableOptions options);
    QByteArray sendAndWaitCancelable(const QByteArray &text) { return sendAndWaitCancelable(text, CancelableOptions{}); }

    struct CollectOptions {
        bool honourCancel = true;      // the save-to-file form ends on silence only
        bool serveBeforeWrite = true;  // the copy form does not
    };
    // Collects until the line has been quiet for 0.3 s.
    QByteArray sendAndCollect(const QByteArray &text, CollectOptions options);
    QByteArray sendAndCollect(const QByteArray &text) { return sendAndCollect(text, CollectOptions{}); }

    // ---- Device procedures ----------------------------------------------------------------
    struct IndicatorOptions {
        bool openIfClosed = false;  // copy window
        double limit = 1.0;         // non-ISO write: 0.5
        StopOn stop = {};           // copy and non-ISO write windows end the wait on the flags
    };
    void setErrorIndicator(bool on, IndicatorOptions options);
    void setErrorIndicator(bool on) { setErrorIndicator(on, IndicatorOptions{}); }

    struct ReadyOptions {
        bool discardBefore = false;     // non-ISO read
        bool leaveReplyUnread = false;  // non-ISO read
    };
    void signalReady(ReadyOptions options);
    void signalReady() { signalReady(ReadyOptions{}); }
    // Save-to-file window, before each read (VNT-290B only).
    void rearmRead();
    // VNT-290B: "L" then "l" through the cancellable exchange, replies discarded; brings the
    // encoder out of a write or erase it was armed for.
    void disarm();

    // HKD382: densities 210, 75, 210 BPI; leaves the port closed.
    void configureDensity();
    // The non-ISO write window's densities, true = 210 BPI, per track 1..3.
    void configureNonIsoDensity(const std::array<bool, 3> &high210);

    // Start sequence of a swipe window (first activation), up to its operation loop.
    // The window shows its own error window for the rejected results.
    StartResult runStart(WindowKind kind);
    // Closing sequence (on unload): sets CancelRequested and StopCollecting first; closes the port.
    void runClosing(WindowKind kind);

    // write `text`, wait up to `limit` s for a byte, `settle` s more, then discard.
    void writeAndDrain(const QByteArray &text, double limit, double settle, bool serveEvents = true);

private:
    void noteFailure();
    bool vnt() const;

    std::unique_ptr<SerialLink> link_;
    bool failed_ = false;
    bool lostReported_ = false;
    std::function<void()> onPortLost_;
};
