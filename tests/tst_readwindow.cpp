// The ISO read window end to end against the simulated encoder, in both dialects, with a
// scripted operator in virtual time: what the operator sees (the bytes: tst_headless).
#include "Dialects.h"
#include "SwipeFixture.h"
#include "iso/cfrmReadCard.h"

#include <QLabel>
#include <QtTest>

using Bytes = QList<QByteArray>;
using Script = std::function<void(SwipeFixture &)>;
Q_DECLARE_METATYPE(Script)

namespace {
QByteArray hex(const char *text) { return SwipeFixture::hex(text); }

const QByteArray kReset = hex("1B 61"), kSwipe = hex("1B 84"), kRead = hex("1B 72");
const QByteArray kBankT1 = "B4000123456789010^SAMPLE/CARD HOLDER^30121010000000000000";
const QByteArray kBankT2 = "4000123456789010=30121010000000000";
const QByteArray kBankT3 = "014000123456789010=724724100000000000030300000000000000000000000000000000000000000000000000000";
} // namespace

class ReadWindowTest : public QObject {
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
        cfrmReadCard w(f.connection, &f.records, &f.records);
        QCOMPARE(w.windowTitle(), QString("Read Swipe Prompt"));
        auto *label1 = w.findChild<QLabel *>("Label1");
        auto *lc = w.findChild<QLabel *>("LC");
        QVERIFY(label1 && lc && w.findChild<QLabel *>("Label2") && w.findChild<QLabel *>("Picture1"));
        QCOMPARE(label1->text(), QString("You are reading card #                 ."));
        QCOMPARE(lc->text(), QString("1"));
        QCOMPARE(w.findChild<QLabel *>("Picture1")->pixmap().deviceIndependentSize().toSize(), QSize(48, 48));
        // While the window waits: the number sits in the blank run of the line, the prompt shows.
        QRect lcGeometry;
        bool promptShown = false;
        f.at(0.5, [&] {
            lcGeometry = lc->geometry();
            promptShown = w.findChild<QLabel *>("Label2")->isVisible();
        });
        f.clickAt(1.0, &w);
        f.run(w);
        const QFontMetrics fm(label1->font());
        const int runStart = fm.horizontalAdvance("You are reading card #");
        const int runEnd = fm.horizontalAdvance("You are reading card #                 ");
        QVERIFY2(lcGeometry.left() >= runStart && lcGeometry.right() <= runEnd && lcGeometry.width() > 0,
                 qPrintable(QString("%1..%2 in %3..%4").arg(lcGeometry.left()).arg(lcGeometry.right()).arg(runStart).arg(runEnd)));
        QVERIFY(promptShown);
        QVERIFY(!w.findChild<QLabel *>("Label2")->isVisible());
    }

    // One good read, the next attempt armed, then Cancel while it waits (the bytes, their times
    // and every line rate: tst_headless).
    void goodReadThenCancel_data() { dialects(); }
    void goodReadThenCancel()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        f.records.setTrackText(3, "old");
        cfrmReadCard w(f.connection, &f.records, &f.records);
        auto *label2 = w.findChild<QLabel *>("Label2");
        bool promptWhileWaiting = false;
        f.at(1.0, [&] { promptWhileWaiting = label2->isVisible(); });
        f.swipeAt(1.2);
        f.clickAt(3.0, &w);
        f.run(w);

        QVERIFY(!f.timedOut);
        QVERIFY(promptWhileWaiting);
        QCOMPARE(f.records.output(), (Bytes{kBankT1, kBankT2, kBankT3}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"57", "34", "94"}));
        QCOMPARE(f.records.messages(), (QStringList{"\r\nSuccessful read from card swipe.", ""}));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("2"));
        QVERIFY(f.shown.isEmpty());
        QVERIFY(w.cancelled());
    }

    // What a swipe shows: the tracks and their counts, "*" for a track not read ("+", count 0,
    // for one without data); where a track was not read, the error window framed by the error
    // indication and the ready signal, and the card number stays. Bytes and times: tst_headless.
    void cardShown_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Script>("script");
        QTest::addColumn<Bytes>("output");
        QTest::addColumn<QStringList>("counts");
        QTest::addColumn<int>("errorAfter"); // writes received when the error window appeared; -1: none
        const Script bad = [](SwipeFixture &f) {
            f.sim.setBadSwipe(true);
            f.swipeAt(1.0);
        };
        const Bytes none{"*", "*", "*"};
        QTest::newRow("HKD382 bad status") << DialectId::Hkd382 << bad << none << QStringList{"0", "0", "0"} << 4;
        // Silent from the first "P" until the error window has been answered.
        QTest::newRow("VNT-290B silent after P") << DialectId::Vnt290b << Script([](SwipeFixture &f) {
            f.at(0.35, [&f] { f.sim.setSilent(true); });
            f.at(3.0, [&f] { f.sim.setSilent(false); });
        }) << none << QStringList{"0", "0", "0"} << 5;
        for (const DialectEntry &d : kDialects)
            QTest::addRow("%s unreadable track 2", d.name) << d.id << Script([](SwipeFixture &f) {
                f.sim.selectCard(3);
                f.swipeAt(1.0);
            }) << Bytes{"B5500000000000004^DAMAGED/STRIPE^2805", "*", "0155000000000000004=2805"}
                                                           << QStringList{"37", "1", "24"} << perDialect(d.id, 4, 8);
        QTest::newRow("HKD382 blank tracks") << DialectId::Hkd382 << Script([](SwipeFixture &f) {
            f.sim.selectCard(1); // track 2 only
            f.swipeAt(1.0);
        }) << Bytes{"+", "8024700042=3012", "+"} << QStringList{"0", "15", "0"} << -1;
    }
    void cardShown()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Script, script);
        QFETCH(Bytes, output);
        QFETCH(QStringList, counts);
        QFETCH(int, errorAfter);
        SwipeFixture f(dialect);
        cfrmReadCard w(f.connection, &f.records, &f.records);
        script(f);
        f.clickAt(8.0, &w);
        f.run(w);

        QCOMPARE(f.records.output(), output);
        QCOMPARE(f.records.outputCounts(), counts);
        QCOMPARE(f.shown.size(), errorAfter < 0 ? 0 : 1);
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), errorAfter < 0 ? QString("2") : QString("1"));
        if (errorAfter < 0)
            return;
        QCOMPARE(f.shown[0].title, QString("Read Swipe Error"));
        QCOMPARE(f.shown[0].text, QString("Read error!  Please try again."));
        QCOMPARE(f.shown[0].receivedBefore, errorAfter);
        QVERIFY(f.records.messages().startsWith(""));
    }

    // Two failed reads in a row: each error window's closing re-activates the window, which
    // must not run its start again.
    void errorWindowDoesNotRestart()
    {
        SwipeFixture f(DialectId::Hkd382);
        f.sim.setBadSwipe(true);
        cfrmReadCard w(f.connection, &f.records, &f.records);
        f.swipeAt(1.0);
        f.swipeAt(4.0);
        f.clickAt(7.0, &w);
        f.run(w);
        const Bytes writes = f.writes();
        QCOMPARE(writes.count(kSwipe), 1);
        QCOMPARE(writes.count(kReset), 2);  // start and closing
        QCOMPARE(writes.first(), kReset);
        QCOMPARE(f.shown.size(), 2);
        QCOMPARE(writes.count(kRead), 3);
    }
};

QTEST_MAIN(ReadWindowTest)
#include "tst_readwindow.moc"
