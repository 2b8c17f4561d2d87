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


namespace {
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

    // Two good erases then Cancel, every byte, their times and the card erased: tst_headless.

    void goodErase_data() { dialects(); }
    // The message after an empty first line, the card number 1 -> 2, the message box cleared
    // 2 s later; the swipe prompt only while waiting.
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
    }

    void failedErase_data() { dialects(); }
    // A bad swipe: the card number stays, the error window framed by the error indication (the
    // bytes, their times and the card kept: tst_headless).
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
        // Before the window: (VNT-290B "L", "l", then) the error indication on.
        const QByteArray on = perDialect(dialect, Cmd::Hkd::IndicatorError, Cmd::Vnt::IndicatorError);
        QVERIFY(receivedBefore(f, 0).endsWith(perDialect(dialect, on, QByteArray("Ll") + on)));
    }

    // VNT-290B: a failed erase, then an encoder that stops answering while the window re-arms
    // it; Cancel closes the window without an error window after it (its bytes: tst_headless).
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
        QVERIFY(!w.isVisible());
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
