#pragma once
#include "device/Connection.h"

#include <QString>
#include <QWidget>
#include <functional>

class frmCommSetup;
class SimPanel;

// Shows the setup window modeless, its choices at their defaults. `base` gives the links and the
// clock; `openMain` creates the main window for the connection a good handshake made; `place`
// puts each of the two where it goes, before it is shown.
frmCommSetup *StartUp(const Connection &base, std::function<QWidget *(const Connection &)> openMain,
                      std::function<void(QWidget &)> place = {});

// Centres `window` on its screen, with the simulator's panel (if any) at its right (each at an
// edge of the screen where the two do not fit side by side); shows the panel. Done again
// once the window manager has framed the window, with the frames it drew, and every window kept
// wholly on the screen.
void placeWithPanel(QWidget &window, SimPanel *panel);
