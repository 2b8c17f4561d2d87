#include "batch/FileButtons.h"

#include "batch/BatchMessages.h"
#include "batch/SaveJournal.h"
#include "operation/JobChecks.h"
#include "ui/common/RecordView.h"

#include <QFileDialog>
#include <QMessageBox>

using namespace EncodeDataFile;

const QString FileButtons::Filter = QStringLiteral("Encode Data Files (*.txt)");

QStringList dialogFilters(const FileDialogRequest &request)
{
    // A saved file has no extension of its own: it must still be found when encoding.
    return {request.filter, QStringLiteral("All Files (*)")};
}

QString askPathWithFileDialog(QWidget *parent, const FileDialogRequest &request)
{
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name that does not exist is the program's to report ("File not exists. ").
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(dialogFilters(request));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

FileButtons::FileButtons(QWidget *main, RecordView &records, FileButtonHooks hooks)
    : main_(main), records_(records), hooks_(std::move(hooks))
{
}

QString FileButtons::askPath(const FileDialogRequest &request)
{
    return hooks_.askPath ? hooks_.askPath(main_, request) : askPathWithFileDialog(main_, request);
}

int FileButtons::showModal(QDialog &dialog)
{
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

void FileButtons::EncodeFromFile()
{
    const QString path = askPath({false, QStringLiteral("Open - Look in:"), Filter, QString()});
    if (path.isEmpty())
        return;
    const Loaded loaded = ReadEncodeDataFile(path);
    if (!loaded.ok()) {
        // The reason first: only a fault of the content is a format error.
        const QString text = loaded.fault == OwnerOnlyFile::Fault::Missing ? QStringLiteral("File not exists. ")
                                                                           : loaded.problem + QLatin1Char('\n') + path;
        QMessageBox box(QMessageBox::Warning, QStringLiteral("File Encode"), text, QMessageBox::Ok, main_);
        box.setTextFormat(Qt::PlainText);
        showModal(box);
        return;
    }
    const Jobs::Checked checked = Jobs::encode(loaded.content, 1);
    if (!checked.ok()) {
        sfrmFormatError error(*checked.refusal, main_);
        showModal(error);
        return;
    }
    if (!hooks_.encodeWindow)
        return;
    const EncodeRun run = hooks_.encodeWindow(checked.job.records);
    if (run.end == EncodeRunEnd::EndOfFile) {
        sfrmRFOK done(main_);
        showModal(done);
    }
    addTally(run.tally);
}

QString FileButtons::proposedName() const
{
    const QDateTime now = hooks_.now ? hooks_.now() : QDateTime::currentDateTime();
    const double seconds = (now.time().msecsSinceStartOfDay() / 10) / 100.0;
    return proposedSaveName(now.date(), seconds);
}

void FileButtons::SaveToFile()
{
    const QString path = askPath({true, QStringLiteral("Save As - Save in:"), Filter, proposedName()});
    if (path.isEmpty())
        return;
    SaveJournal journal(path); // held until the records reach their file or are let go
    const SaveRun run = hooks_.saveWindow ? hooks_.saveWindow(journal) : SaveRun();
    if (!run.collected.isEmpty())
        SaveCollected(path, run.collected, journal);
    else
        journal.finish();
    addTally(run.tally);
}

void FileButtons::addTally(const QString &line)
{
    if (!line.isEmpty())
        records_.setMessage(records_.message() + line);
}

void FileButtons::OfferKeptRecords()
{
    // Only journals whose run died; each stays held by this program until it is dealt with.
    for (SaveJournal::Kept &kept : SaveJournal::leftovers()) {
        if (kept.records.isEmpty()) {
            kept.journal->finish(); // nothing in it worth keeping
            continue;
        }
        const int count = kept.records.count();
        const QString records = count == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(count);
        QMessageBox box(QMessageBox::Question, QStringLiteral("Save to File"),
                        QStringLiteral("A save run that did not end kept %1 of swiped cards.\n"
                                       "Save them to a file, or discard them?").arg(records),
                        QMessageBox::Save | QMessageBox::Discard, main_);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Save);
        if (showModal(box) != QMessageBox::Save) {
            kept.journal->finish();
            continue;
        }
        // The file the operator chose for that run, where it said.
        const QString chosen = kept.journal->chosenPath();
        SaveCollected(askPath({true, QStringLiteral("Save As - Save in:"), Filter, chosen.isEmpty() ? proposedName() : chosen}),
                      kept.records, *kept.journal);
    }
}

void FileButtons::SaveCollected(QString path, const SaveCollection &collected, SaveJournal &journal)
{
    // The records stay held until they are written or the operator cancels the dialog.
    while (!path.isEmpty()) {
        QString problem;
        const Written written = WriteEncodeDataFile(path, collected.text(), problem);
        if (written == Written::Yes) {
            journal.finish();
            records_.setMessage(QStringLiteral("\r\n%1 records successfully saved to file %2").arg(collected.count()).arg(path));
            return;
        }
        sfrmSaveError error(path, problem, main_);
        showModal(error);
        path = askPath({true, QStringLiteral("Save As - Save in:"), Filter, path});
    }
    journal.finish(); // let go, as the operator chose
}

FileButtons::Written FileButtons::WriteEncodeDataFile(const QString &path, const QByteArray &text, QString &problem)
{
    WriteResult result = writeFile(path, text, false);
    if (result.status == WriteStatus::Exists) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("File Overwrite Prompt"),
                        QStringLiteral("File '") + path + QStringLiteral("' exists. overwrite? "),
                        QMessageBox::Yes | QMessageBox::No, main_);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Yes);
        if (showModal(box) != QMessageBox::Yes)
            return Written::Declined;
        result = writeFile(path, text, true);
    }
    if (result.status == WriteStatus::Written)
        return Written::Yes;
    problem = result.problem;
    return Written::Failed;
}
