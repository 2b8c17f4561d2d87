#pragma once
// The journal of a save run: each card the run takes is appended at once, as an encode data
// file record, and pushed to the disk, so a crash, a kill or a power cut loses no swiped card.
// One journal a run, in a folder of the user's own (0700), locked (flock) for as long as the run
// or whoever took it over lives: another program never offers, replaces or removes it. Its
// first line keeps the file the operator chose for the run. It goes when the records reach their
// file, or when the operator lets them go; a journal whose run died is offered at the next start.
// No widgets here: how a problem is shown is the caller's.
#include "operation/EncodeDataFile.h"
#include "operation/RecordWriter.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class SaveJournal {
public:
    // QStandardPaths::AppLocalDataLocation; the journals are "save-journal-*.txt" in it.
    static QString defaultFolder();

    // `card`: the number of the card that could not be kept; `problem`: why.
    using ProblemReport = std::function<void(int card, const QString &problem)>;
    // A journal for a run that saves to `chosenPath`; nothing is on the disk before its first
    // record. `report` hears, once per run, the first time the journal cannot be written.
    explicit SaveJournal(QString chosenPath = {}, ProblemReport report = {}, QString folder = defaultFolder());
    ~SaveJournal(); // the lock goes with it; the journal stays until finish()

    SaveJournal(const SaveJournal &) = delete;
    SaveJournal &operator=(const SaveJournal &) = delete;

    // Appends card `card`'s record and pushes it to the disk; the first record makes the journal.
    // False when the journal could not take it: the run goes on without one (what was written
    // so far stays).
    bool append(int card, const EncodeDataFile::Record &record);
    bool failed() const { return failed_; }
    void setReport(ProblemReport report) { report_ = std::move(report); }
    QString path() const { return path_; }
    QString chosenPath() const { return chosenPath_; }

    // The records reached their file, or the operator let them go: the journal goes.
    void finish();

    // A journal whose run died, locked by whoever took it: its whole records (a last line cut
    // short is none) and the file chosen for that run (empty when it did not say).
    struct Kept {
        std::unique_ptr<SaveJournal> journal;
        EncodeDataFile::SaveCollection records;
    };
    // Every journal in `folder` that no living run holds, oldest first.
    static std::vector<Kept> leftovers(const QString &folder = defaultFolder());

private:
    bool start();
    bool fail(int card, const QString &problem);

    QString chosenPath_;
    ProblemReport report_;
    QString folder_;
    QString path_;
    RecordWriter writer_;
    bool failed_ = false;
};
