#include "sim/SimLine.h"

#include "device/Pacer.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {
// A long simulated session keeps only the latest writes.
constexpr qsizetype kMaxLog = 65536;
} // namespace

class SimLink final : public SerialLink {
public:
    SimLink(SimLine *line, DialectId dialect) : line_(line), dialect_(dialect) { line_->links_.append(this); }
    ~SimLink() override
    {
        if (line_)
            line_->gone(this);
    }

    bool open(int, const QString &settings) override
    {
        close();
        if (!line_) {
            error_ = PortError::NoSuchDevice;
            return false;
        }
        error_ = line_->open(this, settings, line_->clock_.now());
        if (error_ != PortError::None)
            return false;
        line_->program_ = dialect_;
        open_ = true;
        inbox_.clear();
        return true;
    }
    void close() override
    {
        if (!open_)
            return;
        if (line_ && !dead_)
            line_->close(this, line_->clock_.now());
        open_ = false;
        dead_ = false;
        inbox_.clear();
    }
    bool isOpen() const override { return open_; }
    bool write(const QByteArray &bytes) override
    {
        if (!alive())
            return false;
        line_->write(bytes, line_->clock_.now());
        return true;
    }
    QByteArray takeAll() override
    {
        if (!alive())
            return {};
        line_->deliver(line_->clock_.now());
        return std::exchange(inbox_, QByteArray());
    }
    int pending() override
    {
        if (!alive())
            return 0;
        line_->deliver(line_->clock_.now());
        return int(inbox_.size());
    }
    PortError error() const override { return error_; }
    QString errorText() const override
    {
        switch (error_) {
        case PortError::None:
            return {};
        case PortError::NoSuchDevice:
            return QStringLiteral("The simulated encoder is not connected.");
        case PortError::Busy:
            return QStringLiteral("The simulated encoder is in use by another window.");
        case PortError::Vanished:
            return QStringLiteral("The simulated encoder was disconnected.");
        case PortError::Other:
            return QStringLiteral("The line settings are not valid.");
        case PortError::PermissionDenied:
            break;
        }
        return QStringLiteral("The simulated encoder cannot be opened.");
    }

    // Like a real port, a link notices that its device went away at its next use.
    bool alive()
    {
        if (!open_)
            return false;
        if (dead_ || !line_) {
            open_ = false;
            dead_ = false;
            inbox_.clear();
            error_ = PortError::Vanished;
            return false;
        }
        return true;
    }

    SimLine *line_;
    DialectId dialect_;
    bool open_ = false;
    bool dead_ = false;
    QByteArray inbox_;
    PortError error_ = PortError::None;
};

SimLine::SimLine(Receiver receiver, Pacer &clock) : receiver_(std::move(receiver)), clock_(clock) {}

SimLine::~SimLine()
{
    for (SimLink *link : std::as_const(links_))
        link->line_ = nullptr;
}

std::unique_ptr<SerialLink> SimLine::makeLink(DialectId dialect) { return std::make_unique<SimLink>(this, dialect); }

void SimLine::reset()
{
    silent_ = false;
    delay_ = 0.02;
    pieces_ = 1;
    gap_ = 0.0;
    nextReply_.reset();
    present_ = true;
    received_.clear();
    outbox_.clear();
    noiseUntil_ = -1.0;
}

void SimLine::setReplyDelay(double seconds) { delay_ = std::max(0.0, seconds); }

void SimLine::setReplyPieces(int pieces, double gap)
{
    pieces_ = std::max(1, pieces);
    gap_ = std::max(0.0, gap);
}

void SimLine::vanish()
{
    present_ = false;
    for (SimLink *link : std::as_const(links_))
        if (link->open_)
            link->dead_ = true;
    holder_ = nullptr;
    outbox_.clear();
    noiseUntil_ = -1.0;
}

PortError SimLine::open(SimLink *link, const QString &settings, double now)
{
    deliver(now);
    if (!present_)
        return PortError::NoSuchDevice;
    const LineSettings line = parseLineSettings(settings);
    if (!line.ok)
        return PortError::Other;
    if (holder_ && holder_ != link)
        return PortError::Busy;
    holder_ = link;
    byteTime_ = double(1 + line.dataBits + (line.parity == 'n' ? 0 : 1) + line.stopBits) / line.baud;
    return PortError::None;
}

void SimLine::close(SimLink *link, double now)
{
    deliver(now);
    if (holder_ == link)
        holder_ = nullptr;
}

void SimLine::gone(SimLink *link)
{
    if (holder_ == link)
        holder_ = nullptr;
    links_.removeAll(link);
}

void SimLine::write(const QByteArray &bytes, double now)
{
    deliver(now);
    received_.append({now, bytes});
    if (received_.size() > kMaxLog)
        received_.remove(0, received_.size() - kMaxLog / 2);
    // Powered off: takes no notice of anything.
    if (!silent_ && receiver_)
        receiver_(bytes, now);
}

void SimLine::flood(double now, double seconds, double perSecond)
{
    deliver(now);
    noiseFrom_ = now;
    noiseUntil_ = now + std::max(0.0, seconds);
    noiseGap_ = perSecond > 0 ? 1.0 / perSecond : 0.0;
    noiseSent_ = 0;
}

double SimLine::nextNoise() const
{
    const double t = noiseFrom_ + double(noiseSent_) * std::max(noiseGap_, byteTime_);
    return t < noiseUntil_ ? t : std::numeric_limits<double>::infinity();
}

void SimLine::deliver(double now)
{
    // Replies and noise in the order they reach the line.
    for (;;) {
        const double noise = nextNoise();
        const double reply = outbox_.isEmpty() ? std::numeric_limits<double>::infinity() : outbox_.front().time;
        if (std::min(noise, reply) > now + 1e-9)
            break;
        QByteArray bytes;
        if (noise < reply) {
            noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
            bytes = QByteArray(1, char(noiseSeed_ >> 16));
            ++noiseSent_;
        } else {
            bytes = outbox_.front().bytes;
            outbox_.removeFirst();
        }
        // Bytes sent while no link holds the port are lost on the line.
        if (holder_)
            holder_->inbox_ += bytes;
    }
}

void SimLine::send(const QByteArray &bytes, double now)
{
    if (silent_)
        return;
    QByteArray out = bytes;
    if (nextReply_)
        out = *std::exchange(nextReply_, std::nullopt);
    if (out.isEmpty())
        return;
    double t = now + delay_;
    if (!outbox_.isEmpty())
        t = std::max(t, outbox_.back().time);
    // Each byte takes its time on the line, as at the settings' baud rate; pieces add gaps.
    const int n = std::min<int>(pieces_, int(out.size()));
    const int base = int(out.size()) / n;
    const int extra = int(out.size()) % n;
    int pos = 0;
    for (int i = 0; i < n; ++i) {
        const int len = base + (i < extra ? 1 : 0);
        for (int k = 0; k < len; ++k, ++pos)
            outbox_.append({t + i * gap_ + pos * byteTime_, out.mid(pos, 1)});
    }
}
