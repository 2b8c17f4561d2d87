// The erase windows end to end: the track selection, then the erase loop against the simulated
// encoder in both dialects, with a scripted operator in virtual time.
#include "device/Commands.h"
#include "device/Pacer.h"
#include "device/SharedState.h"
#include "iso/frmEraseCard.h"
#include "iso/frmTrackSelect.h"
#include "sim/Simulator.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace MainModule;

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

const QByteArray kAtt = hex("7F");

// The main window as the erase window sees it: a message box whose every change is logged.
class Records : public RecordView {
public:
    struct Change { double time; QString text; };
    QList<Change> changes;
    QString msg;
    QByteArray trackText(int) const override { return {}; }
    void setTrackText(int, const QByteArray &) override {}
    void setCount(int, const QString &) override {}
    QString message() const override { return msg; }
    void setMessage(const QString &text) override
    {
        msg = text;
        changes.append({pacer().now(), text});
    }
};

// Answers every message window and message box that appears (but not the erase window, which
// is modal itself), noting what the operator saw, when, and what the encoder had received by then.
class Answerer : public QObject {
public:
    struct Seen { double time; QString title; QString text; QByteArray receivedBefore; };
    QList<Seen> seen;

    Answerer()
    {
        timer_.setInterval(1);
        connect(&timer_, &QTimer::timeout, this, &Answerer::look);
        timer_.start();
    }

private:
    void look()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (auto *m = qobject_cast<MessageWindow *>(w)) {
                note(m->windowTitle(), m->text());
                m->Command1->click();
            } else if (auto *box = qobject_cast<QMessageBox *>(w)) {
                note(box->windowTitle(), box->text());
                box->defaultButton() ? box->defaultButton()->click() : box->reject();
            }
        }
    }
    void note(const QString &title, const QString &text)
    {
        seen.append({pacer().now(), title, text, Simulator::instance().receivedBytes()});
    }
    QTimer timer_;
};

// Splits what the encoder received into its writes, for comparison with a list of commands.
QList<QByteArray> writes()
{
    QList<QByteArray> out;
    for (const auto &r : Simulator::instance().received())
        out << r.bytes;
    return out;
}

double timeOfWrite(const QByteArray &bytes, int occurrence = 0)
{
    for (const auto &r : Simulator::instance().received())
        if (r.bytes == bytes && occurrence-- == 0)
            return r.time;
    return -1;
}

int countWrites(const QByteArray &bytes)
{
    int n = 0;
    for (const auto &r : Simulator::instance().received())
        n += r.bytes == bytes;
    return n;
}

QList<QByteArray> eraseCommand(bool vnt, int mask)
{
    if (!vnt)
        return {Cmd::Hkd::eraseTracks(mask)};
    QList<QByteArray> out;
    for (int t = 1; t <= 3; ++t)
        if (mask & (1 << (t - 1)))
            out << Cmd::Vnt::EraseTrack[size_t(t)];
    return out << "]";
}

enum class Closing { Button, Escape, CloseBox };
} // namespace

Q_DECLARE_METATYPE(Closing)

class EraseWindowTest : public QObject {
    Q_OBJECT

    VirtualPacer *vp = nullptr;
    Simulator &sim = Simulator::instance();

    void useDialect(bool vnt) { EmulationMode = vnt ? "VNT-290B" : "HKD382"; }
    static void dialects()
    {
        QTest::addColumn<bool>("vnt");
        QTest::newRow("HKD382") << false;
        QTest::newRow("VNT-290B") << true;
    }

    // Runs the erase window until it closes; the operator is scheduled on the pacer beforehand.
    void run(frmEraseCard &w) { w.exec(); }

private slots:
    void initTestCase() { installSimulatorLinkFactory(); }

    void init()
    {
        vp = new VirtualPacer(0.0);
        Pacer::install(vp);
        sim.reset();
        CommPortNumber = "1";
        CommSettings = "9600,n,8,1";
        CancelRequested = false;
        StopCollecting = false;
        EraseTrackMask = 0;
        NonIsoActive = false;
        useDialect(false);
    }
    void cleanup()
    {
        Pacer::install(nullptr);
        delete vp;
        vp = nullptr;
    }

    // ---- Track selection ----------------------------------------------------------------------

    void selection_data()
    {
        QTest::addColumn<QList<bool>>("ticks");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("mask");
        QTest::newRow("tracks 1 and 3, OK") << QList<bool>{true, false, true} << "OK" << 5;
        QTest::newRow("track 2, OK") << QList<bool>{false, true, false} << "OK" << 2;
        QTest::newRow("all, OK") << QList<bool>{true, true, true} << "OK" << 7;
        QTest::newRow("nothing, OK") << QList<bool>{false, false, false} << "OK" << 0;
        QTest::newRow("track 1, Cancel") << QList<bool>{true, false, false} << "Cancel" << 0;
        QTest::newRow("track 3, Escape") << QList<bool>{false, false, true} << "Escape" << 0;
    }
    void selection()
    {
        QFETCH(QList<bool>, ticks);
        QFETCH(QString, answer);
        QFETCH(int, mask);
        {
            // A window opened earlier with ticks leaves nothing behind.
            frmTrackSelect earlier;
            for (QCheckBox *box : earlier.Check1)
                box->setChecked(true);
        }
        frmTrackSelect w;
        QCOMPARE(w.windowTitle(), QString("Erase-Track Selection"));
        QCOMPARE(w.Label1->text(), QString("Please select the track(s) to erase."));
        QCOMPARE(w.findChildren<QCheckBox *>("Check1").size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(w.Check1[i]->text(), QString("Track %1").arg(i + 1));
            QVERIFY(!w.Check1[i]->isChecked());
        }
        QCOMPARE(w.Command1->text(), QString("OK"));
        QCOMPARE(w.Command2->text(), QString("Cancel"));

        QTimer::singleShot(0, &w, [&] {
            for (int i = 0; i < 3; ++i)
                if (ticks[i])
                    w.Check1[i]->click();
            if (answer == "OK")
                QTest::mouseClick(w.Command1, Qt::LeftButton);
            else if (answer == "Cancel")
                QTest::mouseClick(w.Command2, Qt::LeftButton);
            else
                QTest::keyClick(&w, Qt::Key_Escape);
        });
        const int result = w.exec();
        QCOMPARE(result, answer == "OK" ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(EraseTrackMask, mask);
    }

    // ---- Erase loop ---------------------------------------------------------------------------

    void maskOnTheWire_data()
    {
        QTest::addColumn<bool>("vnt");
        QTest::addColumn<int>("mask");
        QTest::newRow("HKD382 tracks 1, 3") << false << 5;
        QTest::newRow("HKD382 track 2") << false << 2;
        QTest::newRow("HKD382 all") << false << 7;
        QTest::newRow("VNT-290B tracks 1, 3") << true << 5;
        QTest::newRow("VNT-290B track 2") << true << 2;
        QTest::newRow("VNT-290B all") << true << 7;
    }
    // Two good erases, then Cancel in the third swipe wait: every byte the encoder got, in order.
    void maskOnTheWire()
    {
        QFETCH(bool, vnt);
        QFETCH(int, mask);
        useDialect(vnt);
        EraseTrackMask = mask;
        Records records;
        Answerer answerer;
        frmEraseCard w(&records);
        vp->at(1.5, [&] { sim.swipe(); });
        vp->at(4.5, [&] { sim.swipe(); });
        vp->at(7.5, [&] { w.findChild<QPushButton *>("Command1")->click(); });
        run(w);

        const QList<QByteArray> erase = eraseCommand(vnt, mask);
        QList<QByteArray> expected;
        if (vnt) {
            expected << kAtt << "(";
            for (int i = 0; i < 2; ++i)
                expected << erase << "L" << "l" << "(";
            expected << erase << kAtt;
        } else {
            expected << Cmd::Hkd::Reset << Cmd::Hkd::IndicatorSwipe << erase << erase << erase << Cmd::Hkd::Reset;
        }
        QCOMPARE(writes(), expected);
        QVERIFY(answerer.seen.isEmpty());
        QCOMPARE(w.LC->text(), QString("3"));
        QVERIFY(!sim.awaitingSwipe());

        // The erased tracks are blank on the card, the others are as they were.
        const SimCard before = Simulator::defaultDeck().at(0);
        for (int t = 0; t < 3; ++t) {
            if (mask & (1 << t))
                QVERIFY2(sim.cardInSlot().tracks[size_t(t)].isBlank(), qPrintable(QString::number(t + 1)));
            else
                QCOMPARE(sim.cardInSlot().tracks[size_t(t)].chars, before.tracks[size_t(t)].chars);
        }
    }

    void goodErase_data() { dialects(); }
    // The start's pauses; the message after an empty first line, the card number 1 -> 2, the
    // next attempt 2 s later with the message box cleared; the swipe prompt only while waiting.
    void goodErase()
    {
        QFETCH(bool, vnt);
        useDialect(vnt);
        EraseTrackMask = 5;
        Records records;
        Answerer answerer;
        frmEraseCard w(&records);
        QCOMPARE(w.windowTitle(), QString("Erase - Swipe Prompt"));
        QString lineWhileWaiting, numberWhileWaiting, numberAfter;
        bool promptWhileWaiting = false, promptAfter = true, linesHiddenAtStart = false;
        vp->at(0.1, [&] { linesHiddenAtStart = !w.Label1->isVisible() && !w.LC->isVisible() && !w.Label2->isVisible(); });
        vp->at(1.4, [&] {
            lineWhileWaiting = w.Label1->isVisible() ? w.Label1->text() : QString();
            numberWhileWaiting = w.LC->isVisible() ? w.LC->text() : QString();
            promptWhileWaiting = w.Label2->isVisible();
        });
        vp->at(1.5, [&] { sim.swipe(); });
        vp->at(2.5, [&] {
            numberAfter = w.LC->text();
            promptAfter = w.Label2->isVisible();
        });
        vp->at(6.0, [&] { w.findChild<QPushButton *>("Command1")->click(); });
        run(w);

        QVERIFY(linesHiddenAtStart);
        if (vnt) {
            const double prepare = timeOfWrite("(") - timeOfWrite(kAtt);  // after the 0.02 s answer to Attention
            QVERIFY2(prepare >= 0.32 - 1e-6 && prepare < 0.36, qPrintable(QString::number(prepare)));
        } else {
            const double reset = timeOfWrite(Cmd::Hkd::Reset);
            const double swipe = timeOfWrite(Cmd::Hkd::IndicatorSwipe);
            const double erase = timeOfWrite(Cmd::Hkd::eraseTracks(5));
            QVERIFY(swipe - reset >= 0.3 - 1e-6 && swipe - reset < 0.32);
            QVERIFY(erase - swipe >= 0.5 - 1e-6 && erase - swipe < 0.52);
        }
        QCOMPARE(lineWhileWaiting, QString("You are erasing card #                   . Please swipe a card."));
        QCOMPARE(numberWhileWaiting, QString("1"));
        QVERIFY(promptWhileWaiting);
        QCOMPARE(w.Label2->text(), QString("Please swipe a card."));
        QCOMPARE(numberAfter, QString("1"));  // shown again only when the next attempt begins
        QVERIFY(!promptAfter);
        QCOMPARE(w.LC->text(), QString("2"));
        QVERIFY(answerer.seen.isEmpty());

        // Message box: cleared, the completion message at the swipe, cleared again 2 s later.
        QVERIFY(records.changes.size() >= 3);
        QCOMPARE(records.changes[0].text, QString());
        QCOMPARE(records.changes[1].text, QString("\r\nErase complete.  Verify data accuracy before continue."));
        QVERIFY(records.changes[1].time >= 1.5 && records.changes[1].time < 1.6);
        QCOMPARE(records.changes[2].text, QString());
        const double gap = records.changes[2].time - records.changes[1].time;
        QVERIFY2(gap >= 2.0 - 1e-6 && gap < (vnt ? 2.15 : 2.02), qPrintable(QString::number(gap)));
        // The next erase command follows the cleared box (HKD382 after its half second).
        const double next = timeOfWrite(vnt ? QByteArray("Z") : Cmd::Hkd::eraseTracks(5), 1);
        QVERIFY(next >= records.changes[2].time);
        QVERIFY(next - records.changes[2].time < (vnt ? 0.05 : 0.52));
        // A Cancel ends the loop, and the box keeps its last text.
        QCOMPARE(records.msg, QString());
    }

    void failedErase_data() { dialects(); }
    // A bad swipe: the card number stays, the error window framed by the error indication,
    // the next attempt 2 s after its OK.
    void failedErase()
    {
        QFETCH(bool, vnt);
        useDialect(vnt);
        EraseTrackMask = 2;
        Records records;
        Answerer answerer;
        frmEraseCard w(&records);
        vp->at(1.0, [&] { sim.setBadSwipe(true); });
        vp->at(1.5, [&] { sim.swipe(); });
        vp->at(6.0, [&] { w.findChild<QPushButton *>("Command1")->click(); });
        run(w);

        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].title, QString("Erase Swipe Error"));
        QCOMPARE(answerer.seen[0].text, QString("Erase error!  Please try again."));
        QCOMPARE(w.LC->text(), QString("1"));
        QVERIFY(!records.changes.isEmpty());
        for (const auto &c : records.changes)
            QCOMPARE(c.text, QString());
        QCOMPARE(countWrites(vnt ? QByteArray("]") : Cmd::Hkd::eraseTracks(2)), 2);
        QCOMPARE(sim.cardInSlot().tracks[1].chars, Simulator::defaultDeck().at(0).tracks[1].chars);

        const QByteArray on = vnt ? Cmd::Vnt::IndicatorError : Cmd::Hkd::IndicatorError;
        const QByteArray off = vnt ? Cmd::Vnt::IndicatorOff : Cmd::Hkd::IndicatorOff;
        // Before the window: (VNT-290B "L", "l", then) the error indication on.
        QByteArray before = answerer.seen[0].receivedBefore;
        QVERIFY(before.endsWith(vnt ? QByteArray("Ll") + on : on));
        QList<QByteArray> expected;
        if (vnt)
            expected << kAtt << "(" << "[" << "]" << "L" << "l" << on << off << "L" << "l" << "(" << "[" << "]" << kAtt;
        else
            expected << Cmd::Hkd::Reset << Cmd::Hkd::IndicatorSwipe << Cmd::Hkd::eraseTracks(2) << on << off
                     << Cmd::Hkd::eraseTracks(2) << Cmd::Hkd::Reset;
        QCOMPARE(writes(), expected);
        const double offAt = timeOfWrite(off);
        const double nextAt = timeOfWrite(vnt ? QByteArray("[") : Cmd::Hkd::eraseTracks(2), 1);
        QVERIFY2(nextAt - offAt >= 2.0 - 1e-6 && nextAt - offAt < (vnt ? 2.15 : 2.52), qPrintable(QString::number(nextAt - offAt)));
    }

    void closing_data()
    {
        QTest::addColumn<bool>("vnt");
        QTest::addColumn<Closing>("how");
        QTest::newRow("HKD382 Cancel") << false << Closing::Button;
        QTest::newRow("HKD382 Escape") << false << Closing::Escape;
        QTest::newRow("HKD382 close box") << false << Closing::CloseBox;
        QTest::newRow("VNT-290B Cancel") << true << Closing::Button;
        QTest::newRow("VNT-290B Escape") << true << Closing::Escape;
        QTest::newRow("VNT-290B close box") << true << Closing::CloseBox;
    }
    // Closing during the swipe wait: the closing sequence and nothing else (the abort meets a
    // closed port), no error window, the card untouched.
    void closing()
    {
        QFETCH(bool, vnt);
        QFETCH(Closing, how);
        useDialect(vnt);
        EraseTrackMask = 7;
        Records records;
        Answerer answerer;
        frmEraseCard w(&records);
        vp->at(2.0, [&] {
            switch (how) {
            case Closing::Button: w.findChild<QPushButton *>("Command1")->click(); break;
            case Closing::Escape: QTest::keyClick(&w, Qt::Key_Escape); break;
            case Closing::CloseBox: w.close(); break;
            }
        });
        run(w);
        QVERIFY(answerer.seen.isEmpty());
        QList<QByteArray> expected;
        if (vnt)
            expected << kAtt << "(" << "Z" << "[" << "\\" << "]" << kAtt;
        else
            expected << Cmd::Hkd::Reset << Cmd::Hkd::IndicatorSwipe << Cmd::Hkd::eraseTracks(7) << Cmd::Hkd::Reset;
        QCOMPARE(writes(), expected);
        QVERIFY(timeOfWrite(expected.last(), 1) >= 2.0);
        QVERIFY(vp->now() < 2.1);
        QVERIFY(!sim.awaitingSwipe());
        QCOMPARE(sim.cardInSlot().tracks[0].chars, Simulator::defaultDeck().at(0).tracks[0].chars);
        QVERIFY(!w.isVisible());
    }

    // VNT-290B: a failed erase, then an encoder that stops answering while the window re-arms
    // it; Cancel closes the window without an error window after it.
    void cancelWhileRearming()
    {
        useDialect(true);
        EraseTrackMask = 1;
        Records records;
        Answerer answerer;
        frmEraseCard w(&records);
        vp->at(1.0, [&] {
            sim.setBadSwipe(true);
            sim.swipe();
            sim.setSilent(true);  // its answer to the swipe is on the line already
        });
        vp->at(4.0, [&] { w.findChild<QPushButton *>("Command1")->click(); });
        run(w);
        QVERIFY(answerer.seen.isEmpty());
        QCOMPARE(writes(), (QList<QByteArray>{kAtt, "(", "Z", "]", "L", kAtt}));
    }

    void closeDuringPause_data() { dialects(); }
    // Closing in the HKD382 half second before the erase command, or in the 2 s pause:
    // nothing follows the closing sequence.
    void closeDuringPause()
    {
        QFETCH(bool, vnt);
        useDialect(vnt);
        EraseTrackMask = 1;
        Records records;
        frmEraseCard w(&records);
        vp->at(1.0, [&] { sim.swipe(); });
        vp->at(vnt ? 2.0 : 1.1 + 2.1 + 0.2, [&] { w.close(); });  // HKD382: inside the 0.5 s before the next erase
        run(w);
        QCOMPARE(writes().last(), vnt ? kAtt : Cmd::Hkd::Reset);
        QCOMPARE(countWrites(vnt ? kAtt : Cmd::Hkd::Reset), 2);
        QCOMPARE(countWrites(vnt ? QByteArray("]") : Cmd::Hkd::eraseTracks(1)), 1);
        QCOMPARE(sim.received().last().time, vnt ? 2.0 : 3.4);
    }

    void startRejected_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<QString>("shown");  // the window the operator sees, if any
        QTest::addColumn<bool>("framed");
        QTest::newRow("answer to Attention") << "attention" << QList<QByteArray>{kAtt, kAtt} << "Read Swipe Error" << false;
        QTest::newRow("wrong answer to (") << "prepare" << QList<QByteArray>{kAtt, "(", "L", "l", "M", "m", kAtt}
                                           << "Read Swipe Error" << true;
        QTest::newRow("no answer to (") << "silent prepare" << QList<QByteArray>{kAtt, "(", "L", "l", "M", "m", kAtt}
                                        << "Read Swipe Error" << true;
        // The "L" after the rejection waits for its answer; Cancel then closes without a window.
        QTest::newRow("silent encoder, Cancel") << "silent" << QList<QByteArray>{kAtt, "(", "L", kAtt} << "" << false;
    }
    // VNT-290B start failures: the read error window, then the window closes; its later
    // activations do not run the start again, and nothing but the closing follows.
    void startRejected()
    {
        QFETCH(QString, fault);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(QString, shown);
        QFETCH(bool, framed);
        useDialect(true);
        EraseTrackMask = 1;
        Records records;
        Answerer answerer;
        frmEraseCard w(&records);
        if (fault == "attention")
            sim.setNextReply("?");
        else if (fault == "silent")
            vp->at(0.1, [&] { sim.setSilent(true); });
        else
            vp->at(0.1, [&] { sim.setNextReply(fault == "prepare" ? "x" : ""); });
        vp->at(3.0, [&] { w.findChild<QPushButton *>("Command1")->click(); });
        run(w);
        QCOMPARE(answerer.seen.size(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty()) {
            QCOMPARE(answerer.seen[0].title, shown);
            QCOMPARE(answerer.seen[0].receivedBefore.endsWith("M"), framed);
            QVERIFY(vp->now() < 3.0);
        }
        QCOMPARE(writes(), expected);
        QVERIFY(!w.isVisible());
        QVERIFY(records.changes.isEmpty());
        QVERIFY(!w.Label1->isVisible());
    }

    void portFailures_data()
    {
        QTest::addColumn<bool>("vnt");
        QTest::addColumn<double>("vanishAt");  // < 0: gone before the window opens
        QTest::addColumn<int>("writesBefore"); // what the encoder got before the port went
        QTest::newRow("HKD382 no port") << false << -1.0 << 0;
        QTest::newRow("VNT-290B no port") << true << -1.0 << 0;
        QTest::newRow("HKD382 gone in the swipe wait") << false << 2.0 << 3;
        QTest::newRow("VNT-290B gone in the swipe wait") << true << 2.0 << 4;
        QTest::newRow("VNT-290B gone in the start") << true << 0.01 << 1;
        QTest::newRow("HKD382 gone in the pause") << false << 2.5 << 3;
        QTest::newRow("VNT-290B gone in the pause") << true << 2.5 << 7;
    }
    // A port that cannot be opened or goes away: one communication error, the window closes,
    // no erase error window, no hang.
    void portFailures()
    {
        QFETCH(bool, vnt);
        QFETCH(double, vanishAt);
        QFETCH(int, writesBefore);
        useDialect(vnt);
        EraseTrackMask = 1;
        if (vanishAt < 0)
            sim.vanishPort();
        else
            vp->at(vanishAt, [&] { sim.vanishPort(); });
        if (vanishAt > 2.2)
            vp->at(1.0, [&] { sim.swipe(); });
        Records records;
        Answerer answerer;
        frmEraseCard w(&records);
        bool hung = false;
        vp->at(600.0, [&] {
            hung = true;
            w.close();
        });
        run(w);
        QVERIFY(!hung);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].title, QString("Communications Error"));
        QCOMPARE(writes().size(), writesBefore);
        QVERIFY(!w.isVisible());
        QVERIFY(vp->now() < vanishAt + 3.0);
    }

    // The card number sits in the blank run of its line.
    void cardNumberOverBlankRun()
    {
        EraseTrackMask = 1;
        Records records;
        frmEraseCard w(&records);
        vp->at(1.0, [&] {
            const QFontMetrics fm(w.Label1->font());
            const int start = fm.horizontalAdvance("You are erasing card #");
            const int blanks = fm.horizontalAdvance(QString(19, ' '));
            QCOMPARE(w.LC->parentWidget(), w.Label1);
            QVERIFY(w.LC->geometry().left() >= start - 1);
            QVERIFY(w.LC->geometry().right() <= start + blanks + 1);
            QVERIFY(w.LC->geometry().width() >= fm.horizontalAdvance("9999"));
            w.close();
        });
        run(w);
    }
};

QTEST_MAIN(EraseWindowTest)
#include "tst_erasewindow.moc"
