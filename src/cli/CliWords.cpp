#include "cli/CliWords.h"

#include "cli/CliHelp.h"

namespace CliWords {

using CliSyntax::kProgram;

CliRequest print(const QString &text)
{
    CliRequest r;
    r.action = CliRequest::Action::Print;
    r.text = text;
    return r;
}

CliRequest usage(const QString &what)
{
    CliRequest r;
    r.action = CliRequest::Action::UsageError;
    r.text = kProgram + QStringLiteral(": ") + what + QStringLiteral("\nSee %1 --help.\n").arg(kProgram);
    return r;
}

CliRequest refusedLine(const QString &text)
{
    CliRequest r;
    r.action = CliRequest::Action::UsageError;
    r.text = kProgram + QStringLiteral(": ") + text + QLatin1Char('\n');
    return r;
}

CliRequest refused(const QString &where, const Refusal &refusal)
{
    // The entry window's message, its lines ended as on a terminal.
    QString text = refusal.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    if (refusal.title.isEmpty())
        return refusedLine(where + QStringLiteral(": ") + text);
    // The titles of the character messages begin with a blank of their own.
    const QString gap = refusal.title.startsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(" ");
    return refusedLine(where + QLatin1Char(':') + gap + refusal.title + QLatin1Char('\n') + text);
}

} // namespace CliWords
