// Where the swipe windows and their error windows open: never over the record the operation
// shows or writes, error windows centred on their prompt; and what a window shows while it closes.
#include "SwipeFixture.h"
#include "batch/cfrmWriteIncr.h"
#include "iso/cfrmReadCard.h"
#include "ui/common/ScreenPlacement.h"
#include "ui/common/SwipeWindow.h"
#include "ui/main/frmMainMenu.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QtTest>

class PromptPlacementTest : public QObject {
    Q_OBJECT
private slots:
    void placement_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("mainFrame");
        QTest::addColumn<bool>("writes"); // keeps the input record in sight, not the output record
        QTest::addColumn<QPoint>("expected");
        QTest::addColumn<QRect>("panel"); // the simulator's, where it stands by the main window
        const QSize main(620, 450);
        QTest::newRow("room on the right")
            << QRect(0, 0, 1280, 1024) << QRect({100, 100}, main) << false << QPoint(720, 100) << QRect();
        QTest::newRow("room on the left only")
            << QRect(0, 0, 1280, 1024) << QRect({900, 100}, main) << false << QPoint(600, 100) << QRect();
        QTest::newRow("no room beside: below")
            << QRect(0, 0, 800, 1024) << QRect({0, 100}, main) << true << QPoint(0, 550) << QRect();
        QTest::newRow("room above only")
            << QRect(0, 0, 800, 800) << QRect({0, 300}, main) << true << QPoint(0, 140) << QRect();
        QTest::newRow("no room round it: a read covers the input record")
            << QRect(0, 0, 800, 600) << QRect({0, 100}, main) << false << QPoint(158, 110) << QRect();
        QTest::newRow("no room round it: a write covers the output record")
            << QRect(0, 0, 800, 600) << QRect({0, 100}, main) << true << QPoint(158, 260) << QRect();
        QTest::newRow("no room above the output record: below it")
            << QRect(0, 0, 800, 450) << QRect({0, -60}, main) << false << QPoint(158, 210) << QRect();
        QTest::newRow("kept on the screen")
            << QRect(0, 0, 1280, 1024) << QRect({100, 900}, main) << false << QPoint(720, 864) << QRect();
        QTest::newRow("the panel at its right: right below the main window")
            << QRect(0, 0, 1280, 1024) << QRect({56, 287}, main) << false << QPoint(56, 737)
            << QRect(684, 287, 540, 500);
        QTest::newRow("no room next to the main window: next to it and the panel")
            << QRect(0, 0, 1600, 450) << QRect({0, 0}, main) << false << QPoint(928, 0) << QRect(628, 0, 300, 450);
    }

    void placement()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, mainFrame);
        QFETCH(bool, writes);
        QFETCH(QPoint, expected);
        QFETCH(QRect, panel);
        // Records as the main window has them, relative to its frame.
        const QRect input = QRect(4, 60, 610, 100).translated(mainFrame.topLeft());
        const QRect output = QRect(4, 170, 610, 100).translated(mainFrame.topLeft());
        const QRect kept = writes ? input : output;
        const QSize prompt(300, 160);
        const QPoint p = placePrompt(prompt, mainFrame, kept, writes ? output : input, screen,
                                     panel.isNull() ? QList<QRect>() : QList<QRect>{panel});
        QCOMPARE(p, expected);
        QVERIFY(!QRect(p, prompt).intersects(kept));
        QVERIFY(!QRect(p, prompt).intersects(panel));
        QVERIFY(screen.contains(QRect(p, prompt)));
    }

    // Setup and the main window with the simulator's panel: centred together, or at the screen's
    // edges with the panel narrowed to fit between; wholly on the screen.
    void sideBySide_data()
    {
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("window");
        QTest::addColumn<QPoint>("panelAt");
        QTest::addColumn<int>("panelWidth");
        QTest::newRow("side by side")
            << QSize(540, 500) << QRect(0, 0, 1280, 1024) << QPoint(56, 287) << QPoint(684, 287) << 540;
        QTest::newRow("too wide: the edges, the panel narrowed between")
            << QSize(540, 500) << QRect(0, 0, 1024, 768) << QPoint(404, 159) << QPoint(0, 159) << 396;
        QTest::newRow("too wide even narrowed: the edges, overlapping")
            << QSize(540, 500) << QRect(0, 0, 800, 600) << QPoint(180, 75) << QPoint(0, 75) << 360;
        QTest::newRow("low screen: raised")
            << QSize(540, 700) << QRect(0, 0, 1280, 600) << QPoint(56, 75) << QPoint(684, 0) << 540;
        QTest::newRow("no panel") << QSize() << QRect(100, 0, 1280, 1024) << QPoint(430, 287) << QPoint() << 0;
    }
    void sideBySide()
    {
        QFETCH(QSize, panel);
        QFETCH(QRect, screen);
        QFETCH(QPoint, window);
        QFETCH(QPoint, panelAt);
        QFETCH(int, panelWidth);
        const Placement::Pair at = Placement::sideBySide(QSize(620, 450), panel, screen, 8, 360);
        QCOMPARE(at.window, window);
        QCOMPARE(at.panel.value_or(QPoint()), panelAt);
        QCOMPARE(at.panelWidth, panelWidth);
    }

    // The read window from the real main window: beside it or clear of its output record; the
    // read error window centred on it; "Closing…" and a busy cursor while the closing waits.
    void readWindowOverMainWindow_data()
    {
        QTest::addColumn<QPoint>("mainAt");
        QTest::addColumn<bool>("series"); // the incremental write window: wider than its error window
        QTest::newRow("top left") << QPoint(0, 0) << false;
        QTest::newRow("right edge") << QPoint(-1, 40) << false; // -1: against the screen's right edge
        QTest::newRow("series, top left") << QPoint(0, 0) << true;
    }

    void readWindowOverMainWindow()
    {
        QFETCH(QPoint, mainAt);
        QFETCH(bool, series);
        SwipeFixture f(DialectId::Hkd382);
        f.records.hide();
        frmMainMenu main(f.connection);
        const QRect screen = main.screen()->availableGeometry();
        main.show();
        main.move(mainAt.x() < 0 ? screen.right() + 1 - main.frameGeometry().width() : mainAt.x(), mainAt.y());
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        std::unique_ptr<CardPromptWindow> window;
        if (series)
            window = std::make_unique<cfrmWriteIncr>(f.connection, Batch::IncrementSeries{}, &main, &main);
        else
            window = std::make_unique<cfrmReadCard>(f.connection, &main, &main);
        CardPromptWindow &w = *window;
        QRect prompt, error;
        QString closing;
        bool busy = false;
        f.setAnswer([&](QDialog *d) {
            error = d->frameGeometry();
            d->accept();
        });
        f.at(0.5, [&] { prompt = w.frameGeometry(); });
        f.at(0.6, [&] { f.sim.setNextSwipeBad(); });
        f.swipeAt(1.0);
        f.clickAt(4.0, &w);
        f.at(5.0, [&] {
            closing = w.Label2->isVisible() ? w.Label2->text() : QString();
            busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        });
        f.run(w);

        QVERIFY(!prompt.isEmpty());
        const QRect kept = series ? main.inputRecordArea() : main.outputRecordArea();
        QVERIFY(!prompt.intersects(kept));
        QCOMPARE(prompt.topLeft(), placePrompt(prompt.size(), main.frameGeometry(), kept,
                                               series ? main.outputRecordArea() : main.inputRecordArea(), screen));
        QCOMPARE(f.shown.size(), 1);
        QVERIFY(!error.isEmpty());
        QVERIFY2((error.center() - prompt.center()).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("error centre %1,%2, prompt centre %3,%4")
                                .arg(error.center().x()).arg(error.center().y())
                                .arg(prompt.center().x()).arg(prompt.center().y())));
        // Nothing of the prompt shows round its error window.
        QVERIFY2(error.contains(prompt), qPrintable(QStringLiteral("error %1x%2, prompt %3x%4")
                                                        .arg(error.width()).arg(error.height())
                                                        .arg(prompt.width()).arg(prompt.height())));
        QVERIFY(!QApplication::overrideCursor());
        if (series)
            return; // its closing (HKD382) waits for nothing
        QCOMPARE(closing, QStringLiteral("Closing\u2026"));
        QVERIFY(busy);
    }
};

QTEST_MAIN(PromptPlacementTest)
#include "tst_promptplacement.moc"
