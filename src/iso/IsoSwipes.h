#pragma once
// One ISO read attempt and one ISO write attempt, as every ISO window runs them. The windows
// differ in small ways; those differences are the options below, with a preset per window.
#include "device/Device.h"

#include <QByteArray>
#include <functional>

namespace Iso {

// Outcome of one attempt.
enum Outcome : int { Failed = 0, Succeeded = 1, Aborted = 2, Skipped = 3 };

// Shows (true) or hides (false) the window's "waiting for the swipe" label.
using Prompt = std::function<void(bool)>;

struct ReadOptions {
    double pauseBefore = 0.0;       // a wait (serving events) before the command
    bool openIfClosed = false;      // HKD382: re-open a port a previous read closed
    double settle = 1.0;            // HKD382: after the first reply byte, without serving events
    bool resetAfter = false;        // HKD382: ESC "a" and close the port after every read
    bool hidePromptAfter = true;    // hide the label when the attempt ends
    bool promptFirst = false;       // show the label before the pause, not only after the command
    // VNT-290B: timed per-track reads (read window), or exchanges through the cancellable
    // exchange and SendAndCollect, failing only when every track is "*".
    bool vntExchanges = false;
    Device::CancelableOptions cancelable;
    Device::CollectOptions collect;

    static ReadOptions readWindow() { return {}; }
    static ReadOptions copyWindow();
    static ReadOptions saveToFileWindow();
};

// One read; the tracks go to MainModule::TrackData (a failure part way through may already
// have replaced some of them).
Outcome ReadSwipe(Device &dev, const ReadOptions &options, const Prompt &prompt);

struct WriteOptions {
    double pauseBefore = 0.5;         // a wait (serving events) before the command
    bool discardBefore = true;        // HKD382: drop pending input before the command
    bool discardAfterCommand = true;  // HKD382: and once more after it
    bool stopOnCollect = false;       // the swipe wait also ends on StopCollecting
    bool exactLetterAck = false;      // VNT-290B: track letters and "@" answered exactly "^"
    bool exactFinalAck = false;       // VNT-290B: the card's answer exactly "^", not just starting with it
    bool attentionOnCancel = false;   // VNT-290B: 7F instead of "l" when the swipe wait is cancelled
    Outcome hkdCancelOutcome = Failed;
    // Set by a Skip button; the wait then resets the encoder and ends with Skipped.
    bool *skipRequested = nullptr;
    Device::CancelableOptions cancelable;

    static WriteOptions writeWindow() { return {}; }
    static WriteOptions copyWindow();
    static WriteOptions incrementalWindow();
    static WriteOptions encodeFromFileWindow(bool *skipRequested);
};

// One write of the three tracks (those without data are left out).
Outcome WriteSwipe(Device &dev, const QByteArray &t1, const QByteArray &t2, const QByteArray &t3,
                   const WriteOptions &options, const Prompt &prompt);

} // namespace Iso
