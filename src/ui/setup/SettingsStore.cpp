#include "ui/setup/SettingsStore.h"


std::unique_ptr<QSettings> openSettingsStore()
{
    return std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("VNT410"), QStringLiteral("VNT410"));
}

void SaveSettings(const Connection &c)
{
    auto store = openSettingsStore();
    store->beginGroup(QStringLiteral("Globe"));
    store->setValue(QStringLiteral("Mode"), dialectName(c.dialect));
    store->setValue(QStringLiteral("Coercivity"), c.highCoercivity ? QStringLiteral("High") : QStringLiteral("Low"));
    store->endGroup();
    store->beginGroup(QStringLiteral("Comm"));
    store->setValue(QStringLiteral("Port"), QString::number(c.port));
    store->setValue(QStringLiteral("Baud"), c.baud);
    store->setValue(QStringLiteral("Parity"), c.parity);
    store->setValue(QStringLiteral("DataBit"), c.dataBits);
    store->endGroup();
    store->sync();
}
