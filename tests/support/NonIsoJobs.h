#pragma once
// Non-ISO jobs of one track, for the suites that write and read them.
#include "card/NonIsoFormat.h"

#include <QByteArray>

// `n` raw values below 2^bits, first one odd, never 04.
inline QByteArray rawValues(int n, int bits)
{
    QByteArray out;
    for (int i = 0; out.size() < n; ++i) {
        const int v = 1 + (i * 5) % ((1 << bits) - 1);
        if (v != 4)
            out.append(char(v));
    }
    return out;
}

inline NonIso::WriteJob oneTrack(bool standard, int track, const QString &item, NonIso::Density density,
                                 const QByteArray &data)
{
    using namespace NonIso;
    WriteJob job;
    job.standardFormat = standard;
    for (int t = 0; t < 3; ++t)
        job.tracks[size_t(t)] = {QByteArray(), standard ? standardItems().at(t) : Raw5Item, DefaultDensities[size_t(t)]};
    job.tracks[size_t(track - 1)] = {data, item, density};
    return job;
}

inline NonIso::Selection select(bool standard, int track, const QString &item)
{
    NonIso::Selection s;
    s.standardFormat = standard;
    if (!standard)
        s.trackFormat = {NonIso::Raw5Item, NonIso::Raw5Item, NonIso::Raw5Item};
    s.trackFormat[size_t(track - 1)] = item;
    return s;
}
