#include "cli/CliWords.h"

#include "card/CharacterMessages.h"
#include "card/Validators.h"
#include "cli/CliHelp.h"
#include "operation/EncodeDataFile.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace CliWords {

using CliSyntax::kProgram;

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

QString shown(QChar c)
{
    return c.isPrint() ? QStringLiteral("\"%1\"").arg(c) : QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
}

// The characters each kind of text takes, as the checks admit them; `upper`: small letters
// count as the capitals they become.
bool takes(char kind, QChar c, bool upper)
{
    if (upper)
        c = c.toUpper();
    if (kind == 'x')
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
               || isBlank(c);
    const QByteArray one(1, c.unicode() <= 0xFF ? char(c.unicode()) : '?');
    return kind == '7' ? MainModule::IsValid7BitText(one) : MainModule::IsValid5BitText(one);
}

QString setOf(char kind)
{
    switch (kind) {
    case '7': return QStringLiteral("a 7-bit track takes space to \"_\" but \"?\"");
    case '5': return QStringLiteral("a 5-bit track takes \"0\" to \">\"");
    default: return QStringLiteral("hex pairs take 0 to 9 and A to F");
    }
}

// The first character of `text` that `kind` does not take, and where it stands (from 1).
QString firstRefused(const QString &text, char kind, bool trimmed, bool upper = true)
{
    qsizetype from = 0, to = text.size();
    while (trimmed && from < to && isBlank(text.at(from)))
        ++from;
    while (trimmed && to > from && isBlank(text.at(to - 1)))
        --to;
    for (qsizetype i = from; i < to; ++i)
        if (!takes(kind, text.at(i), upper))
            return QStringLiteral("%1 at position %2").arg(shown(text.at(i))).arg(i + 1);
    return QStringLiteral("a character");
}

QString lowerFirst(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

QString fileCharacterFault(const QByteArray &content)
{
    EncodeDataFile::RecordTaker taker(content);
    QByteArrayView line;
    for (int record = 1; taker.nextLine(line); ++record) {
        const QList<QByteArray> fields = line.toByteArray().split('|');
        if (fields.size() != 3)
            return {};
        for (int t = 0; t < 3; ++t) {
            const QString field = QString::fromLatin1(fields[t]);
            if (!EncodeDataFile::fieldProblem(t, fields[t]).isEmpty()) {
                const char kind = t == 0 ? '7' : '5';
                const QString at = firstRefused(field, kind, false, false);
                if (at == QLatin1String("a character"))
                    return {}; // too long, not a character at fault
                const QString where = record == taker.lineNumber() ? QStringLiteral("record %1").arg(record)
                                                                   : QStringLiteral("record %1 (line %2)").arg(record).arg(taker.lineNumber());
                return QStringLiteral("%1, track %2: %3 is refused: %4").arg(where).arg(t + 1).arg(at, setOf(kind));
            }
        }
    }
    return {};
}

} // namespace

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

CliRequest refused(const QString &where, const Refusal &refusal, const QString &given, bool trimmed)
{
    const QString title = refusal.title.trimmed();
    char kind = 0;
    if (refusal.title == CharacterMessages::sevenBitTitle())
        kind = '7';
    else if (refusal.title == CharacterMessages::fiveBitTitle())
        kind = '5';
    else if (title == QLatin1String("Hex Format Error"))
        kind = 'x';
    if (kind)
        return refusedLine(QStringLiteral("%1: %2 is refused: %3").arg(where, firstRefused(given, kind, trimmed), setOf(kind)));
    if (title == QLatin1String("Format Error"))
        return refusedLine(QStringLiteral("%1: \"%2\" is no whole number from 0 to 2147483647").arg(where, given));
    // The window's other messages say what they mean; here on lines of their own, without the
    // blanks that end some of them.
    QStringList lines;
    if (!title.isEmpty() && title != QLatin1String("Track Length Error"))
        lines << title;
    for (const QString &line : refusal.text.split(QRegularExpression(QStringLiteral("\r\n|\n\r|\n"))))
        lines << line.trimmed();
    return refusedLine(where + QStringLiteral(": ") + lines.join(QLatin1Char('\n')));
}

QString optionError(const QCommandLineParser &parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString &name = unknown.first();
        return QStringLiteral("unknown option \"%1%2\"").arg(name.size() == 1 ? "-" : "--", name);
    }
    QString text = lowerFirst(parser.errorText());
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString readFault(const QString &problem)
{
    QString why = lowerFirst(problem);
    if (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    return why;
}

QString contentFault(const QByteArray &content, const Refusal &refusal)
{
    const QString where = fileCharacterFault(content);
    // Else the check's own reason: the refusal's line after the window's words.
    return where.isEmpty() ? lowerFirst(refusal.text.section(QLatin1Char('\n'), 1)) : where;
}

} // namespace CliWords

std::optional<qint64> CliWords::wholeNumber(const QString &text, qint64 low, qint64 high)
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

CliRequest CliWords::parseServe(const QCommandLineParser &q, CliRequest r)
{
    r.serve = true;
    if (q.isSet(QStringLiteral("listen"))) {
        const QString v = q.value(QStringLiteral("listen"));
        const auto port = wholeNumber(v, 1, 65535);
        if (!port)
            return usage(QStringLiteral("--listen expects a port from 1 to 65535, not \"%1\"").arg(v));
        r.listen = quint16(*port);
    }
    static const QRegularExpression exact(QStringLiteral("^[a-z][a-z0-9+.-]*://[^/?#@\\s]+$"));
    for (const QString &origin : q.values(QStringLiteral("allow-origin"))) {
        if (!exact.match(origin).hasMatch())
            return usage(QStringLiteral("--allow-origin expects scheme://host[:port], not \"%1\"").arg(origin));
        r.allowOrigins << origin;
    }
    return r;
}
