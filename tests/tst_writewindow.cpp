// The ISO write window end to end against the simulated encoder, in both dialects, with a
// scripted operator in virtual time: what the operator sees (the bytes: tst_headless).
#include "Dialects.h"
#include "SwipeFixture.h"
#include "iso/cfrmWriteCard.h"
#include "ui/common/MessageWindow.h"

#include <QLabel>
#include <QtTest>

using Bytes = QList<QByteArray>;

namespace {
const QByteArray kSwipe = SwipeFixture::hex("1B 84");
} // namespace

class WriteWindowTest : public QObject {
    Q_OBJECT

    static void dialects()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }

private slots:
    void windowControls()
    {
        SwipeFixture f(DialectId::Hkd382);
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        QCOMPARE(w.windowTitle(), QString("Write Swipe Prompt"));
        QCOMPARE(w.findChild<QLabel *>("Label1")->text(), QString("You are writing card #                  ."));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("1"));
        QCOMPARE(w.findChild<QLabel *>("Label2")->text(), QString("Please swipe a card."));
        QVERIFY(w.findChild<QLabel *>("Picture1"));
    }

    // A good write, the next attempt, then Cancel while it waits for the swipe (the bytes, their
    // times and the card: tst_headless).
    void goodWriteThenCancel_data() { dialects(); }
    void goodWriteThenCancel()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        f.records.setInput("B123", "", "");
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        auto *label2 = w.findChild<QLabel *>("Label2");
        bool promptWhileWaiting = false;
        f.at(1.4, [&] { promptWhileWaiting = label2->isVisible(); });
        f.swipeAt(1.5);
        f.clickAt(3.0, &w);
        f.run(w);

        QVERIFY(!f.timedOut);
        QVERIFY(promptWhileWaiting);
        QVERIFY(!label2->isVisible());
        QCOMPARE(f.records.output(), (Bytes{"B123", "", ""}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"4", "0", "0"}));
        QCOMPARE(f.records.messages(), (QStringList{"\r\nWrite complete.  Verify data accuracy before continue.", ""}));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("2"));
        QVERIFY(f.shown.isEmpty());
    }

    // A failed write: "*" in the output record, the error window framed by the error
    // indication (VNT-290B: "L", "l" first); the start not repeated when it closes.
    void failedWrite_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<int>("errorAfter");
        QTest::newRow("HKD382 reply 1B 31") << DialectId::Hkd382 << 5;
        QTest::newRow("VNT-290B card refused") << DialectId::Vnt290b << 8;
    }
    void failedWrite()
    {
        QFETCH(DialectId, dialect);
        QFETCH(int, errorAfter);
        SwipeFixture f(dialect);
        f.records.setInput("B123", "", "");
        if (dialect == DialectId::Vnt290b)
            f.sim.setBadSwipe(true);
        else
            f.sim.setStatusByte('1');
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        f.swipeAt(1.5);
        f.clickAt(8.0, &w);
        f.run(w);

        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Write Swipe Error"));
        QCOMPARE(f.shown[0].text, QString("Write error!  Please try again."));
        QCOMPARE(f.shown[0].receivedBefore, errorAfter);
        QCOMPARE(f.records.output(), (Bytes{"*", "*", "*"}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"0", "0", "0"}));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("1"));
        QCOMPARE(f.records.message(), QString());
        // The start ran once: the error window's closing did not repeat it.
        QCOMPARE(f.writes().count(perDialect(dialect, kSwipe, QByteArray("("))), perDialect(dialect, 1, 2));
    }

    void errorWindowTitle_data()
    {
        QTest::addColumn<bool>("nonIso");
        QTest::addColumn<QString>("override");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << false << QString() << "Write Swipe Error";
        QTest::newRow("non-ISO") << true << QString() << "Non-ISO Write Swipe Error";
        QTest::newRow("incremental") << false << QString("Incremental Encode Write Error") << "Incremental Encode Write Error";
    }
    void errorWindowTitle()
    {
        QFETCH(bool, nonIso);
        QFETCH(QString, override);
        QFETCH(QString, title);
        SwipeFixture f(DialectId::Hkd382);
        f.records.setInput("1", "", "");
        f.sim.setStatusByte('2');
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        if (nonIso)
            w.setErrorTitles(sfrmReadErr::kNonIsoTitle, sfrmWriteErr::kNonIsoTitle);
        else if (!override.isEmpty())
            w.setErrorTitles(sfrmReadErr::kTitle, override);
        f.swipeAt(1.5);
        f.clickAt(3.0, &w);
        f.run(w);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, title);
    }

    // A track typed as "+" is shown with its length (left out of the block: tst_headless).
    void plusTrackLeftOut()
    {
        SwipeFixture f(DialectId::Hkd382);
        f.records.setInput("+", "12", "");
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        f.swipeAt(1.5);
        f.clickAt(2.5, &w);
        f.run(w);
        QCOMPARE(f.records.output(), (Bytes{"+", "12", ""}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"1", "2", "0"}));
    }

    // VNT-290B: track data not acknowledged ends the run after the error window.
    void refusedTrackCloses()
    {
        SwipeFixture f(DialectId::Vnt290b);
        f.records.setInput("B123", "", "");
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        f.at(0.35, [&] { f.sim.setNextReply("x"); });  // the answer to the track data
        f.run(w, 30.0);
        QVERIFY(!f.timedOut);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Write Swipe Error"));
        QCOMPARE(f.records.output(), (Bytes{"*", "*", "*"}));
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(WriteWindowTest)
#include "tst_writewindow.moc"
