#include "cli/CliOptions.h"

#include "card/CharacterMessages.h"
#include "card/InputRecord.h"
#include "card/NonIsoEntry.h"
#include "card/RawCodec.h"
#include "card/Validators.h"
#include "dialect/Dialect.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QString kProgram = QStringLiteral("vnt410");

struct Opt {
    QString name;
    QString value; // empty: a switch
    QString help;
};

struct CommandDef {
    CliCommand id;
    QString name;
    QString arguments; // after the name in the usage line
    QString summary;
    QList<Opt> options;
};

const Opt kCount{QStringLiteral("count"), QStringLiteral("N"),
                 QStringLiteral("End after N cards done well (default: until interrupted).")};

const QList<Opt> &lineOptions()
{
    static const QList<Opt> options{
        {QStringLiteral("port"), QStringLiteral("N"), QStringLiteral("Serial port number, 1 to 12 (default 1).")},
        {QStringLiteral("device"), QStringLiteral("PATH"),
         QStringLiteral("The serial device itself, e.g. /dev/ttyUSB0 (instead of the port number's).")},
        {QStringLiteral("dialect"), QStringLiteral("hkd382|vnt-290b"),
         QStringLiteral("The encoder's emulation mode (default hkd382).")},
        {QStringLiteral("baud"), QStringLiteral("19200|9600|4800|2400|1200"), QStringLiteral("Baud rate (default 9600).")},
        {QStringLiteral("parity"), QStringLiteral("none|even|odd"), QStringLiteral("Parity (default none).")},
        {QStringLiteral("data-bits"), QStringLiteral("8|7"), QStringLiteral("Data bits (default 8).")},
        {QStringLiteral("coercivity"), QStringLiteral("high|low"), QStringLiteral("Write coercivity (default high).")},
        {QStringLiteral("simulate"), QString(),
         QStringLiteral("Use the built-in encoder, with a simulated operator who swipes a card one second after "
                        "each prompt.")},
        {QStringLiteral("trace"), QStringLiteral("FILE"),
         QStringLiteral("Write every byte sent to and received from the encoder to FILE (track data as ..).")},
        {QStringLiteral("trace-card-data"), QString(),
         QStringLiteral("With --trace: write the track data as it went, not as .. (only when support asks).")},
        {QStringLiteral("json"), QString(), QStringLiteral("Results as one JSON object per line.")},
        {QStringLiteral("help"), QString(), QStringLiteral("Show this help and end.")},
        {QStringLiteral("version"), QString(), QStringLiteral("Show the version and end.")},
    };
    return options;
}

// The format selection's choices: "Standard Format on " or "Custom Data Format", and the list
// of each track.
QList<Opt> formatOptions()
{
    QList<Opt> options{{QStringLiteral("format"), QStringLiteral("standard|custom"),
                        QStringLiteral("Standard Format on a track, or Custom Data Format (VNT-290B only; default "
                                       "standard).")}};
    for (int t = 1; t <= 3; ++t)
        options << Opt{QStringLiteral("t%1").arg(t), QStringLiteral("ITEM"),
                       QStringLiteral("Track %1's format: std-t1, std-t2 or std-t3 (standard; default std-t%1), 5-bit, "
                                      "6-bit or 7-bit (custom; default 5-bit).")
                           .arg(t)};
    return options;
}

const QList<CommandDef> &commands()
{
    static const Opt track1{QStringLiteral("track1"), QStringLiteral("T"), QStringLiteral("Track 1 data (at most 76 characters).")};
    static const Opt track2{QStringLiteral("track2"), QStringLiteral("T"), QStringLiteral("Track 2 data (at most 37 numerics).")};
    static const Opt track3{QStringLiteral("track3"), QStringLiteral("T"), QStringLiteral("Track 3 data (at most 104 numerics).")};
    static const QList<CommandDef> specs{
        {CliCommand::Test, QStringLiteral("test"), QString(),
         QStringLiteral("Test the encoder (the setup handshake) and say which dialect answered. Without --dialect "
                        "a VNT-290B encoder is tried when no HKD382 encoder answers."),
         {}},
        {CliCommand::Read, QStringLiteral("read"), QStringLiteral("[--count N]"),
         QStringLiteral("Read cards, one result line each."), {kCount}},
        {CliCommand::Write, QStringLiteral("write"), QStringLiteral("[--track1 T] [--track2 T] [--track3 T] [--count N]"),
         QStringLiteral("Write the given tracks onto each card swiped (at least one track)."),
         {track1, track2, track3, kCount}},
        {CliCommand::Copy, QStringLiteral("copy"), QStringLiteral("[--count N]"),
         QStringLiteral("Read a source card, write it onto a target card; again."), {kCount}},
        {CliCommand::Erase, QStringLiteral("erase"), QStringLiteral("--tracks LIST [--count N]"),
         QStringLiteral("Erase the listed tracks from each card swiped."),
         {{QStringLiteral("tracks"), QStringLiteral("LIST"), QStringLiteral("The tracks to erase, e.g. 1,3.")}, kCount}},
        {CliCommand::Save, QStringLiteral("save"), QStringLiteral("FILE [--count N] [--append]"),
         QStringLiteral("Read cards and add each good one to FILE as a record of the encode data file, on disk "
                        "before its result line. FILE is created readable by its owner only."),
         {kCount, {QStringLiteral("append"), QString(), QStringLiteral("Add to an existing FILE instead of refusing it.")}}},
        {CliCommand::Encode, QStringLiteral("encode"), QStringLiteral("FILE [--from N]"),
         QStringLiteral("Write one card per record of the encode data file FILE, checked whole first."),
         {{QStringLiteral("from"), QStringLiteral("N"),
           QStringLiteral("Start at record N (to go on after an interrupted run; default 1).")}}},
        {CliCommand::Incremental, QStringLiteral("incremental"),
         QStringLiteral("--track 1|2|3 --start N [--step S] --count C [--prefix P] [--suffix X] [--track1 T] "
                        "[--track2 T] [--track3 T]"),
         QStringLiteral("Write a numbered series of C cards: the chosen track holds prefix, running number and "
                        "suffix; the other tracks hold their --trackN data."),
         {{QStringLiteral("track"), QStringLiteral("1|2|3"), QStringLiteral("The track that carries the number.")},
          {QStringLiteral("start"), QStringLiteral("N"), QStringLiteral("The first card's number.")},
          {QStringLiteral("step"), QStringLiteral("S"), QStringLiteral("Increment from card to card (default 1).")},
          {QStringLiteral("count"), QStringLiteral("C"), QStringLiteral("How many cards.")},
          {QStringLiteral("prefix"), QStringLiteral("P"), QStringLiteral("Before the number on the chosen track.")},
          {QStringLiteral("suffix"), QStringLiteral("X"), QStringLiteral("After the number on the chosen track.")},
          track1, track2, track3}},
        {CliCommand::NonIsoRead, QStringLiteral("noniso-read"), QStringLiteral("[FORMAT OPTIONS] [--count N]"),
         QStringLiteral("Read cards in a non-ISO format: a standard format on another track, or raw characters "
                        "(shown as hex pairs)."),
         formatOptions() + QList<Opt>{kCount}},
        {CliCommand::NonIsoWrite, QStringLiteral("noniso-write"),
         QStringLiteral("[FORMAT OPTIONS] [--density1 210|75]... [--track1 DATA] [--track2 DATA] [--track3 DATA] "
                        "[--count N]"),
         QStringLiteral("Write the same data in a non-ISO format onto each card swiped (at least one track): text in "
                        "a standard format, hex pairs of raw values (e.g. \"01 1F 0B\") in the custom format."),
         formatOptions()
             + QList<Opt>{
                 {QStringLiteral("density1"), QStringLiteral("210|75"), QStringLiteral("Track 1 write density in BPI (default 210).")},
                 {QStringLiteral("density2"), QStringLiteral("210|75"), QStringLiteral("Track 2 write density in BPI (default 75).")},
                 {QStringLiteral("density3"), QStringLiteral("210|75"), QStringLiteral("Track 3 write density in BPI (default 210).")},
                 {QStringLiteral("track1"), QStringLiteral("DATA"), QStringLiteral("Track 1 data.")},
                 {QStringLiteral("track2"), QStringLiteral("DATA"), QStringLiteral("Track 2 data.")},
                 {QStringLiteral("track3"), QStringLiteral("DATA"), QStringLiteral("Track 3 data.")},
                 kCount}},
        {CliCommand::Serve, QStringLiteral("serve"), QStringLiteral("[--listen PORT] [--allow-origin ORIGIN]..."),
         QStringLiteral("Serve web applications on 127.0.0.1 and ::1: a page, the vnt410.js module and jobs over "
                        "WebSocket, until SIGINT or SIGTERM."),
         {{QStringLiteral("listen"), QStringLiteral("PORT"), QStringLiteral("The port (default 8410).")},
          {QStringLiteral("allow-origin"), QStringLiteral("ORIGIN"),
           QStringLiteral("Also serve pages of ORIGIN, exactly scheme://host[:port] (repeatable).")}}},
    };
    return specs;
}

const Opt kHelp{QStringLiteral("help"), QString(), QStringLiteral("Show this command's help and end.")};

// `text` in lines of at most 79 characters, each but the first indented by `indent`.
QString wrapped(const QString &text, int indent, int first = 0)
{
    QString out;
    int column = first;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (column > indent && column + 1 + word.size() > 79) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (column > indent || (column == indent && !out.isEmpty() && !out.endsWith(QLatin1Char(' ')))) {
            out += QLatin1Char(' ');
            ++column;
        }
        out += word;
        column += int(word.size());
    }
    return out;
}

QString optionLines(const QList<Opt> &options)
{
    constexpr int kColumn = 30;
    QString out;
    for (const Opt &o : options) {
        QString head = QStringLiteral("  --") + o.name;
        if (!o.value.isEmpty())
            head += QLatin1Char(' ') + o.value;
        if (head.size() >= kColumn)
            head += QLatin1Char('\n') + QString(kColumn, QLatin1Char(' '));
        else
            head = head.leftJustified(kColumn);
        out += head + wrapped(o.help, kColumn, kColumn) + QLatin1Char('\n');
    }
    return out;
}

QString globalHelp()
{
    QString text = QStringLiteral("Usage: %1 [LINE OPTIONS] [--simulate] [--trace FILE] [--json] COMMAND [ARGS]\n\n")
                       .arg(kProgram)
                   + wrapped(QStringLiteral("Drives a VNT-410 series magnetic-stripe card encoder on a serial port. "
                                            "Prompts go to standard error, one result line per card to standard "
                                            "output."),
                             0)
                   + QStringLiteral("\n\nOptions:\n");
    text += optionLines(lineOptions());
    text += QStringLiteral("\nCommands (%1 COMMAND --help tells more):\n").arg(kProgram);
    for (const CommandDef &c : commands())
        text += (QStringLiteral("  ") + c.name).leftJustified(16)
                + wrapped(c.summary.section(QLatin1Char('.'), 0, 0) + QLatin1Char('.'), 16, 16) + QLatin1Char('\n');
    text += QLatin1Char('\n')
            + wrapped(QStringLiteral("Exit status: 0 done as asked, 1 a file could not be written, 2 usage or data "
                                     "refused, 3 the port cannot be opened, the encoder does not answer or refuses, "
                                     "or the port is lost, 130 after SIGINT, 143 after SIGTERM."),
                      0)
            + QLatin1Char('\n');
    return text;
}

QString commandHelp(const CommandDef &c)
{
    QString text = QStringLiteral("Usage: %1 [LINE OPTIONS] %2").arg(kProgram, c.name);
    if (!c.arguments.isEmpty())
        text += QLatin1Char(' ') + c.arguments;
    text += QStringLiteral("\n\n") + wrapped(c.summary, 0) + QLatin1Char('\n');
    text += QStringLiteral("\nOptions:\n") + optionLines(c.options + QList<Opt>{kHelp});
    return text;
}

CliRequest usage(const QString &what)
{
    CliRequest r;
    r.action = CliRequest::Action::UsageError;
    r.text = kProgram + QStringLiteral(": ") + what + QStringLiteral("\nSee %1 --help.\n").arg(kProgram);
    return r;
}

// Refused data: the entry window's message, no pointer to the help.
CliRequest refused(const QString &what, const QString &title, const QString &text)
{
    CliRequest r;
    r.action = CliRequest::Action::UsageError;
    if (title.isEmpty()) {
        r.text = kProgram + QStringLiteral(": ") + what + QStringLiteral(": ") + text + QLatin1Char('\n');
        return r;
    }
    // The titles of the character messages begin with a blank of their own.
    const QString gap = title.startsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(" ");
    r.text = kProgram + QStringLiteral(": ") + what + QLatin1Char(':') + gap + title + QLatin1Char('\n') + text
             + QLatin1Char('\n');
    return r;
}

CliRequest print(const QString &text)
{
    CliRequest r;
    r.action = CliRequest::Action::Print;
    r.text = text;
    return r;
}

void addOptions(QCommandLineParser &parser, const QList<Opt> &options)
{
    for (const Opt &o : options)
        parser.addOption(o.value.isEmpty() ? QCommandLineOption(o.name, o.help)
                                           : QCommandLineOption(o.name, o.help, o.value));
}

// Plain decimal digits only, from `low` to `high`.
std::optional<qint64> wholeNumber(const QString &text, qint64 low, qint64 high)
{
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const qint64 v = text.toLongLong();
    if (v < low || v > high)
        return std::nullopt;
    return v;
}

// One of `choices` (any case), as the choice is spelt in the list.
std::optional<QString> choice(const QString &value, const QStringList &choices)
{
    for (const QString &c : choices)
        if (value.compare(c, Qt::CaseInsensitive) == 0)
            return c;
    return std::nullopt;
}

// The input record's rules for a track typed into box `box`: box 0 upper-cased, the box's
// length, the check on leaving the box. Empty when it passes.
struct TrackCheck {
    QString title;
    QString text;
    bool ok() const { return title.isEmpty(); }
};

TrackCheck checkTrack(int box, QString &text, int limit)
{
    if (box == 0)
        text = InputRecord::upperCased(text);
    if (text.size() > limit)
        return {QStringLiteral("Track Length Error"),
                QStringLiteral("Track %1 holds at most %2 characters, not %3.").arg(box + 1).arg(limit).arg(text.size())};
    if (!InputRecord::passesLeaveCheck(box, text)) {
        const InputRecord::Message m = InputRecord::leaveMessage(box);
        return {m.title, m.text};
    }
    return {};
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

CliRequest parseIncremental(const QCommandLineParser &q, CliRequest r)
{
    Batch::IncrementSeries &s = r.series;
    const auto track = wholeNumber(q.value(QStringLiteral("track")), 1, 3);
    if (!track)
        return usage(QStringLiteral("incremental expects --track 1, 2 or 3"));
    s.IncrementTrack = int(*track);
    const int chosen = s.IncrementTrack - 1;
    for (const char *needed : {"start", "count"})
        if (!q.isSet(QString::fromLatin1(needed)))
            return usage(QStringLiteral("incremental expects --%1").arg(QString::fromLatin1(needed)));

    // The text fields: track 1's are 7-bit text, those of tracks 2 and 3 5-bit text.
    for (int t = 0; t < 3; ++t) {
        const QString name = QStringLiteral("track%1").arg(t + 1);
        if (t == chosen) {
            if (q.isSet(name))
                return usage(QStringLiteral("track %1 carries the number: give its data with --prefix and --suffix").arg(t + 1));
            continue;
        }
        QString text = q.value(name);
        if (text.isEmpty())
            continue;
        const TrackCheck c = checkTrack(t, text, Batch::kTrackLimits[size_t(t)]);
        if (!c.ok())
            return refused(QStringLiteral("--") + name, c.title, c.text);
        s.TrackData[size_t(t)] = text.toLatin1();
    }
    // Tracks 2 and 3 take at most 76 characters in a field other than their data; track 1's
    // suffix has no limit of its own (the length of the last card's track is checked below).
    const int fieldLimit = chosen == 0 ? std::numeric_limits<int>::max() : 76;
    for (const char *field : {"prefix", "suffix"}) {
        const QString name = QString::fromLatin1(field);
        QString text = q.value(name);
        if (text.isEmpty())
            continue;
        const int limit = name == QLatin1String("prefix") ? Batch::kTrackLimits[size_t(chosen)] : fieldLimit;
        const TrackCheck c = checkTrack(chosen, text, limit);
        if (!c.ok())
            return refused(QStringLiteral("--") + name, c.title, c.text);
        (name == QLatin1String("prefix") ? s.TrackData[size_t(chosen)] : s.Suffix) = text.toLatin1();
    }
    // Whole, non-negative and within 32 bits, as the entry takes them.
    struct NumberField {
        const char *name;
        qint64 *into;
        qint64 fallback;
    };
    const NumberField numbers[] = {
        {"start", &s.CurrentNumber, 0}, {"step", &s.IncrementStep, 1}, {"count", &s.IncrementRemaining, 1}};
    for (const NumberField &n : numbers) {
        const QString name = QString::fromLatin1(n.name);
        if (!q.isSet(name)) {
            *n.into = n.fallback;
            continue;
        }
        const auto v = Batch::NumberFieldValue(q.value(name));
        if (!v)
            return refused(QStringLiteral("--") + name, QStringLiteral("Format Error"), QStringLiteral("Use numeral only. "));
        *n.into = *v;
    }
    if (s.IncrementRemaining == 0)
        s.IncrementRemaining = 1;
    const int limit = Batch::kTrackLimits[size_t(chosen)];
    const int longest = s.longestChosenTrack();
    if (longest > limit)
        return refused(QStringLiteral("incremental"), QStringLiteral("Track Length Error"),
                       QStringLiteral("Track %1 holds at most %2 characters.  Prefix, number and suffix of the "
                                      "last card (number %3) make %4.")
                           .arg(s.IncrementTrack)
                           .arg(limit)
                           .arg(s.lastNumber())
                           .arg(longest));
    return r;
}

bool hasOption(const CommandDef &command, const QString &name)
{
    return std::any_of(command.options.begin(), command.options.end(), [&](const Opt &o) { return o.name == name; });
}

// The entry's message, its lines ended as on a terminal.
QString terminalLines(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
}

CliRequest parseNonIso(const QCommandLineParser &q, CliRequest r, bool write)
{
    NonIso::Selection &s = r.selection;
    const QString format = q.value(QStringLiteral("format"));
    if (!format.isEmpty() && !choice(format, {QStringLiteral("standard"), QStringLiteral("custom")}))
        return usage(QStringLiteral("--format expects standard or custom, not \"%1\"").arg(format));
    s.standardFormat = format.compare(QLatin1String("custom"), Qt::CaseInsensitive) != 0;
    // The custom format exists only where the encoder's dialect has it.
    if (!s.standardFormat && !dialectFor(r.dialect).hasCustomNonIsoFormat())
        return usage(QStringLiteral("the custom data format needs a VNT-290B encoder (--dialect vnt-290b)"));
    const QStringList names = s.standardFormat ? QStringList{"std-t1", "std-t2", "std-t3"} : QStringList{"5-bit", "6-bit", "7-bit"};
    const QStringList items = s.standardFormat ? NonIso::standardItems() : NonIso::customItems();
    for (int t = 0; t < 3; ++t) {
        const QString option = QStringLiteral("t%1").arg(t + 1);
        s.trackFormat[size_t(t)] = items.at(s.standardFormat ? t : 0);
        if (!q.isSet(option))
            continue;
        const auto c = choice(q.value(option), names);
        if (!c)
            return usage(QStringLiteral("--%1 expects %2 with --format %3, not \"%4\"")
                             .arg(option, names.join(QLatin1Char('|')), s.standardFormat ? "standard" : "custom", q.value(option)));
        s.trackFormat[size_t(t)] = items.at(names.indexOf(*c));
    }
    if (!write)
        return r;

    NonIso::WriteJob &job = r.job;
    job.standardFormat = s.standardFormat;
    bool any = false;
    for (int t = 0; t < 3; ++t) {
        NonIso::TrackWrite &w = job.tracks[size_t(t)];
        w.item = s.trackFormat[size_t(t)];
        w.density = NonIso::DefaultDensities[size_t(t)];
        const QString density = QStringLiteral("density%1").arg(t + 1);
        if (q.isSet(density)) {
            const auto c = choice(q.value(density), {QStringLiteral("210"), QStringLiteral("75")});
            if (!c)
                return usage(QStringLiteral("--%1 expects 210 or 75, not \"%2\"").arg(density, q.value(density)));
            w.density = *c == QLatin1String("210") ? NonIso::Density::Bpi210 : NonIso::Density::Bpi75;
        }
        const QString track = QStringLiteral("track%1").arg(t + 1);
        const NonIso::EntryCheck check = NonIso::checkEntry(s.standardFormat, w.item, w.density, q.value(track));
        if (!check.ok())
            return refused(QStringLiteral("--") + track, check.title, terminalLines(check.text));
        w.data = check.data;
        any = any || NonIso::HasData(w.data);
    }
    if (!any)
        return usage(QStringLiteral("noniso-write expects the data of at least one track"));
    return r;
}

CliRequest parseCommand(const CommandDef &command, const QStringList &args, CliRequest r)
{
    QCommandLineParser q;
    addOptions(q, command.options);
    addOptions(q, {kHelp});
    if (!q.parse(QStringList{kProgram + QLatin1Char(' ') + command.name} + args))
        return usage(command.name + QStringLiteral(": ") + q.errorText());
    if (q.isSet(kHelp.name))
        return print(commandHelp(command));
    r.command = command.id;
    const QStringList rest = q.positionalArguments();
    const bool takesFile = command.id == CliCommand::Save || command.id == CliCommand::Encode;
    if (takesFile) {
        if (rest.size() != 1 || rest.first().isEmpty())
            return usage(command.name + QStringLiteral(" expects one FILE"));
        r.file = rest.first();
    } else if (!rest.isEmpty()) {
        return usage(QStringLiteral("%1: unexpected argument \"%2\"").arg(command.name, rest.first()));
    }
    if (command.id != CliCommand::Incremental && hasOption(command, kCount.name) && q.isSet(kCount.name)) {
        const auto n = wholeNumber(q.value(kCount.name), 1, std::numeric_limits<qint32>::max());
        if (!n)
            return usage(QStringLiteral("--count expects a number of cards from 1, not \"%1\"").arg(q.value(kCount.name)));
        r.count = *n;
    }

    switch (command.id) {
    case CliCommand::Write: {
        bool any = false;
        for (int t = 0; t < 3; ++t) {
            const QString name = QStringLiteral("track%1").arg(t + 1);
            QString text = q.value(name);
            if (text.isEmpty())
                continue;
            const TrackCheck c = checkTrack(t, text, InputRecord::MaxLength[t]);
            if (!c.ok())
                return refused(QStringLiteral("--") + name, c.title, c.text);
            r.tracks[size_t(t)] = text.toLatin1();
            any = true;
        }
        if (!any)
            return refused(QStringLiteral("write"), QString(), QStringLiteral("Please fill in the input record."));
        break;
    }
    case CliCommand::Erase: {
        const QString list = q.value(QStringLiteral("tracks"));
        for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto t = wholeNumber(item.trimmed(), 1, 3);
            if (!t)
                return usage(QStringLiteral("--tracks expects track numbers 1 to 3, e.g. 1,3, not \"%1\"").arg(list));
            r.eraseMask |= 1 << (*t - 1);
        }
        if (r.eraseMask == 0)
            return usage(QStringLiteral("erase expects --tracks, e.g. --tracks 1,3"));
        break;
    }
    case CliCommand::Save:
        r.append = q.isSet(QStringLiteral("append"));
        break;
    case CliCommand::Encode:
        if (q.isSet(QStringLiteral("from"))) {
            const auto n = wholeNumber(q.value(QStringLiteral("from")), 1, std::numeric_limits<qint32>::max());
            if (!n)
                return usage(QStringLiteral("--from expects a record number from 1, not \"%1\"").arg(q.value(QStringLiteral("from"))));
            r.from = *n;
        }
        break;
    case CliCommand::Incremental:
        return parseIncremental(q, r);
    case CliCommand::NonIsoRead:
    case CliCommand::NonIsoWrite:
        return parseNonIso(q, r, command.id == CliCommand::NonIsoWrite);
    case CliCommand::Serve:
        if (q.isSet(QStringLiteral("listen"))) {
            const auto n = wholeNumber(q.value(QStringLiteral("listen")), 0, 65535);
            if (!n)
                return usage(QStringLiteral("--listen expects a port from 1 to 65535, not \"%1\"").arg(q.value(QStringLiteral("listen"))));
            r.listen = quint16(*n);
        }
        for (const QString &origin : q.values(QStringLiteral("allow-origin"))) {
            static const QRegularExpression exact(QStringLiteral("^[a-z][a-z0-9+.-]*://[^/?#@\\s]+$"));
            if (!exact.match(origin).hasMatch())
                return usage(QStringLiteral("--allow-origin expects scheme://host[:port], not \"%1\"").arg(origin));
            r.allowOrigins << origin;
        }
        break;
    default:
        break;
    }
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
        return usage(p.errorText());
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
