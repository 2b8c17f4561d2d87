#pragma once
// The one check of each kind of job: from what an entry window, vnt410's options or the service
// were given, the job, or why it is refused in the words the entry windows show. A refusal
// without a text is one the windows pass over without a word (the button does nothing); a
// command line says it in its own words.
#include "operation/Job.h"

#include <array>
#include <optional>

namespace Jobs {

struct Checked {
    Job job;
    std::optional<Refusal> refusal;
    bool ok() const { return !refusal; }
};

using Texts = std::array<QString, 3>; // tracks 1..3 at 0..2, as typed

// Write: each track by the input record's rules (track 1 in capitals, the box's length, the
// check on leaving the box; field: the track), then at least one track.
Checked write(const Texts &tracks);
// The input record's rules for box 0..2 alone; box 0's text is upper-cased in place.
std::optional<Refusal> inputTrack(int box, QString &text);

// Erase: at least one track (bit 0 track 1 .. bit 2 track 3).
Checked erase(int mask);

// Encode: a data file's content passes the whole-file check and holds record `from`; `name`
// stands for the file where a message names it.
Checked encode(QByteArray content, qint64 from, const QString &name = QStringLiteral("The file"));

// Incremental: the base record entry as typed. Its fields are numbered as the entry's boxes,
// five a track (5 * (track - 1) + role); a refusal's field is that number, or -1 for a series
// whose last card would not fit the track.
enum SeriesRole { Prefix = 0, Start = 1, Step = 2, Count = 3, Suffix = 4 };
struct SeriesEntry {
    int track = 1;                         // 1..3: the track that carries the number
    Texts data;                            // the other tracks' data (the chosen one's is not used)
    QString prefix, start, step, count, suffix; // the chosen track's fields
};
Checked incremental(const SeriesEntry &entry);
// The rules of entry field 0..14 alone, as checked when it is left; track 1's prefix, start and
// suffix are upper-cased in place.
std::optional<Refusal> seriesField(int field, QString &text);
// What a key refused in entry field 0..14 is told.
Refusal seriesCharacters(int field);

// Non-ISO read: every track's item is one of its format's list.
Checked nonIsoRead(const NonIso::Selection &selection);
// Non-ISO write: the selection as for a read, each track's text by the write entry's checks at
// its density (field: the track), then at least one track.
Checked nonIsoWrite(const NonIso::Selection &selection, const NonIso::Densities &densities, const Texts &texts);

} // namespace Jobs
