#include "serve/JobMessage.h"

#include "card/InputRecord.h"
#include "card/NonIsoEntry.h"
#include "card/RawCodec.h"
#include "dialect/Dialect.h"
#include "operation/EncodeDataFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <limits>
#include <optional>

namespace {

struct Refused {
    QString text;
};

// "field: title\ntext" as the entry window would say it.
Refused refusal(const QString &field, const QString &title, const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return {field + QStringLiteral(": ") + (title.isEmpty() ? t : title.trimmed() + QLatin1Char('\n') + t)};
}

// A whole number from `low` to `high`, given as a JSON number or as digits.
std::optional<qint64> whole(const QJsonValue &v, qint64 low, qint64 high)
{
    qint64 n = 0;
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d != double(qint64(d)))
            return std::nullopt;
        n = qint64(d);
    } else {
        return std::nullopt;
    }
    if (n < low || n > high)
        return std::nullopt;
    return n;
}

// A number field of the series entry: digits (or a JSON number) as the entry takes them.
std::optional<qint64> seriesNumber(const QJsonValue &v)
{
    const QString text = v.isDouble() ? QString::number(qint64(v.toDouble())) : v.toString();
    if (v.isDouble() && v.toDouble() != double(qint64(v.toDouble())))
        return std::nullopt;
    const auto n = Batch::NumberFieldValue(text);
    return n ? std::optional<qint64>(*n) : std::nullopt;
}

// The input record's rules for the text of box `box`: track 1 upper-cased, the length, the
// check on leaving the box.
std::optional<Refused> checkTrack(int box, QString &text, int limit, const QString &field)
{
    if (box == 0)
        text = InputRecord::upperCased(text);
    if (text.size() > limit)
        return refusal(field, QStringLiteral("Track Length Error"),
                       QStringLiteral("Track %1 holds at most %2 characters, not %3.").arg(box + 1).arg(limit).arg(text.size()));
    if (!InputRecord::passesLeaveCheck(box, text)) {
        const InputRecord::Message m = InputRecord::leaveMessage(box);
        return refusal(field, m.title, m.text);
    }
    return std::nullopt;
}

std::optional<Refused> parseWrite(const QJsonObject &o, Job &job)
{
    const QJsonArray tracks = o.value(QStringLiteral("tracks")).toArray();
    if (tracks.size() > 3)
        return Refused{QStringLiteral("tracks: at most three tracks")};
    bool any = false;
    for (int t = 0; t < int(tracks.size()); ++t) {
        if (!tracks[t].isString())
            return Refused{QStringLiteral("tracks: each track is a string (\"\" leaves it alone)")};
        QString text = tracks[t].toString();
        if (text.isEmpty())
            continue;
        if (auto r = checkTrack(t, text, InputRecord::MaxLength[t], QStringLiteral("track %1").arg(t + 1)))
            return r;
        job.tracks[size_t(t)] = text.toLatin1();
        any = true;
    }
    if (!any)
        return Refused{QStringLiteral("Please fill in the input record.")};
    return std::nullopt;
}

std::optional<Refused> parseEncode(const QJsonObject &o, Job &job)
{
    QByteArray content;
    for (const QJsonValue &record : o.value(QStringLiteral("records")).toArray()) {
        const QJsonArray fields = record.toArray();
        if (!record.isArray() || fields.size() > 3)
            return Refused{QStringLiteral("records: each record is a list of at most three track texts")};
        QStringList texts;
        for (const QJsonValue &f : fields)
            texts << f.toString();
        while (texts.size() < 3)
            texts << QString();
        content += texts.join(QLatin1Char('|')).toLatin1() + "\r\n";
    }
    const EncodeDataFile::Check check = EncodeDataFile::check(content);
    if (!check.ok)
        return Refused{QStringLiteral("Incorrect file format. Select ASCII format only.\n") + check.problem};
    if (o.contains(QStringLiteral("from"))) {
        const auto from = whole(o.value(QStringLiteral("from")), 1, std::numeric_limits<qint32>::max());
        if (!from)
            return Refused{QStringLiteral("from: a record number from 1")};
        if (*from > check.records)
            return Refused{QStringLiteral("There are %1 records; there is no record %2.").arg(check.records).arg(*from)};
        job.from = *from;
    }
    job.records = content;
    return std::nullopt;
}

std::optional<Refused> parseIncremental(const QJsonObject &o, Job &job)
{
    Batch::IncrementSeries &s = job.series;
    const auto track = whole(o.value(QStringLiteral("track")), 1, 3);
    if (!track)
        return Refused{QStringLiteral("track: 1, 2 or 3")};
    s.IncrementTrack = int(*track);
    const int chosen = s.IncrementTrack - 1;
    for (int t = 0; t < 3; ++t) {
        const QString name = QStringLiteral("track%1").arg(t + 1);
        QString text = o.value(name).toString();
        if (text.isEmpty())
            continue;
        if (t == chosen)
            return Refused{QStringLiteral("%1: track %2 carries the number (prefix and suffix)").arg(name).arg(t + 1)};
        if (auto r = checkTrack(t, text, Batch::kTrackLimits[size_t(t)], name))
            return r;
        s.TrackData[size_t(t)] = text.toLatin1();
    }
    for (const QString &name : {QStringLiteral("prefix"), QStringLiteral("suffix")}) {
        QString text = o.value(name).toString();
        if (text.isEmpty())
            continue;
        const bool prefix = name == QLatin1String("prefix");
        const int limit = prefix ? Batch::kTrackLimits[size_t(chosen)] : chosen == 0 ? std::numeric_limits<int>::max() : 76;
        if (auto r = checkTrack(chosen, text, limit, name))
            return r;
        (prefix ? s.TrackData[size_t(chosen)] : s.Suffix) = text.toLatin1();
    }
    const std::pair<QString, qint64 *> numbers[] = {{QStringLiteral("start"), &s.CurrentNumber},
                                                    {QStringLiteral("step"), &s.IncrementStep},
                                                    {QStringLiteral("count"), &s.IncrementRemaining}};
    s.IncrementStep = 1;
    for (const auto &[name, into] : numbers) {
        if (!o.contains(name)) {
            if (name != QLatin1String("step"))
                return Refused{QStringLiteral("incremental expects %1").arg(name)};
            continue;
        }
        const auto v = seriesNumber(o.value(name));
        if (!v)
            return refusal(name, QStringLiteral("Format Error"), QStringLiteral("Use numeral only. "));
        *into = *v;
    }
    if (s.IncrementRemaining == 0)
        s.IncrementRemaining = 1;
    const int limit = Batch::kTrackLimits[size_t(chosen)];
    if (s.longestChosenTrack() > limit)
        return refusal(QStringLiteral("incremental"), QStringLiteral("Track Length Error"),
                       QStringLiteral("Track %1 holds at most %2 characters.  Prefix, number and suffix of the last "
                                      "card (number %3) make %4.")
                           .arg(s.IncrementTrack)
                           .arg(limit)
                           .arg(s.lastNumber())
                           .arg(s.longestChosenTrack()));
    return std::nullopt;
}

std::optional<Refused> parseNonIso(const QJsonObject &o, Job &job, bool write, DialectId dialect)
{
    NonIso::Selection &s = job.selection;
    const QString format = o.value(QStringLiteral("format")).toString(QStringLiteral("standard"));
    if (format != QLatin1String("standard") && format != QLatin1String("custom"))
        return Refused{QStringLiteral("format: standard or custom")};
    s.standardFormat = format == QLatin1String("standard");
    if (!s.standardFormat && !dialectFor(dialect).hasCustomNonIsoFormat())
        return Refused{QStringLiteral("format: the custom data format needs a VNT-290B encoder")};
    const QStringList names = s.standardFormat ? QStringList{"std-t1", "std-t2", "std-t3"} : QStringList{"5-bit", "6-bit", "7-bit"};
    const QStringList items = s.standardFormat ? NonIso::standardItems() : NonIso::customItems();
    for (int t = 0; t < 3; ++t) {
        const QString key = QStringLiteral("t%1").arg(t + 1);
        const int i = o.contains(key) ? int(names.indexOf(o.value(key).toString())) : (s.standardFormat ? t : 0);
        if (i < 0)
            return Refused{QStringLiteral("%1: one of %2").arg(key, names.join(QStringLiteral(", ")))};
        s.trackFormat[size_t(t)] = items.at(i);
    }
    if (!write)
        return std::nullopt;
    NonIso::WriteJob &w = job.nonIsoWrite;
    w.standardFormat = s.standardFormat;
    bool any = false;
    for (int t = 0; t < 3; ++t) {
        NonIso::TrackWrite &track = w.tracks[size_t(t)];
        track.item = s.trackFormat[size_t(t)];
        track.density = NonIso::DefaultDensities[size_t(t)];
        const QString density = QStringLiteral("density%1").arg(t + 1);
        if (o.contains(density)) {
            const auto bpi = o.value(density).toInt();
            if (bpi != 210 && bpi != 75)
                return Refused{density + QStringLiteral(": 210 or 75")};
            track.density = bpi == 210 ? NonIso::Density::Bpi210 : NonIso::Density::Bpi75;
        }
        const QString name = QStringLiteral("track%1").arg(t + 1);
        const NonIso::EntryCheck check = NonIso::checkEntry(s.standardFormat, track.item, track.density, o.value(name).toString());
        if (!check.ok())
            return refusal(name, check.title, check.text);
        track.data = check.data;
        any = any || NonIso::HasData(track.data);
    }
    if (!any)
        return Refused{QStringLiteral("noniso-write expects the data of at least one track")};
    return std::nullopt;
}

} // namespace

ClientMessage parseClientMessage(const QByteArray &text, DialectId dialect)
{
    ClientMessage m;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        m.problem = QStringLiteral("The message is not a JSON object.");
        return m;
    }
    const QJsonObject o = doc.object();
    m.id = o.value(QStringLiteral("id"));
    if (o.value(QStringLiteral("cancel")).toBool()) {
        m.kind = ClientMessage::Kind::Cancel;
        return m;
    }
    if (o.value(QStringLiteral("skip")).toBool()) {
        m.kind = ClientMessage::Kind::Skip;
        return m;
    }
    m.op = o.value(QStringLiteral("op")).toString();
    struct OpName {
        const char *name;
        JobKind kind;
    };
    static constexpr OpName kOps[] = {
        {"test", JobKind::Test},   {"read", JobKind::Read},
        {"write", JobKind::Write}, {"copy", JobKind::Copy},
        {"erase", JobKind::Erase}, {"encode", JobKind::Encode},
        {"incremental", JobKind::Incremental}, {"noniso-read", JobKind::NonIsoRead},
        {"noniso-write", JobKind::NonIsoWrite},
    };
    const auto *op = std::find_if(std::begin(kOps), std::end(kOps), [&](const OpName &n) { return m.op == QLatin1String(n.name); });
    if (op == std::end(kOps)) {
        m.problem = QStringLiteral("Unknown op \"%1\".").arg(m.op.left(40));
        return m;
    }
    m.job.kind = op->kind;
    if (o.contains(QStringLiteral("count"))) {
        const auto count = whole(o.value(QStringLiteral("count")), 0, std::numeric_limits<qint32>::max());
        if (!count) {
            m.problem = QStringLiteral("count: a number of cards from 0 (0: until cancelled)");
            return m;
        }
        if (op->kind != JobKind::Incremental)
            m.job.count = *count;
    }
    std::optional<Refused> refused;
    switch (op->kind) {
    case JobKind::Write:
        refused = parseWrite(o, m.job);
        break;
    case JobKind::Erase:
        for (const QJsonValue &v : o.value(QStringLiteral("erase")).toArray()) {
            const auto t = whole(v, 1, 3);
            if (!t) {
                refused = Refused{QStringLiteral("erase: track numbers 1 to 3")};
                break;
            }
            m.job.eraseMask |= 1 << (*t - 1);
        }
        if (!refused && m.job.eraseMask == 0)
            refused = Refused{QStringLiteral("erase: the tracks to erase, e.g. [1, 3]")};
        break;
    case JobKind::Encode:
        refused = parseEncode(o, m.job);
        break;
    case JobKind::Incremental:
        refused = parseIncremental(o, m.job);
        break;
    case JobKind::NonIsoRead:
    case JobKind::NonIsoWrite:
        refused = parseNonIso(o, m.job, op->kind == JobKind::NonIsoWrite, dialect);
        break;
    default:
        break;
    }
    if (refused) {
        m.problem = refused->text;
        return m;
    }
    m.kind = ClientMessage::Kind::Job;
    return m;
}
