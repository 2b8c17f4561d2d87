#pragma once
// The HKD382 ISO track data block (inside the read reply and after the write command) and the
// conventions for track texts that every ISO window shares.
#include <QByteArray>
#include <QList>
#include <QString>
#include <array>

namespace Iso {

// "+": the encoder reports no data on the track; "*": the track (or the attempt) failed.
inline const QByteArray NoData = "+";
inline const QByteArray Unreadable = "*";

// Only tracks with data are written.
bool HasData(const QByteArray &track);
// The count shown beside a track: 0 for "+", else its length.
int CharCount(const QByteArray &track);
inline QString CharCountText(const QByteArray &track) { return QString::number(CharCount(track)); }

// The three tracks of a card, track 1 first.
using Tracks = std::array<QByteArray, 3>;
bool AnyUnreadable(const Tracks &tracks);
bool AllUnreadable(const Tracks &tracks);

struct ParsedBlock {
    bool ok = false;
    // The tracks split off, in order (1..3 entries); a parse that fails part way still holds
    // the tracks it got to.
    QList<QByteArray> tracks;
    Tracks three() const;
};

// The complete read reply: ESC "s", the block, ESC, status "0".
ParsedBlock ParseReadBlock(const QByteArray &reply);
// The block sent directly after ESC "w"; tracks without data contribute only their marker.
QByteArray BuildWriteBlock(const QByteArray &t1, const QByteArray &t2, const QByteArray &t3);
inline QByteArray BuildWriteBlock(const Tracks &t) { return BuildWriteBlock(t[0], t[1], t[2]); }

} // namespace Iso
