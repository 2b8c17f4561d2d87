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

namespace {
// Shows an operation window modal to the main window; it lives until its loop has returned.
template <typename Window, typename... Args>
bool runWindow(frmMainMenu &main, Args &&...args)
{
    Window window(std::forward<Args>(args)..., &main);
    main.execModal(window);
    return true;
}
} // namespace

void installOperationWindows(frmMainMenu &main, FilePathAsker askPath)
{
    frmMainMenu *m = &main;
    main.setWindowRunner(MainWindowStep::ReadCard, [m] { return runWindow<cfrmReadCard>(*m, m); });
    main.setWindowRunner(MainWindowStep::WriteCard, [m] { return runWindow<cfrmWriteCard>(*m, m); });
    main.setWindowRunner(MainWindowStep::CopyCard, [m] { return runWindow<cfrmCopyCard>(*m, m); });
    main.setWindowRunner(MainWindowStep::NonIsoFormatSelect, [m] {
        frmNonISOFmtSel select(activeDialect().hasCustomNonIsoFormat(), m);
        select.setReadRunner([](const NonIso::Selection &selection, QWidget *over) {
            nfrmReadCard read(selection, over);
            read.exec();
        });
        select.setSwipeWriteRunner([](const NonIso::WriteJob &job, QWidget *over) {
            nfrmSwipeWrite write(job, over);
            write.exec();
        });
        m->execModal(select);
        return true;
    });
    main.setWindowRunner(MainWindowStep::EraseTrackSelect, [m] {
        frmTrackSelect select(m);
        m->execModal(select);
        m->EraseTrackMask = select.EraseTrackMask();
        return true;
    });
    installIncrementalWindows(main);
    main.setWindowRunner(MainWindowStep::EraseCard, [m] { return runWindow<frmEraseCard>(*m, m->EraseTrackMask, m); });
    FileButtonHooks files;
    files.askPath = std::move(askPath);
    files.saveWindow = [m] {
        cfrmEncodeWF window(m, m);
        m->execModal(window);
        return window.collection();
    };
    files.encodeWindow = [m](EncodeDataFile::RecordTaker &records) {
        cfrmEncodeRF window(records, m, m);
        m->execModal(window);
        return window.runEnd();
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
    };
    auto chain = std::make_shared<Chain>();
    main.setWindowRunner(MainWindowStep::IncrementTrackSelect, [m, chain] {
        cfrmTrackSelect select(m);
        if (m->execModal(select) == QDialog::Accepted) {
            chain->track = select.IncrementTrack();
            m->IncrementCancelled = false;
        }
        return true;
    });
    main.setWindowRunner(MainWindowStep::IncrementRecordEntry, [m, chain] {
        cfrmRecEntry entry(chain->track, m);
        if (m->execModal(entry) == QDialog::Accepted) {
            chain->series = entry.series();
            m->IncrementCancelled = false;
        }
        return true;
    });
    main.setWindowRunner(MainWindowStep::IncrementWrite, [m, chain] {
        cfrmWriteIncr write(chain->series, m, m);
        m->execModal(write);
        chain->series = write.series();
        chain->completion = write.end() == cfrmWriteIncr::End::Completed || write.end() == cfrmWriteIncr::End::Cancelled;
        return true;
    });
    main.setWindowRunner(MainWindowStep::IncrementComplete, [m, chain] {
        if (!chain->completion)
            return false;
        chain->completion = false;
        sfrmIncEOK done(m);
        m->execModal(done);
        return true;
    });
}

void installFileButtons(frmMainMenu &main, FileButtonHooks hooks)
{
    auto buttons = std::make_shared<FileButtons>(&main, main, std::move(hooks));
    main.setWindowRunner(MainWindowStep::EncodeFromFile, [buttons] {
        buttons->EncodeFromFile();
        return true;
    });
    main.setWindowRunner(MainWindowStep::SaveToFile, [buttons] {
        buttons->SaveToFile();
        return true;
    });
}

void offerKeptSaveRecords(frmMainMenu &main, FilePathAsker askPath)
{
    FileButtonHooks hooks;
    hooks.askPath = std::move(askPath);
    FileButtons(&main, main, std::move(hooks)).OfferKeptRecords();
}
