#include "serve/JobMessage.h"

#include "card/NonIsoEntry.h"
#include "dialect/Dialect.h"
#include "operation/JobChecks.h"

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

// A refusal of the shared checks, named by `field` where it has one.
Refused said(const Refusal &r, const QString &field)
{
    return r.text.isEmpty() && r.title.isEmpty() ? Refused{field + QStringLiteral(": nothing entered")}
           : field.isEmpty()                   ? Refused{r.text}
                                               : refusal(field, r.title, r.text);
}

QString trackField(int field) { return field >= 0 && field < 3 ? QStringLiteral("track %1").arg(field + 1) : QString(); }

std::optional<Refused> parseWrite(const QJsonObject &o, Job &job)
{
    const QJsonArray tracks = o.value(QStringLiteral("tracks")).toArray();
    if (tracks.size() > 3)
        return Refused{QStringLiteral("tracks: at most three tracks")};
    Jobs::Texts texts;
    for (int t = 0; t < int(tracks.size()); ++t) {
        if (!tracks[t].isString())
            return Refused{QStringLiteral("tracks: each track is a string (\"\" leaves it alone)")};
        texts[size_t(t)] = tracks[t].toString();
    }
    const Jobs::Checked checked = Jobs::write(texts);
    if (!checked.ok())
        return said(*checked.refusal, trackField(checked.refusal->field));
    job.tracks = checked.job.tracks;
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
    qint64 from = 1;
    if (o.contains(QStringLiteral("from"))) {
        const auto n = whole(o.value(QStringLiteral("from")), 1, std::numeric_limits<qint32>::max());
        if (!n)
            return Refused{QStringLiteral("from: a record number from 1")};
        from = *n;
    }
    const Jobs::Checked checked = Jobs::encode(content, from, QStringLiteral("The records"));
    if (!checked.ok())
        return said(*checked.refusal, {});
    job.records = checked.job.records;
    job.from = checked.job.from;
    return std::nullopt;
}

std::optional<Refused> parseIncremental(const QJsonObject &o, Job &job)
{
    const auto track = whole(o.value(QStringLiteral("track")), 1, 3);
    if (!track)
        return Refused{QStringLiteral("track: 1, 2 or 3")};
    Jobs::SeriesEntry entry;
    entry.track = int(*track);
    for (int t = 0; t < 3; ++t) {
        const QString name = QStringLiteral("track%1").arg(t + 1);
        entry.data[size_t(t)] = o.value(name).toString();
        if (t == entry.track - 1 && !entry.data[size_t(t)].isEmpty())
            return Refused{QStringLiteral("%1: track %2 carries the number (prefix and suffix)").arg(name).arg(t + 1)};
    }
    static const char *const kRoles[] = {"prefix", "start", "step", "count", "suffix"};
    QString *fields[] = {&entry.prefix, &entry.start, &entry.step, &entry.count, &entry.suffix};
    for (int role = 0; role < 5; ++role) {
        const QString name = QString::fromLatin1(kRoles[role]);
        const QJsonValue v = o.value(name);
        const bool number = role >= Jobs::Start && role <= Jobs::Count;
        if (number && v.isUndefined() && role != Jobs::Step)
            return Refused{QStringLiteral("incremental expects %1").arg(name)};
        if (number && v.isDouble() && v.toDouble() != double(qint64(v.toDouble())))
            return refusal(name, QStringLiteral("Format Error"), QStringLiteral("Use numeral only. "));
        *fields[role] = v.isDouble() ? QString::number(qint64(v.toDouble())) : v.toString();
    }
    if (entry.step.isEmpty())
        entry.step = QStringLiteral("1"); // as vnt410's --step
    const Jobs::Checked checked = Jobs::incremental(entry);
    if (!checked.ok()) {
        const int f = checked.refusal->field;
        const int box = f % 5;
        return said(*checked.refusal, f < 0 ? QStringLiteral("incremental")
                                       : f / 5 == entry.track - 1 ? QString::fromLatin1(kRoles[box])
                                                                  : QStringLiteral("track%1").arg(f / 5 + 1));
    }
    job.series = checked.job.series;
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
    if (!write) {
        const Jobs::Checked checked = Jobs::nonIsoRead(s);
        return checked.ok() ? std::nullopt : std::optional<Refused>(said(*checked.refusal, {}));
    }
    NonIso::Densities densities = NonIso::DefaultDensities;
    Jobs::Texts texts;
    for (int t = 0; t < 3; ++t) {
        const QString density = QStringLiteral("density%1").arg(t + 1);
        if (o.contains(density)) {
            const auto bpi = o.value(density).toInt();
            if (bpi != 210 && bpi != 75)
                return Refused{density + QStringLiteral(": 210 or 75")};
            densities[size_t(t)] = bpi == 210 ? NonIso::Density::Bpi210 : NonIso::Density::Bpi75;
        }
        texts[size_t(t)] = o.value(QStringLiteral("track%1").arg(t + 1)).toString();
    }
    const Jobs::Checked checked = Jobs::nonIsoWrite(s, densities, texts);
    if (!checked.ok()) {
        const int f = checked.refusal->field;
        return said(*checked.refusal, f >= 0 && f < 3 ? QStringLiteral("track%1").arg(f + 1) : QString());
    }
    job.nonIsoWrite = checked.job.nonIsoWrite;
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
        if (!refused && !Jobs::erase(m.job.eraseMask).ok())
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
