#pragma once
// The command line's Operator: prompts and error reports as lines on standard error, one result
// line per card on standard output (text, or JSON objects), each written out at once so a script
// reading a pipe sees every card as it happens. Errors are acknowledged at once: the operation
// tries the card again, as it does after the operator closes a window's error window.
#include "cli/CliOptions.h"
#include "operation/Session.h"

#include <QJsonObject>
#include <functional>

class QIODevice;

class CliOutput {
public:
    CliOutput(QIODevice *out, QIODevice *err, bool json) : out_(out), err_(err), json_(json) {}
    bool json() const { return json_; }
    // A result line: `object` with --json, else `text`; false when it could not be written.
    bool result(const QJsonObject &object, const QString &text);
    // A line for the operator.
    void note(const QString &text);
    // Standard output could not be written (the reader went away); told once on standard error.
    bool failed() const { return failed_; }

private:
    bool line(QIODevice *device, const QByteArray &bytes);
    QIODevice *out_;
    QIODevice *err_;
    bool json_;
    bool failed_ = false;
};

// The words a result line gives for a card's end.
QString resultWord(CardResult result);

class CliOperator : public Operator {
public:
    CliOperator(CliOutput &output, CliCommand command) : output_(output), command_(command) {}

    void attach(Session *session) { session_ = session; }
    // Non-ISO: the error reports' titles say so; raw tracks show as hex pairs.
    void setNonIso(bool nonIso, bool rawTracks)
    {
        nonIso_ = nonIso;
        rawTracks_ = rawTracks;
    }
    // Keeps a good card (the save file) before its line is written; false ends the run.
    std::function<bool(const CardReport &)> keep;
    // The swipe prompt came up or went away (the simulated operator watches it).
    std::function<void(bool shown)> promptChanged;

    // Good cards whose result lines were written.
    qint64 good() const { return good_; }
    bool keepFailed() const { return keepFailed_; }

    void showPrompt(bool shown) override;
    void showCard(qint64 number) override { next_ = number; }
    void showOutput(const Iso::Tracks &, Counts) override {}
    void showInput(const Iso::Tracks &, Counts) override {}
    void notice(Notice) override {}
    void cardEnded(const CardReport &report) override;
    void reportError(OperationError error) override;
    void showPhase(PromptPhase phase) override;

private:
    void stop();
    void announcePrompt();

    CliOutput &output_;
    CliCommand command_;
    Session *session_ = nullptr;
    qint64 good_ = 0;
    qint64 next_ = 1; // the card the prompt asks for
    bool prompt_ = false;
    bool writing_ = false;
    bool keepFailed_ = false;
    bool nonIso_ = false;
    bool rawTracks_ = false;
};
