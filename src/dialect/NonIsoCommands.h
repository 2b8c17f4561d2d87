#pragma once
// The bytes of the non-ISO commands in both dialects, from the operator's choice; the dialect
// implementations send them.
#include "card/RawCodec.h"

#include <QByteArray>
#include <QList>

namespace NonIso {

// ---- HKD382 commands -----------------------------------------------------------------------

// 1B 52 and the selectors of tracks 1..3 (defaults: 1B 52 11 02 03). Standard format only.
QByteArray Hkd382ReadCommand(const Selection &selection);
// 1B 57 1B 73, per track 1B + selector + text, then 3F 1C. A track without data adds only its
// 1B and selector, formed from the code of the last earlier track with data (or none).
QByteArray Hkd382WriteBlock(const WriteJob &job);
// 1B 6A and per track D2 (210 BPI) or 4B (75 BPI).
QByteArray Hkd382SetBpi(const Densities &densities);
// 1B 5A and per track 3D (210 BPI) or 16 (75 BPI).
QByteArray Hkd382SetBpiCodes(const Densities &densities);

// ---- VNT-290B commands ---------------------------------------------------------------------

// The per-track read after the swipe: "q"/"r"/"s" + format code (standard), "U"/"V"/"W" +
// bits digit (custom).
QByteArray Vnt290bReadTrack(int track, bool standardFormat, const QString &item);
// The per-track write announcement: "a"/"b"/"c" + format code, "E"/"F"/"G" + bits digit.
QByteArray Vnt290bWriteTrack(int track, bool standardFormat, const QString &item);
// ";" + track digit + "1" (210 BPI) or "0" (75 BPI).
QByteArray Vnt290bSetBpi(int track, Density density);

// One send of the VNT-290B write: the bytes, and whether the encoder's "^" is awaited.
struct Send {
    QByteArray bytes;
    bool awaitAck = true;
    friend bool operator==(const Send &, const Send &) = default;
};
// The whole write in order, for each track with data (1, 2, 3): its announcement; in custom
// format the lead-in NULs, one send each, no reply awaited; the data and 04. Then "@".
QList<Send> Vnt290bWriteSends(const WriteJob &job);

} // namespace NonIso
