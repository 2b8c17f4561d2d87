#pragma once
// The ISO operations: read, write, copy and erase, each until Cancel.
#include "operation/Operation.h"

// Reads cards one after another, each into the output record.
class ReadOperation : public Operation {
public:
    ReadOperation(const Connection &connection, Operator &op);
    static const OperationProfile kProfile;
    static const ReadProfile kRead;
    // Cards read well so far.
    qint64 cardsRead() const { return card_ - 1; }

protected:
    void beforeStart() override { op().showCard(1); }
    OperationEnd loop() override;

private:
    qint64 card_ = 1;
};

// Writes the same tracks onto one card after another.
class WriteOperation : public Operation {
public:
    WriteOperation(const Connection &connection, const Iso::Tracks &tracks, Operator &op);
    static const OperationProfile kProfile;
    static const WriteProfile kWrite;
    qint64 cardsWritten() const { return card_ - 1; }

protected:
    OperationEnd loop() override;

private:
    Iso::Tracks tracks_;
    qint64 card_ = 1;
};

// Erases the tracks of `mask` (bit 0 track 1 .. bit 2 track 3) from one card after another.
class EraseOperation : public Operation {
public:
    EraseOperation(const Connection &connection, int mask, Operator &op);
    static const OperationProfile kProfile;
    qint64 cardsErased() const { return card_ - 1; }

protected:
    OperationEnd loop() override;

private:
    int mask_;
    qint64 card_ = 1;
};

// Reads a source card into the input record, writes it onto a target card, and again.
class CopyOperation : public Operation {
public:
    CopyOperation(const Connection &connection, Operator &op);
    static const OperationProfile kProfile;
    static const ReadProfile kRead;
    static const WriteProfile kWrite;
    qint64 cardsCopied() const { return copied_; }

protected:
    OperationEnd loop() override;

private:
    enum class Next { Write, Finish, Close };
    // Source reads until one is good (Write), the run is over (Finish) or it must end (Close).
    Next readSource();
    // Target writes of the source until one is good (true) or the run is over (false).
    bool writeTarget();
    void finish();
    void setErrorIndicator(bool on);
    // An error report with the prompt out of the way, framed by the error indication if asked.
    void reportAside(OperationError error, bool indicated);

    Iso::Tracks source_;
    qint64 copied_ = 0;
    bool refused_ = false;
};
