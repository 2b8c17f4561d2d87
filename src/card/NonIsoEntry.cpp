#include "card/NonIsoEntry.h"

#include "card/CharacterMessages.h"
#include "card/RawCodec.h"
#include "card/Validators.h"

namespace NonIso {

namespace {
const QString CrLf = QStringLiteral("\r\n");
const QString LfCr = QStringLiteral("\n\r");

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

QString trimmedBlanks(const QString &text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && isBlank(text.at(from)))
        ++from;
    while (to > from && isBlank(text.at(to - 1)))
        --to;
    return text.mid(from, to - from);
}

bool rawValid(int bits, const QByteArray &values)
{
    switch (bits) {
    case 5: return MainModule::IsValidRaw5Bit(values);
    case 6: return MainModule::IsValidRaw6Bit(values);
    default: return MainModule::IsValidRaw7Bit(values);
    }
}

EntryCheck failed(const QString &title, const QString &text) { return {{}, title, text}; }

EntryCheck valueError(int bits)
{
    return failed(QStringLiteral("Non-ISO %1-Bit Data Format Error").arg(bits),
                  QStringLiteral("Use number 01~03 and 05~%1F only.      ").arg(QLatin1Char(HexLimitDigit(bits))) + LfCr
                      + QStringLiteral("04 is reserved for encoder use. ") + LfCr + QStringLiteral("LSB of first character")
                      + LfCr + QStringLiteral("must be a '1'."));
}
} // namespace

QString entryText(const QString &text) { return trimmedBlanks(text).toUpper(); }

int entryCapacity(bool standardFormat, const QString &item, Density density)
{
    // The 7-bit standard format by its name, every other standard item as 5 bits.
    if (standardFormat)
        return MaxCharacters(FormatCode(item) == '1' ? 7 : 5, density);
    return MaxCharacters(BitsPerCharacter(item), density);
}

EntryCheck characterError(bool sevenBit)
{
    const QString word = QStringLiteral("following");
    if (sevenBit)
        return failed(CharacterMessages::sevenBitTitle(), CharacterMessages::sevenBitText(word, CrLf));
    return failed(CharacterMessages::fiveBitTitle(), CharacterMessages::fiveBitText(word, CrLf));
}

EntryCheck hexCharacterError()
{
    return failed(QStringLiteral(" Hex Format Error"), QStringLiteral("Use the following characters only:   ") + CrLf
                                                           + QStringLiteral("0 1 2 3 4 5 6 7 8 9 A B C D E F "));
}

EntryCheck tooLong(int max)
{
    return failed(QStringLiteral("Non-ISO Write"), QStringLiteral("Max Characters are %1  ").arg(max));
}

EntryCheck checkText(bool standardFormat, const QString &item, const QString &text)
{
    const QString upper = entryText(text);
    if (upper.isEmpty())
        return {}; // blanks alone are no data
    EntryCheck check;
    if (standardFormat) {
        const char digit = BitsDigit(item);
        check.data = upper.toLatin1(); // beyond Latin-1 becomes '?', which neither check admits
        if (digit == '5' && !MainModule::IsValid5BitText(check.data))
            return characterError(false);
        if (digit == '7' && !MainModule::IsValid7BitText(check.data))
            return characterError(true);
        return check;
    }
    const int bits = BitsPerCharacter(item);
    const HexConversion conversion = HexPairsToData(upper.toLatin1());
    check.data = conversion.values;
    if (bits == 0)
        return check;
    switch (conversion.status) {
    case HexStatus::LengthFailure:
        return failed(QStringLiteral("Non-ISO Hex Character Length Error"),
                      QStringLiteral("A hex character consists of a pair of  ") + LfCr
                          + QStringLiteral("0123456789ABCDEF.") + LfCr + QStringLiteral("Append a leading zero as necessary,")
                          + LfCr + QStringLiteral("such as 0B."));
    case HexStatus::NotHex:
        return hexCharacterError();
    case HexStatus::ReservedValue:
        return valueError(bits);
    case HexStatus::Ok:
        if (!rawValid(bits, conversion.values))
            return valueError(bits);
        break;
    }
    return check;
}

EntryCheck checkEntry(bool standardFormat, const QString &item, Density density, const QString &text)
{
    const EntryCheck check = checkText(standardFormat, item, text);
    // An entry beyond the track's capacity would not fit on the card.
    const int max = entryCapacity(standardFormat, item, density);
    if (check.ok() && check.data.size() > max)
        return tooLong(max);
    return check;
}

} // namespace NonIso
