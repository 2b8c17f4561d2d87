// The HKD382 dialect: ESC-prefixed commands, the ISO track data block, two-byte status replies.
#include "dialect/Commands.h"
#include "dialect/Dialect.h"
#include "dialect/DialectCommon.h"
#include "dialect/NonIsoCommands.h"
#include "dialect/TraceMaskers.h"

#include "device/Pacer.h"

#include <limits>

namespace {

using namespace Cmd;

// The configuration sequences wait for two reply bytes; a silent encoder must not hang us.
constexpr double kConfigReplyLimit = 1.0;
constexpr char ESC = 0x1B;

// A read reply is whole at its ESC and status byte. Track data holds no ESC, so the only other
// ESC pairs are the opening ESC "s" and the track markers ESC 01..03.
bool readReplyComplete(const QByteArray &reply)
{
    const qsizetype n = reply.size();
    if (n < 2 || reply.at(n - 2) != ESC)
        return false;
    const char last = reply.at(n - 1);
    if (last >= 0x01 && last <= 0x03)
        return false;
    return !(n == 2 && last == 's');
}

// Waits for the two reply bytes of a density command, then until 0.3 s after it. False when
// not a single byte came within the limit.
bool awaitDensityReply(Device &dev)
{
    const double start = dev.pacer().now();
    dev.waitForBytes(2, kConfigReplyLimit, false, {}, start);
    const bool answered = dev.pending() > 0;
    while (dev.isOpen() && dev.pacer().now() - start <= 0.3)
        dev.pacer().idle();
    dev.discard();
    return answered;
}

class Hkd382 final : public Dialect {
public:
    bool hasCustomNonIsoFormat() const override { return false; }
    QString name() const override { return QStringLiteral("HKD382"); }
    std::unique_ptr<CardDataMasker> cardDataMasker() const override { return makeHkd382Masker(); }

    Handshake handshake(Device &dev, bool highCoercivity, const std::function<bool()> &) const override
    {
        dev.sendAndWait(Hkd::Reset, 2);
        bool ok = dev.sendAndWait(Hkd::CommTest, 2) == Hkd::CommTestReply;
        if (ok) {
            dev.write(Hkd::Reset);
            dev.pacer().pause(0.5, false);
            ok = dev.sendAndWait(highCoercivity ? Hkd::SetHighCo : Hkd::SetLowCo, 2) == Hkd::Ok;
        }
        return ok && !dev.portFailed() ? Handshake::Connected : Handshake::Failed;
    }

    void setErrorIndicator(Device &dev, bool on, const IndicatorOptions &options) const override
    {
        if (options.openIfClosed)
            dev.openIfClosed();
        dev.write(on ? Hkd::IndicatorError : Hkd::IndicatorOff);
    }

    void signalReady(Device &dev, const ReadyOptions &) const override { dev.write(Hkd::IndicatorIdle); }
    bool armRead(Device &, ArmRead) const override { return true; }
    void disarm(Device &, Exchange) const override {}
    void rearmWrite(Device &dev, Rearm form, Exchange) const override
    {
        if (form == Rearm::ResetOrAbort)
            dev.write(Hkd::Reset);
        else if (form == Rearm::IdleOrAbort)
            dev.write(Hkd::IndicatorIdle);
    }
    void indicatorOffBeforeError(Device &dev) const override { dev.write(Hkd::IndicatorOff); }

    void configureDensity(Device &dev) const override
    {
        dev.openIfClosed();
        dev.write(Hkd::SetBpiCodes + Hkd::BpiCode210 + Hkd::BpiCode75 + Hkd::BpiCode210);
        dev.discard();
        dev.write(Hkd::SetBpi + Hkd::Bpi210 + Hkd::Bpi75 + Hkd::Bpi210);
        awaitDensityReply(dev);
        dev.close();
    }

    bool configureNonIsoDensity(Device &dev, const std::array<bool, 3> &high210) const override
    {
        QByteArray bpi = Hkd::SetBpi;
        QByteArray codes = Hkd::SetBpiCodes;
        for (bool high : high210) {
            bpi += high ? Hkd::Bpi210 : Hkd::Bpi75;
            codes += high ? Hkd::BpiCode210 : Hkd::BpiCode75;
        }
        dev.write(bpi);
        if (!awaitDensityReply(dev))
            return false;
        dev.write(codes);
        dev.waitForBytes(2, kConfigReplyLimit, false);
        const bool answered = dev.pending() > 0;
        dev.discard();
        return answered;
    }

    ReadResult readNonIso(Device &dev, const NonIso::Selection &selection, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt);
        dev.discard();
        if (!selection.standardFormat)
            return {Outcome::Failed, {}}; // raw characters are a VNT-290B format
        dev.write(NonIso::Hkd382ReadCommand(selection));
        guard.show();
        if (dev.waitForBytes(2, -1, true, StopOn{true}) != WaitEnd::Ready)
            return {Outcome::Aborted, {}};
        if (prompt)
            prompt(false);
        dev.pause(0.5, false);
        const Iso::ParsedBlock parsed = Iso::ParseReadBlock(dev.takeReply(readReplyComplete, true, StopOn{true}));
        return {parsed.ok ? Outcome::Succeeded : Outcome::Failed, parsed.three()};
    }

    Outcome writeNonIso(Device &dev, const NonIso::WriteJob &job, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt);
        dev.discard();
        if (!job.standardFormat)
            return Outcome::Failed; // raw characters are a VNT-290B format
        const StopOn flags{true, true};
        dev.waitForBytes(std::numeric_limits<int>::max(), 0.5, true, flags);
        if (!dev.cancelled() && dev.openIfClosed()) {
            dev.write(NonIso::Hkd382WriteBlock(job));
            dev.discard();
            guard.show();
            if (dev.waitForBytes(2, -1, true, flags) == WaitEnd::Ready)
                return dev.takeAll() == Hkd::Ok ? Outcome::Succeeded : Outcome::Failed;
        }
        // Cancelled: the encoder must not stay armed for the write. A lost port has none to reset.
        if (!dev.portFailed() && dev.openIfClosed()) {
            dev.write(Hkd::Reset);
            dev.pauseUnlessCancelled(0.3); // the window is closing: nothing to wait for
            dev.discard();
            dev.close();
        }
        return Outcome::Aborted;
    }

    ReadResult readIso(Device &dev, const ReadProfile &profile, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt, profile.prompt);
        // A window closed during the pause gets no command: its port stays as the closing left it.
        if (!readyForCommand(dev, profile.pauseBefore))
            return {Outcome::Aborted, {}};
        if (profile.openFirst)
            dev.openIfClosed();
        dev.discard(); // what is left of an earlier reply or of line noise is no answer to this read
        dev.write(Hkd::ReadIso);
        guard.show();
        ReadResult result{Outcome::Aborted, {}};
        if (dev.waitForBytes(1, -1, true, StopOn{true}) == WaitEnd::Ready) {
            dev.pause(profile.settle, false);
            const Iso::ParsedBlock parsed = Iso::ParseReadBlock(dev.takeReply(readReplyComplete, true, StopOn{true}));
            result = {parsed.ok ? Outcome::Succeeded : Outcome::Failed, parsed.three()};
        }
        if (profile.resetAfter)
            resetAndClose(dev);
        return result;
    }

    Outcome writeIso(Device &dev, const Iso::Tracks &tracks, const WriteProfile &profile, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt);
        const QByteArray block = Iso::BuildWriteBlock(tracks);
        if (!readyForCommand(dev, profile.pauseBefore))
            return profile.cancelled;
        if (!dev.openIfClosed())
            return Outcome::Failed;
        if (profile.discard != WriteDiscard::None)
            dev.discard();
        dev.write(Hkd::WriteIso + block);
        if (profile.discard == WriteDiscard::BeforeAndAfterCommand)
            dev.discard();
        guard.show();
        if (dev.waitForBytes(2, -1, true, StopOn{true, profile.stopOnCollect, profile.skippable}) != WaitEnd::Ready) {
            const bool skipped = takeSkip(dev, profile);
            resetAndClose(dev);
            return skipped ? Outcome::Skipped : profile.cancelled;
        }
        return dev.takeAll() == Hkd::Ok ? Outcome::Succeeded : Outcome::Failed;
    }

    Outcome erase(Device &dev, int mask, const Prompt &prompt) const override
    {
        const PromptGuard guard(prompt);
        // Once the window has closed, the port stays closed: no command after the closing sequence.
        if (!readyForCommand(dev, 0.5))
            return Outcome::Aborted;
        if (!dev.openIfClosed())
            return Outcome::Failed;
        dev.write(Hkd::eraseTracks(mask));
        dev.pause(0.3);
        guard.show();
        if (dev.waitForBytes(2, -1, true, StopOn{true}) == WaitEnd::Ready)
            return dev.takeAll() == Hkd::Ok ? Outcome::Succeeded : Outcome::Failed;
        // The closing sequence has usually closed the port by now; the abort then goes nowhere.
        if (dev.cancelled())
            dev.sendAndWaitCancelable(Hkd::AbortWrite);
        return Outcome::Failed;
    }

protected:
    StartResult checkAttention(Device &, const StartProfile &) const override { return StartResult::Ok; }

    bool startStep(Device &dev, StartStep step) const override
    {
        switch (step) {
        case StartStep::Reset:
            dev.write(Hkd::Reset);
            break;
        case StartStep::Settle:
            dev.pauseUnlessCancelled(0.3);
            break;
        case StartStep::IndicatorSwipe:
            dev.write(Hkd::IndicatorSwipe);
            break;
        case StartStep::ConfigureDensity:
            configureDensity(dev);
            break;
        case StartStep::Discard:
            dev.discard();
            break;
        case StartStep::ArmRead:
        case StartStep::ArmWrite:
            break; // armed by the commands themselves
        }
        return true;
    }

    void closingSteps(Device &dev, Closing closing) const override
    {
        switch (closing) {
        case Closing::IdleAndDrain:
            dev.write(Hkd::Reset);
            dev.write(Hkd::IndicatorOff);
            dev.write(Hkd::IndicatorIdle);
            dev.waitAndTake(2.0);
            break;
        case Closing::Reset:
            dev.write(Hkd::Reset);
            break;
        case Closing::ReopenAndReset:
            dev.openIfClosed();
            dev.write(Hkd::Reset);
            break;
        case Closing::SettlingAttention:
            // The encode-from-file window sends Attention in either dialect.
            dev.sendAndWaitCancelable(Vnt::Attention, Exchange::Settling);
            break;
        case Closing::Release:
        case Closing::AttentionDrain:
        case Closing::LastCharacterAttention:
            break;
        }
    }
};

} // namespace

const Dialect &Hkd382Dialect()
{
    static const Hkd382 dialect;
    return dialect;
}
