#pragma once
// What a magnetic stripe carries and how a reader decodes it: standard characters (with their
// sentinels and LRC added when recorded) or raw codes, at a number of bits per character and a
// density. Reading a track in a format it was not written in gives "*" (standard formats) or
// re-framed codes (raw formats), as on a real card. Pure functions, no state.
#include <QByteArray>

struct SimTrack {
    QByteArray chars;        // standard characters without sentinels, or raw codes when `raw`
    int bitsPerChar = 0;     // 0: the track's ISO format (7 bits on track 1, 5 on tracks 2 and 3)
    bool high210 = true;     // recorded at 210 BPI; false: 75 BPI
    bool unreadable = false; // a damaged stripe: every read gives "*"
    bool raw = false;        // chars are raw bit patterns (custom format), one code per character
    // A blank track (chars empty, readable) reads as "+".
    bool isBlank() const { return chars.isEmpty() && !unreadable; }
    bool operator==(const SimTrack &) const = default;
};

namespace StripeCodec {

constexpr char kEndSentinel = '?';

int isoBits(int trackNo); // 7 on track 1, 5 on tracks 2 and 3
int bitsOf(const SimTrack &track, int trackNo);
char startSentinel(int bits); // "%" for 7-bit, ";" for 5-bit characters

// Characters that fit on a track, by bits per character and density.
int capacity(int bits, bool high210);

// Whether `chars` can be recorded in that format at that density: every character belongs to
// the format (raw: a code from 1 to the largest `bits` can hold) and they fit.
bool fits(const QByteArray &chars, int bits, bool raw, bool high210);

// How a track reads in a format: its characters (raw: codes), "+" (blank) or "*" (unreadable).
QByteArray read(const SimTrack &track, int trackNo, int bits, bool raw);

} // namespace StripeCodec
