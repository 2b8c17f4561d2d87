#pragma once
// The text validators and number reading shared by the main window, the data file check, the
// incremental record entry and the non-ISO entry; the start values of the process-wide globals.
#include "device/SharedState.h"

#include <QByteArray>
#include <QString>

namespace MainModule {

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

// Sets the globals to their start values, in the order the start-up has always used.
void StartUpDefaults();

} // namespace MainModule
