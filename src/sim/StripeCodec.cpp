#include "sim/StripeCodec.h"

#include <bit>
#include <vector>

namespace StripeCodec {
namespace {

// The two standard alphabets: 7-bit (6 data bits from 0x20, "%" ... "?") and 5-bit (4 data bits
// from 0x30, ";" ... "?"); every character carries an odd-parity bit above its data bits.
struct Alphabet {
    unsigned char base;
    int dataBits;
    char start;
};
Alphabet alphabet(int bits) { return bits >= 7 ? Alphabet{0x20, 6, '%'} : Alphabet{0x30, 4, ';'}; }

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

} // namespace

int isoBits(int trackNo) { return trackNo == 1 ? 7 : 5; }

int bitsOf(const SimTrack &track, int trackNo) { return track.bitsPerChar ? track.bitsPerChar : isoBits(trackNo); }

char startSentinel(int bits) { return alphabet(bits).start; }

int capacity(int bits, bool high210)
{
    if (bits >= 7)
        return high210 ? 76 : 27;
    if (bits == 6)
        return high210 ? 88 : 32;
    return high210 ? 106 : 39;
}

bool fits(const QByteArray &chars, int bits, bool raw, bool high210)
{
    if (chars.size() > capacity(bits, high210))
        return false;
    if (raw) {
        const unsigned top = (1u << bits) - 1u;
        for (char c : chars) {
            const unsigned code = static_cast<unsigned char>(c);
            if (code == 0 || code > top)
                return false;
        }
        return true;
    }
    const Alphabet a = alphabet(bits);
    const unsigned top = a.base + (1u << a.dataBits) - 1u;
    for (char c : chars) {
        const unsigned code = static_cast<unsigned char>(c);
        if (code < a.base || code > top || c == kEndSentinel)
            return false;
    }
    return true;
}

QByteArray read(const SimTrack &track, int trackNo, int bits, bool raw)
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
            return out.isEmpty() ? blank : out; // sentinels with nothing between: no data
        out += ch;
    }
    return unreadable;
}

} // namespace StripeCodec
