#pragma once
// An Operator without any widget: notes what the operation shows, answers every error report at
// once, and lets a test act at given virtual times.
#include "operation/Operator.h"

#include <QList>
#include <QString>
#include <QStringList>

class ScriptedOperator : public Operator {
public:
    QStringList errors;      // "read", "write", "erase", in order
    QList<Notice> notices;   // every notice, in order
    QList<qint64> cards;     // every card number shown
    Iso::Tracks output;      // the output record as it stands
    Iso::Tracks input;       // the input record as it stands
    QList<Iso::Tracks> nonIsoCards;
    int promptsShown = 0;
    bool prompt = false;
    bool began = false;

    void begin() override { began = true; }
    void showPrompt(bool shown) override
    {
        promptsShown += shown && !prompt;
        prompt = shown;
    }
    void showCard(qint64 number) override { cards << number; }
    void showOutput(const Iso::Tracks &tracks, Counts) override { output = tracks; }
    void showInput(const Iso::Tracks &tracks, Counts) override { input = tracks; }
    void notice(Notice notice) override { notices << notice; }
    void reportError(OperationError error) override
    {
        errors << (error == OperationError::Read    ? QStringLiteral("read")
                   : error == OperationError::Write ? QStringLiteral("write")
                                                    : QStringLiteral("erase"));
    }
    void showNonIsoCard(const Iso::Tracks &tracks) override { nonIsoCards << tracks; }
};
