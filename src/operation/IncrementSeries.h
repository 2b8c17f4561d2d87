#pragma once
// A numbered card series: what the base record entry hands to the incremental write window.
// The texts are copies taken at OK, so the series never refers to a closed window.
#include "card/TrackBlock.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace Batch {

// Longest track a card holds, per track 1..3.
inline constexpr std::array<int, 3> kTrackLimits{76, 37, 104};

struct IncrementSeries {
    int IncrementTrack = 1;  // 1..3: the track that carries the number
    Iso::Tracks TrackData;   // data of the other tracks; the prefix of the chosen one
    QByteArray Suffix;       // after the number on the chosen track
    // 64-bit, so a series that passes 2147483647 goes on counting instead of wrapping.
    qint64 CurrentNumber = 0;
    qint64 IncrementStep = 0;
    qint64 IncrementRemaining = 1;

    // The running number in plain decimal digits (7, 100, 2147483648).
    QByteArray numberText() const { return QByteArray::number(CurrentNumber); }
    // The three tracks of the next card.
    Iso::Tracks card() const;
    // The number of the series' last card, and the length of the chosen track on it (the
    // longest, as the number never shrinks).
    qint64 lastNumber() const;
    int longestChosenTrack() const;
};

// A number field of the base record: empty gives 0; otherwise decimal digits only, at most
// 2147483647. Anything else (a sign, a point, an exponent, "&H", blanks, a larger value) is
// no value: the field is refused rather than read as some other number.
std::optional<qint32> NumberFieldValue(const QString &text);

} // namespace Batch
