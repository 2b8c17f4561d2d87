// The VNT-290B dialect: single-character commands answered "^", one exchange per track.
#include "dialect/Commands.h"
#include "dialect/Dialect.h"
#include "dialect/DialectCommon.h"
#include "dialect/NonIsoCommands.h"
#include "dialect/TraceMaskers.h"

#include "device/Pacer.h"

#include <functional>
#include <optional>

namespace {

using namespace Cmd;

bool acknowledged(const Reply &reply, AckMatch match)
{
    return match == AckMatch::Exact ? reply.is(Vnt::Ack) : reply.startsWith(Vnt::Ack);
}

class Vnt290b final : public Dialect {
public:
    bool hasCustomNonIsoFormat() const override { return true; }
    QString name() const override { return QStringLiteral("VNT-290B"); }
    std::unique_ptr<CardDataMasker> cardDataMasker() const override { return makeVnt290bMasker(); }

    Handshake handshake(Device &dev, bool highCoercivity, const std::function<bool()> &ending) const override
    {
        const QByteArray attention = dev.sendAndWait(Vnt::Attention, 1);
        if (dev.portFailed() || (ending && ending()))
            return Handshake::Failed;
        dev.pacer().pause(1.0, true);
        if (!attention.isEmpty() && attention != Vnt::Idle && attention != Vnt::Ack)
            return Handshake::FailedQuietly;
        dev.write(highCoercivity ? Vnt::SetHighCo : Vnt::SetLowCo);
        const double start = dev.pacer().now();
        if (dev.waitForBytes(1, 1.0, true, {}, start) != WaitEnd::Ready)
            return dev.portFailed() ? Handshake::Failed : Handshake::FailedQuietly;
        const QByteArray reply = dev.takeAll();
        if (dev.portFailed())
            return Handshake::Failed;
        const bool accepted = reply.startsWith(Vnt::Ack) || reply == Vnt::Idle;
        return accepted ? Handshake::Connected : Handshake::ConnectedAfterError;
    }

    void setErrorIndicator(Device &dev, bool on, const IndicatorOptions &options) const override
    {
        dev.pacer().serveOnce();
        dev.write(on ? Vnt::IndicatorError : Vnt::IndicatorOff);
        dev.waitAndTake(options.limit, 0.0, options.stop);
    }

    void signalReady(Device &dev, const ReadyOptions &options) const override
    {
        dev.pacer().serveOnce();
        if (options.discardBefore)
            dev.discard();
        dev.write(Vnt::PrepareRead);
        const double start = dev.pacer().now();
        dev.waitForBytes(1, 1.0, true, {}, start);
        if (!options.leaveReplyUnread)
            dev.discard();
    }

    bool armRead(Device &dev, ArmRead form) const override
    {
        switch (form) {
        case ArmRead::Ready:
            signalReady(dev, {});
            return true;
        case ArmRead::Checked:
            dev.write(Vnt::PrepareRead);
            return dev.waitAndTake(1.0) == Vnt::Ack;
        case ArmRead::Drained:
            dev.writeAndDrain(Vnt::PrepareRead, 0.5, 0.2);
            return true;
        }
        return true;
    }

    void disarm(Device &dev, Exchange form) const override
    {
        dev.sendAndWaitCancelable(Vnt::PrepareRead, form);
        // Closed meanwhile: its closing sequence has run and nothing more goes to the encoder.
        if (!dev.cancelled())
            dev.sendAndWaitCancelable(Vnt::AbortWrite, form);
    }

    void rearmWrite(Device &dev, Rearm form, Exchange exchange) const override
    {
        switch (form) {
        case Rearm::PrepareAndSettle:
            dev.sendAndWaitCancelable(Vnt::PrepareWrite, exchange);
            dev.pauseUnlessCancelled(0.3);
            if (!dev.cancelled()) // never re-open a port the closing sequence has closed
                dev.openIfClosed();
            dev.discard();
            break;
        case Rearm::DisarmAndPrepare:
            disarm(dev, exchange);
            dev.sendAndWaitCancelable(Vnt::PrepareWrite, exchange);
            break;
        case Rearm::Disarm:
            disarm(dev, exchange);
            break;
        case Rearm::AttentionAndPrepare:
            dev.sendAndWaitCancelable(Vnt::Attention, exchange);
            dev.sendAndWaitCancelable(Vnt::PrepareWrite, exchange);
            break;
        case Rearm::ResetOrAbort:
            dev.sendAndWaitCancelable(Vnt::AbortWrite, exchange);
            dev.sendAndWaitCancelable(Vnt::PrepareWrite, exchange);
            break;
        case Rearm::IdleOrAbort:
            dev.sendAndWaitCancelable(Vnt::AbortWrite, exchange);
            dev.pauseUnlessCancelled(0.3);
            if (!dev.cancelled())
                dev.openIfClosed();
            dev.discard();
            break;
        }
    }

    void indicatorOffBeforeError(Device &) const override {}
    void configureDensity(Device &) const override {}

    bool configureNonIsoDensity(Device &dev, const std::array<bool, 3> &high210) const override
    {
        // The non-ISO write window's own exchange: it also stops on StopCollecting. The answers
        // are not judged.
        for (int track = 1; track <= 3; ++track)
            dev.sendAndWaitCancelable(Vnt::setBpi(track, high210[size_t(track - 1)]), Exchange::LastCharacter);
        return true;
    }

    ReadResult readNonIso(Device &dev, const NonIso::Selection &selection, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt);
        if (const std::optional<Outcome> ended = sendRead(dev, nullptr))
            return {*ended, {}};
        if (!dev.pauseUnlessCancelled(0.5) || dev.takeAll() != Vnt::Ack)
            return {Outcome::Aborted, {}}; // cancelled, or not armed: the caller tries again
        guard.show();
        const auto command = [&selection](int track) {
            return NonIso::Vnt290bReadTrack(track, selection.standardFormat, selection.trackFormat[size_t(track - 1)]);
        };
        return readTracksAfterSwipe(dev, command, false);
    }

    Outcome writeNonIso(Device &dev, const NonIso::WriteJob &job, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt);
        if (job.standardFormat)
            dev.discard();
        for (const NonIso::Send &send : NonIso::Vnt290bWriteSends(job)) {
            if (!send.awaitAck)
                dev.write(send.bytes);
            else if (!dev.sendAndWaitCancelable(send.bytes, Exchange::LastCharacter).is(Vnt::Ack))
                return Outcome::Aborted;
        }
        guard.show();
        if (dev.waitForBytes(1, -1, true, StopOn{true, true}) != WaitEnd::Ready) {
            dev.sendAndWaitCancelable(Vnt::AbortWrite, Exchange::LastCharacter);
            return Outcome::Failed;
        }
        if (job.standardFormat)
            return dev.takeAll() == Vnt::Ack ? Outcome::Succeeded : Outcome::Failed;
        dev.pauseUnlessCancelled(0.2);
        return dev.takeAll().startsWith(Vnt::Ack) ? Outcome::Succeeded : Outcome::Failed;
    }

    ReadResult readIso(Device &dev, const ReadProfile &profile, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt, profile.prompt);
        if (!readyForCommand(dev, profile.pauseBefore))
            return {Outcome::Aborted, {}};
        return profile.fetch == TrackFetch::Timed ? readTimed(dev, guard) : readCollected(dev, profile, guard);
    }

    Outcome writeIso(Device &dev, const Iso::Tracks &tracks, const WriteProfile &profile, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt);
        for (int t = 0; t < 3; ++t) {
            if (!Iso::HasData(tracks[size_t(t)]))
                continue;
            if (!acknowledged(dev.sendAndWaitCancelable(Vnt::WriteTrack[size_t(t + 1)], profile.exchange), profile.trackAck))
                return Outcome::Aborted;
            if (!dev.sendAndWaitCancelable(tracks[size_t(t)] + Vnt::EndOfTrack, profile.exchange).startsWith(Vnt::Ack))
                return Outcome::Aborted;
        }
        dev.pacer().serveOnce();
        if (!acknowledged(dev.sendAndWaitCancelable(Vnt::WriteGo, profile.exchange), profile.trackAck))
            return Outcome::Aborted;
        guard.show();
        if (dev.waitForBytes(1, -1, true, StopOn{true, false, profile.skippable}) != WaitEnd::Ready) {
            if (takeSkip(dev, profile)) {
                resetAndClose(dev); // the encoder is reset the same way in either dialect
                return Outcome::Skipped;
            }
            dev.sendAndWaitCancelable(profile.onCancel == CancelSends::Attention ? Vnt::Attention : Vnt::AbortWrite,
                                      profile.exchange);
            return Outcome::Failed;
        }
        return acknowledged({dev.takeAll(), WaitEnd::Ready}, profile.cardAck) ? Outcome::Succeeded : Outcome::Failed;
    }

    Outcome erase(Device &dev, int mask, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt);
        for (int track = 1; track <= 3; ++track) {
            if ((mask & (1 << (track - 1))) && !dev.sendAndWaitCancelable(Vnt::EraseTrack[size_t(track)]).is(Vnt::Ack))
                return Outcome::Aborted;
        }
        if (!dev.sendAndWaitCancelable(Vnt::EraseGo).is(Vnt::Ack))
            return Outcome::Aborted;
        dev.pause(0.3);
        guard.show();
        if (dev.waitForBytes(1, -1, true, StopOn{true}) == WaitEnd::Ready)
            return dev.takeAll() == Vnt::Ack ? Outcome::Succeeded : Outcome::Failed;
        // The closing sequence has usually closed the port by now; the abort then goes nowhere.
        if (dev.cancelled())
            dev.sendAndWaitCancelable(Vnt::AbortWrite);
        return Outcome::Failed;
    }

protected:
    StartResult checkAttention(Device &dev, const StartProfile &profile) const override
    {
        dev.write(Vnt::Attention);
        const QByteArray reply = dev.waitAndTake(profile.attentionLimit, profile.attentionSettle);
        if (dev.portFailed() || dev.cancelled())
            return StartResult::PortFailed;
        if (!reply.isEmpty() && reply != Vnt::Idle)
            return StartResult::AttentionRejected;
        dev.pauseUnlessCancelled(0.3);
        return dev.portFailed() || dev.cancelled() ? StartResult::PortFailed : StartResult::Ok;
    }

    bool startStep(Device &dev, StartStep step) const override
    {
        switch (step) {
        case StartStep::Discard:
            dev.discard();
            return true;
        case StartStep::ArmRead:
        case StartStep::ArmWrite:
            dev.pacer().serveOnce();
            dev.write(step == StartStep::ArmRead ? Vnt::PrepareRead : Vnt::PrepareWrite);
            return dev.waitAndTake(1.0) == Vnt::Ack;
        case StartStep::Reset:
        case StartStep::Settle: // done after Attention
        case StartStep::IndicatorSwipe:
        case StartStep::ConfigureDensity:
            return true;
        }
        return true;
    }

    void closingSteps(Device &dev, Closing closing) const override
    {
        switch (closing) {
        case Closing::IdleAndDrain:
            dev.write(Vnt::Attention);
            dev.waitAndTake(2.0);
            break;
        case Closing::Release:
        case Closing::Reset:
        case Closing::ReopenAndReset:
            dev.sendAndWaitCancelable(Vnt::Attention);
            break;
        case Closing::AttentionDrain:
            dev.openIfClosed();
            dev.writeAndDrain(Vnt::Attention, 0.5, 0.2);
            break;
        case Closing::SettlingAttention:
            dev.sendAndWaitCancelable(Vnt::Attention, Exchange::Settling);
            break;
        case Closing::LastCharacterAttention:
            dev.sendAndWaitCancelable(Vnt::Attention, Exchange::LastCharacter);
            break;
        }
    }

private:
    // The read window's form: each track is what arrives within a fixed time after its command,
    // read on while it is still arriving.
    static ReadResult readTimed(Device &dev, const PromptGuard &guard)
    {
        if (const std::optional<Outcome> ended = sendRead(dev, &guard))
            return {*ended, {}};
        if (dev.takeAll() != Vnt::Ack)
            return {Outcome::Aborted, {}}; // not armed: the caller tries again at once
        const auto command = [](int track) { return Vnt::ReadTrack[size_t(track)]; };
        return readTracksAfterSwipe(dev, command, true);
    }

    // The read command and half a second for its first answer: nothing when it came, otherwise
    // how the read ends. The read window's prompt shows during that wait.
    static std::optional<Outcome> sendRead(Device &dev, const PromptGuard *showWhileWaiting)
    {
        dev.discard(); // what is left of an earlier reply or of line noise is no answer to this read
        dev.write(Vnt::ReadIso);
        const double start = dev.pacer().now();
        if (showWhileWaiting)
            showWhileWaiting->show();
        switch (dev.waitForBytes(1, 0.5, true, StopOn{true}, start)) {
        case WaitEnd::Ready:
            return std::nullopt;
        case WaitEnd::TimedOut:
            return Outcome::Failed;
        default:
            return Outcome::Aborted;
        }
    }

    // The swipe (a read that is exactly "^"), then each track: what arrives within a fixed time
    // after its command, read on while a slow line is still delivering it. The ISO read serves
    // pending events before each command (serveFirst).
    static ReadResult readTracksAfterSwipe(Device &dev, const std::function<QByteArray(int track)> &command,
                                           bool serveFirst)
    {
        do {
            if (dev.waitForBytes(1, -1, true, StopOn{true}) != WaitEnd::Ready)
                return {Outcome::Aborted, {}};
        } while (dev.takeAll() != Vnt::Ack);
        dev.discard();
        static constexpr double kTrackWait[3] = {0.3, 0.2, 0.3};
        ReadResult result{Outcome::Succeeded, {}};
        for (int t = 0; t < 3; ++t) {
            if (serveFirst)
                dev.pacer().serveOnce();
            dev.write(command(t + 1));
            if (!dev.pauseUnlessCancelled(kTrackWait[t]))
                return {Outcome::Aborted, {}};
            result.tracks[size_t(t)] = dev.takeReply({}, true, StopOn{true});
            if (dev.cancelled())
                return {Outcome::Aborted, {}};
        }
        return result;
    }

    // The copy and save-to-file form: armed through the cancellable exchange, tracks collected.
    static ReadResult readCollected(Device &dev, const ReadProfile &profile, const PromptGuard &guard)
    {
        if (!dev.sendAndWaitCancelable(Vnt::ReadIso, profile.exchange).is(Vnt::Ack))
            return {Outcome::Aborted, {}};
        guard.show();
        if (dev.waitForBytes(1, -1, true, StopOn{true}) != WaitEnd::Ready || dev.takeAll() != Vnt::Ack)
            return {Outcome::Failed, {}};
        ReadResult result{Outcome::Succeeded, {}};
        for (int t = 0; t < 3; ++t) {
            QByteArray &track = result.tracks[size_t(t)];
            track = dev.sendAndCollect(Vnt::ReadTrack[size_t(t + 1)], profile.collect);
            // No answer at all is no "no data" (that is "+"): the track was not read.
            if (track.isEmpty() && profile.silentTrackFails)
                track = Iso::Unreadable;
        }
        if (Iso::AllUnreadable(result.tracks))
            result.outcome = Outcome::Failed;
        return result;
    }
};

} // namespace

const Dialect &Vnt290bDialect()
{
    static const Vnt290b dialect;
    return dialect;
}
