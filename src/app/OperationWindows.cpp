#include "app/OperationWindows.h"

#include "device/SharedState.h"
#include "iso/cfrmCopyCard.h"
#include "iso/cfrmReadCard.h"
#include "iso/cfrmWriteCard.h"
#include "iso/frmEraseCard.h"
#include "iso/frmTrackSelect.h"
#include "noniso/frmNonISOFmtSel.h"
#include "ui/main/frmMainMenu.h"

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

void installOperationWindows(frmMainMenu &main)
{
    frmMainMenu *m = &main;
    main.setWindowRunner(MainWindowStep::ReadCard, [m] { return runWindow<cfrmReadCard>(*m, m); });
    main.setWindowRunner(MainWindowStep::WriteCard, [m] { return runWindow<cfrmWriteCard>(*m, m); });
    main.setWindowRunner(MainWindowStep::CopyCard, [m] { return runWindow<cfrmCopyCard>(*m, m); });
    // The custom (raw) format exists only in the VNT-290B dialect.
    main.setWindowRunner(MainWindowStep::NonIsoFormatSelect,
                         [m] { return runWindow<frmNonISOFmtSel>(*m, MainModule::isVnt290b()); });
    main.setWindowRunner(MainWindowStep::EraseTrackSelect, [m] { return runWindow<frmTrackSelect>(*m); });
    main.setWindowRunner(MainWindowStep::EraseCard, [m] { return runWindow<frmEraseCard>(*m, m); });
}
