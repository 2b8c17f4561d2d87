#pragma once
// What vnt410 takes: the line options, the commands with their own options, and the help texts
// made from them.
#include "operation/Job.h"

#include <QList>
#include <QString>

namespace CliSyntax {

inline const QString kProgram = QStringLiteral("vnt410");

struct Opt {
    QString name;
    QString value; // empty: a switch
    QString help;
};

struct CommandDef {
    JobKind id;
    QString name;
    QString arguments; // after the name in the usage line
    QString summary;
    QList<Opt> options;
    bool service = false; // "serve": no job, the service
};

const QList<Opt> &lineOptions();
const QList<CommandDef> &commands();
const Opt &helpOption(); // a command's --help
const Opt &countOption();

QString globalHelp();
QString commandHelp(const CommandDef &command);

} // namespace CliSyntax
