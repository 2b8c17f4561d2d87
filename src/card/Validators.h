#pragma once
// The text validators and number reading shared by the main window, the data file check, the
// incremental record entry and the non-ISO entry, and the character sets they check against.

#include <QByteArray>
#include <QString>

namespace MainModule {

// Characters a track may hold: track 1 every code 20..5F hex but "<" and "?", the double quote
// first; tracks 2 and 3 codes 30..3E hex but "<".
inline const QByteArray Track7BitChars =
    QByteArray("\"") + QByteArray("! #$%&'()*+,-./0123456789:;=>@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_");
inline const QByteArray Track5BitChars = QByteArrayLiteral("0123456789:;=>");
inline const QByteArray DigitChars = QByteArrayLiteral("0123456789");
inline const QByteArray HexChars = QByteArrayLiteral("0123456789ABCDEF ");

// Track 1 text: not empty, every code 20..5F hex except 3F ("?").
bool IsValid7BitText(const QByteArray &text);
// Track 2/3 text: not empty, every code 30..3E hex.
bool IsValid5BitText(const QByteArray &text);
// Decoded raw values (one byte per value): the first value odd, every value in 1..1F / 3F / 7F.
// An empty text is not valid.
bool IsValidRaw5Bit(const QByteArray &values);
bool IsValidRaw6Bit(const QByteArray &values);
bool IsValidRaw7Bit(const QByteArray &values);

// The number a text begins with: leading blanks skipped, "&H" hexadecimal, otherwise sign,
// digits, decimals and exponent rounded to the nearest integer (halves to even). 0 when the
// text does not begin with a number or the value does not fit 32 bits.
qint32 NumericValue(const QByteArray &text);
qint32 NumericValue(const QString &text);

// The value of a hexadecimal digit, either case; -1 for any other character.
int HexDigitValue(char c);

} // namespace MainModule
