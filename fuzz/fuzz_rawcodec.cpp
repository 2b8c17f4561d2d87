// The raw hex codec on any text: groups counted agree with values taken, and any values but
// 04 survive the trip to hex pairs and back.
#include "FuzzCheck.h"
#include "card/RawCodec.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace NonIso;
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));

    const HexConversion conv = HexPairsToData(text);
    const int groups = CountHexPairs(text);
    FUZZ_CHECK(groups >= 0 && groups <= text.size());
    FUZZ_CHECK(CountHexPairs(QString::fromLatin1(text)) == groups);
    if (conv.ok()) {
        // A blank in the first position counts as a group of its own.
        const bool leadingBlank = !text.isEmpty() && QByteArray(" \t\r\n").contains(text[0]);
        FUZZ_CHECK(conv.values.size() + (leadingBlank ? 1 : 0) == groups);
        FUZZ_CHECK(!conv.values.contains('\x04'));
        // Its own hex pairs, and those in lower case, give the same values.
        FUZZ_CHECK(HexPairsToData(ToHexPairs(conv.values)).values == conv.values);
        FUZZ_CHECK(HexPairsToData(ToHexPairs(conv.values).toLower()).values == conv.values);
    } else {
        FUZZ_CHECK(conv.values.isEmpty());
    }

    // The bytes as values: three characters each, and back unless one is 04.
    const QByteArray pairs = ToHexPairs(text);
    FUZZ_CHECK(pairs.size() == 3 * text.size());
    FUZZ_CHECK(CountHexPairs(pairs) == text.size());
    const HexConversion back = HexPairsToData(pairs);
    if (text.contains('\x04')) {
        FUZZ_CHECK(back.status == HexStatus::ReservedValue);
    } else {
        FUZZ_CHECK(back.ok() && back.values == text);
    }
    return 0;
}
