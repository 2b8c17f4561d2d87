#include "device/Device.h"

#include "device/Commands.h"
#include "device/Pacer.h"
#include "device/SharedState.h"

using namespace MainModule;

namespace {
// The configuration sequences wait for two reply bytes; a silent encoder must not hang us.
constexpr double kConfigReplyLimit = 1.0;
// A wait without a time limit ends on serial input or a window event, and both wake the event
// loop at once; the tick only bounds what a link without a descriptor (the simulator) may lag.
constexpr double kOpenEndedTick = 0.05;

// A link that closed itself on a fault (device gone) while events were served, not by us.
bool closedByFault(const std::unique_ptr<SerialLink> &link)
{
    return link && !link->isOpen() && link->error() != PortError::None;
}
} // namespace

Device::Device(std::unique_ptr<SerialLink> link) : link_(std::move(link)) {}

Device::~Device()
{
    if (link_ && link_->isOpen())
        link_->close();
}

bool Device::vnt() const { return isVnt290b(); }

// ---- The port -------------------------------------------------------------------------------

bool Device::open()
{
    if (!link_) {
        failed_ = true;
        noteFailure();
        return false;
    }
    if (link_->isOpen())
        link_->close();
    if (!link_->open(CommPortNumber.toInt(), CommSettings)) {
        failed_ = true;
        noteFailure();
        return false;
    }
    failed_ = false;
    return true;
}

bool Device::openIfClosed() { return isOpen() || open(); }

void Device::close()
{
    if (link_ && link_->isOpen())
        link_->close();
}

bool Device::isOpen() const { return link_ && link_->isOpen(); }

void Device::noteFailure()
{
    failed_ = true;
    if (!lostReported_ && onPortLost_) {
        lostReported_ = true;
        onPortLost_();
    }
}

PortError Device::portError() const { return link_ ? link_->error() : PortError::NoSuchDevice; }

QString Device::portErrorText() const
{
    return link_ ? link_->errorText() : QStringLiteral("no serial port is available");
}

bool Device::write(const QByteArray &bytes)
{
    if (!isOpen()) {
        if (closedByFault(link_))
            noteFailure();
        return false;
    }
    if (!link_->write(bytes)) {
        noteFailure();
        return false;
    }
    return true;
}

QByteArray Device::takeAll()
{
    if (!isOpen()) {
        if (closedByFault(link_))
            noteFailure();
        return {};
    }
    QByteArray data = link_->takeAll();
    if (!link_->isOpen())
        noteFailure();
    return data;
}

int Device::pending()
{
    if (!isOpen()) {
        if (closedByFault(link_))
            noteFailure();
        return 0;
    }
    const int n = link_->pending();
    if (!link_->isOpen())
        noteFailure();
    return n;
}

// ---- Waits ----------------------------------------------------------------------------------

void Device::pause(double seconds, bool serveEvents) { pacer().pause(seconds, serveEvents); }

WaitEnd Device::waitForBytes(int count, double limit, bool serveEvents, StopOn stop, double since)
{
    Pacer &p = pacer();
    const double start = since < 0 ? p.now() : since;
    for (;;) {
        if (pending() >= count)
            return WaitEnd::Ready;
        if (serveEvents)
            p.serve(limit < 0 ? kOpenEndedTick : Pacer::kTick);
        else
            p.idle();
        if ((stop.cancel && CancelRequested) || (stop.collect && StopCollecting) || (stop.flag && *stop.flag))
            return WaitEnd::Cancelled;
        if (!isOpen()) {
            if (closedByFault(link_))
                noteFailure();
            return WaitEnd::PortFailed;
        }
        if (limit >= 0 && p.now() - start > limit)
            return WaitEnd::TimedOut;
    }
}

// ---- Exchange primitives --------------------------------------------------------------------

QByteArray Device::sendAndWait(const QByteArray &text, int n)
{
    if (n == 2)
        pacer().serveOnce();
    discard();
    write(text);
    WaitStart = pacer().now();
    if (waitForBytes(n, 1.0, true, {}, WaitStart) == WaitEnd::Ready)
        return takeAll();
    return {};
}

QByteArray Device::sendAndWaitCancelable(const QByteArray &text, CancelableOptions options)
{
    static const QByteArray kErr("ERR");
    if (options.form == CancelableOptions::Settling)
        openIfClosed();
    if (!isOpen()) {
        discard(); // notes a port that went away since the last exchange
        return kErr;
    }
    discard();
    if (options.serveBeforeWrite)
        pacer().serveOnce();
    if (!write(text))
        return kErr;
    if (options.clearStopAfterWrite)
        StopCollecting = false;
    const bool lastChar = options.form == CancelableOptions::LastCharacter;
    const WaitEnd end = waitForBytes(1, -1, true, StopOn{true, lastChar});
    if (end != WaitEnd::Ready)
        return kErr;
    if (options.form != CancelableOptions::Plain)
        pause(0.1, true);
    QByteArray reply = takeAll();
    if (portFailed())
        return kErr;
    if (lastChar && !reply.isEmpty())
        reply = reply.right(1);
    return reply;
}

QByteArray Device::sendAndCollect(const QByteArray &text, CollectOptions options)
{
    discard();
    if (options.serveBeforeWrite)
        pacer().serveOnce();
    write(text);
    QByteArray result;
    StopCollecting = false;
    while (!StopCollecting) {
        WaitStart = pacer().now();
        const WaitEnd end = waitForBytes(1, 0.3, true, StopOn{options.honourCancel, false}, WaitStart);
        if (end != WaitEnd::Ready)
            StopCollecting = true;
        result += takeAll();
    }
    return result;
}

// ---- Device procedures ----------------------------------------------------------------------

void Device::writeAndDrain(const QByteArray &text, double limit, double settle, bool serveEvents)
{
    write(text);
    WaitStart = pacer().now();
    waitForBytes(1, limit, serveEvents, {}, WaitStart);
    if (settle > 0)
        pause(settle, serveEvents);
    discard();
}

void Device::setErrorIndicator(bool on, IndicatorOptions options)
{
    if (!vnt()) {
        if (options.openIfClosed)
            openIfClosed();
        write(on ? Cmd::Hkd::IndicatorError : Cmd::Hkd::IndicatorOff);
        return;
    }
    pacer().serveOnce();
    write(on ? Cmd::Vnt::IndicatorError : Cmd::Vnt::IndicatorOff);
    WaitStart = pacer().now();
    waitForBytes(1, options.limit, true, options.stop, WaitStart);
    discard();
}

void Device::signalReady(ReadyOptions options)
{
    if (!vnt()) {
        write(Cmd::Hkd::IndicatorIdle);
        return;
    }
    pacer().serveOnce();
    if (options.discardBefore)
        discard();
    write(Cmd::Vnt::PrepareRead);
    WaitStart = pacer().now();
    waitForBytes(1, 1.0, true, {}, WaitStart);
    if (!options.leaveReplyUnread)
        discard();
}

void Device::rearmRead()
{
    if (vnt())
        writeAndDrain(Cmd::Vnt::PrepareRead, 0.5, 0.2);
}

void Device::disarm()
{
    sendAndWaitCancelable(Cmd::Vnt::PrepareRead);
    sendAndWaitCancelable(Cmd::Vnt::AbortWrite);
}

void Device::configureDensity()
{
    openIfClosed();
    write(Cmd::Hkd::SetBpiCodes + Cmd::Hkd::BpiCode210 + Cmd::Hkd::BpiCode75 + Cmd::Hkd::BpiCode210);
    discard();
    write(Cmd::Hkd::SetBpi + Cmd::Hkd::Bpi210 + Cmd::Hkd::Bpi75 + Cmd::Hkd::Bpi210);
    WaitStart = pacer().now();
    waitForBytes(2, kConfigReplyLimit, false, {}, WaitStart);
    while (isOpen() && pacer().now() - WaitStart <= 0.3)
        pacer().idle();
    discard();
    close();
}

void Device::configureNonIsoDensity(const std::array<bool, 3> &high210)
{
    if (vnt()) {
        // The non-ISO write window's own exchange: it also stops on StopCollecting.
        for (int track = 1; track <= 3; ++track)
            sendAndWaitCancelable(Cmd::Vnt::setBpi(track, high210[size_t(track - 1)]),
                                  {CancelableOptions::LastCharacter});
        return;
    }
    QByteArray bpi = Cmd::Hkd::SetBpi;
    QByteArray codes = Cmd::Hkd::SetBpiCodes;
    for (bool high : high210) {
        bpi += high ? Cmd::Hkd::Bpi210 : Cmd::Hkd::Bpi75;
        codes += high ? Cmd::Hkd::BpiCode210 : Cmd::Hkd::BpiCode75;
    }
    write(bpi);
    WaitStart = pacer().now();
    waitForBytes(2, kConfigReplyLimit, false, {}, WaitStart);
    while (isOpen() && pacer().now() - WaitStart <= 0.3)
        pacer().idle();
    discard();
    write(codes);
    waitForBytes(2, kConfigReplyLimit, false);
    discard();
}

namespace {
enum class Step { Reset, Pause, IndicatorSwipe, ConfigureDensity, Discard, PrepareRead, PrepareWrite };

struct StartProfile {
    bool discardFirst = true;
    double attentionLimit = 2.0;  // first byte of the answer to Attention
    double attentionSettle = 0.0; // then this much more before reading
    std::vector<Step> hkd;
    std::vector<Step> vnt;
};

StartProfile startProfile(WindowKind kind)
{
    using S = Step;
    switch (kind) {
    case WindowKind::IsoRead:
        return {false, 2.0, 0.0, {S::Reset, S::Pause, S::IndicatorSwipe}, {S::Pause, S::PrepareRead}};
    case WindowKind::IsoWrite:
        return {true, 2.0, 0.0, {S::IndicatorSwipe, S::ConfigureDensity}, {S::Pause, S::PrepareWrite}};
    case WindowKind::Copy:
        return {true, 2.0, 0.0, {S::Reset, S::ConfigureDensity, S::Pause}, {S::Pause}};
    case WindowKind::Incremental:
        return {true, 0.5, 0.1, {S::IndicatorSwipe, S::ConfigureDensity}, {S::Pause, S::PrepareWrite}};
    case WindowKind::EncodeFromFile:
        return {true, 2.0, 0.0, {S::Reset, S::ConfigureDensity, S::Pause}, {S::Pause, S::PrepareWrite}};
    case WindowKind::SaveToFile:
        return {true, 2.0, 0.0, {S::Reset, S::Pause, S::IndicatorSwipe, S::ConfigureDensity}, {S::Pause, S::PrepareRead}};
    case WindowKind::Erase:
        return {true, 2.0, 0.0, {S::Reset, S::Pause, S::IndicatorSwipe}, {S::Pause, S::PrepareWrite}};
    case WindowKind::NonIsoRead:
        return {true, 2.0, 0.0, {S::Reset, S::Pause}, {S::Pause}};
    case WindowKind::NonIsoWrite:
        return {true, 2.0, 0.0, {S::IndicatorSwipe, S::Pause, S::Discard}, {S::Pause, S::Discard}};
    }
    return {};
}
} // namespace

StartResult Device::runStart(WindowKind kind)
{
    const StartProfile profile = startProfile(kind);
    if (!isOpen() && !open())
        return StartResult::PortFailed;
    if (profile.discardFirst)
        discard();
    if (vnt()) {
        WaitStart = pacer().now();
        write(Cmd::Vnt::Attention);
        waitForBytes(1, profile.attentionLimit, true, {}, WaitStart);
        if (profile.attentionSettle > 0)
            pause(profile.attentionSettle, true);
        const QByteArray reply = takeAll();
        // Closed meanwhile: its closing sequence has run; judging a reply now would put an
        // error window over a window the operator has already closed.
        if (portFailed() || CancelRequested)
            return StartResult::PortFailed;
        if (!reply.isEmpty() && reply != Cmd::Vnt::Idle)
            return StartResult::AttentionRejected;
    }
    for (Step step : vnt() ? profile.vnt : profile.hkd) {
        switch (step) {
        case Step::Reset:
            write(Cmd::Hkd::Reset);
            break;
        case Step::Pause:
            pause(0.3, true);
            break;
        case Step::IndicatorSwipe:
            write(Cmd::Hkd::IndicatorSwipe);
            break;
        case Step::ConfigureDensity:
            configureDensity();
            break;
        case Step::Discard:
            discard();
            break;
        case Step::PrepareRead:
        case Step::PrepareWrite: {
            pacer().serveOnce();
            write(step == Step::PrepareRead ? Cmd::Vnt::PrepareRead : Cmd::Vnt::PrepareWrite);
            WaitStart = pacer().now();
            waitForBytes(1, 1.0, true, {}, WaitStart);
            if (takeAll() != Cmd::Vnt::Ack)
                return portFailed() || CancelRequested ? StartResult::PortFailed : StartResult::PrepareRejected;
            break;
        }
        }
        if (portFailed() || CancelRequested)
            return StartResult::PortFailed;
    }
    return StartResult::Ok;
}

void Device::runClosing(WindowKind kind)
{
    CancelRequested = true;
    StopCollecting = true;
    const bool v = vnt();
    switch (kind) {
    case WindowKind::IsoRead:
    case WindowKind::NonIsoRead:
        if (v) {
            write(Cmd::Vnt::Attention);
        } else {
            write(Cmd::Hkd::Reset);
            write(Cmd::Hkd::IndicatorOff);
            write(Cmd::Hkd::IndicatorIdle);
        }
        WaitStart = pacer().now();
        waitForBytes(1, 2.0, true, {}, WaitStart);
        discard();
        break;
    case WindowKind::Copy:
        if (v) {
            openIfClosed();
            writeAndDrain(Cmd::Vnt::Attention, 0.5, 0.2);
        }
        break;
    case WindowKind::Erase:
        WaitStart = pacer().now();
        if (v) {
            sendAndWaitCancelable(Cmd::Vnt::Attention);
        } else {
            openIfClosed();
            write(Cmd::Hkd::Reset);
        }
        break;
    case WindowKind::SaveToFile:
        if (v)
            sendAndWaitCancelable(Cmd::Vnt::Attention);
        else
            write(Cmd::Hkd::Reset);
        break;
    case WindowKind::EncodeFromFile:
        sendAndWaitCancelable(Cmd::Vnt::Attention, {CancelableOptions::Settling});
        break;
    case WindowKind::IsoWrite:
    case WindowKind::Incremental:
        if (v) {
            WaitStart = pacer().now();
            sendAndWaitCancelable(Cmd::Vnt::Attention);
        }
        break;
    case WindowKind::NonIsoWrite:
        if (v)
            sendAndWaitCancelable(Cmd::Vnt::Attention, {CancelableOptions::LastCharacter});
        break;
    }
    close();
}
