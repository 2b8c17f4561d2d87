#pragma once
// The journal of a save run: each card the run takes is appended at once, as an encode data
// file record, and pushed to the disk, so a crash, a kill or a power cut loses no swiped card.
// It goes when the records reach their file, or when the operator lets them go; a journal
// still there at the next start is offered. One journal, in the user's data folder; it holds
// card data, so it is the owner's alone. No widgets here: how a problem is shown is the
// caller's.
#include "operation/EncodeDataFile.h"

#include <QFile>
#include <QString>
#include <functional>

class SaveJournal {
public:
    // QStandardPaths::AppLocalDataLocation, file "save-journal.txt".
    static QString defaultPath();

    using ProblemReport = std::function<void(const QString &problem)>;
    // `report` hears, once per run, the first time the journal cannot be written.
    explicit SaveJournal(ProblemReport report = {}, QString path = defaultPath());

    // Appends one record of this run and pushes it to the disk; the run's first record starts
    // a new journal in place of any earlier one. False when the journal could not take it: the
    // run goes on without one (what was written so far stays).
    bool append(const EncodeDataFile::Record &record);
    bool failed() const { return failed_; }

    // The records reached their file, or the operator let them go: the journal goes.
    static void finish(const QString &path = defaultPath());
    // What an unfinished run left: its whole records (a last line cut short by a crash is
    // none); empty when there is no journal.
    static EncodeDataFile::SaveCollection leftover(const QString &path = defaultPath());

private:
    bool start();
    bool fail(const QString &problem);

    QString path_;
    ProblemReport report_;
    QFile file_;
    bool failed_ = false;
};
