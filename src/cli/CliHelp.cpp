#include "cli/CliHelp.h"

namespace CliSyntax {

namespace {

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

// The first sentence: up to a full stop that a blank and a capital follow ("e.g." ends none).
QString firstSentence(const QString &text)
{
    for (qsizetype i = text.indexOf(QStringLiteral(". ")); i >= 0; i = text.indexOf(QStringLiteral(". "), i + 1))
        if (i + 2 < text.size() && text.at(i + 2).isUpper())
            return text.left(i + 1);
    return text;
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

} // namespace

const Opt &countOption()
{
    static const Opt count{QStringLiteral("count"), QStringLiteral("N"),
                           QStringLiteral("End after N cards done well (default: until interrupted).")};
    return count;
}

const Opt &helpOption()
{
    static const Opt help{QStringLiteral("help"), QString(), QStringLiteral("Show this command's help and end.")};
    return help;
}

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

const QList<CommandDef> &commands()
{
    static const Opt track1{QStringLiteral("track1"), QStringLiteral("T"), QStringLiteral("Track 1 data (at most 76 characters).")};
    static const Opt track2{QStringLiteral("track2"), QStringLiteral("T"), QStringLiteral("Track 2 data (at most 37 numerics).")};
    static const Opt track3{QStringLiteral("track3"), QStringLiteral("T"), QStringLiteral("Track 3 data (at most 104 numerics).")};
    static const Opt tracksFrom{QStringLiteral("tracks-from"), QStringLiteral("FILE"),
                                QStringLiteral("The tracks as one record track1|track2|track3 (as --track1 to --track3 "
                                               "take them) from FILE, or from standard input for -. Other users can see "
                                               "a program's arguments: give card data this way.")};
    static const QList<CommandDef> specs{
        {JobKind::Test, QStringLiteral("test"), QString(),
         QStringLiteral("Test the encoder (the setup handshake) and say which dialect answered. Without --dialect "
                        "a VNT-290B encoder is tried when no HKD382 encoder answers."),
         {}},
        {JobKind::Read, QStringLiteral("read"), QStringLiteral("[--count N]"),
         QStringLiteral("Read cards, one result line each."), {countOption()}},
        {JobKind::Write, QStringLiteral("write"), QStringLiteral("[--track1 T] [--track2 T] [--track3 T] [--tracks-from FILE] [--count N]"),
         QStringLiteral("Write the given tracks onto each card swiped (at least one track)."),
         {track1, track2, track3, tracksFrom, countOption()}},
        {JobKind::Copy, QStringLiteral("copy"), QStringLiteral("[--count N]"),
         QStringLiteral("Read a source card, write it onto a target card; again."), {countOption()}},
        {JobKind::Erase, QStringLiteral("erase"), QStringLiteral("--tracks LIST [--count N]"),
         QStringLiteral("Erase the listed tracks from each card swiped."),
         {{QStringLiteral("tracks"), QStringLiteral("LIST"), QStringLiteral("The tracks to erase, e.g. 1,3.")}, countOption()}},
        {JobKind::Save, QStringLiteral("save"), QStringLiteral("FILE [--count N] [--append]"),
         QStringLiteral("Read cards and add each good one to FILE as a record of the encode data file, on disk "
                        "before its result line. FILE is created readable by its owner only."),
         {countOption(), {QStringLiteral("append"), QString(), QStringLiteral("Add to an existing FILE instead of refusing it.")}}},
        {JobKind::Encode, QStringLiteral("encode"), QStringLiteral("FILE [--from N]"),
         QStringLiteral("Write one card per record of the encode data file FILE, checked whole first."),
         {{QStringLiteral("from"), QStringLiteral("N"),
           QStringLiteral("Start at record N (to go on after an interrupted run; default 1).")}}},
        {JobKind::Incremental, QStringLiteral("incremental"),
         QStringLiteral("--track 1|2|3 --start N [--step S] --count C [--prefix P] [--suffix X] [--track1 T] "
                        "[--track2 T] [--track3 T] [--tracks-from FILE]"),
         QStringLiteral("Write a numbered series of C cards: the chosen track holds prefix, running number and "
                        "suffix; the other tracks hold their --trackN data."),
         {{QStringLiteral("track"), QStringLiteral("1|2|3"), QStringLiteral("The track that carries the number.")},
          {QStringLiteral("start"), QStringLiteral("N"), QStringLiteral("The first card's number.")},
          {QStringLiteral("step"), QStringLiteral("S"), QStringLiteral("Increment from card to card (default 1).")},
          {QStringLiteral("count"), QStringLiteral("C"), QStringLiteral("How many cards.")},
          {QStringLiteral("prefix"), QStringLiteral("P"), QStringLiteral("Before the number on the chosen track.")},
          {QStringLiteral("suffix"), QStringLiteral("X"), QStringLiteral("After the number on the chosen track.")},
          track1, track2, track3, tracksFrom}},
        {JobKind::NonIsoRead, QStringLiteral("noniso-read"), QStringLiteral("[FORMAT OPTIONS] [--count N]"),
         QStringLiteral("Read cards in a non-ISO format: a standard format on another track, or raw characters "
                        "(shown as hex pairs)."),
         formatOptions() + QList<Opt>{countOption()}},
        {JobKind::NonIsoWrite, QStringLiteral("noniso-write"),
         QStringLiteral("[FORMAT OPTIONS] [--density1 210|75]... [--track1 DATA] [--track2 DATA] [--track3 DATA] "
                        "[--tracks-from FILE] [--count N]"),
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
                 tracksFrom,
                 countOption()}},
        {JobKind::Test, QStringLiteral("serve"), QStringLiteral("[--listen PORT] [--allow-origin ORIGIN]..."),
         QStringLiteral("Serve web applications on 127.0.0.1 and ::1: a page, the vnt410.js module and jobs over "
                        "WebSocket, until SIGINT or SIGTERM."),
         {{QStringLiteral("listen"), QStringLiteral("PORT"), QStringLiteral("The port (default 8410).")},
          {QStringLiteral("allow-origin"), QStringLiteral("ORIGIN"),
           QStringLiteral("Also serve pages of ORIGIN, exactly scheme://host[:port] (repeatable).")}},
         true},
    };
    return specs;
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
                + wrapped(firstSentence(c.summary), 16, 16) + QLatin1Char('\n');
    text += QLatin1Char('\n')
            + wrapped(QStringLiteral("Other users of the machine can see a program's arguments: give track data with "
                                     "--tracks-from FILE, or - for standard input, rather than with --track1 to "
                                     "--track3."),
                      0)
            + QStringLiteral("\n\n")
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
    text += QStringLiteral("\nOptions:\n") + optionLines(c.options + QList<Opt>{helpOption()});
    return text;
}

} // namespace CliSyntax
