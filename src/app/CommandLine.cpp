#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {
const QString kProgram = QStringLiteral("vnt410-utility");

CommandLine usageError(const QString &what)
{
    CommandLine c;
    c.action = CommandLine::Action::UsageError;
    c.text = kProgram + QStringLiteral(": ") + what + QStringLiteral("\nSee --help.\n");
    return c;
}
} // namespace

CommandLine parseCommandLine(const QStringList &args, const QString &version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads, writes, copies and erases magnetic-stripe cards with a VNT-410 series encoder."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and end."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and end."));
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Use the built-in encoder simulator for every port number."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port number N names DEVICE, e.g. --port 1=/dev/ttyUSB0 (repeatable)."),
                                  QStringLiteral("N=DEVICE"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write every byte sent to and received from the encoder to FILE (a new file)."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption traceCardData(
        QStringLiteral("trace-card-data"),
        QStringLiteral("Write track data to the trace as it is (without it, each of its bytes is written as ..)."));
    for (const QCommandLineOption &o : {help, versionOption, simulate, port, trace, traceCardData})
        parser.addOption(o);

    if (!parser.parse(args))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        CommandLine c;
        c.action = CommandLine::Action::Print;
        c.text = QStringLiteral("Usage: %1 [--simulate] [--port N=DEVICE]... [--trace FILE [--trace-card-data]]\n\n%2\n\n"
                                "Options:\n"
                                "  --simulate         %3\n"
                                "  --port N=DEVICE    %4\n"
                                "  --trace FILE       %5\n"
                                "  --trace-card-data  %6\n"
                                "  -h, --help         %7\n"
                                "  -v, --version      %8\n")
                     .arg(kProgram, parser.applicationDescription(), simulate.description(), port.description(),
                          trace.description(), traceCardData.description(), help.description(),
                          versionOption.description());
        return c;
    }
    if (parser.isSet(versionOption)) {
        CommandLine c;
        c.action = CommandLine::Action::Print;
        c.text = kProgram + QLatin1Char(' ') + version + QLatin1Char('\n');
        return c;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    CommandLine c;
    c.simulate = parser.isSet(simulate);
    static const QRegularExpression mapping(QStringLiteral("^(\\d{1,2})=(.*)$"));
    for (const QString &value : parser.values(port)) {
        const auto m = mapping.match(value);
        const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
        const QString device = m.captured(2).trimmed();
        if (n < 1 || n > 12 || device.isEmpty())
            return usageError(QStringLiteral("--port expects N=DEVICE with N from 1 to 12, not \"%1\"").arg(value));
        if (c.ports.contains(n))
            return usageError(QStringLiteral("port %1 is named twice").arg(n));
        c.ports.insert(n, device);
    }
    if (parser.isSet(trace)) {
        c.trace = parser.value(trace);
        if (c.trace.trimmed().isEmpty())
            return usageError(QStringLiteral("--trace expects a file name"));
    }
    c.traceCardData = parser.isSet(traceCardData);
    if (c.traceCardData && c.trace.isEmpty())
        return usageError(QStringLiteral("--trace-card-data needs --trace FILE"));
    return c;
}
