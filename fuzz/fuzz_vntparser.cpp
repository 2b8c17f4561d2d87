// The simulator's VNT-290B parser under any bytes, times, swipes and faults: every answer is
// one of its single-character answers or a track, and a track written and swiped reads back.
#include "SimHarness.h"
#include "sim/VntParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzCore core;
    VntParser parser(core);
    runSimEvents(data, size, parser, core, [&](int kind, int arg, const SimPending &before, QList<SimCard> &) {
        if (kind == 5) {
            FUZZ_CHECK(core.pending.op == SimOperation::None);
            FUZZ_CHECK(core.replies.size() == (before.op == SimOperation::None ? 0 : 1));
            for (const QByteArray &r : core.replies)
                FUZZ_CHECK(r == "^" || r == "!");
            if (before.op == SimOperation::Erase)
                FUZZ_CHECK(core.replies[0] == ((arg & 3) ? "!" : "^"));
            return;
        }
        for (const QByteArray &r : core.replies)
            FUZZ_CHECK(r.size() <= 4096);
    });
    return 0;
}
