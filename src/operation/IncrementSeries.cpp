#include "operation/IncrementSeries.h"

#include <limits>

namespace Batch {

Iso::Tracks IncrementSeries::card() const
{
    Iso::Tracks tracks = TrackData;
    const size_t t = size_t(IncrementTrack - 1);
    tracks[t] = TrackData[t] + numberText() + Suffix;
    return tracks;
}

qint64 IncrementSeries::lastNumber() const
{
    const qint64 cards = IncrementRemaining > 0 ? IncrementRemaining : 1;
    return CurrentNumber + IncrementStep * (cards - 1);
}

int IncrementSeries::longestChosenTrack() const
{
    const size_t t = size_t(IncrementTrack - 1);
    return int(TrackData[t].size() + QByteArray::number(lastNumber()).size() + Suffix.size());
}

std::optional<qint32> NumberFieldValue(const QString &text)
{
    if (text.isEmpty())
        return 0;
    qint64 value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > std::numeric_limits<qint32>::max())
            return std::nullopt;
    }
    return qint32(value);
}

} // namespace Batch
