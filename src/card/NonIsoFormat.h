#pragma once
// What the operator chose for a non-ISO operation: the format of all three tracks, the item of
// each track and, for a write, the density of each track. Plain values, handed from window to
// window; the item texts themselves are the values the codec derives its codes from.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace NonIso {

// Items of the standard-format lists (a standard track format on any track).
inline const QString StdT1Item = QStringLiteral("7-Bit Character (Std T1)");
inline const QString StdT2Item = QStringLiteral("5-Bit Character (Std T2)");
inline const QString StdT3Item = QStringLiteral("5-Bit Character (Std T3)");
// Items of the custom-format lists (raw characters of 5, 6 or 7 bits).
inline const QString Raw5Item = QStringLiteral("5-Bit Character");
inline const QString Raw6Item = QStringLiteral("6-Bit Character");
inline const QString Raw7Item = QStringLiteral("7-Bit Character");

inline QStringList standardItems() { return {StdT1Item, StdT2Item, StdT3Item}; }
inline QStringList customItems() { return {Raw5Item, Raw6Item, Raw7Item}; }

enum class Density { Bpi210, Bpi75 };
inline const QString Density210Item = QStringLiteral("210 BPI (Standard for T1&T3)");
inline const QString Density75Item = QStringLiteral("75 BPI (Standard for T2)");
inline QString densityItem(Density d) { return d == Density::Bpi210 ? Density210Item : Density75Item; }
// Anything but the 210 BPI item counts as 75 BPI.
inline Density densityOf(const QString &item) { return item == Density210Item ? Density::Bpi210 : Density::Bpi75; }
using Densities = std::array<Density, 3>; // tracks 1..3 at 0..2
inline constexpr Densities DefaultDensities = {Density::Bpi210, Density::Bpi75, Density::Bpi210};
// Per track: true for 210 BPI.
inline std::array<bool, 3> High210(const Densities &d)
{
    return {d[0] == Density::Bpi210, d[1] == Density::Bpi210, d[2] == Density::Bpi210};
}

// NonIsoStandardFormat and NonIsoTrackFormat, as published by the format selection.
struct Selection {
    bool standardFormat = true;               // "Standard Format on " chosen
    std::array<QString, 3> trackFormat = {StdT1Item, StdT2Item, StdT3Item}; // tracks 1..3 at 0..2

    friend bool operator==(const Selection &, const Selection &) = default;
};

// One track of a write: the data as it goes to the encoder (standard format: the text;
// custom format: the raw values, one byte each) and how it is recorded.
struct TrackWrite {
    QByteArray data;
    QString item;                       // the track's NonIsoTrackFormat item
    Density density = Density::Bpi210;

    friend bool operator==(const TrackWrite &, const TrackWrite &) = default;
};

// Everything the swipe write needs: the same data goes onto every card.
struct WriteJob {
    bool standardFormat = true;
    std::array<TrackWrite, 3> tracks;   // tracks 1..3 at 0..2

    Densities densities() const { return {tracks[0].density, tracks[1].density, tracks[2].density}; }
    friend bool operator==(const WriteJob &, const WriteJob &) = default;
};

} // namespace NonIso
