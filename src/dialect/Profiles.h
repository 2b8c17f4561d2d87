#pragma once
// How a swipe window talks to the encoder, said once beside the window and run by whichever
// dialect is active. Steps a dialect has no command for are skipped by it.
#include "card/TrackBlock.h"
#include "device/Device.h"

#include <QByteArray>
#include <functional>
#include <vector>

// Outcome of one attempt.
enum class Outcome { Failed = 0, Succeeded = 1, Aborted = 2, Skipped = 3 };

// Shows (true) or hides (false) the window's "waiting for the swipe" prompt.
using Prompt = std::function<void(bool)>;

// ---- Start and closing --------------------------------------------------------------------

enum class StartStep {
    Reset,            // HKD382 reset
    Settle,           // 0.3 s serving events (VNT-290B settles after its Attention instead)
    IndicatorSwipe,   // HKD382 swipe indication
    ConfigureDensity, // HKD382 ISO densities
    Discard,          // drop pending input
    ArmRead,          // VNT-290B "L", answered "^" within 1 s
    ArmWrite,         // VNT-290B "(", answered "^" within 1 s
};

struct StartProfile {
    std::vector<StartStep> steps;
    bool discardFirst = true;     // every window but the ISO read window
    double attentionLimit = 2.0;  // VNT-290B: the first byte of the answer to Attention
    double attentionSettle = 0.0; // then this much more before reading it
    bool disarmBeforeReport = false; // a refused arming is undone ("L", "l") before the error window
};

// PortFailed also covers a window closed while its start was waiting: nothing is reported.
enum class StartResult { Ok, AttentionRejected, PrepareRejected, PortFailed };

// What a window sends when it unloads (after its token is set), in both dialects.
enum class Closing {
    IdleAndDrain,           // read windows: reset and idle indication, or Attention; 2 s for an answer
    Release,                // write, incremental: VNT-290B Attention through the cancellable exchange
    Reset,                  // save to file: HKD382 reset, or Attention
    ReopenAndReset,         // erase: HKD382 reset on a re-opened port, or Attention
    AttentionDrain,         // copy: VNT-290B Attention on a re-opened port, 0.5 s + 0.2 s drained
    SettlingAttention,      // encode from file: Attention through the settling exchange, both dialects
    LastCharacterAttention, // non-ISO write: VNT-290B Attention through the last-character exchange
};

struct WindowProfile {
    StartProfile start;
    Closing closing;
    Exchange exchange = Exchange::Plain; // the window's cancellable exchange
};

// ---- Between attempts ---------------------------------------------------------------------

enum class ArmRead {
    Ready,   // read window: VNT-290B SignalReady before each attempt
    Checked, // copy window: VNT-290B "L" must be answered "^"
    Drained, // save to file: VNT-290B "L", up to 0.5 s, 0.2 s more, discarded
};

enum class Rearm {
    PrepareAndSettle,    // write: "(", 0.3 s, re-open, discard
    DisarmAndPrepare,    // erase, incremental: "L", "l", "("
    Disarm,              // encode from file: "L", "l"
    AttentionAndPrepare, // encode from file after a skipped card: 7F, "("
    ResetOrAbort,        // non-ISO write, failed attempt: HKD382 reset; VNT-290B "l", "("
    IdleOrAbort,         // non-ISO write, every attempt: HKD382 idle indication; VNT-290B "l", 0.3 s, re-open, discard
};

struct IndicatorOptions {
    bool openIfClosed = false; // copy window
    double limit = 1.0;        // non-ISO write: 0.5
    StopOn stop = {};          // copy and non-ISO write windows end the wait on their flags
};

struct ReadyOptions {
    bool discardBefore = false;    // non-ISO read
    bool leaveReplyUnread = false; // non-ISO read
};

// ---- Attempts -----------------------------------------------------------------------------

enum class AckMatch { StartsWith, Exact };

// When the window's prompt shows during a read.
enum class PromptTiming {
    WhileWaiting,  // from the command until the attempt ends
    FromStartKept, // from the start of the attempt, left shown after it (copy window)
};

// VNT-290B: how the tracks are fetched after the swipe.
enum class TrackFetch {
    Timed,     // each track what arrives in a fixed time after its command (read window)
    Collected, // each track collected until the line is quiet; failed only when all are "*"
};

struct ReadProfile {
    double pauseBefore = 0.0;    // serving events, before the command
    double settle = 1.0;         // HKD382: after the first reply byte, without serving events
    bool openFirst = false;      // HKD382: re-open a port a previous read closed
    bool resetAfter = false;     // HKD382: reset and close the port after every read
    PromptTiming prompt = PromptTiming::WhileWaiting;
    TrackFetch fetch = TrackFetch::Timed;
    Exchange exchange = Exchange::Plain;
    Collect collect = Collect::UntilQuietOrCancel;
    bool silentTrackFails = false; // VNT-290B collected: a track that got no answer reads "*"
};

struct ReadResult {
    Outcome outcome = Outcome::Failed;
    Iso::Tracks tracks;
};

// HKD382: pending input dropped around the write command.
enum class WriteDiscard { BeforeAndAfterCommand, BeforeCommand, None };

// What a cancelled VNT-290B swipe wait sends.
enum class CancelSends { AbortWrite, Attention };

struct WriteProfile {
    double pauseBefore = 0.5; // HKD382: serving events, before the command
    WriteDiscard discard = WriteDiscard::BeforeAndAfterCommand;
    bool stopOnCollect = false;                 // the swipe wait also ends on StopCollecting
    AckMatch trackAck = AckMatch::StartsWith;   // VNT-290B: track letters and "@"
    AckMatch cardAck = AckMatch::StartsWith;    // VNT-290B: the answer after the swipe
    CancelSends onCancel = CancelSends::AbortWrite;
    Outcome cancelled = Outcome::Failed;        // HKD382: a cancelled swipe wait
    bool skippable = false;                     // SkipRequested resets the encoder: Skipped
    Exchange exchange = Exchange::Plain;
};
