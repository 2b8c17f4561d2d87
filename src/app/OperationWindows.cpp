#include "app/OperationWindows.h"

#include "batch/cfrmEncodeRF.h"
#include "batch/cfrmEncodeWF.h"
#include "batch/cfrmRecEntry.h"
#include "batch/cfrmTrackSelect.h"
#include "batch/cfrmWriteIncr.h"
#include "iso/cfrmCopyCard.h"
#include "iso/cfrmReadCard.h"
#include "iso/cfrmWriteCard.h"
#include "iso/frmEraseCard.h"
#include "iso/frmTrackSelect.h"
#include "dialect/Dialect.h"
#include "noniso/frmNonISOFmtSel.h"
#include "noniso/nfrmReadCard.h"
#include "noniso/nfrmSwipeWrite.h"
#include "ui/main/frmMainMenu.h"

#include <memory>
#include <utility>

namespace {
// Shows an operation window modal to the main window; it lives until its loop has returned.
template <typename Window, typename... Args>
StepAnswer runWindow(frmMainMenu &main, Args &&...args)
{
    Window window(main.connection(), std::forward<Args>(args)..., &main);
    main.execModal(window);
    return true;
}
} // namespace

void installOperationWindows(frmMainMenu &main, FilePathAsker askPath)
{
    frmMainMenu *m = &main;
    main.setWindowRunner(MainWindowStep::ReadCard, [m](const StepAnswer &) { return runWindow<cfrmReadCard>(*m, m); });
    main.setWindowRunner(MainWindowStep::WriteCard, [m](const StepAnswer &) {
        // What is written is the input record as it stands when the button is pressed.
        return runWindow<cfrmWriteCard>(*m, m->records().input(), m);
    });
    main.setWindowRunner(MainWindowStep::CopyCard, [m](const StepAnswer &) { return runWindow<cfrmCopyCard>(*m, m); });
    main.setWindowRunner(MainWindowStep::NonIsoFormatSelect, [m](const StepAnswer &) {
        frmNonISOFmtSel select(dialectFor(m->connection().dialect).hasCustomNonIsoFormat(), m);
        select.setReadRunner([m](const NonIso::Selection &selection, QWidget *over) {
            nfrmReadCard read(m->connection(), selection, over);
            read.exec();
        });
        select.setSwipeWriteRunner([m](const NonIso::WriteJob &job, QWidget *over) {
            nfrmSwipeWrite write(m->connection(), job, over);
            write.exec();
        });
        m->execModal(select);
        return true;
    });
    main.setWindowRunner(MainWindowStep::EraseTrackSelect, [m](const StepAnswer &) {
        frmTrackSelect select(m);
        m->execModal(select);
        return StepAnswer::confirmedWith(select.EraseTrackMask());
    });
    installIncrementalWindows(main);
    main.setWindowRunner(MainWindowStep::EraseCard, [m](const StepAnswer &tracks) {
        return runWindow<frmEraseCard>(*m, tracks.eraseMask, m);
    });
    FileButtonHooks files;
    files.askPath = std::move(askPath);
    files.saveWindow = [m](SaveJournal &journal) {
        cfrmEncodeWF window(m->connection(), m, m, &journal);
        m->execModal(window);
        const RunSummary run = window.summary();
        return SaveRun(run.collected, window.started() ? OperationText::tallyLine(QStringLiteral("saved"), run.ok, 0,
                                                                                   run.failed, false)
                                                       : QString());
    };
    files.encodeWindow = [m](const QByteArray &records) {
        cfrmEncodeRF window(m->connection(), records, m, m);
        m->execModal(window);
        const RunSummary run = window.summary();
        return EncodeRun(window.runEnd(), window.started() ? OperationText::tallyLine(QStringLiteral("written"), run.ok,
                                                                                       run.skipped, run.failed, true)
                                                           : QString());
    };
    installFileButtons(main, std::move(files));
}

void installIncrementalWindows(frmMainMenu &main)
{
    frmMainMenu *m = &main;
    // What one window of the chain hands to the next, by value.
    struct Chain {
        int track = 1;
        Batch::IncrementSeries series;
        bool completion = false; // the series completed or was cancelled
        QString tally;           // how its cards went
    };
    auto chain = std::make_shared<Chain>();
    main.setWindowRunner(MainWindowStep::IncrementTrackSelect, [m, chain](const StepAnswer &) {
        cfrmTrackSelect select(m);
        if (m->execModal(select) != QDialog::Accepted)
            return StepAnswer(true);
        chain->track = select.IncrementTrack();
        return StepAnswer::confirmedWith();
    });
    main.setWindowRunner(MainWindowStep::IncrementRecordEntry, [m, chain](const StepAnswer &) {
        cfrmRecEntry entry(chain->track, m);
        if (m->execModal(entry) != QDialog::Accepted)
            return StepAnswer(true);
        chain->series = entry.series();
        return StepAnswer::confirmedWith();
    });
    main.setWindowRunner(MainWindowStep::IncrementWrite, [m, chain](const StepAnswer &) {
        cfrmWriteIncr write(m->connection(), chain->series, m, m);
        m->execModal(write);
        chain->series = write.series();
        chain->tally = write.started() ? write.tally() : QString();
        chain->completion = write.started() && write.summary().ranItsCourse();
        return true;
    });
    main.setWindowRunner(MainWindowStep::IncrementComplete, [m, chain](const StepAnswer &) {
        const QString tally = std::exchange(chain->tally, QString());
        const bool completion = std::exchange(chain->completion, false);
        if (completion) {
            sfrmIncEOK done(m);
            m->execModal(done);
        }
        m->setMessage(m->message() + tally);
        return StepAnswer(completion);
    });
}

void installFileButtons(frmMainMenu &main, FileButtonHooks hooks)
{
    auto buttons = std::make_shared<FileButtons>(&main, main, std::move(hooks));
    main.setWindowRunner(MainWindowStep::EncodeFromFile, [buttons](const StepAnswer &) {
        buttons->EncodeFromFile();
        return StepAnswer(true);
    });
    main.setWindowRunner(MainWindowStep::SaveToFile, [buttons](const StepAnswer &) {
        buttons->SaveToFile();
        return StepAnswer(true);
    });
}

void offerKeptSaveRecords(frmMainMenu &main, FilePathAsker askPath)
{
    FileButtonHooks hooks;
    hooks.askPath = std::move(askPath);
    FileButtons(&main, main, std::move(hooks)).OfferKeptRecords();
}
