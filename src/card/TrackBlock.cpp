#include "card/TrackBlock.h"

#include <algorithm>

namespace Iso {

namespace {
constexpr char Esc = 0x1B;

// Splits one track field off the front of `rest`, up to the ESC marker pair of the next
// track and that track's start sentinel. False when the field is malformed.
bool takeField(QByteArray &rest, char nextMarker, QByteArray &track)
{
    // "+", ESC, marker, start sentinel; track data may begin with "+" too.
    if (rest.size() >= 4 && rest[0] == '+' && rest[1] == Esc && rest[2] == nextMarker) {
        track = NoData;
        rest.remove(0, 4);
        return true;
    }
    const QByteArray pair{&Esc, 1};
    const qsizetype p = rest.indexOf(pair + nextMarker);  // 0-based position of ESC
    if (p < 1 || rest.size() < p + 3)                     // room for the end sentinel and the next start sentinel
        return false;
    track = rest.left(p - 1);
    rest.remove(0, p + 3);
    return true;
}
} // namespace

bool HasData(const QByteArray &track) { return !track.isEmpty() && track != NoData && track != Unreadable; }

int CharCount(const QByteArray &track) { return track == NoData ? 0 : int(track.size()); }

ParsedBlock ParseReadBlock(const QByteArray &reply)
{
    ParsedBlock out;
    QByteArray rest = reply;
    if (!rest.endsWith('0'))
        return out;
    rest.chop(1);
    if (!rest.endsWith(Esc))
        return out;
    rest.chop(1);
    if (!rest.startsWith(QByteArray("\x1bs")))
        return out;
    // ESC "s", ESC, 01 and the track 1 start sentinel.
    if (rest.size() < 5)
        return out;
    rest.remove(0, 5);

    QByteArray track;
    if (!takeField(rest, 0x02, track))
        return out;
    out.tracks << track;
    if (!takeField(rest, 0x03, track))
        return out;
    out.tracks << track;
    if (rest.startsWith('+')) {
        track = NoData;
    } else {
        const qsizetype q = rest.indexOf('?');
        if (q < 0)
            return out;
        track = rest.left(q);
    }
    out.tracks << track;
    out.ok = true;
    return out;
}

QByteArray BuildWriteBlock(const QByteArray &t1, const QByteArray &t2, const QByteArray &t3)
{
    const QByteArray tracks[3] = {t1, t2, t3};
    QByteArray block("\x1bs");
    for (int i = 0; i < 3; ++i) {
        block += Esc;
        block += char(i + 1);
        if (HasData(tracks[i]))
            block += tracks[i];
    }
    block += "?\x1c";
    return block;
}

bool AnyUnreadable(const Tracks &tracks)
{
    return std::any_of(tracks.begin(), tracks.end(), [](const QByteArray &t) { return t == Unreadable; });
}

bool AllUnreadable(const Tracks &tracks)
{
    return std::all_of(tracks.begin(), tracks.end(), [](const QByteArray &t) { return t == Unreadable; });
}

Tracks ParsedBlock::three() const
{
    Tracks out;
    for (int i = 0; i < std::min<int>(3, int(tracks.size())); ++i)
        out[size_t(i)] = tracks[i];
    return out;
}

} // namespace Iso
