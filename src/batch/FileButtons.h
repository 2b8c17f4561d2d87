#pragma once
// The two file buttons of the main window, "Encode from File" and "Save to File": the file
// dialogs, reading and checking the file to encode, and writing the collected records. The
// swipe windows are reached through hooks, and so are the dialogs, so the flow runs anywhere.
#include "operation/EncodeDataFile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;
class RecordView;
class SaveJournal;

struct FileDialogRequest {
    bool save = false; // save dialog, else open dialog
    QString title;
    QString filter;
    QString proposedName;
};
// The chosen path; empty when the operator cancelled.
using FilePathAsker = std::function<QString(QWidget *parent, const FileDialogRequest &request)>;
// The filters the dialog offers: the request's first, then all files.
QStringList dialogFilters(const FileDialogRequest &request);
// The platform's file dialog: those filters, no default extension, no overwrite question of
// its own (the program asks itself).
QString askPathWithFileDialog(QWidget *parent, const FileDialogRequest &request);

// How an encode run ended: only a run that ran out of records reached the end of its file.
enum class EncodeRunEnd { EndOfFile, Cancelled, Stopped };

// What a run window hands back: how it ended or what it collected, and the line that tells how
// its cards went (added to the message box after the run's own messages; empty: none).
struct EncodeRun {
    EncodeRun(EncodeRunEnd end = EncodeRunEnd::Stopped, QString tally = {}) : end(end), tally(std::move(tally)) {}
    EncodeRunEnd end;
    QString tally;
};
struct SaveRun {
    SaveRun(EncodeDataFile::SaveCollection collected = {}, QString tally = {})
        : collected(std::move(collected)), tally(std::move(tally))
    {
    }
    EncodeDataFile::SaveCollection collected;
    QString tally;
};

struct FileButtonHooks {
    // Empty: the file dialog.
    FilePathAsker askPath;
    // Runs cfrmEncodeWF modally with the run's journal and hands back what it collected.
    // Empty: nothing collected.
    std::function<SaveRun(SaveJournal &journal)> saveWindow;
    // Runs cfrmEncodeRF modally over a checked file's content, one card per record. Empty: no run.
    std::function<EncodeRun(const QByteArray &records)> encodeWindow;
    // Empty: the wall clock (for the proposed file name only).
    std::function<QDateTime()> now;
};

class FileButtons {
public:
    FileButtons(QWidget *main, RecordView &records, FileButtonHooks hooks = {});

    // The buttons' own part, between the clearing of the records before and after.
    void EncodeFromFile();
    void SaveToFile();
    // At start-up: for each save run that died leaving records in its journal, asks whether to
    // save them (the save dialog, proposing the file chosen for that run) or to discard them.
    void OfferKeptRecords();

    static const QString Filter;

private:
    enum class Written { Yes, Declined, Failed };
    Written WriteEncodeDataFile(const QString &path, const QByteArray &text, QString &problem);
    // Writes the records to `path`, offering the dialog again after each failure; the journal
    // goes once they are written or the operator cancels.
    void SaveCollected(QString path, const EncodeDataFile::SaveCollection &collected, SaveJournal &journal);
    QString proposedName() const;
    QString askPath(const FileDialogRequest &request);
    void addTally(const QString &line);
    int showModal(QDialog &dialog);

    QWidget *main_;
    RecordView &records_;
    FileButtonHooks hooks_;
};
