#include "card/RawCodec.h"

#include "card/Validators.h"

namespace NonIso {

namespace {

constexpr char Eot = 0x04;

// Tabs and line ends separate groups like blanks: a pasted list must not join two groups.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

char FormatCode(const QString &item)
{
    if (item.endsWith(QLatin1String("T1)")))
        return '1';
    if (item.endsWith(QLatin1String("T2)")))
        return '2';
    if (item.endsWith(QLatin1String("T3)")))
        return '3';
    return 0;
}

char BitsDigit(const QString &item)
{
    return item.isEmpty() ? char(0) : char(item.at(0).toLatin1());
}

int BitsPerCharacter(const QString &item)
{
    const char digit = BitsDigit(item);
    return digit >= '5' && digit <= '7' ? digit - '0' : 0;
}

char TrackSelector(int track, char formatCode)
{
    return char(formatCode == '1' ? 0x10 + track : track);
}

int MaxCharacters(int bits, Density density)
{
    const bool high = density == Density::Bpi210;
    switch (bits) {
    case 7: return high ? 76 : 27;
    case 6: return high ? 88 : 32;
    case 5: return high ? 106 : 39;
    default: return 0;
    }
}

int LeadInCount(Density density) { return density == Density::Bpi210 ? 15 : 6; }

char HexLimitDigit(int bits)
{
    switch (bits) {
    case 5: return '1';
    case 6: return '3';
    case 7: return '7';
    default: return 0;
    }
}

bool HasData(const QByteArray &track)
{
    return !track.isEmpty() && track != "+" && track != "*";
}

QByteArray ToHexPairs(const QByteArray &values)
{
    QByteArray out;
    out.reserve(values.size() * 3);
    for (char v : values) {
        out.append(QByteArray::number(uchar(v), 16).toUpper().rightJustified(2, '0'));
        out.append(' ');
    }
    return out;
}

int CountHexPairs(const QByteArray &text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (isBlank(text.at(i)) && (i == 0 || !isBlank(text.at(i - 1))))
            ++count;
    if (!text.isEmpty() && !isBlank(text.back()))
        ++count;
    return count;
}

int CountHexPairs(const QString &text)
{
    // Characters beyond Latin-1 are one character of a group, like any other.
    return CountHexPairs(text.toLatin1());
}

HexConversion HexPairsToData(const QByteArray &text)
{
    HexConversion result;
    qsizetype pos = 0;
    const qsizetype end = text.size();
    while (pos < end) {
        if (isBlank(text.at(pos))) {
            ++pos;
            continue;
        }
        qsizetype groupEnd = pos;
        while (groupEnd < end && !isBlank(text.at(groupEnd)))
            ++groupEnd;
        if (groupEnd - pos > 2) {
            result.status = HexStatus::LengthFailure;
            break;
        }
        int value = 0;
        for (qsizetype i = pos; i < groupEnd; ++i) {
            const int digit = MainModule::HexDigitValue(text.at(i));
            if (digit < 0) {
                result.status = HexStatus::NotHex;
                break;
            }
            value = value * 16 + digit;
        }
        if (result.status != HexStatus::Ok)
            break;
        if (value == Eot) {
            result.status = HexStatus::ReservedValue;
            break;
        }
        result.values.append(char(value));
        pos = groupEnd;
    }
    if (!result.ok())
        result.values.clear();
    return result;
}

} // namespace NonIso
