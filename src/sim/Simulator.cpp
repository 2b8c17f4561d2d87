#include "sim/Simulator.h"

#include "device/Pacer.h"
#include "device/Settings.h"

#include <QStringList>
#include <algorithm>
#include <bit>
#include <utility>
#include <vector>

namespace {

constexpr char kEsc = 0x1B;
constexpr char kEot = 0x04;
constexpr char kFs = 0x1C;
constexpr char kVntAck = '^';
constexpr char kVntIdle = ':';
constexpr char kVntRefused = '!'; // any answer but "^" is a failure to the program
constexpr char kHkdFailed = '1';
// A command left incomplete this long is dropped by the next bytes (the encoder's own time-out).
constexpr double kStaleInput = 2.0;
// A command or data message that grows past this without ending is dropped.
constexpr int kMaxPartial = 4096;
// A long simulated session keeps only the latest writes.
constexpr qsizetype kMaxLog = 65536;

QByteArray esc(char c)
{
    QByteArray b;
    b += kEsc;
    b += c;
    return b;
}

int isoBits(int trackNo) { return trackNo == 1 ? 7 : 5; }
int bitsOf(const SimTrack &t, int trackNo) { return t.bitsPerChar ? t.bitsPerChar : isoBits(trackNo); }

// Characters that fit on a track, by bits per character and density.
int capacity(int bits, bool high210)
{
    if (bits >= 7)
        return high210 ? 76 : 27;
    if (bits == 6)
        return high210 ? 88 : 32;
    return high210 ? 106 : 39;
}

// The two standard alphabets: 7-bit (6 data bits from 0x20, "%" ... "?") and 5-bit (4 data bits
// from 0x30, ";" ... "?"); every character carries an odd-parity bit above its data bits.
struct Alphabet {
    unsigned char base;
    int dataBits;
    char start;
};
Alphabet alphabet(int bits) { return bits >= 7 ? Alphabet{0x20, 6, '%'} : Alphabet{0x30, 4, ';'}; }
constexpr char kEndSentinel = '?';

unsigned withParity(unsigned value, int dataBits)
{
    return value | ((std::popcount(value) % 2 == 0 ? 1u : 0u) << dataBits);
}

void pushCode(std::vector<bool> &bits, unsigned code, int width)
{
    for (int i = 0; i < width; ++i)
        bits.push_back((code >> i) & 1u);
}

// The stripe's bits, first recorded first.
std::vector<bool> recordedBits(const SimTrack &t, int trackNo)
{
    const int width = bitsOf(t, trackNo);
    std::vector<bool> bits;
    if (t.raw) {
        for (char c : t.chars)
            pushCode(bits, static_cast<unsigned char>(c), width);
        return bits;
    }
    const Alphabet a = alphabet(width);
    const unsigned mask = (1u << a.dataBits) - 1u;
    unsigned lrc = 0;
    auto put = [&](char ch) {
        const unsigned v = unsigned(static_cast<unsigned char>(ch) - a.base) & mask;
        lrc ^= v;
        pushCode(bits, withParity(v, a.dataBits), width);
    };
    put(a.start);
    for (char c : t.chars)
        put(c);
    put(kEndSentinel);
    pushCode(bits, withParity(lrc, a.dataBits), width);
    return bits;
}

// A reader syncs on the first 1 bit and frames characters of `width` bits from there.
std::vector<unsigned> frame(const std::vector<bool> &bits, int width)
{
    size_t i = 0;
    while (i < bits.size() && !bits[i])
        ++i;
    std::vector<unsigned> codes;
    for (; i + size_t(width) <= bits.size(); i += size_t(width)) {
        unsigned code = 0;
        for (int k = 0; k < width; ++k)
            code |= unsigned(bits[i + size_t(k)]) << k;
        codes.push_back(code);
    }
    return codes;
}

QString hexPairs(const QByteArray &codes)
{
    QStringList pairs;
    for (char c : codes)
        pairs << QStringLiteral("%1").arg(unsigned(static_cast<unsigned char>(c)), 2, 16, QLatin1Char('0')).toUpper();
    return pairs.join(QLatin1Char(' '));
}

} // namespace

// ---- The link --------------------------------------------------------------------------------

class SimLink final : public SerialLink {
public:
    explicit SimLink(Simulator *sim) : sim_(sim) { sim_->links_.append(this); }
    ~SimLink() override
    {
        if (sim_)
            sim_->linkGone(this);
    }

    bool open(int, const QString &settings) override
    {
        close();
        if (!sim_) {
            error_ = PortError::NoSuchDevice;
            return false;
        }
        error_ = sim_->linkOpen(this, settings);
        if (error_ != PortError::None)
            return false;
        open_ = true;
        inbox_.clear();
        return true;
    }
    void close() override
    {
        if (!open_)
            return;
        if (sim_ && !dead_)
            sim_->linkClose(this);
        open_ = false;
        dead_ = false;
        inbox_.clear();
    }
    bool isOpen() const override { return open_; }
    bool write(const QByteArray &bytes) override
    {
        if (!alive())
            return false;
        sim_->linkWrite(bytes);
        return true;
    }
    QByteArray takeAll() override
    {
        if (!alive())
            return {};
        sim_->deliverDue();
        return std::exchange(inbox_, QByteArray());
    }
    int pending() override
    {
        if (!alive())
            return 0;
        sim_->deliverDue();
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
        if (dead_ || !sim_) {
            open_ = false;
            dead_ = false;
            inbox_.clear();
            error_ = PortError::Vanished;
            return false;
        }
        return true;
    }

    Simulator *sim_;
    bool open_ = false;
    bool dead_ = false;
    QByteArray inbox_;
    PortError error_ = PortError::None;
};

// ---- The simulator ---------------------------------------------------------------------------

Simulator &Simulator::instance()
{
    static Simulator sim;
    return sim;
}

Simulator::Simulator() { reset(); }

Simulator::~Simulator()
{
    for (SimLink *link : std::as_const(links_))
        link->sim_ = nullptr;
}

QList<SimCard> Simulator::defaultDeck()
{
    auto track = [](const char *chars, bool high210 = true) {
        SimTrack t;
        t.chars = chars;
        t.high210 = high210;
        return t;
    };
    QList<SimCard> deck;
    SimCard bank;
    bank.name = QStringLiteral("Bank card (tracks 1, 2, 3)");
    bank.tracks = {track("B4000123456789010^SAMPLE/CARD HOLDER^30121010000000000000"),
                   track("4000123456789010=30121010000000000", false),
                   track("014000123456789010=724724100000000000030300000000000000000000000000000000000000000000000000000")};
    deck << bank;

    SimCard access;
    access.name = QStringLiteral("Access card (track 2 only)");
    access.tracks = {SimTrack{}, track("8024700042=3012", false), SimTrack{}};
    deck << access;

    SimCard blank;
    blank.name = QStringLiteral("Blank card");
    deck << blank;

    SimCard damaged;
    damaged.name = QStringLiteral("Damaged card (track 2 unreadable)");
    damaged.tracks = {track("B5500000000000004^DAMAGED/STRIPE^2805"), track("", false),
                      track("0155000000000000004=2805")};
    damaged.tracks[1].unreadable = true;
    deck << damaged;

    SimCard hotel;
    hotel.name = QStringLiteral("Hotel key (track 1 in 5-bit format)");
    hotel.tracks = {track("0412=20250301=1105"), SimTrack{}, SimTrack{}};
    hotel.tracks[0].bitsPerChar = 5;
    deck << hotel;
    return deck;
}

void Simulator::reset()
{
    deck_ = defaultDeck();
    slot_ = 0;
    loose_ = SimCard{};
    dialect_ = Dialect::FollowProgram;
    badSwipe_ = false;
    silent_ = false;
    delay_ = 0.02;
    pieces_ = 1;
    gap_ = 0.0;
    nextReply_.reset();
    status_ = '0';
    portPresent_ = true;
    highCo_ = true;
    high210_ = {true, false, true};
    indicator_ = QStringLiteral("off");
    pending_ = Pending{};
    input_.clear();
    lastInput_ = 0.0;
    data_ = DataMode{};
    vntWrites_ = TrackWrites{};
    vntEraseMask_ = 0;
    readBuffer_.reset();
    readBufferBad_ = false;
    received_.clear();
    outbox_.clear();
    emit changed();
}

void Simulator::setDialect(Dialect d) { dialect_ = d; }

bool Simulator::speaksVnt() const
{
    switch (dialect_) {
    case Dialect::Hkd382:
        return false;
    case Dialect::Vnt290b:
        return true;
    case Dialect::FollowProgram:
        break;
    }
    return (MainModule::EmulationMode == QLatin1String("VNT-290B"));
}

// ---- Deck and slot ----

void Simulator::selectCard(int index)
{
    if (index < 0 || index >= deck_.size())
        return;
    slot_ = index;
    emit changed();
}

int Simulator::slotIndex() const { return slot_ >= 0 && slot_ < deck_.size() ? slot_ : -1; }

SimCard &Simulator::cardInSlot() { return slotIndex() >= 0 ? deck_[slot_] : loose_; }

void Simulator::insertCard(const SimCard &card)
{
    loose_ = card;
    slot_ = -1;
    emit changed();
}

// ---- The operator ----

QString Simulator::operationName(Operation op)
{
    switch (op) {
    case Operation::None:
        break;
    case Operation::Read:
        return QStringLiteral("read");
    case Operation::Write:
        return QStringLiteral("write");
    case Operation::Erase:
        return QStringLiteral("erase");
    case Operation::NonIsoRead:
        return QStringLiteral("non-ISO read");
    case Operation::NonIsoWrite:
        return QStringLiteral("non-ISO write");
    }
    return {};
}

QString Simulator::statusText() const
{
    if (!awaitingSwipe())
        return QStringLiteral("Idle");
    return QStringLiteral("Waiting for a swipe: ") + operationName(pending_.op);
}

void Simulator::setBadSwipe(bool bad)
{
    if (badSwipe_ == bad)
        return;
    badSwipe_ = bad;
    emit changed();
}

void Simulator::swipe()
{
    if (!awaitingSwipe())
        return;
    const Pending p = std::exchange(pending_, Pending{});
    const bool bad = badSwipe_;
    switch (p.op) {
    case Operation::None:
        break;
    case Operation::Read:
    case Operation::NonIsoRead:
        if (p.vnt) {
            // The tracks are fetched one by one afterwards.
            readBuffer_ = cardInSlot();
            readBufferBad_ = bad;
            reply(QByteArray(1, kVntAck));
        } else {
            reply(hkdReadReply(p.formats, bad, bad ? kHkdFailed : status_));
        }
        break;
    case Operation::Write:
    case Operation::NonIsoWrite:
        if (p.vnt) {
            reply(QByteArray(1, !bad && writeTracks(p.writes) ? kVntAck : kVntRefused));
        } else if (bad) {
            reply(esc(kHkdFailed));
        } else if (status_ != '0') {
            reply(esc(status_)); // reported as failed: nothing was recorded
        } else {
            reply(esc(writeTracks(p.writes) ? '0' : kHkdFailed));
        }
        break;
    case Operation::Erase: {
        const bool ok = !bad && (p.vnt || status_ == '0');
        if (ok) {
            for (int i = 0; i < 3; ++i)
                if (p.eraseMask & (1 << i))
                    cardInSlot().tracks[size_t(i)] = SimTrack{};
        }
        if (p.vnt)
            reply(QByteArray(1, ok ? kVntAck : kVntRefused));
        else
            reply(esc(bad ? kHkdFailed : status_));
        break;
    }
    }
    emit changed();
}

bool Simulator::writeTracks(const TrackWrites &writes)
{
    // Nothing is recorded unless every track fits its format and density.
    for (size_t i = 0; i < 3; ++i) {
        if (!writes[i])
            continue;
        const TrackWrite &w = *writes[i];
        if (w.chars.size() > capacity(w.bits, high210_[i]))
            return false;
        if (w.raw) {
            const unsigned top = (1u << w.bits) - 1u;
            for (char c : w.chars) {
                const unsigned code = static_cast<unsigned char>(c);
                if (code == 0 || code > top)
                    return false;
            }
        } else {
            const Alphabet a = alphabet(w.bits);
            const unsigned top = a.base + (1u << a.dataBits) - 1u;
            for (char c : w.chars) {
                const unsigned code = static_cast<unsigned char>(c);
                if (code < a.base || code > top || c == kEndSentinel)
                    return false;
            }
        }
    }
    SimCard &card = cardInSlot();
    for (size_t i = 0; i < 3; ++i) {
        if (!writes[i])
            continue;
        SimTrack t;
        t.chars = writes[i]->chars;
        t.bitsPerChar = writes[i]->bits;
        t.raw = writes[i]->raw;
        t.high210 = high210_[i];
        card.tracks[i] = t;
    }
    return true;
}

// ---- Faults ----

void Simulator::setSilent(bool silent)
{
    silent_ = silent;
    emit changed();
}

void Simulator::setReplyDelay(double seconds) { delay_ = std::max(0.0, seconds); }

void Simulator::setReplyPieces(int pieces, double gap)
{
    pieces_ = std::max(1, pieces);
    gap_ = std::max(0.0, gap);
}

void Simulator::setNextReply(const QByteArray &bytes) { nextReply_ = bytes; }

void Simulator::setStatusByte(char status) { status_ = status; }

void Simulator::vanishPort()
{
    portPresent_ = false;
    for (SimLink *link : std::as_const(links_))
        if (link->open_)
            link->dead_ = true;
    holder_ = nullptr;
    outbox_.clear();
    emit changed();
}

void Simulator::restorePort()
{
    portPresent_ = true;
    emit changed();
}

QByteArray Simulator::receivedBytes() const
{
    QByteArray all;
    for (const Received &r : received_)
        all += r.bytes;
    return all;
}

// ---- Links ----

std::unique_ptr<SerialLink> Simulator::makeLink() { return std::make_unique<SimLink>(this); }

PortError Simulator::linkOpen(SimLink *link, const QString &settings)
{
    deliverDue();
    if (!portPresent_)
        return PortError::NoSuchDevice;
    if (!parseLineSettings(settings).ok)
        return PortError::Other;
    if (holder_ && holder_ != link)
        return PortError::Busy;
    holder_ = link;
    const LineSettings line = parseLineSettings(settings);
    byteTime_ = double(1 + line.dataBits + (line.parity == 'n' ? 0 : 1) + line.stopBits) / line.baud;
    return PortError::None;
}

void Simulator::linkClose(SimLink *link)
{
    deliverDue();
    if (holder_ == link)
        holder_ = nullptr;
}

void Simulator::linkGone(SimLink *link)
{
    if (holder_ == link)
        holder_ = nullptr;
    links_.removeAll(link);
}

void Simulator::linkWrite(const QByteArray &bytes)
{
    deliverDue();
    receive(bytes);
}

void Simulator::deliverDue()
{
    const double now = pacer().now();
    while (!outbox_.isEmpty() && outbox_.front().time <= now + 1e-9) {
        // Bytes sent while no link holds the port are lost on the line.
        if (holder_)
            holder_->inbox_ += outbox_.front().bytes;
        outbox_.removeFirst();
    }
}

void Simulator::reply(const QByteArray &bytes)
{
    if (silent_)
        return;
    QByteArray out = bytes;
    if (nextReply_)
        out = *std::exchange(nextReply_, std::nullopt);
    if (out.isEmpty())
        return;
    double t = pacer().now() + delay_;
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

// ---- The encoder's side of the line ----

void Simulator::receive(const QByteArray &bytes)
{
    const double now = pacer().now();
    received_.append({now, bytes});
    if (received_.size() > kMaxLog)
        received_.remove(0, received_.size() - kMaxLog / 2);
    if (silent_)
        return;
    if ((!input_.isEmpty() || data_.active) && now - lastInput_ > kStaleInput) {
        input_.clear();
        data_ = DataMode{};
    }
    lastInput_ = now;
    input_ += bytes;
    const Operation before = pending_.op;
    while (!input_.isEmpty()) {
        if (data_.active) {
            if (!takeData())
                break;
            continue;
        }
        const int used = speaksVnt() ? parseVnt() : parseHkd();
        if (used == 0)
            break;
        input_.remove(0, used);
    }
    if (input_.size() > kMaxPartial)
        input_.clear();
    if (pending_.op != before)
        emit changed();
}

void Simulator::setPending(Pending p)
{
    p.vnt = speaksVnt();
    pending_ = std::move(p);
}

void Simulator::abortPending() { pending_ = Pending{}; }

int Simulator::parseHkd()
{
    const char b = input_[0];
    if (b == 'l') {
        // AbortWrite: ends a write or erase that waits for its swipe.
        if (pending_.op == Operation::Write || pending_.op == Operation::NonIsoWrite || pending_.op == Operation::Erase)
            abortPending();
        return 1;
    }
    if (b != kEsc)
        return 1;
    if (input_.size() < 2)
        return 0;
    const unsigned char c = static_cast<unsigned char>(input_[1]);
    switch (c) {
    case 0x61: // Reset
        abortPending();
        indicator_ = QStringLiteral("off");
        return 2;
    case 0x65: // CommTest
        reply(esc('y'));
        return 2;
    case 0x78: // SetHighCo
    case 0x79: // SetLowCo
        highCo_ = c == 0x78;
        reply(esc('0'));
        return 2;
    case 0x81:
        indicator_ = QStringLiteral("off");
        return 2;
    case 0x83:
        indicator_ = QStringLiteral("idle");
        return 2;
    case 0x84:
        indicator_ = QStringLiteral("swipe");
        return 2;
    case 0x85:
        indicator_ = QStringLiteral("error");
        return 2;
    case 0x72: { // ReadIso
        Pending p;
        p.op = Operation::Read;
        for (int i = 0; i < 3; ++i)
            p.formats[size_t(i)] = ReadFormat{isoBits(i + 1), false};
        setPending(p);
        return 2;
    }
    case 0x63: { // EraseTracks + mask
        if (input_.size() < 3)
            return 0;
        const int mask = static_cast<unsigned char>(input_[2]);
        if (mask < 1 || mask > 7) {
            reply(esc(kHkdFailed));
        } else {
            Pending p;
            p.op = Operation::Erase;
            p.eraseMask = mask;
            setPending(p);
        }
        return 3;
    }
    case 0x5A:   // SetBpiCodes
    case 0x6A: { // SetBpi
        if (input_.size() < 5)
            return 0;
        const char high = c == 0x5A ? 0x3D : char(0xD2);
        const char low = c == 0x5A ? 0x16 : 0x4B;
        std::array<bool, 3> densities{};
        bool ok = true;
        for (size_t i = 0; i < 3; ++i) {
            const char v = input_[qsizetype(2 + i)];
            ok = ok && (v == high || v == low);
            densities[i] = v == high;
        }
        if (ok)
            high210_ = densities;
        reply(esc(ok ? '0' : kHkdFailed));
        return 5;
    }
    case 0x52: { // ReadNonIso + three track selectors
        if (input_.size() < 5)
            return 0;
        Pending p;
        p.op = Operation::NonIsoRead;
        bool ok = true;
        for (int i = 0; i < 3; ++i) {
            const unsigned sel = static_cast<unsigned char>(input_[2 + i]);
            ok = ok && (sel & 0x0Fu) == unsigned(i + 1) && (sel & 0xF0u) <= 0x10u;
            p.formats[size_t(i)] = ReadFormat{(sel & 0x10u) ? 7 : 5, false};
        }
        if (ok)
            setPending(p);
        else
            reply(esc(kHkdFailed));
        return 5;
    }
    case 0x77: // WriteIso + block
    case 0x57: // WriteNonIso + block
        return takeBlock(c == 0x57);
    default:
        return 1;
    }
}

// The write block: ESC "s", then ESC + selector + characters for tracks 1, 2, 3, then "?" FS.
int Simulator::takeBlock(bool nonIso)
{
    const QByteArray head = esc('s');
    const QByteArray got = input_.mid(2, 2);
    if (!head.startsWith(got)) {
        reply(esc(kHkdFailed));
        return 2;
    }
    if (got.size() < 2)
        return 0;
    const QByteArray tail = QByteArray(1, kEndSentinel) + kFs;
    const qsizetype end = input_.indexOf(tail, 4);
    if (end < 0) {
        if (input_.size() <= kMaxPartial)
            return 0;
        reply(esc(kHkdFailed));
        return int(input_.size());
    }
    const QList<QByteArray> parts = input_.mid(4, end - 4).split(kEsc);
    bool ok = parts.size() == 4 && parts[0].isEmpty();
    Pending p;
    p.op = nonIso ? Operation::NonIsoWrite : Operation::Write;
    for (int i = 1; ok && i <= 3; ++i) {
        const QByteArray &part = parts[i];
        if (part.isEmpty()) {
            ok = false;
            break;
        }
        const unsigned sel = static_cast<unsigned char>(part[0]);
        TrackWrite w;
        if (nonIso) {
            ok = (sel & 0x0Fu) == unsigned(i) && (sel & 0xF0u) <= 0x10u;
            w.bits = (sel & 0x10u) ? 7 : 5;
            w.iso = false;
        } else {
            ok = sel == unsigned(i);
            w.bits = isoBits(i);
        }
        w.chars = part.mid(1);
        if (!w.chars.isEmpty())
            p.writes[size_t(i - 1)] = w;
    }
    if (ok)
        setPending(p);
    else
        reply(esc(kHkdFailed));
    return int(end + 2);
}

int Simulator::parseVnt()
{
    const char b = input_[0];
    const QByteArray ack(1, kVntAck);
    auto param = [&](char lo, char hi) -> int {
        if (input_.size() < 2)
            return 0;
        const char v = input_[1];
        return v >= lo && v <= hi ? v : -1;
    };
    auto startData = [&](int track, int bits, bool raw, bool iso) {
        data_.active = true;
        data_.track = track;
        data_.write = TrackWrite{{}, bits, raw, iso};
        reply(ack);
    };
    switch (b) {
    case 0x7F: // Attention: back to idle, whatever was going on
        abortPending();
        vntWrites_ = TrackWrites{};
        vntEraseMask_ = 0;
        reply(QByteArray(1, kVntIdle));
        return 1;
    case '{':
    case '|':
        highCo_ = b == '{';
        reply(ack);
        return 1;
    case 'M':
    case 'm':
        indicator_ = b == 'M' ? QStringLiteral("error") : QStringLiteral("off");
        reply(ack);
        return 1;
    case 'L': // PrepareRead
    case '(': // PrepareWrite
        indicator_ = QStringLiteral("swipe");
        reply(ack);
        return 1;
    case 'P': {
        reply(ack);
        Pending p;
        p.op = Operation::Read;
        setPending(p);
        return 1;
    }
    case 'Q':
    case 'R':
    case 'S': {
        const int track = b - 'Q' + 1;
        reply(vntTrackReply(track, ReadFormat{isoBits(track), false}));
        return 1;
    }
    case 'q':
    case 'r':
    case 's': {
        const int code = param('1', '3');
        if (code <= 0)
            return code < 0 ? 1 : 0;
        reply(vntTrackReply(b - 'q' + 1, ReadFormat{code == '1' ? 7 : 5, false}));
        return 2;
    }
    case 'U':
    case 'V':
    case 'W': {
        const int bits = param('5', '7');
        if (bits <= 0)
            return bits < 0 ? 1 : 0;
        reply(vntTrackReply(b - 'U' + 1, ReadFormat{bits - '0', true}));
        return 2;
    }
    case 'A':
    case 'B':
    case 'C':
        startData(b - 'A' + 1, isoBits(b - 'A' + 1), false, true);
        return 1;
    case 'a':
    case 'b':
    case 'c': {
        const int code = param('1', '3');
        if (code <= 0)
            return code < 0 ? 1 : 0;
        startData(b - 'a' + 1, code == '1' ? 7 : 5, false, false);
        return 2;
    }
    case 'E':
    case 'F':
    case 'G': {
        const int bits = param('5', '7');
        if (bits <= 0)
            return bits < 0 ? 1 : 0;
        startData(b - 'E' + 1, bits - '0', true, false);
        return 2;
    }
    case '@': {
        reply(ack);
        Pending p;
        p.op = Operation::Write;
        p.writes = std::exchange(vntWrites_, TrackWrites{});
        for (const auto &w : p.writes)
            if (w && !w->iso)
                p.op = Operation::NonIsoWrite;
        setPending(p);
        return 1;
    }
    case 'Z':
    case '[':
    case '\\':
        vntEraseMask_ |= 1 << (b - 'Z');
        reply(ack);
        return 1;
    case ']': {
        reply(ack);
        Pending p;
        p.op = Operation::Erase;
        p.eraseMask = std::exchange(vntEraseMask_, 0);
        setPending(p);
        return 1;
    }
    case 'l': // AbortWrite
        abortPending();
        vntWrites_ = TrackWrites{};
        vntEraseMask_ = 0;
        reply(ack);
        return 1;
    case ';': { // SetBpi: ";" + track digit + "1" (210) or "0" (75)
        if (input_.size() < 3)
            return 0;
        const char track = input_[1];
        const char density = input_[2];
        if (track < '1' || track > '3' || (density != '0' && density != '1'))
            return 1;
        high210_[size_t(track - '1')] = density == '1';
        reply(ack);
        return 3;
    }
    default:
        return 1;
    }
}

// A data message after "A".."C", "a".."c" or "E".."G": characters up to EOT.
bool Simulator::takeData()
{
    const qsizetype end = input_.indexOf(kEot);
    if (!data_.write.raw) {
        // 7F is no standard character: an Attention ends the message.
        const qsizetype attention = input_.indexOf(char(0x7F));
        if (attention >= 0 && (end < 0 || attention < end)) {
            input_.remove(0, attention);
            data_ = DataMode{};
            return true;
        }
    }
    if (end < 0) {
        if (input_.size() <= kMaxPartial)
            return false;
        input_.clear();
        data_ = DataMode{};
        return true;
    }
    QByteArray chars = input_.left(end);
    input_.remove(0, end + 1);
    qsizetype leadIn = 0; // NUL lead-in before raw data
    while (leadIn < chars.size() && chars[leadIn] == 0)
        ++leadIn;
    TrackWrite w = data_.write;
    w.chars = chars.mid(leadIn);
    auto &slot = vntWrites_[size_t(data_.track - 1)];
    if (w.chars.isEmpty())
        slot.reset();
    else
        slot = w;
    data_ = DataMode{};
    reply(QByteArray(1, kVntAck));
    return true;
}

QByteArray Simulator::vntTrackReply(int trackNo, ReadFormat format) const
{
    if (!readBuffer_ || readBufferBad_)
        return QByteArray(1, '*');
    return readTrack(readBuffer_->tracks[size_t(trackNo - 1)], trackNo, format.bits, format.raw);
}

QByteArray Simulator::hkdReadReply(const std::array<ReadFormat, 3> &formats, bool bad, char status)
{
    QByteArray out = esc('s');
    const SimCard &card = cardInSlot();
    for (int i = 0; i < 3; ++i) {
        const ReadFormat f = formats[size_t(i)];
        out += kEsc;
        out += char(i + 1);
        out += alphabet(f.bits).start;
        const QByteArray text = bad ? QByteArray(1, '*') : readTrack(card.tracks[size_t(i)], i + 1, f.bits, false);
        out += text;
        if (text != "+")
            out += kEndSentinel;
    }
    out += kEndSentinel;
    out += kFs;
    out += kEsc;
    out += status;
    return out;
}

QByteArray Simulator::readTrack(const SimTrack &track, int trackNo, int bits, bool raw)
{
    const QByteArray unreadable(1, '*');
    const QByteArray blank(1, '+');
    if (track.unreadable)
        return unreadable;
    if (track.chars.isEmpty())
        return blank;
    std::vector<unsigned> codes = frame(recordedBits(track, trackNo), bits);
    if (raw) {
        // Zero characters at the end are the blank stripe after the data.
        while (!codes.empty() && codes.back() == 0)
            codes.pop_back();
        if (codes.empty())
            return blank;
        QByteArray out;
        for (unsigned code : codes)
            out += char(code);
        return out;
    }
    const Alphabet a = alphabet(bits);
    const unsigned mask = (1u << a.dataBits) - 1u;
    if (codes.empty())
        return blank;
    if (codes[0] != withParity(unsigned(a.start - a.base), a.dataBits))
        return unreadable;
    QByteArray out;
    for (size_t i = 1; i < codes.size(); ++i) {
        if (std::popcount(codes[i]) % 2 == 0)
            return unreadable;
        const char ch = char(a.base + (codes[i] & mask));
        if (ch == kEndSentinel)
            return out;
        out += ch;
    }
    return unreadable;
}

QString Simulator::trackText(const SimTrack &track)
{
    if (track.unreadable)
        return QStringLiteral("(unreadable)");
    if (track.chars.isEmpty())
        return QStringLiteral("(blank)");
    return track.raw ? hexPairs(track.chars) : QString::fromLatin1(track.chars);
}

QString Simulator::trackFormat(const SimTrack &track, int trackNo)
{
    if (track.isBlank())
        return {};
    return QStringLiteral("%1%2-bit, %3 BPI")
        .arg(track.raw ? QStringLiteral("raw ") : QString())
        .arg(bitsOf(track, trackNo))
        .arg(track.high210 ? 210 : 75);
}

QString Simulator::describeTrack(const SimTrack &track, int trackNo)
{
    const QString format = track.unreadable ? QString() : trackFormat(track, trackNo);
    return format.isEmpty() ? trackText(track) : trackText(track) + QStringLiteral("  [") + format + QLatin1Char(']');
}

void installSimulatorLinkFactory()
{
    setLinkFactory([] { return Simulator::instance().makeLink(); });
}
