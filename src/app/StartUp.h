#pragma once
#include "device/Connection.h"

#include <QString>
#include <QWidget>
#include <functional>

class frmCommSetup;

// Shows the setup window modeless, its choices at their defaults. `base` gives the links and the
// clock; `openMain` creates the main window for the connection a good handshake made.
frmCommSetup *StartUp(const Connection &base, std::function<QWidget *(const Connection &)> openMain);
