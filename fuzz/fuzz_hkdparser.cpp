// The simulator's HKD382 parser under any bytes, times, swipes and faults: every answer is
// ESC-led, and a good read answers a block the program's own parser takes apart into exactly
// the tracks the card holds.
#include "SimHarness.h"
#include "card/TrackBlock.h"
#include "sim/HkdParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzCore core;
    HkdParser parser(core);
    runSimEvents(data, size, parser, core, [&](int kind, int arg, const SimPending &before, QList<SimCard> &deck) {
        for (const QByteArray &r : core.replies)
            FUZZ_CHECK(r.size() >= 2 && r[0] == 0x1B);
        if (kind != 5)
            return;
        FUZZ_CHECK(core.pending.op == SimOperation::None);
        const bool good = !(arg & 3) && core.statusByte == '0';
        if (before.op == SimOperation::None) {
            FUZZ_CHECK(core.replies.isEmpty());
            return;
        }
        FUZZ_CHECK(core.replies.size() == 1);
        const QByteArray &r = core.replies[0];
        if (before.op == SimOperation::Read && good) {
            const SimCard &card = deck[(arg >> 2) % deck.size()];
            const Iso::ParsedBlock parsed = Iso::ParseReadBlock(r);
            FUZZ_CHECK(parsed.ok);
            for (int i = 0; i < 3; ++i)
                FUZZ_CHECK(parsed.tracks[i]
                           == StripeCodec::read(card.tracks[size_t(i)], i + 1, StripeCodec::isoBits(i + 1), false));
        }
        if (before.op == SimOperation::Read || before.op == SimOperation::NonIsoRead)
            FUZZ_CHECK(r.startsWith("\x1bs") && r.endsWith(QByteArray("\x1c\x1b") + (good ? '0' : r.back())));
        else
            FUZZ_CHECK(r.size() == 2);
    });
    return 0;
}
