#include "sim/HkdParser.h"

namespace {

constexpr char kEsc = 0x1B;
constexpr char kFs = 0x1C;
constexpr char kFailed = '1';
constexpr int kMaxBlock = 4096;

QByteArray esc(char c)
{
    QByteArray b;
    b += kEsc;
    b += c;
    return b;
}

QByteArray blockTail() { return QByteArray(1, StripeCodec::kEndSentinel) + kFs; }

} // namespace

// How long the command at the front of input_ is, parameters and block included; 0 while
// incomplete. Used only to pass over a refused or ignored command.
int HkdParser::commandLength() const
{
    if (input_[0] != kEsc)
        return 1;
    if (input_.size() < 2)
        return 0;
    int need = 2;
    switch (static_cast<unsigned char>(input_[1])) {
    case 0x63:
        need = 3;
        break;
    case 0x5A:
    case 0x6A:
    case 0x52:
        need = 5;
        break;
    case 0x77:
    case 0x57: {
        const qsizetype end = input_.indexOf(blockTail(), 2);
        return end < 0 ? 0 : int(end + 2);
    }
    default:
        break;
    }
    return input_.size() >= need ? need : 0;
}

int HkdParser::step()
{
    const char b = input_[0];
    if (b != kEsc && b != 'l')
        return 1;
    if (b == kEsc && input_.size() < 2)
        return 0;
    const QByteArray key = input_.left(b == kEsc ? 2 : 1);
    if (core_.faultFor(key) != CommandFault::None) {
        const int length = commandLength();
        if (length == 0)
            return 0;
        faulted(key, esc(kFailed));
        return length;
    }
    if (b == 'l') {
        // AbortWrite: ends a write or erase that waits for its swipe.
        const SimOperation op = core_.armed();
        if (op == SimOperation::Write || op == SimOperation::NonIsoWrite || op == SimOperation::Erase)
            core_.disarm();
        return 1;
    }
    const unsigned char c = static_cast<unsigned char>(input_[1]);
    switch (c) {
    case 0x61: // Reset
        core_.disarm();
        core_.setIndicator(QStringLiteral("off"));
        return 2;
    case 0x65: // CommTest
        core_.reply(esc('y'));
        return 2;
    case 0x78: // SetHighCo
    case 0x79: // SetLowCo
        core_.setHighCo(c == 0x78);
        core_.reply(esc('0'));
        return 2;
    case 0x81:
        core_.setIndicator(QStringLiteral("off"));
        return 2;
    case 0x83:
        core_.setIndicator(QStringLiteral("idle"));
        return 2;
    case 0x84:
        core_.setIndicator(QStringLiteral("swipe"));
        return 2;
    case 0x85:
        core_.setIndicator(QStringLiteral("error"));
        return 2;
    case 0x72: { // ReadIso
        SimPending p;
        p.op = SimOperation::Read;
        for (int i = 0; i < 3; ++i)
            p.formats[size_t(i)] = SimReadFormat{StripeCodec::isoBits(i + 1), false};
        core_.arm(p);
        return 2;
    }
    case 0x63: { // EraseTracks + mask
        if (input_.size() < 3)
            return 0;
        const int mask = static_cast<unsigned char>(input_[2]);
        if (mask < 1 || mask > 7) {
            core_.reply(esc(kFailed));
        } else {
            SimPending p;
            p.op = SimOperation::Erase;
            p.eraseMask = mask;
            core_.arm(p);
        }
        return 3;
    }
    case 0x5A:   // SetBpiCodes
    case 0x6A: { // SetBpi
        if (input_.size() < 5)
            return 0;
        const char high = c == 0x5A ? 0x3D : char(0xD2);
        const char low = c == 0x5A ? 0x16 : 0x4B;
        bool ok = true;
        for (int i = 0; i < 3; ++i) {
            const char v = input_[2 + i];
            ok = ok && (v == high || v == low);
        }
        if (ok) {
            for (int i = 0; i < 3; ++i)
                core_.setDensity(i, input_[2 + i] == high);
        }
        core_.reply(esc(ok ? '0' : kFailed));
        return 5;
    }
    case 0x52: { // ReadNonIso + three track selectors
        if (input_.size() < 5)
            return 0;
        SimPending p;
        p.op = SimOperation::NonIsoRead;
        bool ok = true;
        for (int i = 0; i < 3; ++i) {
            const unsigned sel = static_cast<unsigned char>(input_[2 + i]);
            ok = ok && (sel & 0x0Fu) == unsigned(i + 1) && (sel & 0xF0u) <= 0x10u;
            p.formats[size_t(i)] = SimReadFormat{(sel & 0x10u) ? 7 : 5, false};
        }
        if (ok)
            core_.arm(p);
        else
            core_.reply(esc(kFailed));
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
int HkdParser::takeBlock(bool nonIso)
{
    const QByteArray head = esc('s');
    const QByteArray got = input_.mid(2, 2);
    if (!head.startsWith(got)) {
        core_.reply(esc(kFailed));
        return 2;
    }
    if (got.size() < 2)
        return 0;
    const qsizetype end = input_.indexOf(blockTail(), 4);
    if (end < 0) {
        if (input_.size() <= kMaxBlock)
            return 0;
        core_.reply(esc(kFailed));
        return int(input_.size());
    }
    const QList<QByteArray> parts = input_.mid(4, end - 4).split(kEsc);
    bool ok = parts.size() == 4 && parts[0].isEmpty();
    SimPending p;
    p.op = nonIso ? SimOperation::NonIsoWrite : SimOperation::Write;
    for (int i = 1; ok && i <= 3; ++i) {
        const QByteArray &part = parts[i];
        if (part.isEmpty()) {
            ok = false;
            break;
        }
        const unsigned sel = static_cast<unsigned char>(part[0]);
        SimTrackWrite w;
        if (nonIso) {
            ok = (sel & 0x0Fu) == unsigned(i) && (sel & 0xF0u) <= 0x10u;
            w.bits = (sel & 0x10u) ? 7 : 5;
            w.iso = false;
        } else {
            ok = sel == unsigned(i);
            w.bits = StripeCodec::isoBits(i);
        }
        w.chars = part.mid(1);
        if (!w.chars.isEmpty())
            p.writes[size_t(i - 1)] = w;
    }
    if (ok)
        core_.arm(p);
    else
        core_.reply(esc(kFailed));
    return int(end + 2);
}

void HkdParser::swiped(const SimPending &p, SimCard *card, bool bad)
{
    bad = bad || !card;
    switch (p.op) {
    case SimOperation::None:
        break;
    case SimOperation::Read:
    case SimOperation::NonIsoRead:
        core_.reply(readReply(card, p.formats, bad, bad ? kFailed : core_.status()));
        break;
    case SimOperation::Write:
    case SimOperation::NonIsoWrite:
        if (bad)
            core_.reply(esc(kFailed));
        else if (core_.status() != '0')
            core_.reply(esc(core_.status())); // reported as failed: nothing was recorded
        else
            core_.reply(esc(core_.record(*card, p.writes) ? '0' : kFailed));
        break;
    case SimOperation::Erase:
        if (!bad && core_.status() == '0')
            core_.erase(*card, p.eraseMask);
        core_.reply(esc(bad ? kFailed : core_.status()));
        break;
    }
}

QByteArray HkdParser::readReply(const SimCard *card, const std::array<SimReadFormat, 3> &formats, bool bad,
                                char status) const
{
    QByteArray out = esc('s');
    for (int i = 0; i < 3; ++i) {
        const SimReadFormat f = formats[size_t(i)];
        out += kEsc;
        out += char(i + 1);
        out += StripeCodec::startSentinel(f.bits);
        const QByteArray text = bad || !card ? QByteArray(1, '*')
                                             : StripeCodec::read(card->tracks[size_t(i)], i + 1, f.bits, false);
        out += text;
        if (text != "+")
            out += StripeCodec::kEndSentinel;
    }
    out += blockTail();
    out += kEsc;
    out += status;
    return out;
}
