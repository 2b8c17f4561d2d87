#pragma once
// Writes the setup choices to the per-user settings store. The program never reads them back.
#include "device/Connection.h"

#include <QSettings>
#include <memory>

std::unique_ptr<QSettings> openSettingsStore();
void SaveSettings(const Connection &connection);
