#pragma once
// One job run on one connection: the only protocol a front end uses. run() runs the whole job
// on the calling thread (its waits serve that thread's events, with the connection's pacer);
// cancel() and skip() may come from any thread and are seen by the running wait at its next
// pass; close() sends the closing sequence once. The front end hears the job's events through
// its Operator and gets a RunSummary at the end: how it ended and how its cards went.
#include "operation/EncodeDataFile.h"
#include "operation/Job.h"
#include "operation/Operation.h"

#include <atomic>
#include <memory>
#include <optional>

struct RunSummary {
    OperationEnd end = OperationEnd::Cancelled;
    qint64 ok = 0;      // cards done well (read, written, erased, saved, copied)
    qint64 skipped = 0; // records skipped (encode)
    qint64 failed = 0;  // attempts that failed (each is tried again)
    bool countReached = false; // ended after the job's count of good cards
    QString portError;         // why the port was lost, where it was

    // Encode: the file's records ran out, and the first record not written (or skipped).
    bool fileDone = false;
    qint64 nextRecord = 0;
    // Incremental: where the series stands (CurrentNumber: the next card's number).
    Batch::IncrementSeries series;
    // Save: the records collected.
    EncodeDataFile::SaveCollection collected;
    // Non-ISO read: the last card read well.
    Iso::Tracks lastCard;

    // The run went its whole way or the operator ended it, rather than a failure ending it:
    // what a series' completion and a file run's end follow.
    bool ranItsCourse() const { return end == OperationEnd::Finished || end == OperationEnd::Cancelled; }
};

class Session : private Operator {
public:
    // `job` must have passed its check.
    Session(const Connection &connection, const Job &job, Operator &op);
    ~Session() override;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // The whole job, once.
    RunSummary run();
    // Any thread: every wait ends at its next pass. The front end closes once run() returned
    // (or at once, on the running thread, as a window's Cancel does).
    void cancel();
    // Any thread: the record waiting now is skipped (encode).
    void skip();
    // The closing sequence, once, on the running thread (also while run() waits).
    void close();

    bool running() const { return operation_ && operation_->running(); }
    bool cancelled() const { return cancelled_ || (operation_ && operation_->cancelled()); }
    bool closed() const { return operation_ && operation_->closed(); }
    const Job &job() const { return job_; }
    bool portOpen() const { return operation_ && operation_->portOpen(); }
    // The summary so far (whole once run() returned).
    RunSummary summary() const;

private:
    RunSummary test();
    void fillSummary(RunSummary &s) const;

    // Operator: counts and passes everything on.
    void begin() override { op_.begin(); }
    void showPrompt(bool shown) override { op_.showPrompt(shown); }
    void showCard(qint64 number) override { op_.showCard(number); }
    void hideCard() override { op_.hideCard(); }
    void showOutput(const Iso::Tracks &tracks, Counts counts) override { op_.showOutput(tracks, counts); }
    void showInput(const Iso::Tracks &tracks, Counts counts) override { op_.showInput(tracks, counts); }
    void notice(Notice notice) override { op_.notice(notice); }
    void cardEnded(const CardReport &report) override;
    void reportError(OperationError error) override { op_.reportError(error); }
    void stepAside(bool aside) override { op_.stepAside(aside); }
    void enableSkip(bool enabled) override { op_.enableSkip(enabled); }
    void showPhase(PromptPhase phase) override { op_.showPhase(phase); }
    void showNonIsoCard(const Iso::Tracks &tracks) override { op_.showNonIsoCard(tracks); }

    Connection connection_;
    Job job_;
    Operator &op_;
    std::optional<EncodeDataFile::RecordTaker> records_;
    std::unique_ptr<Operation> operation_;
    std::atomic<bool> cancelled_ = false;
    qint64 ok_ = 0, skipped_ = 0, failed_ = 0;
    qint64 lastDoneRecord_ = 0;
    bool countReached_ = false;
    std::optional<RunSummary> final_;
};
