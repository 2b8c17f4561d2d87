#include "ui/setup/SettingsStore.h"

#include "device/Settings.h"

using namespace MainModule;

std::unique_ptr<QSettings> openSettingsStore()
{
    return std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("VNT410"), QStringLiteral("VNT410"));
}

void SaveSettings()
{
    auto store = openSettingsStore();
    store->beginGroup(QStringLiteral("Globe"));
    store->setValue(QStringLiteral("Mode"), EmulationMode);
    store->setValue(QStringLiteral("Coercivity"), HighCoercivity ? QStringLiteral("High") : QStringLiteral("Low"));
    store->endGroup();
    store->beginGroup(QStringLiteral("Comm"));
    store->setValue(QStringLiteral("Port"), CommPortNumber);
    store->setValue(QStringLiteral("Baud"), BaudText);
    store->setValue(QStringLiteral("Parity"), ParityText);
    store->setValue(QStringLiteral("DataBit"), DataBitsText);
    store->endGroup();
    store->sync();
}
