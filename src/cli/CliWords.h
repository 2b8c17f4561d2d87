#pragma once
// What vnt410 answers a command line with when it runs nothing: a text to print, a usage error
// with a pointer to the help, or data refused (where it was given and why).
#include "cli/CliOptions.h"

namespace CliWords {

CliRequest print(const QString &text);
CliRequest usage(const QString &what);
// One line of its own, after the program's name.
CliRequest refusedLine(const QString &text);
// A job's refusal of what `where` gave.
CliRequest refused(const QString &where, const Refusal &refusal);

} // namespace CliWords
