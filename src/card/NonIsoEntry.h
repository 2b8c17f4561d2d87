#pragma once
// The checks of the non-ISO write entry on one track's text, and their messages: a standard
// format takes its character set, the custom format hex pairs of raw values of its width; both
// within what the track holds at its density. Messages join their lines as the entry shows
// them (CR LF for the character sets, LF CR for the hex messages).
#include "card/NonIsoFormat.h"

#include <QByteArray>
#include <QString>

namespace NonIso {

struct EntryCheck {
    QByteArray data; // what goes to the encoder: the text, or the raw values; empty: no data
    QString title;   // empty when the text passes
    QString text;
    bool ok() const { return title.isEmpty(); }
};

// `text` as typed for a track of format `item` (standard or custom) written at `density`.
EntryCheck checkEntry(bool standardFormat, const QString &item, Density density, const QString &text);

} // namespace NonIso
