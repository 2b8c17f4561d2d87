#include "sim/VntParser.h"

#include <utility>

namespace {

constexpr char kEot = 0x04;
constexpr char kAttention = 0x7F;
constexpr char kAck = '^';
constexpr char kIdle = ':';
constexpr char kRefused = '!'; // any answer but "^" is a failure to the program
constexpr int kMaxData = 4096;

QByteArray one(char c) { return QByteArray(1, c); }

} // namespace

void VntParser::reset()
{
    SimParser::reset();
    writes_ = SimTrackWrites{};
    eraseMask_ = 0;
    readBuffer_.reset();
    readBufferBad_ = false;
    requireL_ = false;
    readArmed_ = false;
}

void VntParser::dropPartial() { data_ = DataMode{}; }

// How long the command at the front of input_ is; 0 while incomplete. Used only to pass over
// a refused or ignored command.
int VntParser::commandLength() const
{
    int need = 1;
    switch (input_[0]) {
    case 'q': case 'r': case 's': case 'U': case 'V': case 'W':
    case 'a': case 'b': case 'c': case 'E': case 'F': case 'G':
        need = 2;
        break;
    case ';':
        need = 3;
        break;
    default:
        break;
    }
    return input_.size() >= need ? need : 0;
}

int VntParser::step()
{
    if (data_.active)
        return takeData() ? -1 : 0;
    const char b = input_[0];
    if (core_.faultFor(one(b)) != CommandFault::None) {
        const int length = commandLength();
        if (length == 0)
            return 0;
        faulted(one(b), one(kRefused));
        return length;
    }
    const QByteArray ack = one(kAck);
    auto param = [&](char lo, char hi) -> int {
        if (input_.size() < 2)
            return 0;
        const char v = input_[1];
        return v >= lo && v <= hi ? v : -1;
    };
    auto startData = [&](int track, int bits, bool raw, bool iso) {
        data_.active = true;
        data_.track = track;
        data_.write = SimTrackWrite{{}, bits, raw, iso};
        core_.reply(ack);
    };
    switch (b) {
    case kAttention: // back to idle, whatever was going on
        core_.disarm();
        writes_ = SimTrackWrites{};
        eraseMask_ = 0;
        readArmed_ = false;
        core_.reply(one(kIdle));
        return 1;
    case '{':
    case '|':
        core_.setHighCo(b == '{');
        core_.reply(ack);
        return 1;
    case 'M':
    case 'm':
        core_.setIndicator(b == 'M' ? QStringLiteral("error") : QStringLiteral("off"));
        core_.reply(ack);
        return 1;
    case 'L': // PrepareRead
        readArmed_ = true;
        [[fallthrough]];
    case '(': // PrepareWrite
        core_.setIndicator(QStringLiteral("swipe"));
        core_.reply(ack);
        return 1;
    case 'P': {
        if (requireL_ && !std::exchange(readArmed_, false)) {
            core_.reply(one(kRefused));
            return 1;
        }
        readArmed_ = false;
        core_.reply(ack);
        SimPending p;
        p.op = SimOperation::Read;
        core_.arm(p);
        return 1;
    }
    case 'Q':
    case 'R':
    case 'S': {
        const int track = b - 'Q' + 1;
        core_.reply(trackReply(track, SimReadFormat{StripeCodec::isoBits(track), false}));
        return 1;
    }
    case 'q':
    case 'r':
    case 's': {
        const int code = param('1', '3');
        if (code <= 0)
            return code < 0 ? 1 : 0;
        core_.reply(trackReply(b - 'q' + 1, SimReadFormat{code == '1' ? 7 : 5, false}));
        return 2;
    }
    case 'U':
    case 'V':
    case 'W': {
        const int bits = param('5', '7');
        if (bits <= 0)
            return bits < 0 ? 1 : 0;
        core_.reply(trackReply(b - 'U' + 1, SimReadFormat{bits - '0', true}));
        return 2;
    }
    case 'A':
    case 'B':
    case 'C':
        startData(b - 'A' + 1, StripeCodec::isoBits(b - 'A' + 1), false, true);
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
        core_.reply(ack);
        SimPending p;
        p.op = SimOperation::Write;
        p.writes = std::exchange(writes_, SimTrackWrites{});
        for (const auto &w : p.writes)
            if (w && !w->iso)
                p.op = SimOperation::NonIsoWrite;
        core_.arm(p);
        return 1;
    }
    case 'Z':
    case '[':
    case '\\':
        eraseMask_ |= 1 << (b - 'Z');
        core_.reply(ack);
        return 1;
    case ']': {
        core_.reply(ack);
        SimPending p;
        p.op = SimOperation::Erase;
        p.eraseMask = std::exchange(eraseMask_, 0);
        core_.arm(p);
        return 1;
    }
    case 'l': // AbortWrite
        core_.disarm();
        writes_ = SimTrackWrites{};
        eraseMask_ = 0;
        core_.reply(ack);
        return 1;
    case ';': { // SetBpi: ";" + track digit + "1" (210) or "0" (75)
        if (input_.size() < 3)
            return 0;
        const char track = input_[1];
        const char density = input_[2];
        if (track < '1' || track > '3' || (density != '0' && density != '1'))
            return 1;
        core_.setDensity(track - '1', density == '1');
        core_.reply(ack);
        return 3;
    }
    default:
        return 1;
    }
}

// A data message after "A".."C", "a".."c" or "E".."G": characters up to EOT. Returns false
// while the message is incomplete.
bool VntParser::takeData()
{
    const qsizetype end = input_.indexOf(kEot);
    if (!data_.write.raw) {
        // 7F is no standard character: an Attention ends the message.
        const qsizetype attention = input_.indexOf(kAttention);
        if (attention >= 0 && (end < 0 || attention < end)) {
            input_.remove(0, attention);
            data_ = DataMode{};
            return true;
        }
    }
    if (end < 0) {
        if (input_.size() <= kMaxData)
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
    SimTrackWrite w = data_.write;
    w.chars = chars.mid(leadIn);
    auto &slot = writes_[size_t(data_.track - 1)];
    if (w.chars.isEmpty())
        slot.reset();
    else
        slot = w;
    data_ = DataMode{};
    core_.reply(one(kAck));
    return true;
}

void VntParser::swiped(const SimPending &p, SimCard *card, bool bad)
{
    bad = bad || !card;
    switch (p.op) {
    case SimOperation::None:
        break;
    case SimOperation::Read:
    case SimOperation::NonIsoRead:
        // The tracks are fetched one by one afterwards.
        readBuffer_.reset();
        if (card)
            readBuffer_ = *card;
        readBufferBad_ = bad;
        core_.reply(one(kAck));
        break;
    case SimOperation::Write:
    case SimOperation::NonIsoWrite:
        core_.reply(one(!bad && core_.record(*card, p.writes) ? kAck : kRefused));
        break;
    case SimOperation::Erase:
        if (!bad)
            core_.erase(*card, p.eraseMask);
        core_.reply(one(bad ? kRefused : kAck));
        break;
    }
}

QByteArray VntParser::trackReply(int trackNo, SimReadFormat format) const
{
    if (!readBuffer_ || readBufferBad_)
        return one('*');
    return StripeCodec::read(readBuffer_->tracks[size_t(trackNo - 1)], trackNo, format.bits, format.raw);
}
