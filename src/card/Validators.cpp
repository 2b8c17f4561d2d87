#include "card/Validators.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace MainModule {

namespace {

bool allBetween(const QByteArray &text, int low, int high, int except = -1)
{
    for (char ch : text) {
        const int code = static_cast<unsigned char>(ch);
        if (code < low || code > high || code == except)
            return false;
    }
    return true;
}

bool isValidRaw(const QByteArray &values, int high)
{
    if (values.isEmpty())
        return false;
    if ((static_cast<unsigned char>(values.at(0)) & 1) == 0)
        return false;
    return allBetween(values, 1, high);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsValid7BitText(const QByteArray &text)
{
    return !text.isEmpty() && allBetween(text, 0x20, 0x5F, 0x3F);
}

bool IsValid5BitText(const QByteArray &text)
{
    return !text.isEmpty() && allBetween(text, 0x30, 0x3E);
}

bool IsValidRaw5Bit(const QByteArray &values) { return isValidRaw(values, 0x1F); }
bool IsValidRaw6Bit(const QByteArray &values) { return isValidRaw(values, 0x3F); }
bool IsValidRaw7Bit(const QByteArray &values) { return isValidRaw(values, 0x7F); }

qint32 NumericValue(const QByteArray &text)
{
    const char *p = text.constData();
    const char *const end = p + text.size();
    while (p < end && isBlank(*p))
        ++p;

    // "&H": hexadecimal digits, a 32-bit pattern (so &HFFFFFFFF is -1, as in the source data).
    if (end - p >= 2 && p[0] == '&' && (p[1] == 'H' || p[1] == 'h')) {
        p += 2;
        quint64 value = 0;
        bool any = false;
        for (; p < end && HexDigitValue(*p) >= 0; ++p) {
            value = value * 16 + quint64(HexDigitValue(*p));
            any = true;
            if (value > 0xFFFFFFFFull)
                return 0;
        }
        return any ? qint32(quint32(value)) : 0;
    }

    // Sign, digits, decimals, exponent: collect the number's extent, then convert in one go.
    const char *start = p;
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    const char *mantissa = p;
    while (p < end && isDigit(*p))
        ++p;
    bool digits = p > mantissa;
    if (p < end && *p == '.') {
        const char *afterPoint = ++p;
        while (p < end && isDigit(*p))
            ++p;
        digits = digits || p > afterPoint;
    }
    if (!digits)
        return 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char *q = p + 1;
        if (q < end && (*q == '+' || *q == '-'))
            ++q;
        const char *expDigits = q;
        while (q < end && isDigit(*q))
            ++q;
        if (q > expDigits)
            p = q;
    }

    // from_chars does not take a leading '+'.
    if (*start == '+')
        ++start;
    double value = 0;
    const auto result = std::from_chars(start, p, value);
    if (result.ec != std::errc())
        return 0; // out of range of a double
    const double rounded = std::nearbyint(value); // default rounding: halves to even
    if (!(rounded >= double(std::numeric_limits<qint32>::min())
          && rounded <= double(std::numeric_limits<qint32>::max())))
        return 0;
    return qint32(rounded);
}

qint32 NumericValue(const QString &text)
{
    return NumericValue(text.toLatin1());
}

} // namespace MainModule
