#pragma once
// The encoder's command dialect. Each implementation holds its half of every device procedure;
// windows and shared procedures call the active one and never ask which it is.
#include "card/NonIsoFormat.h"
#include "device/CardDataMasker.h"
#include "dialect/Profiles.h"

#include <QString>
#include <array>
#include <functional>

enum class Handshake {
    Connected,
    ConnectedAfterError, // the error window first, then on to the main window
    Failed,              // the error window with a beep; stay in setup
    FailedQuietly,       // the error window without a beep
};

class Dialect {
public:
    virtual ~Dialect() = default;
    virtual QString name() const = 0;
    // Raw tracks of 5, 6 or 7 bits entered as hex (only VNT-290B encoders write them).
    virtual bool hasCustomNonIsoFormat() const = 0;
    // Tells a trace which bytes of this dialect's exchanges are track data.
    virtual std::unique_ptr<CardDataMasker> cardDataMasker() const = 0;

    // Setup: opens nothing; `dev` is open. `ending` tells when the setup window is closing.
    virtual Handshake handshake(Device &dev, bool highCoercivity, const std::function<bool()> &ending) const = 0;

    // Start sequence of a swipe window (first activation), up to its operation loop. The
    // window shows its own error window for the rejected results.
    StartResult start(Device &dev, const StartProfile &profile) const;
    // Closing sequence (on unload): sets CancelRequested and StopCollecting first; closes the port.
    void close(Device &dev, Closing closing) const;

    virtual void setErrorIndicator(Device &dev, bool on, const IndicatorOptions &options = {}) const = 0;
    virtual void signalReady(Device &dev, const ReadyOptions &options = {}) const = 0;
    // Before each read attempt. False: the encoder would not arm (the copy window's check).
    virtual bool armRead(Device &dev, ArmRead form) const = 0;
    // Brings the encoder out of a write or erase it was armed for.
    virtual void disarm(Device &dev, Exchange form = Exchange::Plain) const = 0;
    // After a write or erase attempt, before the next.
    virtual void rearmWrite(Device &dev, Rearm form, Exchange exchange = Exchange::Plain) const = 0;
    // After a failed write of the encode-from-file window, before its error window: HKD382
    // turns the indication off first; VNT-290B has nothing for it.
    virtual void indicatorOffBeforeError(Device &dev) const = 0;
    // ISO densities 210, 75, 210 BPI; leaves the port closed.
    virtual void configureDensity(Device &dev) const = 0;
    // The non-ISO write window's densities, true = 210 BPI, per track 1..3. False when the
    // encoder gave no answer at all to a density command: nothing may be written then.
    virtual bool configureNonIsoDensity(Device &dev, const std::array<bool, 3> &high210) const = 0;

    virtual ReadResult readIso(Device &dev, const ReadProfile &profile, const Prompt &prompt) const = 0;
    // Tracks without data are left out.
    virtual Outcome writeIso(Device &dev, const Iso::Tracks &tracks, const WriteProfile &profile,
                             const Prompt &prompt) const = 0;
    // One non-ISO read: Succeeded with the three tracks as read, Failed, or Aborted (cancelled,
    // or the encoder not armed: the caller simply tries again).
    virtual ReadResult readNonIso(Device &dev, const NonIso::Selection &selection, const Prompt &prompt) const = 0;
    // One non-ISO write attempt; Failed or Aborted when it did not succeed.
    virtual Outcome writeNonIso(Device &dev, const NonIso::WriteJob &job, const Prompt &prompt) const = 0;
    // `mask`: bit 0 track 1, bit 1 track 2, bit 2 track 3.
    virtual Outcome erase(Device &dev, int mask, const Prompt &prompt) const = 0;

protected:
    // VNT-290B's Attention check at a window's start; nothing in HKD382.
    virtual StartResult checkAttention(Device &dev, const StartProfile &profile) const = 0;
    // One start step; false when the encoder refused it.
    virtual bool startStep(Device &dev, StartStep step) const = 0;
    virtual void closingSteps(Device &dev, Closing closing) const = 0;
};

const Dialect &Hkd382Dialect();
const Dialect &Vnt290bDialect();
const Dialect &dialectFor(DialectId id);
