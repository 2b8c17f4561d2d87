#include "iso/IsoSwipes.h"

#include "device/Commands.h"
#include "device/Pacer.h"
#include "device/SharedState.h"
#include "iso/TrackBlock.h"

#include <algorithm>

using namespace MainModule;

namespace Iso {

namespace {
// Hides the label however the attempt ends.
struct PromptGuard {
    const Prompt &prompt;
    bool hide;
    void show() const
    {
        if (prompt)
            prompt(true);
    }
    ~PromptGuard()
    {
        if (hide && prompt)
            prompt(false);
    }
};

bool acknowledged(const QByteArray &reply, bool exact)
{
    return exact ? reply == Cmd::Vnt::Ack : reply.startsWith(Cmd::Vnt::Ack);
}

// A fixed wait that serves events and ends early on Cancel (or a lost port). False when cut short.
bool pauseUnlessCancelled(Device &dev, double seconds)
{
    const double end = pacer().now() + seconds;
    for (double left = seconds; left > 0; left = end - pacer().now()) {
        if (CancelRequested || !dev.isOpen())
            return false;
        pacer().pause(std::min(left, 0.01), true);
    }
    return !CancelRequested;
}

// Re-opens if need be, resets the encoder and leaves the port closed; the next exchange re-opens it.
void resetAndClose(Device &dev)
{
    dev.openIfClosed();
    pacer().serveOnce();
    dev.write(Cmd::Hkd::Reset);
    dev.close();
}

Outcome readHkd(Device &dev, const ReadOptions &o, const PromptGuard &guard)
{
    if (o.openIfClosed)
        dev.openIfClosed();
    dev.write(Cmd::Hkd::ReadIso);
    guard.show();
    if (dev.waitForBytes(1, -1, true, StopOn{true}) != WaitEnd::Ready)
        return Aborted;
    dev.pause(o.settle, false);
    const ParsedBlock parsed = ParseReadBlock(dev.takeAll());
    for (int i = 0; i < parsed.tracks.size(); ++i)
        TrackData[size_t(i + 1)] = parsed.tracks[i];
    return parsed.ok ? Succeeded : Failed;
}

// The read window's form: each track is what arrives within a fixed time after its command.
Outcome readVntTimed(Device &dev, const PromptGuard &guard)
{
    dev.write(Cmd::Vnt::ReadIso);
    WaitStart = pacer().now();
    guard.show();
    switch (dev.waitForBytes(1, 0.5, true, StopOn{true}, WaitStart)) {
    case WaitEnd::Ready: break;
    case WaitEnd::TimedOut: return Failed;
    default: return Aborted;
    }
    if (dev.takeAll() != Cmd::Vnt::Ack)
        return Aborted;  // not armed: the caller tries again at once
    // The swipe: a read that is exactly "^".
    do {
        if (dev.waitForBytes(1, -1, true, StopOn{true}) != WaitEnd::Ready)
            return Aborted;
    } while (dev.takeAll() != Cmd::Vnt::Ack);
    dev.discard();
    static constexpr double kTrackWait[4] = {0, 0.3, 0.2, 0.3};
    for (int t = 1; t <= 3; ++t) {
        pacer().serveOnce();
        dev.write(Cmd::Vnt::ReadTrack[size_t(t)]);
        if (!pauseUnlessCancelled(dev, kTrackWait[t]))
            return Aborted;
        TrackData[size_t(t)] = dev.takeAll();
    }
    return Succeeded;
}

// The copy and save-to-file form: armed through the cancellable exchange, tracks collected.
Outcome readVntExchanges(Device &dev, const ReadOptions &o, const PromptGuard &guard)
{
    if (dev.sendAndWaitCancelable(Cmd::Vnt::ReadIso, o.cancelable) != Cmd::Vnt::Ack)
        return Aborted;
    guard.show();
    if (dev.waitForBytes(1, -1, true, StopOn{true}) != WaitEnd::Ready)
        return Failed;
    if (dev.takeAll() != Cmd::Vnt::Ack)
        return Failed;
    bool allUnreadable = true;
    for (int t = 1; t <= 3; ++t) {
        TrackData[size_t(t)] = dev.sendAndCollect(Cmd::Vnt::ReadTrack[size_t(t)], o.collect);
        allUnreadable = allUnreadable && TrackData[size_t(t)] == Unreadable;
    }
    return allUnreadable ? Failed : Succeeded;
}

Outcome writeHkd(Device &dev, const QByteArray &block, const WriteOptions &o, const PromptGuard &guard)
{
    if (!dev.openIfClosed())
        return Failed;
    if (o.discardBefore)
        dev.discard();
    dev.write(Cmd::Hkd::WriteIso + block);
    if (o.discardAfterCommand)
        dev.discard();
    guard.show();
    if (dev.waitForBytes(2, -1, true, StopOn{true, o.stopOnCollect, o.skipRequested}) != WaitEnd::Ready) {
        const bool skipped = !CancelRequested && !(o.stopOnCollect && StopCollecting) && o.skipRequested && *o.skipRequested;
        if (skipped)
            *o.skipRequested = false;
        resetAndClose(dev);
        return skipped ? Skipped : o.hkdCancelOutcome;
    }
    return dev.takeAll() == Cmd::Hkd::Ok ? Succeeded : Failed;
}

Outcome writeVnt(Device &dev, const QByteArray (&tracks)[3], const WriteOptions &o, const PromptGuard &guard)
{
    for (int t = 1; t <= 3; ++t) {
        const QByteArray &text = tracks[t - 1];
        if (!HasData(text))
            continue;
        if (!acknowledged(dev.sendAndWaitCancelable(Cmd::Vnt::WriteTrack[size_t(t)], o.cancelable), o.exactLetterAck))
            return Aborted;
        if (!dev.sendAndWaitCancelable(text + Cmd::Vnt::EndOfTrack, o.cancelable).startsWith(Cmd::Vnt::Ack))
            return Aborted;
    }
    pacer().serveOnce();
    if (!acknowledged(dev.sendAndWaitCancelable(Cmd::Vnt::WriteGo, o.cancelable), o.exactLetterAck))
        return Aborted;
    guard.show();
    if (dev.waitForBytes(1, -1, true, StopOn{true, false, o.skipRequested}) != WaitEnd::Ready) {
        if (!CancelRequested && o.skipRequested && *o.skipRequested) {
            *o.skipRequested = false;
            resetAndClose(dev);
            return Skipped;
        }
        dev.sendAndWaitCancelable(o.attentionOnCancel ? Cmd::Vnt::Attention : Cmd::Vnt::AbortWrite, o.cancelable);
        return Failed;
    }
    return acknowledged(dev.takeAll(), o.exactFinalAck) ? Succeeded : Failed;
}
} // namespace

ReadOptions ReadOptions::copyWindow()
{
    ReadOptions o;
    o.pauseBefore = 0.5;
    o.openIfClosed = true;
    o.settle = 0.5;
    o.resetAfter = true;
    o.hidePromptAfter = false;
    o.promptFirst = true;
    o.vntExchanges = true;
    o.cancelable.serveBeforeWrite = false;
    o.cancelable.clearStopAfterWrite = true;
    o.collect.serveBeforeWrite = false;
    return o;
}

ReadOptions ReadOptions::saveToFileWindow()
{
    ReadOptions o;
    o.openIfClosed = true;
    o.vntExchanges = true;
    o.collect.honourCancel = false;
    return o;
}

WriteOptions WriteOptions::copyWindow()
{
    WriteOptions o;
    o.discardAfterCommand = false;
    o.stopOnCollect = true;
    o.exactFinalAck = true;
    o.cancelable.serveBeforeWrite = false;
    o.cancelable.clearStopAfterWrite = true;
    return o;
}

WriteOptions WriteOptions::incrementalWindow()
{
    WriteOptions o;
    o.discardBefore = false;
    o.discardAfterCommand = false;
    o.stopOnCollect = true;
    return o;
}

WriteOptions WriteOptions::encodeFromFileWindow(bool *skipRequested)
{
    WriteOptions o;
    o.pauseBefore = 0.0;
    o.discardBefore = false;
    o.discardAfterCommand = false;
    o.exactLetterAck = true;
    o.exactFinalAck = true;
    o.attentionOnCancel = true;
    o.hkdCancelOutcome = Skipped;
    o.skipRequested = skipRequested;
    o.cancelable.form = Device::CancelableOptions::Settling;
    return o;
}

Outcome ReadSwipe(Device &dev, const ReadOptions &options, const Prompt &prompt)
{
    const PromptGuard guard{prompt, options.hidePromptAfter};
    if (options.promptFirst)
        guard.show();
    if (options.pauseBefore > 0)
        dev.pause(options.pauseBefore, true);
    // A window closed during the pause gets no command: its port stays as the closing left it.
    if (CancelRequested)
        return Aborted;
    if (isVnt290b())
        return options.vntExchanges ? readVntExchanges(dev, options, guard) : readVntTimed(dev, guard);
    const Outcome outcome = readHkd(dev, options, guard);
    if (options.resetAfter)
        resetAndClose(dev);
    return outcome;
}

Outcome WriteSwipe(Device &dev, const QByteArray &t1, const QByteArray &t2, const QByteArray &t3,
                   const WriteOptions &options, const Prompt &prompt)
{
    const PromptGuard guard{prompt, true};
    if (isVnt290b()) {
        const QByteArray tracks[3] = {t1, t2, t3};
        return writeVnt(dev, tracks, options, guard);
    }
    const QByteArray block = BuildWriteBlock(t1, t2, t3);
    if (options.pauseBefore > 0)
        dev.pause(options.pauseBefore, true);
    if (CancelRequested)
        return options.hkdCancelOutcome;
    return writeHkd(dev, block, options, guard);
}

} // namespace Iso
