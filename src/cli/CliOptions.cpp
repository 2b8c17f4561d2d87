#include "cli/CliOptions.h"

#include "cli/CliHelp.h"
#include "cli/TracksFrom.h"
#include "cli/CliWords.h"
#include "dialect/Dialect.h"
#include "operation/EncodeDataFile.h"
#include "operation/JobChecks.h"

#include <QCommandLineParser>
#include <algorithm>
#include <limits>
#include <optional>

using namespace CliSyntax;
using namespace CliWords;

namespace {

void addOptions(QCommandLineParser &parser, const QList<Opt> &options)
{
    for (const Opt &o : options)
        parser.addOption(o.value.isEmpty() ? QCommandLineOption(o.name, o.help)
                                           : QCommandLineOption(o.name, o.help, o.value));
}

// One of `choices` (any case), as the choice is spelt in the list.
std::optional<QString> choice(const QString &value, const QStringList &choices)
{
    for (const QString &c : choices)
        if (value.compare(c, Qt::CaseInsensitive) == 0)
            return c;
    return std::nullopt;
}


// The tracks given, or the request that refuses them.
std::optional<CliRequest> trackTexts(const QCommandLineParser &q, Jobs::Texts &texts, QString &from)
{
    const GivenTracks given = givenTracks(q);
    if (!given.problem.isEmpty())
        return given.usage ? usage(given.problem) : refusedLine(given.problem);
    texts = given.texts;
    from = given.from;
    return std::nullopt;
}

CliRequest parseLine(const QCommandLineParser &p, CliRequest r)
{
    if (p.isSet(QStringLiteral("port"))) {
        const auto n = wholeNumber(p.value(QStringLiteral("port")), 1, 12);
        if (!n)
            return usage(QStringLiteral("--port expects a number from 1 to 12, not \"%1\"").arg(p.value(QStringLiteral("port"))));
        r.port = int(*n);
    }
    if (p.isSet(QStringLiteral("device"))) {
        r.device = p.value(QStringLiteral("device")).trimmed();
        if (r.device.isEmpty())
            return usage(QStringLiteral("--device expects a device, e.g. /dev/ttyUSB0"));
    }
    if (p.isSet(QStringLiteral("dialect"))) {
        const QString v = p.value(QStringLiteral("dialect"));
        const auto d = dialectNamed(v);
        if (!d)
            return usage(QStringLiteral("--dialect expects hkd382 or vnt-290b, not \"%1\"").arg(v));
        r.dialect = *d;
        r.dialectGiven = true;
    }
    struct ListOption {
        const char *name;
        QStringList choices;
        QString *into;
    };
    const ListOption lists[] = {
        {"baud", {"19200", "9600", "4800", "2400", "1200"}, &r.baud},
        {"parity", {"None", "Even", "Odd"}, &r.parity},
        {"data-bits", {"8", "7"}, &r.dataBits},
    };
    for (const ListOption &l : lists) {
        const QString name = QString::fromLatin1(l.name);
        if (!p.isSet(name))
            continue;
        const auto c = choice(p.value(name), l.choices);
        if (!c)
            return usage(QStringLiteral("--%1 expects %2, not \"%3\"")
                             .arg(name, l.choices.join(QLatin1Char('|')).toLower(), p.value(name)));
        *l.into = *c;
    }
    if (p.isSet(QStringLiteral("coercivity"))) {
        const auto c = choice(p.value(QStringLiteral("coercivity")), {QStringLiteral("high"), QStringLiteral("low")});
        if (!c)
            return usage(QStringLiteral("--coercivity expects high or low, not \"%1\"").arg(p.value(QStringLiteral("coercivity"))));
        r.highCoercivity = *c == QLatin1String("high");
    }
    r.simulate = p.isSet(QStringLiteral("simulate"));
    r.json = p.isSet(QStringLiteral("json"));
    if (p.isSet(QStringLiteral("trace"))) {
        r.trace = p.value(QStringLiteral("trace"));
        if (r.trace.trimmed().isEmpty())
            return usage(QStringLiteral("--trace expects a file name"));
    }
    r.traceCardData = p.isSet(QStringLiteral("trace-card-data"));
    if (r.traceCardData && r.trace.isEmpty())
        return usage(QStringLiteral("--trace-card-data needs --trace FILE"));
    return r;
}

// The entry's field as the option that gave it.
QString seriesOption(int field, int chosen, const QString &from)
{
    static const char *const roles[] = {"--prefix", "--start", "--step", "--count", "--suffix"};
    if (field < 0)
        return QStringLiteral("incremental");
    return field / 5 == chosen ? QString::fromLatin1(roles[field % 5]) : trackSource(field / 5, from);
}

CliRequest parseIncremental(const QCommandLineParser &q, CliRequest r)
{
    Jobs::SeriesEntry entry;
    const auto track = wholeNumber(q.value(QStringLiteral("track")), 1, 3);
    if (!track)
        return usage(QStringLiteral("incremental expects --track 1, 2 or 3"));
    entry.track = int(*track);
    const int chosen = entry.track - 1;
    for (const char *needed : {"start", "count"})
        if (!q.isSet(QString::fromLatin1(needed)))
            return usage(QStringLiteral("incremental expects --%1").arg(QString::fromLatin1(needed)));
    QString from;
    if (const auto problem = trackTexts(q, entry.data, from))
        return *problem;
    const bool chosenGiven = from.isEmpty() ? q.isSet(trackName(chosen)) : !entry.data[size_t(chosen)].isEmpty();
    if (chosenGiven)
        return usage(QStringLiteral("track %1 carries the number: give its data with --prefix and --suffix").arg(chosen + 1));
    entry.prefix = q.value(QStringLiteral("prefix"));
    entry.suffix = q.value(QStringLiteral("suffix"));
    entry.start = q.value(QStringLiteral("start"));
    entry.step = q.isSet(QStringLiteral("step")) ? q.value(QStringLiteral("step")) : QStringLiteral("1");
    entry.count = q.value(QStringLiteral("count"));
    const Jobs::Checked checked = Jobs::incremental(entry);
    if (!checked.ok()) {
        if (checked.refusal->text.isEmpty())
            return usage(QStringLiteral("incremental expects a base record: --start, --prefix, --suffix or track data"));
        const int field = checked.refusal->field;
        const QString *own[5] = {&entry.prefix, &entry.start, &entry.step, &entry.count, &entry.suffix};
        const QString given = field < 0 ? QString() : field / 5 == chosen ? *own[field % 5] : entry.data[size_t(field / 5)];
        return refused(seriesOption(field, chosen, from), *checked.refusal, given);
    }
    r.job = checked.job;
    return r;
}

CliRequest parseNonIso(const QCommandLineParser &q, CliRequest r, bool write)
{
    NonIso::Selection s;
    const QString format = q.value(QStringLiteral("format"));
    if (!format.isEmpty() && !choice(format, {QStringLiteral("standard"), QStringLiteral("custom")}))
        return usage(QStringLiteral("--format expects standard or custom, not \"%1\"").arg(format));
    s.standardFormat = format.compare(QLatin1String("custom"), Qt::CaseInsensitive) != 0;
    // The custom format exists only where the encoder's dialect has it.
    if (!s.standardFormat && !dialectFor(r.dialect).hasCustomNonIsoFormat())
        return usage(QStringLiteral("the custom data format needs a VNT-290B encoder (--dialect vnt-290b)"));
    const QStringList names = s.standardFormat ? QStringList{"std-t1", "std-t2", "std-t3"} : QStringList{"5-bit", "6-bit", "7-bit"};
    const QStringList items = s.standardFormat ? NonIso::standardItems() : NonIso::customItems();
    NonIso::Densities densities = NonIso::DefaultDensities;
    Jobs::Texts texts;
    QString from;
    if (write)
        if (const auto problem = trackTexts(q, texts, from))
            return *problem;
    for (int t = 0; t < 3; ++t) {
        const QString option = QStringLiteral("t%1").arg(t + 1);
        s.trackFormat[size_t(t)] = items.at(s.standardFormat ? t : 0);
        if (q.isSet(option)) {
            const auto c = choice(q.value(option), names);
            if (!c)
                return usage(QStringLiteral("--%1 expects %2 with --format %3, not \"%4\"")
                                 .arg(option, names.join(QLatin1Char('|')), s.standardFormat ? "standard" : "custom", q.value(option)));
            s.trackFormat[size_t(t)] = items.at(names.indexOf(*c));
        }
        const QString density = QStringLiteral("density%1").arg(t + 1);
        if (write && q.isSet(density)) {
            const auto c = choice(q.value(density), {QStringLiteral("210"), QStringLiteral("75")});
            if (!c)
                return usage(QStringLiteral("--%1 expects 210 or 75, not \"%2\"").arg(density, q.value(density)));
            densities[size_t(t)] = *c == QLatin1String("210") ? NonIso::Density::Bpi210 : NonIso::Density::Bpi75;
        }
    }
    const Jobs::Checked checked = write ? Jobs::nonIsoWrite(s, densities, texts) : Jobs::nonIsoRead(s);
    if (!checked.ok()) {
        if (checked.refusal->text.isEmpty())
            return usage(QStringLiteral("noniso-write expects the data of at least one track"));
        const int field = checked.refusal->field;
        return refused(field < 0 ? QStringLiteral("noniso-write") : trackSource(field, from), *checked.refusal,
                       field < 0 ? QString() : texts[size_t(field)], true);
    }
    r.job = checked.job;
    return r;
}

CliRequest parseEncode(const QCommandLineParser &q, CliRequest r)
{
    qint64 from = 1;
    if (q.isSet(QStringLiteral("from"))) {
        const auto n = wholeNumber(q.value(QStringLiteral("from")), 1, std::numeric_limits<qint32>::max());
        if (!n)
            return usage(QStringLiteral("--from expects a record number from 1, not \"%1\"").arg(q.value(QStringLiteral("from"))));
        from = *n;
    }
    // Nothing goes to the encoder for a file that is refused; the reason it was not read first.
    const EncodeDataFile::Loaded loaded = EncodeDataFile::ReadEncodeDataFile(r.file);
    if (!loaded.ok())
        return refusedLine(r.file + QStringLiteral(": ") + readFault(loaded.problem));
    const Jobs::Checked checked = Jobs::encode(loaded.content, from, r.file);
    if (checked.refusal)
        return refusedLine(checked.refusal->title.isEmpty()
                               ? checked.refusal->text
                               : r.file + QStringLiteral(": ") + contentFault(loaded.content, *checked.refusal));
    r.job = checked.job;
    return r;
}

CliRequest parseCommand(const CommandDef &command, const QStringList &args, CliRequest r)
{
    QCommandLineParser q;
    addOptions(q, command.options);
    addOptions(q, {helpOption()});
    if (!q.parse(QStringList{kProgram + QLatin1Char(' ') + command.name} + args))
        return usage(command.name + QStringLiteral(": ") + optionError(q));
    if (q.isSet(helpOption().name))
        return print(commandHelp(command));
    const QStringList rest = q.positionalArguments();
    if (command.id == JobKind::Save || command.id == JobKind::Encode) {
        if (rest.size() != 1 || rest.first().isEmpty())
            return usage(command.name + QStringLiteral(" expects one FILE"));
        r.file = rest.first();
    } else if (!rest.isEmpty()) {
        return usage(QStringLiteral("%1: unexpected argument \"%2\"").arg(command.name, rest.first()));
    }
    if (command.service)
        return parseServe(q, r);
    qint64 count = 0;
    const QString countName = countOption().name;
    const bool countable = std::any_of(command.options.begin(), command.options.end(), [&](const Opt &o) { return o.name == countName; });
    if (command.id != JobKind::Incremental && countable && q.isSet(countName)) {
        const auto n = wholeNumber(q.value(countName), 1, std::numeric_limits<qint32>::max());
        if (!n)
            return usage(QStringLiteral("--count expects a number of cards from 1, not \"%1\"").arg(q.value(countName)));
        count = *n;
    }

    switch (command.id) {
    case JobKind::Write: {
        Jobs::Texts texts;
        QString from;
        if (const auto problem = trackTexts(q, texts, from))
            return *problem;
        const Jobs::Checked checked = Jobs::write(texts);
        if (!checked.ok()) {
            const int field = checked.refusal->field;
            if (field < 0)
                return refusedLine(QStringLiteral("write: no track given: --track1, --track2, --track3 or --tracks-from"));
            return refused(trackSource(field, from), *checked.refusal, texts[size_t(field)]);
        }
        r.job = checked.job;
        break;
    }
    case JobKind::Erase: {
        int mask = 0;
        const QString list = q.value(QStringLiteral("tracks"));
        for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto t = wholeNumber(item.trimmed(), 1, 3);
            if (!t)
                return usage(QStringLiteral("--tracks expects track numbers 1 to 3, e.g. 1,3, not \"%1\"").arg(list));
            mask |= 1 << (*t - 1);
        }
        const Jobs::Checked checked = Jobs::erase(mask);
        if (!checked.ok())
            return usage(QStringLiteral("erase expects --tracks, e.g. --tracks 1,3"));
        r.job = checked.job;
        break;
    }
    case JobKind::Save:
        r.append = q.isSet(QStringLiteral("append"));
        break;
    case JobKind::Encode:
        r = parseEncode(q, r);
        break;
    case JobKind::Incremental:
        r = parseIncremental(q, r);
        break;
    case JobKind::NonIsoRead:
    case JobKind::NonIsoWrite:
        r = parseNonIso(q, r, command.id == JobKind::NonIsoWrite);
        break;
    default:
        break;
    }
    r.job.kind = command.id;
    r.job.count = count;
    return r;
}

} // namespace

CliRequest parseCli(const QStringList &args, const QString &version)
{
    QCommandLineParser p;
    // Everything after the command is the command's.
    p.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    addOptions(p, lineOptions());
    if (!p.parse(args))
        return usage(optionError(p));
    if (p.isSet(QStringLiteral("help")))
        return print(globalHelp());
    if (p.isSet(QStringLiteral("version")))
        return print(kProgram + QLatin1Char(' ') + version + QLatin1Char('\n'));
    CliRequest r = parseLine(p, CliRequest{});
    if (r.action != CliRequest::Action::Run)
        return r;
    const QStringList rest = p.positionalArguments();
    if (rest.isEmpty())
        return usage(QStringLiteral("no command given"));
    for (const CommandDef &command : commands())
        if (command.name == rest.first())
            return parseCommand(command, rest.mid(1), r);
    return usage(QStringLiteral("unknown command \"%1\"").arg(rest.first()));
}
