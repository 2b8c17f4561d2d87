// The erase windows end to end: the track selection, then the erase loop against the simulated
// encoder in both dialects, with a scripted operator in virtual time.
#include "Dialects.h"
#include "SwipeFixture.h"
#include "dialect/Commands.h"
#include "iso/frmEraseCard.h"
#include "iso/frmTrackSelect.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using Bytes = QList<QByteArray>;

namespace {
const QByteArray kAtt = SwipeFixture::hex("7F");

double timeOfWrite(const SwipeFixture &f, const QByteArray &bytes, int occurrence = 0)
{
    for (const auto &r : f.sim.received())
        if (r.bytes == bytes && occurrence-- == 0)
            return r.time;
    return -1;
}

// What the encoder had received when the i-th message window appeared.
QByteArray receivedBefore(const SwipeFixture &f, int i)
{
    return f.writes().mid(0, f.shown[i].receivedBefore).join();
}

} // namespace

class EraseWindowTest : public QObject {
    Q_OBJECT

    static void dialects()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }

private slots:

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
        QCOMPARE(w.EraseTrackMask(), mask);
    }

    // ---- Erase loop ---------------------------------------------------------------------------

    // Two good erases then Cancel, every byte and the card erased: tst_headless, on the operation.

    void goodErase_data() { dialects(); }
    // The start's pauses; the message after an empty first line, the card number 1 -> 2, the
    // next attempt 2 s later with the message box cleared; the swipe prompt only while waiting.
    void goodErase()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        frmEraseCard w(f.connection, 5, &f.records, &f.records);
        QCOMPARE(w.windowTitle(), QString("Erase - Swipe Prompt"));
        QCOMPARE(w.Picture1->pixmap().deviceIndependentSize().toSize(), QSize(48, 48));
        QString lineWhileWaiting, numberWhileWaiting, numberAfter;
        bool promptWhileWaiting = false, promptAfter = true, linesHiddenAtStart = false;
        f.at(0.1, [&] { linesHiddenAtStart = !w.Label1->isVisible() && !w.LC->isVisible() && !w.Label2->isVisible(); });
        f.at(1.4, [&] {
            lineWhileWaiting = w.Label1->isVisible() ? w.Label1->text() : QString();
            numberWhileWaiting = w.LC->isVisible() ? w.LC->text() : QString();
            promptWhileWaiting = w.Label2->isVisible();
        });
        f.swipeAt(1.5);
        f.at(2.5, [&] {
            numberAfter = w.LC->text();
            promptAfter = w.Label2->isVisible();
        });
        f.clickAt(6.0, &w);
        f.run(w);

        QVERIFY(linesHiddenAtStart);
        if (dialect == DialectId::Vnt290b) {
            const double prepare = timeOfWrite(f, "(") - timeOfWrite(f, kAtt);  // after the 0.02 s answer to Attention
            QVERIFY2(prepare >= 0.32 - 1e-6 && prepare < 0.36, qPrintable(f.timeline()));
        } else {
            const double reset = timeOfWrite(f, Cmd::Hkd::Reset);
            const double swipe = timeOfWrite(f, Cmd::Hkd::IndicatorSwipe);
            const double erase = timeOfWrite(f, Cmd::Hkd::eraseTracks(5));
            QVERIFY2(swipe - reset >= 0.3 - 1e-6 && swipe - reset < 0.32, qPrintable(f.timeline()));
            QVERIFY2(erase - swipe >= 0.5 - 1e-6 && erase - swipe < 0.52, qPrintable(f.timeline()));
        }
        QCOMPARE(lineWhileWaiting, QString("You are erasing card #                   . Please swipe a card."));
        QCOMPARE(numberWhileWaiting, QString("1"));
        QVERIFY(promptWhileWaiting);
        QCOMPARE(w.Label2->text(), QString("Please swipe a card."));
        QCOMPARE(numberAfter, QString("1"));  // shown anew when the next attempt begins
        QVERIFY(!promptAfter);
        QCOMPARE(w.LC->text(), QString("2"));
        QVERIFY(f.shown.isEmpty());

        // Message box: cleared, the completion message at the swipe, cleared again 2 s later.
        QList<RecordStub::Change> changes;
        for (const auto &c : f.records.changes)
            if (c.box == -1)
                changes << c;
        QVERIFY(changes.size() >= 3);
        QCOMPARE(changes[0].value, QString());
        QCOMPARE(changes[1].value, QString("\r\nErase complete.  Verify data accuracy before continue."));
        QVERIFY(changes[1].time >= 1.5 && changes[1].time < 1.6);
        QCOMPARE(changes[2].value, QString());
        const double gap = changes[2].time - changes[1].time;
        QVERIFY2(gap >= 2.0 - 1e-6 && gap < perDialect(dialect, 2.02, 2.15), qPrintable(QString::number(gap)));
        // The next erase command follows the cleared box (HKD382 after its half second).
        const double next = timeOfWrite(f, perDialect(dialect, Cmd::Hkd::eraseTracks(5), QByteArray("Z")), 1);
        QVERIFY(next >= changes[2].time);
        QVERIFY(next - changes[2].time < perDialect(dialect, 0.52, 0.05));
    }

    void failedErase_data() { dialects(); }
    // A bad swipe: the card number stays, the error window framed by the error indication,
    // the next attempt 2 s after its OK.
    void failedErase()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        frmEraseCard w(f.connection, 2, &f.records, &f.records);
        f.at(1.0, [&] { f.sim.setBadSwipe(true); });
        f.swipeAt(1.5);
        f.clickAt(6.0, &w);
        f.run(w);

        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Erase Swipe Error"));
        QCOMPARE(f.shown[0].text, QString("Erase error!  Please try again."));
        QCOMPARE(w.LC->text(), QString("1"));
        QVERIFY(!f.records.messages().isEmpty());
        for (const QString &m : f.records.messages())
            QCOMPARE(m, QString());
        QCOMPARE(f.sim.cardInSlot().tracks[1].chars, Simulator::defaultDeck().at(0).tracks[1].chars);

        const QByteArray on = perDialect(dialect, Cmd::Hkd::IndicatorError, Cmd::Vnt::IndicatorError);
        const QByteArray off = perDialect(dialect, Cmd::Hkd::IndicatorOff, Cmd::Vnt::IndicatorOff);
        // Before the window: (VNT-290B "L", "l", then) the error indication on.
        QVERIFY(receivedBefore(f, 0).endsWith(perDialect(dialect, on, QByteArray("Ll") + on)));
        Bytes expected;
        if (dialect == DialectId::Vnt290b)
            expected << kAtt << "(" << "[" << "]" << "L" << "l" << on << off << "L" << "l" << "(" << "[" << "]" << kAtt;
        else
            expected << Cmd::Hkd::Reset << Cmd::Hkd::IndicatorSwipe << Cmd::Hkd::eraseTracks(2) << on << off
                     << Cmd::Hkd::eraseTracks(2) << Cmd::Hkd::Reset;
        QVERIFY2(f.writes() == expected, qPrintable(f.timeline()));
        const double offAt = timeOfWrite(f, off);
        const double nextAt = timeOfWrite(f, perDialect(dialect, Cmd::Hkd::eraseTracks(2), QByteArray("[")), 1);
        QVERIFY2(nextAt - offAt >= 2.0 - 1e-6 && nextAt - offAt < perDialect(dialect, 2.52, 2.15),
                 qPrintable(f.timeline()));
    }

    // VNT-290B: a failed erase, then an encoder that stops answering while the window re-arms
    // it; Cancel closes the window without an error window after it.
    void cancelWhileRearming()
    {
        SwipeFixture f(DialectId::Vnt290b);
        frmEraseCard w(f.connection, 1, &f.records, &f.records);
        f.at(1.0, [&] {
            f.sim.setBadSwipe(true);
            f.sim.swipe();
            f.sim.setSilent(true);  // its answer to the swipe is on the line already
        });
        f.clickAt(4.0, &w);
        f.run(w);
        QVERIFY(f.shown.isEmpty());
        QVERIFY2(f.writes() == (Bytes{kAtt, "(", "Z", "]", "L", kAtt}), qPrintable(f.timeline()));
    }

    // The card number sits in the blank run of its line.
    void cardNumberOverBlankRun()
    {
        SwipeFixture f(DialectId::Hkd382);
        frmEraseCard w(f.connection, 1, &f.records, &f.records);
        QRect lc;
        f.at(1.0, [&] { lc = w.LC->geometry(); });
        f.closeAt(1.1, &w);
        f.run(w);
        const QFontMetrics fm(w.Label1->font());
        const int start = fm.horizontalAdvance("You are erasing card #");
        const int blanks = fm.horizontalAdvance(QString(19, ' '));
        QCOMPARE(w.LC->parentWidget(), w.Label1);
        QVERIFY(lc.left() >= start - 1 && lc.right() <= start + blanks + 1);
        QVERIFY(lc.width() >= fm.horizontalAdvance("9999"));
    }
};

QTEST_MAIN(EraseWindowTest)
#include "tst_erasewindow.moc"
