// The copy window end to end against the simulated encoder, in both dialects, with a scripted
// operator in virtual time: what the operator sees of the source read, the target write and
// their failures (their bytes and the cards: tst_headless).
#include "Dialects.h"
#include "SwipeFixture.h"
#include "iso/cfrmCopyCard.h"

#include <QLabel>
#include <QtTest>

using Bytes = QList<QByteArray>;
using Script = std::function<void(SwipeFixture &)>;
Q_DECLARE_METATYPE(Script)

namespace {
const QByteArray kBankT1 = "B4000123456789010^SAMPLE/CARD HOLDER^30121010000000000000";
const QByteArray kBankT2 = "4000123456789010=30121010000000000";
const QByteArray kBankT3 = "014000123456789010=724724100000000000030300000000000000000000000000000000000000000000000000000";
const Bytes kBank{kBankT1, kBankT2, kBankT3};
constexpr int kBlankCard = 2;
constexpr int kDamagedCard = 3;

// What the operator sees of the copy window at one moment.
struct Look {
    QString title;
    bool promptShown = false;
    QString prompt;
    QColor colour;
    bool operator==(const Look &) const = default;
};

Look lookAt(const cfrmCopyCard &w)
{
    return {w.windowTitle(), w.Label1->isVisible(), w.Label1->text(), w.Label1->palette().color(QPalette::WindowText)};
}

// Answers the error windows with OK, noting whether the copy window stood aside meanwhile.
void answerNoting(SwipeFixture &f, QList<bool> &copyVisible, const cfrmCopyCard &w)
{
    f.setAnswer([&copyVisible, &w](QDialog *d) {
        copyVisible << w.isVisible();
        d->accept();
    });
}
} // namespace

class CopyWindowTest : public QObject {
    Q_OBJECT

    static void dialects()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }

private slots:
    void cycle_data() { dialects(); }
    // Source swiped at 2 s, blank target at 4 s, Cancel in the next source read: the records,
    // titles and prompts.
    void cycle()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        QCOMPARE(w.Picture1->pixmap().deviceIndependentSize().toSize(), QSize(48, 48));
        Look reading, writing, readingAgain;
        Bytes input, output;
        QStringList inputCounts, outputCounts;
        QString message;
        f.at(1.5, [&] { reading = lookAt(w); });
        f.swipeAt(2.0);
        f.at(3.5, [&] {
            writing = lookAt(w);
            f.sim.selectCard(kBlankCard);
        });
        f.swipeAt(4.0);
        f.at(4.3, [&] {
            readingAgain = lookAt(w);
            input = {f.records.texts[0], f.records.texts[1], f.records.texts[2]};
            inputCounts = QStringList{f.records.counts[0], f.records.counts[1], f.records.counts[2]};
            output = f.records.output();
            outputCounts = f.records.outputCounts();
            message = f.records.message();
        });
        f.clickAt(6.0, &w);
        f.run(w);

        QVERIFY(!f.timedOut);
        QVERIFY(f.shown.isEmpty());

        const QColor buttonText = w.palette().color(QPalette::ButtonText);
        QCOMPARE(reading, (Look{"Copy Swipe Prompt - Read Source", true, "Please swipe a card to read.", buttonText}));
        QCOMPARE(writing, (Look{"Copy Swipe Prompt - Write Target", true, "Please swipe a card to write.", QColor(255, 0, 0)}));
        QCOMPARE(readingAgain, reading);
        QCOMPARE(input, kBank);
        QCOMPARE(inputCounts, (QStringList{"57", "34", "94"}));
        QCOMPARE(output, kBank);
        QCOMPARE(outputCounts, (QStringList{"57", "34", "94"}));
        QCOMPARE(message, cfrmCopyCard::kWriteComplete);
        QCOMPARE(message, QString("\r\nWrite complete.  Verify data accuracy before continue."));
        // Finished: output record and message box empty; the input record is the main window's to clear.
        QCOMPARE(f.records.output(), (Bytes{"", "", ""}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"0", "0", "0"}));
        QCOMPARE(f.records.message(), QString());
        QCOMPARE(f.records.texts[0], kBankT1);
    }

    void blankSourceTrack_data() { dialects(); }
    // A source whose track 2 reads "+": shown with count 0.
    void blankSourceTrack()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        f.sim.deck()[0].tracks[1] = SimTrack{};
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        QStringList inputCounts, outputCounts;
        f.swipeAt(2.0);
        f.at(3.5, [&] {
            inputCounts = QStringList{f.records.counts[0], f.records.counts[1], f.records.counts[2]};
            f.sim.selectCard(kBlankCard);
        });
        f.swipeAt(4.0);
        f.at(4.3, [&] { outputCounts = f.records.outputCounts(); });
        f.clickAt(6.0, &w);
        f.run(w);

        QCOMPARE(inputCounts, (QStringList{"57", "0", "94"}));
        // "+" is the no-data mark: it counts 0 in the output record too, as in the input record.
        QCOMPARE(outputCounts, (QStringList{"57", "0", "94"}));
    }

    void failedWrite_data() { dialects(); }
    // A bad target swipe: "*" output, the write error window framed by the indication with the
    // copy window out of the way.
    void failedWrite()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        QList<bool> copyVisible;
        answerNoting(f, copyVisible, w);
        Bytes outputAfterError;
        QStringList countsAfterError;
        f.swipeAt(2.0);
        f.at(3.5, [&] {
            f.sim.selectCard(kBlankCard);
            f.sim.setBadSwipe(true);
        });
        f.swipeAt(3.6);
        f.at(4.0, [&] {
            outputAfterError = f.records.output();
            countsAfterError = f.records.outputCounts();
            f.sim.setBadSwipe(false);
        });
        f.swipeAt(5.0);
        f.clickAt(7.0, &w);
        f.run(w);

        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Write Swipe Error"));
        QVERIFY(f.writes().mid(0, f.shown[0].receivedBefore).last() == perDialect(dialect, SwipeFixture::hex("1B 85"), QByteArray("M")));
        QCOMPARE(copyVisible, QList<bool>{false});
        QCOMPARE(outputAfterError, (Bytes{"*", "*", "*"}));
        QCOMPARE(countsAfterError, (QStringList{"0", "0", "0"}));
        QVERIFY(f.records.messages().contains(cfrmCopyCard::kWriteComplete));
    }

    // A source not read: a bad swipe empties the input record; a card with an unreadable track
    // shows its tracks; a track the VNT-290B encoder does not answer at all is no "no data"
    // (copying the card without it would leave that track off the target and still say "Write
    // complete"). Then the read error window with the copy window out of the way, the copy window
    // back, no completion.
    void sourceNotRead_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Script>("fault");
        QTest::addColumn<Bytes>("input");
        QTest::addColumn<QStringList>("counts");
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s bad swipe", d.name) << d.id << Script([](SwipeFixture &f) { f.sim.setBadSwipe(true); })
                                                  << Bytes{"", "", ""} << QStringList{"0", "0", "0"};
            QTest::addRow("%s unreadable track", d.name)
                << d.id << Script([](SwipeFixture &f) { f.sim.selectCard(kDamagedCard); })
                << Bytes{"B5500000000000004^DAMAGED/STRIPE^2805", "*", "0155000000000000004=2805"} << QStringList{"37", "1", "24"};
        }
        QTest::newRow("VNT-290B unanswered track")
            << DialectId::Vnt290b << Script([](SwipeFixture &f) { f.sim.setCommandFault("R", Simulator::Fault::Ignore); })
            << Bytes{kBankT1, "*", kBankT3} << QStringList{"57", "1", "94"};
    }
    void sourceNotRead()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Script, fault);
        QFETCH(Bytes, input);
        QFETCH(QStringList, counts);
        SwipeFixture f(dialect);
        f.records.setInput("old1", "old2", "old3");
        fault(f);
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        QList<bool> copyVisible;
        answerNoting(f, copyVisible, w);
        bool visibleAgain = false;
        f.swipeAt(2.0);
        f.at(3.5, [&] { visibleAgain = w.isVisible(); });
        f.clickAt(4.0, &w);
        f.run(w);

        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Read Swipe Error"));
        QCOMPARE(f.shown[0].text, QString("Read error!  Please try again."));
        QCOMPARE(copyVisible, QList<bool>{false});
        QVERIFY(visibleAgain);
        QCOMPARE((Bytes{f.records.texts[0], f.records.texts[1], f.records.texts[2]}), input);
        QCOMPARE((QStringList{f.records.counts[0], f.records.counts[1], f.records.counts[2]}), counts);
        QVERIFY(!f.records.messages().contains(cfrmCopyCard::kWriteComplete));
    }

    void cancelDuringWrite_data() { dialects(); }
    // After a good copy, Cancel while the next target write waits: output record and message
    // box emptied before the window closes.
    void cancelDuringWrite()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        f.swipeAt(2.0);
        f.swipeAt(4.0);
        f.swipeAt(6.0);
        f.clickAt(8.0, &w);
        f.run(w);

        QCOMPARE(f.records.output(), (Bytes{"", "", ""}));
        QCOMPARE(f.records.message(), QString());
        // The last changes are the finish's, made after the Cancel.
        const auto &changes = f.records.changes;
        QVERIFY(changes.size() >= 4);
        QCOMPARE(changes.last().box, -1);
        QVERIFY(changes.last().time > 8.0 - 1e-6);
        QVERIFY(!w.isVisible());
    }

};

QTEST_MAIN(CopyWindowTest)
#include "tst_copywindow.moc"
