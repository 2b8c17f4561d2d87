#pragma once
// What vnt410 answers a command line with when it runs nothing: a text to print, a usage error
// with a pointer to the help, or data refused, in the manner of the system's tools (program:
// where: why) rather than in the entry windows' words.
#include "cli/CliOptions.h"

#include <optional>

class QCommandLineParser;

namespace CliWords {

CliRequest print(const QString &text);
CliRequest usage(const QString &what);
// Plain decimal digits only, from `low` to `high`.
std::optional<qint64> wholeNumber(const QString &text, qint64 low, qint64 high);
// `serve`'s own options into `r`.
CliRequest parseServe(const QCommandLineParser &q, CliRequest r);
// One line of its own, after the program's name.
CliRequest refusedLine(const QString &text);
// A job's refusal of `given`, the text that `where` gave; `trimmed`: the check takes the text
// without blanks at its ends (the non-ISO entry).
CliRequest refused(const QString &where, const Refusal &refusal, const QString &given = {}, bool trimmed = false);
// Why the parser refused the options: an unknown option with its dashes.
QString optionError(const QCommandLineParser &parser);
// Why a data file could not be read, from the reader's sentence.
QString readFault(const QString &problem);
// Why the encode job's check refused a data file's content: where it first holds a character
// its track cannot hold ("record 2, track 2: "A" at position 3 ..."), else the check's reason.
QString contentFault(const QByteArray &content, const Refusal &refusal);

} // namespace CliWords
