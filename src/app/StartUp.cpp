#include "app/StartUp.h"

#include "ui/setup/SettingsStore.h"
#include "ui/common/ScreenPlacement.h"
#include "ui/setup/frmCommSetup.h"
#include "ui/sim/SimPanel.h"

#include <QPointer>

frmCommSetup *StartUp(const Connection &base, std::function<QWidget *(const Connection &)> openMain,
                      std::function<void(QWidget &)> place)
{
    auto *setup = new frmCommSetup(base);
    setup->setAttribute(Qt::WA_DeleteOnClose);
    setup->describePort = [ports = base.ports](int n) { return ports.describe(n); };
    setup->onSaveSettings = &SaveSettings;
    setup->onConnected = [openMain, place](const Connection &connection) {
        if (QWidget *main = openMain ? openMain(connection) : nullptr) {
            if (place)
                place(*main);
            main->show();
        }
    };
    setup->updatePortDevice();
    if (place)
        place(*setup);
    setup->show();
    return setup;
}

void placeWithPanel(QWidget &window, SimPanel *panel)
{
    const auto place = [w = QPointer<QWidget>(&window), p = QPointer<SimPanel>(panel)] {
        if (!w)
            return;
        const int gap = 8;
        QSize panel;
        int frameWidth = 0, narrowest = 0;
        if (p) {
            // Its own size, not the one it was given last: a narrowed panel gets its room back.
            const QMargins m = Placement::frameMargins(*p);
            frameWidth = m.left() + m.right();
            panel = p->sizeHint().grownBy(m);
            narrowest = p->minimumSizeHint().width() + frameWidth;
        }
        const Placement::Pair at = Placement::sideBySide(Placement::outerSize(*w), panel, Placement::availableScreen(*w), gap, narrowest);
        // Placed again once framed (below), when the position is the frame's.
        w->move(at.window);
        if (p && at.panel) {
            p->resize(at.panelWidth - frameWidth, p->sizeHint().height());
            p->move(*at.panel);
        }
    };
    place();
    Placement::placeWhenFramed(window, place);
    if (panel && !panel->isVisible()) {
        Placement::placeWhenFramed(*panel);
        panel->show();
    }
}
