#pragma once
// The batch operations: a save run (cards read into records), an encode run (one card per
// record of a checked file) and an incremental series.
#include "operation/EncodeDataFile.h"
#include "operation/IncrementSeries.h"
#include "operation/Operation.h"

#include <functional>

// Reads one card after another and collects every sound read as a record, until Cancel.
class SaveOperation : public Operation {
public:
    SaveOperation(const Connection &connection, Operator &op);
    static const OperationProfile kProfile;
    static const ReadProfile kRead;

    const EncodeDataFile::SaveCollection &collection() const { return collection_; }
    // Cards that could not be read or saved.
    qint64 failed() const { return failed_; }

protected:
    OperationEnd loop() override;

private:
    EncodeDataFile::SaveCollection collection_;
    qint64 failed_ = 0;
};

// Writes the records of a checked file onto one card after another, in file order; a failed
// card is written again, a record can be skipped. Finished when the records ran out.
class EncodeOperation : public Operation {
public:
    EncodeOperation(const Connection &connection, EncodeDataFile::RecordTaker &source, Operator &op);
    static const OperationProfile kProfile;
    static const WriteProfile kWrite;

    qint64 written() const { return card_ - 1; }
    qint64 skipped() const { return skipped_; }
    qint64 failed() const { return failed_; }

protected:
    OperationEnd loop() override;

private:
    EncodeDataFile::RecordTaker &source_;
    qint64 record_ = 0; // the record being written, counted from 1
    qint64 card_ = 1;
    qint64 skipped_ = 0;
    qint64 failed_ = 0;
};

// Writes a numbered series card by card, the chosen track carrying the running number. A
// written card advances the number; a failed card is tried again with the same number.
// Finished when the series is complete.
class IncrementalOperation : public Operation {
public:
    IncrementalOperation(const Connection &connection, const Batch::IncrementSeries &series, Operator &op);
    static const OperationProfile kProfile;
    static const WriteProfile kWrite;

    // The series as it stands: CurrentNumber is the number of the next (unwritten) card.
    const Batch::IncrementSeries &series() const { return series_; }
    qint64 total() const { return total_; }
    qint64 written() const { return total_ - series_.IncrementRemaining; }
    qint64 failed() const { return failed_; }

protected:
    OperationEnd loop() override;

private:
    Batch::IncrementSeries series_;
    qint64 total_;
    qint64 failed_ = 0;
};
