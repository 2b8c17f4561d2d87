#include "app/StartUp.h"

#include "ui/setup/SettingsStore.h"
#include "device/PortCatalog.h"
#include "ui/setup/frmCommSetup.h"

frmCommSetup *StartUp(const Connection &base, std::function<QWidget *(const Connection &)> openMain)
{
    auto *setup = new frmCommSetup(base);
    setup->setAttribute(Qt::WA_DeleteOnClose);
    setup->describePort = [](int n) { return PortCatalog::describe(n); };
    setup->onSaveSettings = &SaveSettings;
    setup->onConnected = [openMain](const Connection &connection) {
        if (QWidget *main = openMain ? openMain(connection) : nullptr)
            main->show();
    };
    setup->updatePortDevice();
    setup->show();
    return setup;
}
