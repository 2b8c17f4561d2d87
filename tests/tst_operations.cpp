// The operations as the operator runs them: the real main window, its buttons, the operation
// windows over it and the simulated encoder, in virtual time.
#include "Dialects.h"
#include "SwipeFixture.h"
#include "app/CloseBox.h"
#include "app/OperationWindows.h"
#include "device/SignalWatch.h"
#include "ui/common/SwipeWindow.h"
#include "batch/cfrmRecEntry.h"
#include "batch/cfrmTrackSelect.h"
#include "iso/frmEraseCard.h"
#include "iso/frmTrackSelect.h"
#include "ui/main/frmMainMenu.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {
enum class CloseBy { Cancel, CloseBox, Sigterm };
struct Snapshot {
    QList<QByteArray> input, output;
    QStringList outputCounts;
    QString message;
};

} // namespace

Q_DECLARE_METATYPE(CloseBy)

class OperationsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SwipeFixture> f;
    std::unique_ptr<frmMainMenu> main;

    Snapshot snap() const
    {
        Snapshot s;
        for (int i = 0; i < 3; ++i) {
            s.input << main->trackText(i);
            s.output << main->trackText(3 + i);
            s.outputCounts << main->LT[3 + i]->text();
        }
        s.message = main->message();
        return s;
    }
    // What the main window shows at virtual time t.
    void snapAt(double t, Snapshot &into)
    {
        f->at(t, [this, &into] { into = snap(); });
    }
    // Presses the operation window's Cancel at t.
    void cancelAt(double t)
    {
        f->vp.atEvent(t, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *sw = qobject_cast<SwipeWindow *>(w); sw && sw->isVisible())
                    sw->findChild<QPushButton *>("Command1")->click();
        });
    }
    void start(DialectId d, FilePathAsker askPath = {})
    {
        f = std::make_unique<SwipeFixture>(d, 0.0); // port 1 at 9600,n,8,1
        main = std::make_unique<frmMainMenu>(f->connection);
        installOperationWindows(*main, std::move(askPath));
        main->show();
    }
    void press(int button) { main->Command1[button]->click(); }

private slots:
    void cleanup()
    {
        main.reset();
        f.reset();
    }

    void readShowsCardThenClearsRecords_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    void readShowsCardThenClearsRecords()
    {
        QFETCH(DialectId, dialect);
        start(dialect);
        SimCard card;
        card.name = "test";
        card.tracks[0].chars = "B123";
        card.tracks[2].chars = "456";
        f->sim.insertCard(card);
        Snapshot during;
        f->swipeAt(2.0);
        snapAt(3.5, during);
        cancelAt(4.0);
        press(0);

        QCOMPARE(during.output, (QList<QByteArray>{"B123", "+", "456"}));
        QCOMPARE(during.outputCounts, (QStringList{"4", "0", "3"}));
        QCOMPARE(during.message, QString("\r\nSuccessful read from card swipe."));
        const Snapshot after = snap();
        QCOMPARE(after.output, (QList<QByteArray>{"", "", ""}));
        QCOMPARE(after.message, QString());
        QVERIFY(f->shown.isEmpty());
    }

    void writeEncodesTypedRecord_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    void writeEncodesTypedRecord()
    {
        QFETCH(DialectId, dialect);
        start(dialect);
        f->sim.insertCard(SimCard{});
        QTest::keyClicks(main->TIT[0], "b123");
        QTest::keyClicks(main->TIT[1], "4567");
        QVERIFY(main->Command1[1]->isEnabled());
        Snapshot during;
        f->swipeAt(3.0);
        snapAt(4.0, during);
        cancelAt(4.5);
        press(1);

        // What was written (its bytes and the card: tst_headless).
        QCOMPARE(during.output, (QList<QByteArray>{"B123", "4567", ""}));
        QCOMPARE(during.message, QString("\r\nWrite complete.  Verify data accuracy before continue."));
        const Snapshot after = snap();
        QCOMPARE(after.input, (QList<QByteArray>{"", "", ""}));
        QCOMPARE(after.output, (QList<QByteArray>{"", "", ""}));
        QVERIFY(!main->Command1[1]->isEnabled());
    }

    void failedReadShowsErrorWindow()
    {
        start(DialectId::Hkd382);
        f->sim.setBadSwipe(true);
        Snapshot during;
        f->swipeAt(1.0);
        snapAt(2.5, during);
        cancelAt(3.0);
        press(0);
        QCOMPARE(f->shown.size(), 1);
        QCOMPARE(f->shown[0].title, QString("Read Swipe Error"));
        QCOMPARE(during.output, (QList<QByteArray>{"*", "*", "*"}));
        QCOMPARE(during.outputCounts, (QStringList{"0", "0", "0"}));
        QCOMPARE(during.message, QString());
    }

    void copyDuplicatesSourceOntoTarget_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    void copyDuplicatesSourceOntoTarget()
    {
        QFETCH(DialectId, dialect);
        start(dialect);
        f->swipeAt(2.0);
        f->at(4.0, [this] { f->sim.insertCard(SimCard{}); });
        f->swipeAt(5.0);
        Snapshot during;
        snapAt(7.0, during);
        cancelAt(8.0);
        press(2);
        // The source written onto the target (its bytes and the card: tst_headless).
        QCOMPARE(during.output, during.input);
        QCOMPARE(during.message, QString("\r\nWrite complete.  Verify data accuracy before continue."));
        QVERIFY(f->shown.isEmpty());
        const Snapshot after = snap();
        QCOMPARE(after.input, (QList<QByteArray>{"", "", ""}));
        QCOMPARE(after.output, (QList<QByteArray>{"", "", ""}));
    }

    void eraseChainRunsOnlyWithTracksChosen_data()
    {
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<int>("mask"); // the erase window's; -1: none opens
        QTest::newRow("tracks 1 and 3") << QList<int>{0, 2} << 5;
        QTest::newRow("nothing ticked") << QList<int>{} << -1;
    }
    // The tracks ticked reach the erase window's job (what it sends: tst_headless).
    void eraseChainRunsOnlyWithTracksChosen()
    {
        QFETCH(QList<int>, ticked);
        QFETCH(int, mask);
        start(DialectId::Hkd382);
        f->setAnswer([ticked](QDialog *d) {
            if (d->windowTitle() != "Erase-Track Selection") {
                d->accept();
                return;
            }
            const auto boxes = d->findChildren<QCheckBox *>();
            for (int i : ticked)
                boxes[i]->setChecked(true);
            d->findChild<QPushButton *>("Command1")->click();
        });
        int opened = -1;
        f->at(1.0, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *erase = qobject_cast<frmEraseCard *>(w); erase && erase->isVisible())
                    opened = erase->session().job().eraseMask;
        });
        cancelAt(4.0);
        press(7);
        QCOMPARE(opened, mask);
        if (mask < 0)
            QVERIFY(f->writes().isEmpty());
    }

    void mainWindowFreeAfterClose_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<int>("button");
        QTest::addColumn<QList<double>>("swipes");
        QTest::addColumn<double>("cancelTime");
        QTest::addColumn<QString>("tally"); // how the run's cards went, the message box's last line
        QTest::addColumn<CloseBy>("closeBy"); // the operation window's Cancel, the main window's close box, SIGTERM
        const struct {
            const char *name;
            int button;
            QList<double> swipes;
            double cancelAt;
            const char *tally;
        } rows[] = {
            {"read, swipe wait", 0, {}, 2.0, ""},
            {"write, swipe wait", 1, {}, 2.0, ""},
            {"copy, read wait", 2, {}, 1.5, ""},
            {"copy, write wait", 2, {2.0}, 3.5, ""},
            {"encode from file, pause", 3, {2.0}, 2.8, "\r\nCards written: 1, skipped: 0, failed: 0."},
            {"save, swipe wait", 4, {}, 2.0, "\r\nCards saved: 0, failed: 0."},
            {"save, next swipe wait", 4, {2.0}, 4.0, "\r\nCards saved: 1, failed: 0."},
            {"incremental, pause", 5, {2.0}, 2.3, "\r\nCards written: 1, failed: 0."},
            {"erase, pause", 7, {1.0}, 2.5, ""},
        };
        for (const DialectEntry &d : kDialects)
            for (const auto &row : rows)
                for (const auto &[closeBy, how] : {std::pair{CloseBy::Cancel, "Cancel"}, std::pair{CloseBy::CloseBox, "close box"},
                                                   std::pair{CloseBy::Sigterm, "SIGTERM"}})
                    QTest::addRow("%s %s, %s", d.name, row.name, how)
                        << d.id << row.button << row.swipes << row.cancelAt << QString(row.tally) << closeBy;
    }
    // Whichever wait or pause a swipe window is closed in, once it is out of sight the main
    // window is free again, or shows the next window, within 0.1 s (its closing sequence runs
    // while it is still shown). The main window's close box there sends what Cancel sends, at
    // the same times, then closes the main window without opening any later window; SIGTERM
    // does as the close box (a moment later: the signal is served by the next wait).
    void mainWindowFreeAfterClose()
    {
        QFETCH(DialectId, dialect);
        QFETCH(int, button);
        QFETCH(QList<double>, swipes);
        QFETCH(double, cancelTime);
        QFETCH(QString, tally);
        QFETCH(CloseBy, closeBy);
        const bool closeBox = closeBy != CloseBy::Cancel;
        QTemporaryDir dir;
        const QString records = dir.filePath("records.txt"), saved = dir.filePath("saved.txt");
        const auto runRow = [&](CloseBy by) {
            QFile file(records);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("ABC|123|\r\nDEF|456|\r\n") > 0);
            file.close();
            QFile::remove(saved);
            start(dialect,
                  [&](QWidget *, const FileDialogRequest &request) { return request.save ? saved : records; });
            f->setAnswer([](QDialog *d) {
                if (auto *select = qobject_cast<frmTrackSelect *>(d)) {
                    select->Check1[0]->setChecked(true);
                    select->Command1->click();
                } else if (auto *track = qobject_cast<cfrmTrackSelect *>(d)) {
                    track->Option1[2]->setChecked(true);
                    track->Command1_Click(1);
                } else if (auto *entry = qobject_cast<cfrmRecEntry *>(d)) {
                    entry->TIT[0]->setText("T1");
                    entry->TIT[11]->setText("41");
                    entry->TIT[12]->setText("1");
                    entry->TIT[13]->setText("2");
                    entry->Command1_Click(1);
                } else {
                    d->accept();
                }
            });
            if (button == 1)
                QTest::keyClicks(main->TIT[0], "b123");
            if (button == 5)
                f->sim.setStack(Simulator::blankStack(3));
            for (double t : swipes)
                f->swipeAt(t);
            std::unique_ptr<SignalWatch> signalWatch;
            if (by == CloseBy::Sigterm) {
                signalWatch = closeOnSignals();
                f->vp.atEvent(cancelTime, [] { std::raise(SIGTERM); });
            } else if (by == CloseBy::CloseBox) {
                f->vp.atEvent(cancelTime, [this] { main->close(); });
            } else {
                cancelAt(cancelTime);
            }
            press(button);
            QCoreApplication::processEvents();
        };
        QList<QByteArray> cancelWrites;
        QList<double> cancelTimes;
        if (closeBox) {
            runRow(CloseBy::Cancel);
            cancelWrites = f->writes();
            cancelTimes = f->writeTimes();
            cleanup();
        }
        runRow(closeBy);

        QVERIFY2(f->hiddenAt > cancelTime - 1e-9, qPrintable(f->timeline()));
        if (closeBox) {
            QCOMPARE(f->writes(), cancelWrites);
            if (closeBy == CloseBy::CloseBox)
                QCOMPARE(f->writeTimes(), cancelTimes);
            QVERIFY2(f->nextShownAt < 0, qPrintable(f->timeline()));
            QVERIFY(!main->isVisible());
            return;
        }
        const double answered = f->nextShownAt >= 0 ? f->nextShownAt : f->vp.now();
        QVERIFY2(answered - f->hiddenAt <= 0.1,
                 qPrintable(QString("%1 s after the window closed\n").arg(answered - f->hiddenAt) + f->timeline()));
        if (!tally.isEmpty())
            QVERIFY2(main->message().endsWith(tally), qPrintable(main->message()));
        QVERIFY(main->isVisible());
    }
};

QTEST_MAIN(OperationsTest)
#include "tst_operations.moc"
