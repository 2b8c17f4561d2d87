#include "app/StartUp.h"

#include "device/Settings.h"
#include "ui/setup/SettingsStore.h"
#include "device/PortCatalog.h"
#include "ui/setup/frmCommSetup.h"

frmCommSetup *StartUp(std::function<QWidget *()> openMain)
{
    MainModule::ResetSettings();
    auto *setup = new frmCommSetup;
    setup->setAttribute(Qt::WA_DeleteOnClose);
    setup->describePort = [](int n) { return PortCatalog::describe(n); };
    setup->onSaveSettings = &SaveSettings;
    setup->onConnected = [openMain] {
        if (QWidget *main = openMain ? openMain() : nullptr)
            main->show();
    };
    setup->updatePortDevice();
    setup->show();
    return setup;
}
