#pragma once
// The non-ISO operations: reads in a chosen format, and writes of entered data, each until Cancel.
#include "card/NonIsoFormat.h"
#include "operation/Operation.h"

// Reads cards one after another in the chosen format, each shown to the operator. Finished when
// the format cannot be read by this encoder (after one error).
class NonIsoReadOperation : public Operation {
public:
    NonIsoReadOperation(const Connection &connection, const NonIso::Selection &selection, Operator &op);
    static const OperationProfile kProfile;
    // The last card read well.
    const Iso::Tracks &lastCard() const { return lastCard_; }
    qint64 cardsRead() const { return card_ - 1; }

protected:
    void beforeStart() override { op().showCard(1); }
    OperationEnd loop() override;

private:
    NonIso::Selection selection_;
    Iso::Tracks lastCard_;
    qint64 card_ = 1;
};

// Writes the same entered data onto one card after another, setting the chosen densities before
// every card. Finished when the data cannot be written by this encoder (after one error).
class NonIsoWriteOperation : public Operation {
public:
    NonIsoWriteOperation(const Connection &connection, const NonIso::WriteJob &job, Operator &op);
    static const OperationProfile kProfile;
    qint64 cardsWritten() const { return card_ - 1; }

protected:
    void beforeStart() override { op().showCard(1); }
    OperationEnd loop() override;

private:
    NonIso::WriteJob job_;
    qint64 card_ = 1;
};
