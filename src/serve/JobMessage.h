#pragma once
// A client's WebSocket message: a job (JSON -> Job, checked with the entry windows' rules and
// words), a cancel, a skip, or something refused with the reason.
#include "device/DialectId.h"
#include "operation/Job.h"

#include <QJsonValue>
#include <QString>

struct ClientMessage {
    enum class Kind { Job, Cancel, Skip, Invalid };
    Kind kind = Kind::Invalid;
    QJsonValue id{QJsonValue::Undefined}; // the client's tag; undefined when the message had none
    QString op;    // as the message named it
    Job job;
    QString problem; // Invalid: why, for the client
};

// `dialect`: the encoder's (the custom non-ISO format exists in one dialect only).
ClientMessage parseClientMessage(const QByteArray &text, DialectId dialect);
