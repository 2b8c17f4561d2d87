#pragma once
// Non-ISO track data as bytes: the hex-pair text the operator types and sees, and the per-track
// codes, limits and lead-in. Pure functions.
#include "card/NonIsoFormat.h"

#include <QByteArray>
#include <QString>

namespace NonIso {

// ---- Track codes and limits ------------------------------------------------------------------

// '1', '2' or '3' for the standard items (by the track named at their end); 0 for any other item.
char FormatCode(const QString &item);
// The first character of the item: '5', '6' or '7' (0 for an empty item).
char BitsDigit(const QString &item);
// Bits per character of an item: 7, 6 or 5 (0 when the item names none).
int BitsPerCharacter(const QString &item);
// HKD382 track code: 0x10 + track for the 7-bit standard format ("1"), the plain track number
// otherwise.
char TrackSelector(int track, char formatCode);
// Most characters a track holds: 76/27 (7 bits), 88/32 (6 bits), 106/39 (5 bits) at 210/75 BPI;
// 0 for other widths.
int MaxCharacters(int bits, Density density);
// NUL characters written ahead of a custom track's data: 15 at 210 BPI, 6 at 75 BPI.
int LeadInCount(Density density);
// Last digit but one of the highest raw value: '1' (1F), '3' (3F), '7' (7F); 0 otherwise.
char HexLimitDigit(int bits);
// A track has data unless it is empty, "+" (no data reported) or "*" (failed).
bool HasData(const QByteArray &track);

// ---- Hex pairs -----------------------------------------------------------------------------

// Each value as two upper-case hex digits and a blank: 0B 1F -> "0B 1F ".
QByteArray ToHexPairs(const QByteArray &values);
// Number of groups in a hex text; blanks, tabs and line ends separate groups.
int CountHexPairs(const QByteArray &text);
int CountHexPairs(const QString &text);

enum class HexStatus {
    Ok,
    LengthFailure,   // a group of three or more characters
    ReservedValue,   // a group of value 04, the end-of-data mark
    NotHex,          // a group with a character outside 0-9, A-F
};
struct HexConversion {
    HexStatus status = HexStatus::Ok;
    QByteArray values; // empty unless status is Ok
    bool ok() const { return status == HexStatus::Ok; }
};
// Hex text to raw values, group by group from the left; the first faulty group ends it.
// One-digit groups are accepted ("B" gives 0B). Ranges and the first value are not checked here.
HexConversion HexPairsToData(const QByteArray &text);

} // namespace NonIso
