// NumericValue on any text: leading blanks change nothing, the QString form agrees, and every
// 32-bit value written in decimal, with decimals, or as "&H" hex reads back as itself.
#include "FuzzCheck.h"
#include "card/Validators.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using MainModule::NumericValue;
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const qint32 value = NumericValue(text);
    FUZZ_CHECK(NumericValue(" \t " + text) == value);
    FUZZ_CHECK(NumericValue(QString::fromLatin1(text)) == value);

    qint32 n = 0;
    std::memcpy(&n, data, std::min(size, sizeof n));
    const QByteArray decimal = QByteArray::number(n);
    FUZZ_CHECK(NumericValue(decimal) == n);
    FUZZ_CHECK(NumericValue(decimal + ".4999") == n);
    FUZZ_CHECK(NumericValue(decimal + " " + text) == n);
    FUZZ_CHECK(NumericValue("&H" + QByteArray::number(quint32(n), 16) + "G") == n);
    FUZZ_CHECK(NumericValue("&h" + QByteArray::number(quint32(n), 16).toUpper()) == n);
    // Halves go to the even neighbour, away from zero when n is odd.
    if (n > std::numeric_limits<qint32>::min() + 1 && n < std::numeric_limits<qint32>::max() - 1) {
        const qint32 even = n % 2 == 0 ? n : (n > 0 ? n + 1 : n - 1);
        FUZZ_CHECK(NumericValue(decimal + ".5") == even);
    }
    return 0;
}
