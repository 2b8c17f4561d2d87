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

// What the entry takes of a typed text: without leading and trailing blanks (spaces, tabs, line
// ends), in capitals.
QString entryText(const QString &text);

// The most a track of format `item` holds at `density`: characters (standard) or raw values.
int entryCapacity(bool standardFormat, const QString &item, Density density);

// The checks of the text alone, as made when the operator leaves a box: the standard item's
// character set, or the custom format's hex pairs and raw values. A custom item of no known
// width gets no check.
EntryCheck checkText(bool standardFormat, const QString &item, const QString &text);

// `text` as typed for a track of format `item` (standard or custom) written at `density`:
// checkText, then the track's capacity.
EntryCheck checkEntry(bool standardFormat, const QString &item, Density density, const QString &text);

// The failures also reported as keys are typed and while a custom entry grows.
EntryCheck characterError(bool sevenBit); // a character outside the 5-bit or 7-bit set
EntryCheck hexCharacterError();
EntryCheck tooLong(int max);

} // namespace NonIso
