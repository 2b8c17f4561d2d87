#include "device/Device.h"

#include "device/Pacer.h"

#include <algorithm>
#include <limits>

namespace {
// No reply is longer than this: a line that keeps sending is noise, and reading on stops.
constexpr qsizetype kLongestReply = 1024;
// A reply known to be unfinished may pause this long between its pieces (a slow adapter).
constexpr double kPieceGap = 0.25;

// A link that closed itself on a fault (device gone) while events were served, not by us.
bool closedByFault(const std::unique_ptr<SerialLink> &link)
{
    return link && !link->isOpen() && link->error() != PortError::None;
}
} // namespace

Device::Device(CancelToken &token, const Connection &connection) : Device(token, connection, connection.makeLink()) {}

Device::Device(CancelToken &token, const Connection &connection, std::unique_ptr<SerialLink> link)
    : token_(token), pacer_(connection.clock()), port_(connection.port), settings_(connection.settings()),
      link_(std::move(link))
{
}

Device::~Device()
{
    if (link_ && link_->isOpen())
        link_->close();
}

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
    if (!link_->open(port_, settings_)) {
        failed_ = true;
        noteFailure();
        return false;
    }
    failed_ = false;
    seen_ = 0;
    // A pause of some twenty characters at the line rate is no longer part of one reply.
    const LineSettings line = parseLineSettings(settings_);
    const int bitsPerChar = 1 + line.dataBits + (line.parity == 'n' ? 0 : 1) + line.stopBits;
    quietGap_ = std::max(0.03, 20.0 * bitsPerChar / std::max(line.baud, 1));
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
    if (data.size() > seen_)
        lastArrival_ = pacer_.now(); // arrived unseen: count it as just now
    seen_ = 0;
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
    noteArrival(n);
    return n;
}

// ---- Waits ----------------------------------------------------------------------------------

void Device::noteArrival(int pendingNow)
{
    if (pendingNow > seen_) {
        seen_ = pendingNow;
        lastArrival_ = pacer_.now();
    }
}

int Device::inputDescriptor() const { return isOpen() ? link_->descriptor() : Pacer::kNoInput; }

void Device::pause(double seconds, bool serveEvents) { pacer_.pause(seconds, serveEvents); }

bool Device::pauseUnlessCancelled(double seconds)
{
    const double end = pacer_.now() + seconds;
    for (double left = seconds; left > 0; left = end - pacer_.now()) {
        if (token_.CancelRequested || failed_)
            return false;
        pacer_.pausePass(end, inputDescriptor());
        pending(); // notes arrivals, and a port that went away
    }
    return !token_.CancelRequested;
}

WaitEnd Device::waitForBytes(int count, double limit, bool serveEvents, StopOn stop, double since)
{
    Pacer &p = pacer_;
    const double start = since < 0 ? p.now() : since;
    const double deadline = limit < 0 ? std::numeric_limits<double>::infinity() : start + limit;
    for (;;) {
        if (pending() >= count)
            return WaitEnd::Ready;
        // A closed port has nothing to wait for: serve events once and report it.
        const int input = inputDescriptor();
        p.waitPass(input == Pacer::kNoInput ? p.now() : deadline, serveEvents, input);
        if ((stop.cancel && token_.CancelRequested) || (stop.collect && token_.StopCollecting) ||
            (stop.skip && token_.SkipRequested))
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

QByteArray Device::waitAndTake(double limit, double settle, StopOn stop)
{
    const double start = pacer_.now();
    waitForBytes(1, limit, true, stop, start);
    if (settle > 0)
        pause(settle, true);
    return takeAll();
}

QByteArray Device::takeReply(const std::function<bool(const QByteArray &)> &complete, bool serveEvents, StopOn stop)
{
    QByteArray reply = takeAll();
    if (!complete && pacer_.now() - lastArrival_ >= quietGap_)
        return reply;
    const double gap = complete ? std::max(quietGap_, kPieceGap) : quietGap_;
    while (!(complete && complete(reply)) && reply.size() < kLongestReply) {
        if (waitForBytes(1, gap, serveEvents, stop) != WaitEnd::Ready)
            break;
        reply += takeAll();
    }
    return reply;
}

// ---- Exchange primitives --------------------------------------------------------------------

QByteArray Device::sendAndWait(const QByteArray &text, int n)
{
    if (n == 2)
        pacer_.serveOnce();
    discard();
    write(text);
    const double start = pacer_.now();
    if (waitForBytes(n, 1.0, true, {}, start) == WaitEnd::Ready)
        return takeAll();
    return {};
}

Reply Device::sendAndWaitCancelable(const QByteArray &text, Exchange form)
{
    if (form == Exchange::Settling)
        openIfClosed();
    if (!isOpen()) {
        discard(); // notes a port that went away since the last exchange
        return {{}, WaitEnd::PortFailed};
    }
    discard();
    if (form != Exchange::Immediate)
        pacer_.serveOnce();
    if (!write(text))
        return {{}, WaitEnd::PortFailed};
    if (form == Exchange::Immediate)
        token_.StopCollecting = false;
    const bool lastChar = form == Exchange::LastCharacter;
    const WaitEnd end = waitForBytes(1, -1, true, StopOn{true, lastChar});
    if (end != WaitEnd::Ready)
        return {{}, end};
    if (form == Exchange::Settling || lastChar)
        pause(0.1, true);
    QByteArray reply = takeAll();
    if (portFailed())
        return {{}, WaitEnd::PortFailed};
    if (lastChar && !reply.isEmpty())
        reply = reply.right(1);
    return {reply, WaitEnd::Ready};
}

QByteArray Device::sendAndCollect(const QByteArray &text, Collect form)
{
    discard();
    if (form != Collect::Immediate)
        pacer_.serveOnce();
    write(text);
    QByteArray result;
    token_.StopCollecting = false;
    while (!token_.StopCollecting) {
        const double start = pacer_.now();
        const WaitEnd end = waitForBytes(1, 0.3, true, StopOn{form != Collect::UntilQuiet, false}, start);
        if (end != WaitEnd::Ready)
            token_.StopCollecting = true;
        result += takeAll();
    }
    return result;
}

void Device::writeAndDrain(const QByteArray &text, double limit, double settle, bool serveEvents)
{
    write(text);
    const double start = pacer_.now();
    waitForBytes(1, limit, serveEvents, {}, start);
    if (settle > 0)
        pause(settle, serveEvents);
    discard();
}
