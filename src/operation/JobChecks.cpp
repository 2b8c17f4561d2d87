#include "operation/JobChecks.h"

#include "card/CharacterMessages.h"
#include "card/InputRecord.h"
#include "card/NonIsoEntry.h"
#include "card/RawCodec.h"
#include "card/Validators.h"
#include "operation/EncodeDataFile.h"

#include <limits>

namespace Jobs {

namespace {

Refusal lengthRefusal(int track, int limit, qsizetype length, int field)
{
    return {QStringLiteral("Track Length Error"),
            QStringLiteral("Track %1 holds at most %2 characters, not %3.").arg(track).arg(limit).arg(length), field};
}

// Nothing to say: the window's button does nothing.
Refusal unsaid() { return {}; }

Checked refused(Refusal refusal)
{
    Checked c;
    c.refusal = std::move(refusal);
    return c;
}

} // namespace

// ---- Write and erase ------------------------------------------------------------------------

std::optional<Refusal> inputTrack(int box, QString &text)
{
    if (box == 0)
        text = InputRecord::upperCased(text);
    if (text.size() > InputRecord::MaxLength[box])
        return lengthRefusal(box + 1, InputRecord::MaxLength[box], text.size(), box);
    if (!InputRecord::passesLeaveCheck(box, text)) {
        const InputRecord::Message m = InputRecord::leaveMessage(box);
        return Refusal{m.title, m.text, box};
    }
    return std::nullopt;
}

Checked write(const Texts &tracks)
{
    Checked c;
    c.job.kind = JobKind::Write;
    bool any = false;
    for (int box = 0; box < 3; ++box) {
        QString text = tracks[size_t(box)];
        if (text.isEmpty())
            continue;
        if (auto r = inputTrack(box, text))
            return refused(*r);
        c.job.tracks[size_t(box)] = text.toLatin1();
        any = true;
    }
    if (!any)
        return refused({QString(), QStringLiteral("Please fill in the input record.")});
    return c;
}

Checked erase(int mask)
{
    Checked c;
    c.job.kind = JobKind::Erase;
    c.job.eraseMask = mask & 7;
    if (c.job.eraseMask == 0)
        return refused(unsaid());
    return c;
}

// ---- Encode ---------------------------------------------------------------------------------

Checked encode(QByteArray content, qint64 from, const QString &name)
{
    const EncodeDataFile::Check checked = EncodeDataFile::check(content);
    if (!checked.ok) {
        QString text = QStringLiteral("Incorrect file format. Select ASCII format only.");
        if (!checked.problem.isEmpty())
            text += QLatin1Char('\n') + checked.problem;
        return refused({QStringLiteral("File Encode - File Format Error"), text});
    }
    if (from < 1 || from > checked.records)
        return refused({QString(), QStringLiteral("%1 holds %2 records; there is no record %3.")
                                       .arg(name)
                                       .arg(checked.records)
                                       .arg(from)});
    Checked c;
    c.job.kind = JobKind::Encode;
    c.job.records = std::move(content);
    c.job.from = from;
    return c;
}

// ---- Incremental ----------------------------------------------------------------------------

Refusal seriesCharacters(int field)
{
    const QString crLf = QStringLiteral("\r\n"), word = QStringLiteral("fellowing");
    const int role = field % 5;
    if (role != Prefix && role != Suffix)
        return {QStringLiteral("Format Error"), QStringLiteral("Use numeral only. "), field};
    if (field < 5)
        return {CharacterMessages::sevenBitTitle(), CharacterMessages::sevenBitText(word, crLf), field};
    return {CharacterMessages::fiveBitTitle(), CharacterMessages::fiveBitText(word, crLf), field};
}

std::optional<Refusal> seriesField(int field, QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    const int t = field / 5, role = field % 5;
    if (t == 0 && role != Step && role != Count)
        text = text.toUpper();
    if (role == Prefix || role == Suffix) {
        // The prefix (or a track's data) holds at most the track; the suffix of tracks 2 and 3
        // at most 76 characters, track 1's has no limit of its own.
        const int limit = role == Prefix ? Batch::kTrackLimits[size_t(t)] : t == 0 ? std::numeric_limits<int>::max() : 76;
        if (text.size() > limit)
            return lengthRefusal(t + 1, limit, text.size(), field);
        const QByteArray bytes = text.toLatin1();
        if (t == 0 ? MainModule::IsValid7BitText(bytes) : MainModule::IsValid5BitText(bytes))
            return std::nullopt;
        return seriesCharacters(field);
    }
    // Whole, non-negative and within 32 bits: "-5", "2.5", "1e3" or 4000012345678 would
    // otherwise number the cards wrongly.
    if (Batch::NumberFieldValue(text))
        return std::nullopt;
    return seriesCharacters(field);
}

Checked incremental(const SeriesEntry &entry)
{
    if (entry.track < 1 || entry.track > 3)
        return refused({QString(), QStringLiteral("The track that carries the number is 1, 2 or 3, not %1.").arg(entry.track)});
    const int chosen = entry.track - 1, base = 5 * chosen;
    std::array<QString, 15> fields;
    for (int t = 0; t < 3; ++t)
        fields[size_t(5 * t)] = entry.data[size_t(t)];
    const QString *own[5] = {&entry.prefix, &entry.start, &entry.step, &entry.count, &entry.suffix};
    for (int role = 0; role < 5; ++role)
        fields[size_t(base + role)] = *own[role];

    // A track that is not chosen has only its data field.
    for (int i = 0; i < 15; ++i)
        if (i % 5 == Prefix || i / 5 == chosen)
            if (auto r = seriesField(i, fields[size_t(i)]))
                return refused(*r);
    bool empty = fields[size_t(base + Start)].isEmpty() && fields[size_t(base + Suffix)].isEmpty();
    for (int t = 0; t < 3; ++t)
        empty = empty && fields[size_t(5 * t)].isEmpty();
    if (empty)
        return refused(unsaid());

    Checked c;
    c.job.kind = JobKind::Incremental;
    Batch::IncrementSeries &s = c.job.series;
    s.IncrementTrack = entry.track;
    for (int t = 0; t < 3; ++t)
        s.TrackData[size_t(t)] = fields[size_t(5 * t)].toLatin1();
    s.Suffix = fields[size_t(base + Suffix)].toLatin1();
    s.CurrentNumber = Batch::NumberFieldValue(fields[size_t(base + Start)]).value_or(0);
    s.IncrementStep = Batch::NumberFieldValue(fields[size_t(base + Step)]).value_or(0);
    s.IncrementRemaining = Batch::NumberFieldValue(fields[size_t(base + Count)]).value_or(0);
    if (s.IncrementRemaining == 0)
        s.IncrementRemaining = 1;

    // The chosen track of the last card must fit the card: a longer one would be cut short.
    const int limit = Batch::kTrackLimits[size_t(chosen)];
    const int longest = s.longestChosenTrack();
    if (longest > limit)
        return refused({QStringLiteral("Track Length Error"),
                        QStringLiteral("Track %1 holds at most %2 characters.  Prefix, number and suffix of the "
                                       "last card (number %3) make %4.")
                            .arg(entry.track)
                            .arg(limit)
                            .arg(s.lastNumber())
                            .arg(longest)});
    return c;
}

// ---- Non-ISO --------------------------------------------------------------------------------

Checked nonIsoRead(const NonIso::Selection &selection)
{
    const QStringList items = selection.standardFormat ? NonIso::standardItems() : NonIso::customItems();
    for (int t = 0; t < 3; ++t) {
        const QString &item = selection.trackFormat[size_t(t)];
        if (!items.contains(item))
            return refused({QString(), QStringLiteral("\"%1\" is no format of track %2 here.").arg(item).arg(t + 1), t});
    }
    Checked c;
    c.job.kind = JobKind::NonIsoRead;
    c.job.selection = selection;
    return c;
}

Checked nonIsoWrite(const NonIso::Selection &selection, const NonIso::Densities &densities, const Texts &texts)
{
    Checked c = nonIsoRead(selection);
    if (!c.ok())
        return c;
    c.job.kind = JobKind::NonIsoWrite;
    NonIso::WriteJob &w = c.job.nonIsoWrite;
    w.standardFormat = selection.standardFormat;
    bool any = false;
    for (int t = 0; t < 3; ++t) {
        NonIso::TrackWrite &track = w.tracks[size_t(t)];
        track.item = selection.trackFormat[size_t(t)];
        track.density = densities[size_t(t)];
        const NonIso::EntryCheck e = NonIso::checkEntry(w.standardFormat, track.item, track.density, texts[size_t(t)]);
        if (!e.ok())
            return refused({e.title, e.text, t});
        track.data = e.data;
        any = any || NonIso::HasData(track.data);
    }
    if (!any)
        return refused(unsaid());
    return c;
}

} // namespace Jobs
