#include "app/CloseBox.h"
#include "app/CommandLine.h"
#include "app/OperationWindows.h"
#include "app/StartUp.h"
#include "device/Pacer.h"
#include "device/ProcessGuard.h"
#include "device/QtSerialLink.h"
#include "device/SignalWatch.h"
#include "device/TraceLink.h"
#include "dialect/Dialect.h"
#include "ui/sim/SimPanel.h"
#include "sim/Simulator.h"
#include "ui/main/frmMainMenu.h"
#include "ui/setup/frmCommSetup.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    disableCoreDumps(); // before anything holds card data
    holdStandardStreams();
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = parseCommandLine(args, QStringLiteral(PROJECT_VERSION));
    if (line.action == CommandLine::Action::Print) {
        std::fputs(qPrintable(line.text), stdout);
        return 0;
    }
    if (line.action == CommandLine::Action::UsageError) {
        std::fputs(qPrintable(line.text), stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vnt410-utility"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("vnt410-utility"));
    const std::unique_ptr<SignalWatch> signalWatch = closeOnSignals();

    RealPacer pacer;
    Connection base;
    base.pacer = &pacer;
    for (auto it = line.ports.begin(); it != line.ports.end(); ++it)
        base.ports.setOverride(it.key(), it.value());
    std::unique_ptr<Simulator> simulator;
    SimPanel *panel = nullptr;
    if (line.simulate) {
        base.ports.setSimulated(true);
        simulator = std::make_unique<Simulator>(pacer);
        base.links = simulator->links();
        panel = new SimPanel(*simulator); // shown beside the first window
    } else {
        base.links = qtSerialLinks(base.ports);
    }
    if (!line.trace.isEmpty()) {
        auto trace = std::make_shared<TraceFile>(pacer, line.traceCardData ? TraceCardData::Shown : TraceCardData::Hidden);
        // Once; the operations go on without their trace.
        trace->onFailure = [](const QString &problem) { std::fprintf(stderr, "vnt410-utility: %s\n", qPrintable(problem)); };
        if (!trace->open(line.trace, QStringLiteral("vnt410-utility " PROJECT_VERSION))) {
            std::fprintf(stderr, "vnt410-utility: cannot write the trace file %s: %s\n", qPrintable(line.trace),
                         qPrintable(trace->errorText()));
            return 2;
        }
        // Each opening hides the card data of the dialect its link speaks.
        base.links = tracedLinks(base.links, trace, [](DialectId d) { return dialectFor(d).cardDataMasker(); });
    }

    StartUp(base, [panel](const Connection &connection) {
        auto *main = new frmMainMenu(connection);
        main->setAttribute(Qt::WA_DeleteOnClose);
        installOperationWindows(*main);
        watchCloseBox(*main);
        // Over the main window once it shows: the records an unfinished save run kept.
        QTimer::singleShot(0, main, [main] { offerKeptSaveRecords(*main); });
        return main;
    }, [panel](QWidget &window) { placeWithPanel(window, panel); });
    const int rc = app.exec();
    delete panel;
    return signalWatch->signal() ? 128 + signalWatch->signal() : rc;
}
