// The copy window end to end against the simulated encoder, in both dialects, with a scripted
// operator in virtual time: source read, target write, their failures, closing and start.
#include "SwipeFixture.h"
#include "card/TrackBlock.h"
#include "dialect/Commands.h"
#include "iso/cfrmCopyCard.h"

#include <QLabel>
#include <QtTest>

using namespace MainModule;
using Bytes = QList<QByteArray>;

namespace {
QByteArray hex(const char *text) { return SwipeFixture::hex(text); }

const QByteArray kReset = hex("1B 61"), kRead = hex("1B 72"), kErrOn = hex("1B 85"), kOff = hex("1B 81"),
                 kAtt = hex("7F");
const Bytes kHkdStart{kReset, hex("1B 5A 3D 16 3D"), hex("1B 6A D2 4B D2")};
const QByteArray kBankT1 = "B4000123456789010^SAMPLE/CARD HOLDER^30121010000000000000";
const QByteArray kBankT2 = "4000123456789010=30121010000000000";
const QByteArray kBankT3 = "014000123456789010=724724100000000000030300000000000000000000000000000000000000000000000000000";
const Bytes kBank{kBankT1, kBankT2, kBankT3};
constexpr int kBlankCard = 2;
constexpr int kDamagedCard = 3;

DialectId dialect(bool vnt) { return vnt ? DialectId::Vnt290b : DialectId::Hkd382; }

Bytes start(bool vnt) { return vnt ? Bytes{kAtt} : kHkdStart; }
Bytes closing(bool vnt) { return vnt ? Bytes{kAtt} : Bytes{}; }
// A source read that gets its swipe; one that is cancelled in its swipe wait.
Bytes read(bool vnt) { return vnt ? Bytes{"L", "P", "Q", "R", "S"} : Bytes{kRead, kReset}; }
Bytes cancelledRead(bool vnt) { return vnt ? Bytes{"L", "P"} : Bytes{kRead, kReset}; }
// The target write of three tracks, up to the swipe.
Bytes write(bool vnt, const Bytes &t)
{
    if (!vnt)
        return {hex("1B 77") + Iso::BuildWriteBlock(t[0], t[1], t[2])};
    Bytes out;
    for (int i = 0; i < 3; ++i)
        if (Iso::HasData(t[i]))
            out << Cmd::Vnt::WriteTrack[size_t(i + 1)] << t[i] + Cmd::Vnt::EndOfTrack;
    return out << "@";
}
Bytes indication(bool vnt) { return vnt ? Bytes{"M", "m"} : Bytes{kErrOn, kOff}; }

double timeOfWrite(const SwipeFixture &f, const QByteArray &bytes, int occurrence = 0)
{
    for (const auto &r : f.sim.received())
        if (r.bytes == bytes && occurrence-- == 0)
            return r.time;
    return -1;
}

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
        QTest::addColumn<bool>("vnt");
        QTest::newRow("HKD382") << false;
        QTest::newRow("VNT-290B") << true;
    }

private slots:
    void cycle_data() { dialects(); }
    // Source swiped at 2 s, blank target at 4 s, Cancel in the next source read: the bytes in
    // order, the target really carries the source's data, the records, titles and prompts.
    void cycle()
    {
        QFETCH(bool, vnt);
        SwipeFixture f(dialect(vnt));
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        QCOMPARE(w.Picture1->pixmap().deviceIndependentSize().toSize(), QSize(48, 48));
        Look reading, writing, readingAgain;
        Bytes input, output;
        QStringList inputCounts, outputCounts;
        QString message;
        bool closedBetween = false;
        f.at(1.5, [&] { reading = lookAt(w); });
        f.swipeAt(2.0);
        f.at(2.8, [&] { closedBetween = !w.device().isOpen(); });
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
        const Bytes expected = start(vnt) + read(vnt) + write(vnt, kBank) + cancelledRead(vnt) + closing(vnt);
        QVERIFY2(f.writes() == expected, qPrintable(f.timeline()));
        QVERIFY(f.shown.isEmpty());
        const SimCard &target = f.sim.deck()[kBlankCard];
        for (int t = 0; t < 3; ++t)
            QCOMPARE(target.tracks[size_t(t)].chars, kBank[t]);

        const QColor buttonText = w.palette().color(QPalette::ButtonText);
        QCOMPARE(reading, (Look{"Copy Swipe Prompt - Read Source", true, "Please swipe a card to read.", buttonText}));
        QCOMPARE(writing, (Look{"Copy Swipe Prompt - Write Target", true, "Please swipe a card to write.", QColor(255, 0, 0)}));
        QCOMPARE(readingAgain, reading);
        QCOMPARE(input, kBank);
        QCOMPARE(inputCounts, (QStringList{"57", "34", "94"}));
        QCOMPARE(output, kBank);
        QCOMPARE(outputCounts, (QStringList{"57", "34", "94"}));
        QCOMPARE(message, CopyOperation::kWriteComplete);
        QCOMPARE(message, QString("\r\nWrite complete.  Verify data accuracy before continue."));
        // Finished: output record and message box empty; the input record is the main window's to clear.
        QCOMPARE(f.records.output(), (Bytes{"", "", ""}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"0", "0", "0"}));
        QCOMPARE(f.records.message(), QString());
        QCOMPARE(f.records.texts[0], kBankT1);

        if (!vnt) {
            // Every read ends with a reset on a port closed behind it; the write opens it again.
            QVERIFY(closedBetween);
            const double reset = timeOfWrite(f, kReset, 1);
            QVERIFY2(reset > 2.5 && reset < 2.56, qPrintable(f.timeline()));  // 0.5 s settle after the reply
            const double written = timeOfWrite(f, expected[5]);
            QVERIFY2(qAbs(written - reset - 0.5) < 1e-6, qPrintable(f.timeline()));
            QVERIFY2(qAbs(timeOfWrite(f, kRead) - (0.3 + 0.3 + 0.5)) < 0.03, qPrintable(f.timeline()));
        } else {
            QVERIFY2(qAbs(timeOfWrite(f, "P") - timeOfWrite(f, "L") - 0.52) < 0.015, qPrintable(f.timeline()));
        }
    }

    void blankSourceTrack_data() { dialects(); }
    // A source whose track 2 reads "+": shown with count 0, left out of the target write.
    void blankSourceTrack()
    {
        QFETCH(bool, vnt);
        SwipeFixture f(dialect(vnt));
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

        const Bytes source{kBankT1, "+", kBankT3};
        QVERIFY2(f.writes() == start(vnt) + read(vnt) + write(vnt, source) + cancelledRead(vnt) + closing(vnt),
                 qPrintable(f.timeline()));
        if (!vnt)
            QVERIFY(f.receivedBytes().contains(hex("1B 02 1B 03")));
        else
            QVERIFY(!f.writes().contains("B"));
        QCOMPARE(inputCounts, (QStringList{"57", "0", "94"}));
        QCOMPARE(outputCounts, (QStringList{"57", "1", "94"}));
        QVERIFY(f.sim.deck()[kBlankCard].tracks[1].isBlank());
        QCOMPARE(f.sim.deck()[kBlankCard].tracks[2].chars, kBankT3);
    }

    void failedWrite_data() { dialects(); }
    // A bad target swipe: "*" output, the write error window framed by the indication, then the
    // same record written again without a new source read.
    void failedWrite()
    {
        QFETCH(bool, vnt);
        SwipeFixture f(dialect(vnt));
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

        const Bytes expected = start(vnt) + read(vnt) + write(vnt, kBank) + indication(vnt) + write(vnt, kBank) +
                               cancelledRead(vnt) + closing(vnt);
        QVERIFY2(f.writes() == expected, qPrintable(f.timeline()));
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Write Swipe Error"));
        QVERIFY(f.writes().mid(0, f.shown[0].receivedBefore).last() == indication(vnt).first());
        QCOMPARE(copyVisible, QList<bool>{false});
        QCOMPARE(outputAfterError, (Bytes{"*", "*", "*"}));
        QCOMPARE(countsAfterError, (QStringList{"0", "0", "0"}));
        QCOMPARE(f.sim.deck()[kBlankCard].tracks[0].chars, kBankT1);
        QVERIFY(f.records.messages().contains(CopyOperation::kWriteComplete));
    }

    void failedRead_data() { dialects(); }
    // A bad source swipe: the input record emptied, the read error window framed by the
    // indication with the copy window out of the way, then the next source read.
    void failedRead()
    {
        QFETCH(bool, vnt);
        SwipeFixture f(dialect(vnt));
        f.records.setInput("old1", "old2", "old3");
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        QList<bool> copyVisible;
        answerNoting(f, copyVisible, w);
        bool visibleAgain = false;
        f.sim.setBadSwipe(true);
        f.swipeAt(2.0);
        f.at(3.5, [&] { visibleAgain = w.isVisible(); });
        f.clickAt(4.0, &w);
        f.run(w);

        const Bytes expected = start(vnt) + read(vnt) + indication(vnt) + cancelledRead(vnt) + closing(vnt);
        QVERIFY2(f.writes() == expected, qPrintable(f.timeline()));
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Read Swipe Error"));
        QCOMPARE(f.shown[0].text, QString("Read error!  Please try again."));
        QCOMPARE(copyVisible, QList<bool>{false});
        QVERIFY(visibleAgain);
        QCOMPARE((Bytes{f.records.texts[0], f.records.texts[1], f.records.texts[2]}), (Bytes{"", "", ""}));
        QCOMPARE((QStringList{f.records.counts[0], f.records.counts[1], f.records.counts[2]}), (QStringList{"0", "0", "0"}));
        QCOMPARE(f.sim.indicator(), vnt ? QString("swipe") : QString("off"));
        if (vnt) {
            // The track collection leaves StopCollecting set: the indication does not wait for its answer.
            QVERIFY2(timeOfWrite(f, "m") - timeOfWrite(f, "M") < 0.015, qPrintable(f.timeline()));
        }
    }

    void unreadableSourceTrack_data() { dialects(); }
    // A source with an unreadable track: its tracks shown, the read error window without
    // indication, and the next source read instead of a write.
    void unreadableSourceTrack()
    {
        QFETCH(bool, vnt);
        SwipeFixture f(dialect(vnt));
        f.sim.selectCard(kDamagedCard);
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        QList<bool> copyVisible;
        answerNoting(f, copyVisible, w);
        f.swipeAt(2.0);
        f.clickAt(5.0, &w);
        f.run(w);

        QVERIFY2(f.writes() == start(vnt) + read(vnt) + cancelledRead(vnt) + closing(vnt), qPrintable(f.timeline()));
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Read Swipe Error"));
        QCOMPARE(copyVisible, QList<bool>{false});
        QCOMPARE((Bytes{f.records.texts[0], f.records.texts[1], f.records.texts[2]}),
                 (Bytes{"B5500000000000004^DAMAGED/STRIPE^2805", "*", "0155000000000000004=2805"}));
        QCOMPARE((QStringList{f.records.counts[0], f.records.counts[1], f.records.counts[2]}), (QStringList{"37", "1", "24"}));
        QVERIFY(!f.records.messages().contains(CopyOperation::kWriteComplete));
    }

    // VNT-290B: a track the encoder does not answer at all is no "no data": copying the card
    // without it would leave that track off the target and still say "Write complete".
    void unansweredSourceTrack()
    {
        SwipeFixture f(DialectId::Vnt290b);
        f.sim.setCommandFault("R", Simulator::Fault::Ignore);
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        f.swipeAt(2.0);
        f.clickAt(5.0, &w);
        f.run(w);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Read Swipe Error"));
        QCOMPARE(f.records.texts[1], QByteArray("*"));
        QVERIFY(!f.writes().contains("A"));
        QVERIFY(!f.records.messages().contains(CopyOperation::kWriteComplete));
    }

    void cancelDuringWrite_data() { dialects(); }
    // After a good copy, Cancel while the next target write waits: output record and message
    // box emptied before the window closes; nothing reaches the encoder after its closing.
    void cancelDuringWrite()
    {
        QFETCH(bool, vnt);
        SwipeFixture f(dialect(vnt));
        cfrmCopyCard w(f.connection, &f.records, &f.records);
        f.swipeAt(2.0);
        f.swipeAt(4.0);
        f.swipeAt(6.0);
        f.clickAt(8.0, &w);
        f.run(w);

        Bytes expected = start(vnt) + read(vnt) + write(vnt, kBank) + read(vnt) + write(vnt, kBank);
        expected += vnt ? Bytes{kAtt} : Bytes{kReset};  // HKD382: the write's cancel path resets the encoder
        QVERIFY2(f.writes() == expected, qPrintable(f.timeline()));
        QVERIFY2(f.writeTimes().last() > 8.0 - 1e-6, qPrintable(f.timeline()));
        QVERIFY(!f.sim.awaitingSwipe());
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
