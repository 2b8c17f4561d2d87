#pragma once
// Drives one simulator command parser with a stream of events taken from the fuzz input, through
// an encoder core that keeps a small deck and checks what the parser asks of it.
//
// Input: records of [kind][arg][len][len bytes]:
//   kind % 8 in 0..4  bytes arriving arg/50 s after the previous ones
//   5                 a swipe: arg bit 0 bad, bit 1 no card, arg >> 2 the deck card
//   6                 a command fault (arg % 3: none, refuse, ignore) for the len bytes
//   7                 reset (arg bit 0: VNT-290B "P" needs "L")
#include "FuzzCheck.h"
#include "sim/SimCore.h"
#include "sim/SimDeck.h"
#include "sim/StripeCodec.h"

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>
#include <utility>

class FuzzCore final : public SimCore {
public:
    QList<QByteArray> replies;
    SimPending pending;
    std::array<bool, 3> high210 = {true, false, true};
    char statusByte = '0';
    QByteArray faultKey;
    CommandFault fault = CommandFault::None;

    void reply(const QByteArray &bytes) override
    {
        FUZZ_CHECK(!bytes.isEmpty());
        replies << bytes;
    }
    void arm(SimPending p) override { pending = std::move(p); }
    void disarm() override { pending = SimPending{}; }
    SimOperation armed() const override { return pending.op; }
    void setIndicator(const QString &) override {}
    void setHighCo(bool) override {}
    void setDensity(int trackIndex, bool high) override
    {
        FUZZ_CHECK(trackIndex >= 0 && trackIndex < 3);
        high210[size_t(trackIndex)] = high;
    }
    char status() const override { return statusByte; }
    bool record(SimCard &card, const SimTrackWrites &writes) override
    {
        for (size_t i = 0; i < 3; ++i)
            if (writes[i] && !StripeCodec::fits(writes[i]->chars, writes[i]->bits, writes[i]->raw, high210[i]))
                return false;
        for (size_t i = 0; i < 3; ++i) {
            if (!writes[i])
                continue;
            const SimTrackWrite &w = *writes[i];
            FUZZ_CHECK(!w.chars.isEmpty());
            card.tracks[i] = SimTrack{w.chars, w.bits, high210[i], false, w.raw};
            // What was recorded reads back in the format it was written in (raw codes only when
            // the first code starts with a 1 bit, where a reader syncs).
            if (!w.raw || (uchar(w.chars[0]) & 1u))
                FUZZ_CHECK(StripeCodec::read(card.tracks[i], int(i) + 1, w.bits, w.raw) == w.chars);
        }
        return true;
    }
    void erase(SimCard &card, int mask) override
    {
        FUZZ_CHECK(mask >= 0 && mask <= 7);
        for (int i = 0; i < 3; ++i)
            if (mask & (1 << i))
                card.tracks[size_t(i)] = SimTrack{};
    }
    CommandFault faultFor(const QByteArray &command) const override
    {
        return !faultKey.isEmpty() && command.startsWith(faultKey) ? fault : CommandFault::None;
    }
};

// Runs the events; `afterEach` sees the core after every event (replies of that event only).
template <typename Parser, typename Check>
void runSimEvents(const uint8_t *data, size_t size, Parser &parser, FuzzCore &core, Check afterEach)
{
    static const QList<SimCard> deckCards = SimDeck::defaultDeck();
    QList<SimCard> deck = deckCards;
    double now = 0.0;
    size_t pos = 0;
    while (pos + 3 <= size) {
        const int kind = data[pos] % 8;
        const int arg = data[pos + 1];
        const size_t len = std::min<size_t>(data[pos + 2], size - pos - 3);
        const QByteArray bytes(reinterpret_cast<const char *>(data + pos + 3), qsizetype(len));
        pos += 3 + len;
        core.replies.clear();
        const SimPending before = core.pending;
        switch (kind) {
        case 5: {
            const SimPending p = std::exchange(core.pending, SimPending{});
            SimCard *card = (arg & 2) ? nullptr : &deck[(arg >> 2) % deck.size()];
            parser.swiped(p, card, arg & 1);
            break;
        }
        case 6:
            core.fault = CommandFault(arg % 3);
            core.faultKey = bytes.left(2);
            break;
        case 7:
            parser.reset();
            core.pending = SimPending{};
            core.statusByte = (arg & 2) ? '2' : '0';
            if constexpr (requires { parser.setPrepareReadRequired(true); })
                parser.setPrepareReadRequired(arg & 1);
            break;
        default:
            now += arg / 50.0;
            parser.receive(bytes, now);
            break;
        }
        afterEach(kind, arg, before, deck);
    }
}
