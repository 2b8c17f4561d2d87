#pragma once
#include <QString>
#include <QWidget>
#include <functional>

class frmCommSetup;

// Sets the process-wide values to their defaults and shows the setup window modeless.
// `openMain` creates and shows the main window after a good handshake.
frmCommSetup *StartUp(std::function<QWidget *()> openMain);
