#include "app/OperationWindows.h"
#include "app/StartUp.h"
#include "device/PortCatalog.h"
#include "device/QtSerialLink.h"
#include "ui/sim/SimPanel.h"
#include "sim/Simulator.h"
#include "ui/main/frmMainMenu.h"
#include "ui/setup/frmCommSetup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vnt410-utility"));
    QApplication::setApplicationDisplayName(QStringLiteral("VNT-410 Series Utility"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads, writes, copies and erases magnetic-stripe cards with a VNT-410 series encoder."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Use the built-in encoder simulator for every port number."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port number N names DEVICE, e.g. --port 1=/dev/ttyUSB0 (repeatable)."),
                                  QStringLiteral("N=DEVICE"));
    parser.addOption(simulate);
    parser.addOption(port);
    parser.process(app);

    static const QRegularExpression portMapping(QStringLiteral("^(\\d{1,2})=(.+)$"));
    for (const QString &mapping : parser.values(port)) {
        const auto m = portMapping.match(mapping);
        const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (n < 1 || n > 12) {
            std::fprintf(stderr, "vnt410-utility: --port expects N=DEVICE with N from 1 to 12, not \"%s\"\n",
                         qPrintable(mapping));
            return 2;
        }
        PortCatalog::setOverride(n, m.captured(2));
    }

    SimPanel *panel = nullptr;
    if (parser.isSet(simulate)) {
        PortCatalog::setSimulated(true);
        installSimulatorLinkFactory();
        panel = new SimPanel;
        panel->show();
    } else {
        installQtSerialLinkFactory();
    }

    QWidget *setup = StartUp([panel] {
        auto *main = new frmMainMenu;
        main->setAttribute(Qt::WA_DeleteOnClose);
        installOperationWindows(*main);
        // Beside the main window once it is shown and has its frame, never under it.
        if (panel)
            QTimer::singleShot(0, panel, [panel, main = QPointer<QWidget>(main)] { panel->placeBeside(main); });
        return main;
    });
    if (panel)
        QTimer::singleShot(0, panel, [panel, setup = QPointer<QWidget>(setup)] { panel->placeBeside(setup); });
    const int rc = app.exec();
    delete panel;
    return rc;
}
