// Whole operations with no widget at all: a QCoreApplication, the operation layer, the simulated
// encoder and a scripted operator, in every dialect: every byte the encoder receives, its times,
// the cards. Also each operation's read and write attempt against a scripted far end. This suite
// links no Gui or Widgets module.
#include "HeadlessBench.h"
#include "JobWaits.h"
#include "ScriptedLink.h"
#include "ScriptedOperator.h"
#include "dialect/Dialect.h"
#include "operation/BatchOperations.h"
#include "operation/IsoOperations.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

namespace {
Bytes eraseCommand(DialectId d, int mask)
{
    Bytes vnt;
    for (int t = 1; t <= 3; ++t)
        if (mask & (1 << (t - 1)))
            vnt << Cmd::Vnt::EraseTrack[size_t(t)];
    vnt << "]";
    return perDialect(d, Bytes{Cmd::Hkd::eraseTracks(mask)}, vnt);
}

const QByteArray kErrOn = hex("1B 85");
const QByteArray kBankT1 = "B4000123456789010^SAMPLE/CARD HOLDER^30121010000000000000";
const QByteArray kBankT2 = "4000123456789010=30121010000000000";
const QByteArray kBankT3 = "014000123456789010=724724100000000000030300000000000000000000000000000000000000000000000000000";
const Bytes kBank{kBankT1, kBankT2, kBankT3};
constexpr int kBlankCard = 2, kDamagedCard = 3;

// "0.300 1B 84" lines, for failure messages.
QByteArray timeline(const Bench &b)
{
    QByteArray out;
    for (const auto &r : b.sim.received())
        out += QByteArray::number(r.time, 'f', 3) + ' ' + r.bytes.toHex(' ').toUpper() + '\n';
    return out;
}
double timeOf(const Bench &b, const QByteArray &bytes, int occurrence = 0)
{
    for (const auto &r : b.sim.received())
        if (r.bytes == bytes && occurrence-- == 0)
            return r.time;
    return -1;
}
bool within(double value, double from, double below) { return value >= from && value < below; }

// Notes when each notice came, in virtual time.
struct Witness : ScriptedOperator {
    explicit Witness(const Pacer &clock) : clock(clock) {}
    void notice(Notice n) override
    {
        ScriptedOperator::notice(n);
        noticeTimes << clock.now();
    }
    const Pacer &clock;
    QList<double> noticeTimes;
};

// Copy: the start, a source read that gets its swipe, one cancelled in its swipe wait, the
// target write of three tracks up to the swipe, the error indication, the closing.
Bytes copyStart(DialectId d) { return perDialect(d, Bytes{kReset, kCodes, kBpi}, Bytes{kAtt}); }
Bytes copyClosing(DialectId d) { return perDialect(d, Bytes{}, Bytes{kAtt}); }
Bytes copyRead(DialectId d) { return perDialect(d, Bytes{kRead, kReset}, Bytes{"L", "P", "Q", "R", "S"}); }
Bytes copyCancelledRead(DialectId d) { return perDialect(d, Bytes{kRead, kReset}, Bytes{"L", "P"}); }
Bytes copyWrite(DialectId d, const Bytes &t)
{
    Bytes vnt;
    for (int i = 0; i < 3; ++i)
        if (Iso::HasData(t[i]))
            vnt << Cmd::Vnt::WriteTrack[size_t(i + 1)] << t[i] + Cmd::Vnt::EndOfTrack;
    vnt << "@";
    return perDialect(d, Bytes{hex("1B 77") + Iso::BuildWriteBlock(t[0], t[1], t[2])}, vnt);
}
Bytes indication(DialectId d) { return perDialect(d, Bytes{kErrOn, kOff}, Bytes{"M", "m"}); }

// A row's script before the run (swipes, faults, the session's own checks at given times), and
// what it checks after the run besides the bytes.
using Script = std::function<void(Bench &, Session &)>;
using Check = std::function<void(Bench &)>;
void swipes(Bench &b, QList<double> times)
{
    for (double t : times)
        b.vp.at(t, [&b] { b.sim.swipe(); });
}
// A fault from the start, then swipes at the given times.
Script swipesAfter(QList<double> times, std::function<void(Simulator &)> fault = {})
{
    return [times, fault](Bench &b, Session &) {
        if (fault)
            fault(b.sim);
        swipes(b, times);
    };
}
void bad(Simulator &sim) { sim.setBadSwipe(true); }
void damaged(Simulator &sim) { sim.selectCard(kDamagedCard); }
// Source swiped at 2 s, the blank target at 4 s.
void sourceThenBlank(Bench &b)
{
    swipes(b, {2.0, 4.0});
    b.vp.at(3.5, [&b] { b.sim.selectCard(kBlankCard); });
}
// One attempt's device on a scripted far end, in virtual time.
struct ScriptedDevice {
    explicit ScriptedDevice(DialectId dialect)
        : connection([&] {
              Connection c;
              c.dialect = dialect;
              c.pacer = &vp;
              return c;
          }()),
          end(std::make_shared<ScriptedEnd>()), dev{token, connection, std::make_unique<ScriptedLink>(end)}
    {
        end->clock = &vp;
    }
    VirtualPacer vp;
    Connection connection;
    CancelToken token;
    std::shared_ptr<ScriptedEnd> end;
    Device dev;
};
} // namespace

Q_DECLARE_METATYPE(Job)
Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Check)

class HeadlessTest : public QObject {
    Q_OBJECT

private slots:
    void readThenCancel_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Bytes>("expected");
        QTest::addColumn<QString>("baud");
        // The full card's reply outlasts the fixed waits at the slower line rates.
        for (const QString baud : {"9600", "2400", "1200"})
            for (const DialectEntry &d : kDialects)
                QTest::addRow("%s %s", d.name, qPrintable(baud))
                    << d.id
                    << perDialect(d.id, Bytes{kReset, kSwipe, kRead, kRead, kReset, kOff, kIdle},
                                  Bytes{kAtt, "L", "L", "P", "Q", "R", "S", "L", "P", kAtt})
                    << baud;
    }
    // One good read, the next attempt armed, then Cancel while it waits.
    void readThenCancel()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Bytes, expected);
        QFETCH(QString, baud);
        Bench b(dialect);
        b.connection.baud = baud;
        ScriptedOperator op;
        Session read(b.connection, Job{.kind = JobKind::Read}, op);
        b.vp.at(1.2, [&] { b.sim.swipe(); });
        const bool fast = baud == "9600";
        b.cancelAt(fast ? 3.0 : 8.0, read);
        const RunSummary run = read.run();
        QCOMPARE(run.end, OperationEnd::Cancelled);

        QVERIFY2(b.writes() == expected, timeline(b));
        QCOMPARE(b.sim.indicator(), perDialect(dialect, QString("idle"), QString("swipe")));
        const auto t = b.writeTimes();
        if (fast && dialect == DialectId::Hkd382) {
            // 1B 61, 0.3 s, 1B 84 and at once 1B 72; after the swipe the reply is taken 1 s later.
            QVERIFY(qAbs(t[1] - t[0] - 0.3) < 1e-6);
            QVERIFY(qAbs(t[2] - t[1]) < 1e-6);
            QVERIFY2(t[3] > 1.2 + 1.0 && t[3] < 1.2 + 1.06, timeline(b));
            QVERIFY(qAbs(t[4] - 3.0) < 0.015);
        } else if (fast) {
            // Attention, 0.3 s after its answer "L"; Q, R, S 0.3, 0.2 and 0.3 s apart.
            QVERIFY2(within(t[1] - t[0], 0.3, 0.35), timeline(b));
            QVERIFY2(within(t[4], 1.2, 1.25), timeline(b));
            QVERIFY(qAbs(t[5] - t[4] - 0.3) < 0.011);
            QVERIFY(qAbs(t[6] - t[5] - 0.2) < 0.011);
            QVERIFY(qAbs(t[7] - t[6] - 0.3) < 0.011);
        }
        QVERIFY(op.began);
        QCOMPARE(op.cards, (QList<qint64>{1, 2}));
        QCOMPARE(run.ok, 1);
        QCOMPARE(op.output, (Iso::Tracks{kBankT1, kBankT2, kBankT3}));
        QCOMPARE(op.notices, (QList<Notice>{Notice::ReadSuccess, Notice::Clear}));
        QVERIFY(op.errors.isEmpty());
        QCOMPARE(op.promptsShown, 2);
    }

    // Two encoders, each read by its own job on its own thread with its own pacer, both waiting
    // for their second card when this thread cancels them: each encoder gets exactly its own
    // bytes, closing sequence included.
    void twoJobsOnTwoThreads()
    {
        struct Lane : ScriptedOperator {
            explicit Lane(DialectId d) : bench(d) { bench.vp.at(1.2, [this] { bench.sim.swipe(); }); }
            void showPrompt(bool shown) override
            {
                ScriptedOperator::showPrompt(shown);
                if (shown && cards.size() == 2 && !held) {
                    held = true;
                    waiting.release();
                    resume.acquire();
                }
            }
            Bench bench;
            Session *session = nullptr;
            RunSummary run;
            QSemaphore waiting, resume;
            bool held = false;
        };
        Lane hkd(DialectId::Hkd382), vnt(DialectId::Vnt290b);
        std::vector<std::unique_ptr<QThread>> threads;
        for (Lane *lane : {&hkd, &vnt}) {
            threads.emplace_back(QThread::create([lane] {
                Session session(lane->bench.connection, Job{.kind = JobKind::Read}, *lane);
                lane->session = &session;
                lane->run = session.run();
                session.close();
            }));
            threads.back()->start();
        }
        for (Lane *lane : {&hkd, &vnt}) {
            lane->waiting.acquire();
            lane->session->cancel();
            lane->resume.release();
        }
        for (auto &t : threads)
            QVERIFY(t->wait());
        QCOMPARE(hkd.bench.writes(), (Bytes{kReset, kSwipe, kRead, kRead, kReset, kOff, kIdle}));
        QCOMPARE(vnt.bench.writes(), (Bytes{kAtt, "L", "L", "P", "Q", "R", "S", "L", "P", kAtt}));
        for (Lane *lane : {&hkd, &vnt}) {
            QCOMPARE(lane->run.end, OperationEnd::Cancelled);
            QCOMPARE(lane->run.ok, 1);
        }
    }

    void writeThenCancel_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Bytes>("expected");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id
                                  << perDialect(d.id, Bytes{kSwipe, kCodes, kBpi, kWriteB123, kWriteB123, kReset},
                                                Bytes{kAtt, "(", "A", kVntB123, "@", "(", "A", kVntB123, "@", kAtt});
    }
    // A good write, the next attempt, then Cancel while it waits for the swipe; the card holds it.
    void writeThenCancel()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Bytes, expected);
        Bench b(dialect);
        ScriptedOperator op;
        Session write(b.connection, Job{.kind = JobKind::Write, .tracks = {"B123", "", ""}}, op);
        b.vp.at(1.5, [&] { b.sim.swipe(); });
        b.cancelAt(3.0, write);
        QCOMPARE(write.run().end, OperationEnd::Cancelled);

        QVERIFY2(b.writes() == expected, timeline(b));
        QCOMPARE(b.sim.cardInSlot().tracks[0].chars, QByteArray("B123"));
        QVERIFY(!b.sim.awaitingSwipe());
        const auto t = b.writeTimes();
        if (dialect == DialectId::Hkd382) {
            // The densities are set, then 0.5 s before each write command.
            QVERIFY2(within(t[3] - t[2], 0.8 - 1e-6, 0.83), timeline(b));
            QVERIFY2(within(t[4] - 1.5, 0.5, 0.55), timeline(b));
            QVERIFY(qAbs(t[5] - 3.0) < 0.015);
        } else {
            // "(" 0.3 s after the answer to 7F; the next attempt 0.3 s after the "(" that follows a write.
            QVERIFY2(within(t[1], 0.3, 0.35), timeline(b));
            QVERIFY2(within(t[6] - t[5], 0.3, 0.35), timeline(b));
        }
        QCOMPARE(op.output, (Iso::Tracks{"B123", "", ""}));
        QCOMPARE(op.cards, (QList<qint64>{2}));
        QCOMPARE(op.notices, (QList<Notice>{Notice::WriteComplete, Notice::Clear}));
    }

    void eraseTwoThenCancel_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<int>("mask");
        for (const DialectEntry &d : kDialects)
            for (int mask : {5, 2, 7})
                QTest::addRow("%s mask %d", d.name, mask) << d.id << mask;
    }
    // Two good erases, then Cancel in the third swipe wait: every byte, and the card erased.
    void eraseTwoThenCancel()
    {
        QFETCH(DialectId, dialect);
        QFETCH(int, mask);
        Bench b(dialect);
        Witness op(b.vp);
        Session erase(b.connection, Job{.kind = JobKind::Erase, .eraseMask = mask}, op);
        b.vp.at(1.5, [&] { b.sim.swipe(); });
        b.vp.at(4.5, [&] { b.sim.swipe(); });
        b.cancelAt(7.5, erase);
        const RunSummary run = erase.run();
        QCOMPARE(run.end, OperationEnd::Cancelled);

        const Bytes command = eraseCommand(dialect, mask);
        Bytes vnt{kAtt, "("};
        for (int i = 0; i < 2; ++i)
            vnt << command << "L" << "l" << "(";
        vnt << command << kAtt;
        const Bytes expected = perDialect(dialect, Bytes{kReset, kSwipe} + command + command + command + Bytes{kReset}, vnt);
        QVERIFY2(b.writes() == expected, timeline(b));
        if (dialect == DialectId::Vnt290b) {
            // "(" after the 0.02 s answer to Attention and the pause.
            QVERIFY2(within(timeOf(b, "(") - timeOf(b, kAtt), 0.32 - 1e-6, 0.36), timeline(b));
        } else {
            QVERIFY2(within(timeOf(b, kSwipe) - timeOf(b, kReset), 0.3 - 1e-6, 0.32), timeline(b));
            QVERIFY2(within(timeOf(b, command[0]) - timeOf(b, kSwipe), 0.5 - 1e-6, 0.52), timeline(b));
        }
        // The next erase command follows the message cleared after the first (HKD382 after its half second).
        const qsizetype complete = op.notices.indexOf(Notice::EraseComplete);
        QVERIFY(complete >= 0 && op.notices.value(complete + 1) == Notice::Clear);
        const double cleared = op.noticeTimes[complete + 1], next = timeOf(b, command[0], 1);
        QVERIFY2(within(next - cleared, 0.0, perDialect(dialect, 0.52, 0.05)), timeline(b));
        QCOMPARE(run.ok, 2);
        QCOMPARE(op.cards, (QList<qint64>{1, 2, 3}));
        const SimCard before = Simulator::defaultDeck().at(0);
        for (int t = 0; t < 3; ++t) {
            if (mask & (1 << t))
                QVERIFY(b.sim.cardInSlot().tracks[size_t(t)].isBlank());
            else
                QCOMPARE(b.sim.cardInSlot().tracks[size_t(t)].chars, before.tracks[size_t(t)].chars);
        }
    }

    void scripted_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Job>("job");
        QTest::addColumn<Script>("script");
        QTest::addColumn<double>("cancelAt"); // < 0: the job ends by itself
        QTest::addColumn<Bytes>("expected");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<Check>("check");
        const Job read{.kind = JobKind::Read}, write{.kind = JobKind::Write, .tracks = {"B123", "", ""}},
                  copy{.kind = JobKind::Copy};
        const auto row = [](const char *name, DialectId d) {
            return std::ref(QTest::addRow("%s %s", name, dialectRowName(d).constData()) << d);
        };
        const auto at = [](double t, std::function<void(Simulator &)> act) {
            return [t, act](Bench &b, Session &) { b.vp.at(t, [&b, act] { act(b.sim); }); };
        };
        const Check none;

        // Read: an unreadable card or a silent encoder fails the attempt, framed by the error
        // indication; the next attempt follows without a new start.
        row("read bad status", DialectId::Hkd382)
            << read << swipesAfter({1.0}, bad) << 6.0
            << Bytes{kReset, kSwipe, kRead, kErrOn, kOff, kIdle, kRead, kReset, kOff, kIdle} << QStringList{"read"} << none;
        // Silent from the first "P" until the error has been answered: the attempt fails 0.5 s after "P".
        row("read silent after P", DialectId::Vnt290b)
            << read << Script([](Bench &b, Session &) {
                   b.vp.at(0.35, [&b] { b.sim.setSilent(true); });
                   b.vp.at(3.0, [&b] { b.sim.setSilent(false); });
               })
            << 6.0 << Bytes{kAtt, "L", "L", "P", "M", "m", "L", "L", "P", kAtt} << QStringList{"read"}
            << Check([](Bench &b) {
                   const double failedAfter = b.writeTimes()[4] - b.writeTimes()[3];
                   QVERIFY2(failedAfter > 0.5 && failedAfter < 0.52, timeline(b));
               });
        for (const DialectEntry &d : kDialects)
            row("read unreadable track", d.id)
                << read << swipesAfter({1.0}, damaged) << 8.0
                << perDialect(d.id, Bytes{kReset, kSwipe, kRead, kErrOn, kOff, kIdle, kRead, kReset, kOff, kIdle},
                              Bytes{kAtt, "L", "L", "P", "Q", "R", "S", "M", "m", "L", "L", "P", kAtt})
                << QStringList{"read"} << none;

        // Write: a failed write, framed by the indication (VNT-290B: "L", "l" first), then the
        // same record again.
        row("write reply 1B 31", DialectId::Hkd382)
            << write << swipesAfter({1.5}, [](Simulator &sim) { sim.setStatusByte('1'); }) << 8.0
            << Bytes{kSwipe, kCodes, kBpi, kWriteB123, kErrOn, kOff, kWriteB123, kReset} << QStringList{"write"} << none;
        row("write card refused", DialectId::Vnt290b)
            << write << swipesAfter({1.5}, bad) << 8.0
            << Bytes{kAtt, "(", "A", kVntB123, "@", "L", "l", "M", "m", "(", "A", kVntB123, "@", kAtt} << QStringList{"write"} << none;
        // A track typed as "+" is left out of the block.
        row("write + left out", DialectId::Hkd382)
            << Job{.kind = JobKind::Write, .tracks = {"+", "12", ""}} << swipesAfter({1.5}) << 2.5
            << Bytes{kSwipe, kCodes, kBpi, hex("1B 77 1B 73 1B 01 1B 02 31 32 1B 03 3F 1C"),
                     hex("1B 77 1B 73 1B 01 1B 02 31 32 1B 03 3F 1C"), kReset} << QStringList{} << none;
        // Two tracks typed, both on the card, the third left as it was.
        for (const DialectEntry &d : kDialects) {
            const Bytes w = copyWrite(d.id, {"B123", "4567", ""});
            row("write two tracks", d.id)
                << Job{.kind = JobKind::Write, .tracks = {"B123", "4567", ""}} << swipesAfter({1.5}, [](Simulator &sim) {
                       sim.insertCard(SimCard{});
                   }) << 3.0
                << perDialect(d.id, Bytes{kSwipe, kCodes, kBpi} + w + w + Bytes{kReset}, Bytes{kAtt, "("} + w + Bytes{"("} + w + Bytes{kAtt})
                << QStringList{} << Check([](Bench &b) {
                       QCOMPARE(b.sim.cardInSlot().tracks[0].chars, QByteArray("B123"));
                       QCOMPARE(b.sim.cardInSlot().tracks[1].chars, QByteArray("4567"));
                       QVERIFY(b.sim.cardInSlot().tracks[2].chars.isEmpty());
                   });
        }
        // Track data not acknowledged ends the run.
        row("write track refused", DialectId::Vnt290b)
            << write << Script(at(0.35, [](Simulator &sim) { sim.setNextReply("x"); })) << -1.0
            << Bytes{kAtt, "(", "A", kVntB123, "L", "l", "M", "m", kAtt} << QStringList{"write"} << none;

        for (const DialectEntry &d : kDialects) {
            const DialectId id = d.id;
            // Copy: the source at 2 s, the blank target at 4 s, Cancel in the next source read;
            // the target carries the source's data.
            row("copy", id) << copy << Script([](Bench &b, Session &s) {
                sourceThenBlank(b);
                if (b.connection.dialect == DialectId::Hkd382) // every read ends on a port closed behind it
                    b.vp.at(2.8, [&s] { QVERIFY(!s.portOpen()); });
            }) << 6.0
                            << copyStart(id) + copyRead(id) + copyWrite(id, kBank) + copyCancelledRead(id) + copyClosing(id)
                            << QStringList{} << Check([](Bench &b) {
                                   for (int t = 0; t < 3; ++t)
                                       QCOMPARE(b.sim.deck()[kBlankCard].tracks[size_t(t)].chars, kBank[t]);
                                   if (b.connection.dialect == DialectId::Hkd382) {
                                       // The reset 0.5 s after the reply, the write 0.5 s after it.
                                       const double reset = timeOf(b, kReset, 1);
                                       QVERIFY2(reset > 2.5 && reset < 2.56, timeline(b));
                                       QVERIFY2(qAbs(timeOf(b, b.writes()[5]) - reset - 0.5) < 1e-6, timeline(b));
                                       QVERIFY2(qAbs(timeOf(b, kRead) - (0.3 + 0.3 + 0.5)) < 0.03, timeline(b));
                                   } else {
                                       QVERIFY2(qAbs(timeOf(b, "P") - timeOf(b, "L") - 0.52) < 0.015, timeline(b));
                                   }
                               });
            // A source whose track 2 reads "+": left out of the target write.
            const Bytes source{kBankT1, "+", kBankT3};
            row("copy blank source track", id)
                << copy << Script([](Bench &b, Session &) {
                       b.sim.deck()[0].tracks[1] = SimTrack{};
                       sourceThenBlank(b);
                   })
                << 6.0 << copyStart(id) + copyRead(id) + copyWrite(id, source) + copyCancelledRead(id) + copyClosing(id)
                << QStringList{} << Check([](Bench &b) {
                       QVERIFY(b.connection.dialect == DialectId::Hkd382 ? b.sim.receivedBytes().contains(hex("1B 02 1B 03"))
                                                                         : !b.writes().contains("B"));
                       QVERIFY(b.sim.deck()[kBlankCard].tracks[1].isBlank());
                       QCOMPARE(b.sim.deck()[kBlankCard].tracks[2].chars, kBankT3);
                   });
            // A bad target swipe: the same record written again without a new source read.
            row("copy failed write", id)
                << copy << Script([](Bench &b, Session &) {
                       swipes(b, {2.0, 3.6, 5.0});
                       b.vp.at(3.5, [&b] {
                           b.sim.selectCard(kBlankCard);
                           b.sim.setBadSwipe(true);
                       });
                       b.vp.at(4.0, [&b] { b.sim.setBadSwipe(false); });
                   })
                << 7.0
                << copyStart(id) + copyRead(id) + copyWrite(id, kBank) + indication(id) + copyWrite(id, kBank) +
                       copyCancelledRead(id) + copyClosing(id)
                << QStringList{"write"}
                << Check([](Bench &b) { QCOMPARE(b.sim.deck()[kBlankCard].tracks[0].chars, kBankT1); });
            // A bad source swipe: the indication, then the next source read.
            row("copy failed read", id)
                << copy << swipesAfter({2.0}, bad) << 4.0
                << copyStart(id) + copyRead(id) + indication(id) + copyCancelledRead(id) + copyClosing(id)
                << QStringList{"read"} << Check([](Bench &b) {
                       const bool vnt = b.connection.dialect == DialectId::Vnt290b;
                       QCOMPARE(b.sim.indicator(), vnt ? QString("swipe") : QString("off"));
                       // The track collection leaves StopCollecting set: the indication does not wait for its answer.
                       QVERIFY2(!vnt || timeOf(b, "m") - timeOf(b, "M") < 0.015, timeline(b));
                   });
            // A source with an unreadable track: no indication, the next source read instead of a write.
            row("copy unreadable source track", id)
                << copy << swipesAfter({2.0}, damaged) << 5.0
                << copyStart(id) + copyRead(id) + copyCancelledRead(id) + copyClosing(id) << QStringList{"read"} << none;
            // After a good copy, Cancel while the next target write waits: nothing after the closing.
            row("copy cancel in write wait", id)
                << copy << swipesAfter({2.0, 4.0, 6.0}) << 8.0
                << copyStart(id) + copyRead(id) + copyWrite(id, kBank) + copyRead(id) + copyWrite(id, kBank) +
                       perDialect(id, Bytes{kReset}, Bytes{kAtt})
                << QStringList{} << Check([](Bench &b) {
                       QVERIFY2(b.writeTimes().last() > 8.0 - 1e-6, timeline(b));
                       QVERIFY(!b.sim.awaitingSwipe());
                   });

            // Erase: a bad swipe, framed by the indication; the card kept; the next attempt 2 s after.
            const QByteArray on = perDialect(id, Cmd::Hkd::IndicatorError, Cmd::Vnt::IndicatorError);
            const QByteArray off = perDialect(id, Cmd::Hkd::IndicatorOff, Cmd::Vnt::IndicatorOff);
            row("erase failed", id)
                << Job{.kind = JobKind::Erase, .eraseMask = 2} << swipesAfter({1.5}, bad) << 6.0
                << perDialect(id, Bytes{kReset, kSwipe, Cmd::Hkd::eraseTracks(2), on, off, Cmd::Hkd::eraseTracks(2), kReset},
                              Bytes{kAtt, "(", "[", "]", "L", "l", on, off, "L", "l", "(", "[", "]", kAtt})
                << QStringList{"erase"} << Check([](Bench &b) {
                       QCOMPARE(b.sim.cardInSlot().tracks[1].chars, Simulator::defaultDeck().at(0).tracks[1].chars);
                       const DialectId d = b.connection.dialect;
                       const double offAt = timeOf(b, perDialect(d, Cmd::Hkd::IndicatorOff, Cmd::Vnt::IndicatorOff));
                       const double nextAt = timeOf(b, perDialect(d, Cmd::Hkd::eraseTracks(2), QByteArray("[")), 1);
                       QVERIFY2(within(nextAt - offAt, 2.0 - 1e-6, perDialect(d, 2.52, 2.15)), timeline(b));
                   });
        }
        // A failed erase, then an encoder that stops answering while it is re-armed: Cancel ends
        // it without an error after it.
        row("erase cancel while re-arming", DialectId::Vnt290b)
            << Job{.kind = JobKind::Erase, .eraseMask = 1} << Script(at(1.0, [](Simulator &sim) {
                   sim.setBadSwipe(true);
                   sim.swipe();
                   sim.setSilent(true); // its answer to the swipe is on the line already
               }))
            << 4.0 << Bytes{kAtt, "(", "Z", "]", "L", kAtt} << QStringList{} << none;
        // A track the encoder does not answer at all is no "no data": no write follows.
        row("copy unanswered source track", DialectId::Vnt290b)
            << copy << swipesAfter({2.0}, [](Simulator &sim) { sim.setCommandFault("R", Simulator::Fault::Ignore); }) << 5.0 << Bytes{kAtt, "L", "P", "Q", "R", "S", "L", "P", kAtt} << QStringList{"read"} << none;
    }
    // One job under a script of swipes and faults, then Cancel: every byte, the errors
    // reported, and what the row checks besides.
    void scripted()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Job, job);
        QFETCH(Script, script);
        QFETCH(double, cancelAt);
        QFETCH(Bytes, expected);
        QFETCH(QStringList, errors);
        QFETCH(Check, check);
        Bench b(dialect);
        ScriptedOperator op;
        Session session(b.connection, job, op);
        script(b, session);
        if (cancelAt >= 0)
            b.cancelAt(cancelAt, session);
        session.run();
        session.close();
        QVERIFY2(b.writes() == expected, timeline(b));
        QCOMPARE(op.errors, errors);
        if (check)
            check(b);
    }

    void jobWaits_data()
    {
        QTest::addColumn<const JobRow *>("row");
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Wait>("wait"); // at < 0: the port cannot be opened
        QTest::addColumn<bool>("portLost");
        for (const JobRow &row : jobRows())
            for (const DialectEntry &d : kDialects) {
                QTest::addRow("%s %s no port", row.name, d.name) << &row << d.id << Wait{"no port", -1.0, {}, {}, {}} << true;
                for (const Wait &wait : row.waits.value(d.id))
                    for (bool lost : {false, true})
                        QTest::addRow("%s %s %s, %s", row.name, d.name, wait.name, lost ? "port lost" : "Cancel")
                            << &row << d.id << wait << lost;
            }
    }
    // Every job in each of its waits (JobWaits.h). The port lost there: nothing more is sent.
    // Cancel there: the closing sequence once and at once, nothing after it, the port closed and
    // the encoder not left waiting for a swipe.
    void jobWaits()
    {
        QFETCH(const JobRow *, row);
        QFETCH(DialectId, dialect);
        QFETCH(Wait, wait);
        QFETCH(bool, portLost);
        Bench b(dialect);
        ScriptedOperator op;
        Session session(b.connection, row->job, op);
        if (wait.script)
            wait.script(b.vp, b.sim);
        if (wait.at < 0)
            b.sim.vanishPort();
        else if (portLost)
            b.vp.at(wait.at, [&b] { b.sim.vanishPort(); });
        else
            b.cancelAt(wait.at, session);
        const RunSummary run = session.run();
        session.close();
        if (portLost) {
            QCOMPARE(run.end, OperationEnd::PortLost);
            QVERIFY2(b.writes() == wait.before, timeline(b));
            return;
        }
        QVERIFY2(b.writes() == wait.before + wait.closing, timeline(b));
        QVERIFY(!row->portClosesWithRun || !session.portOpen());
        QVERIFY(!b.sim.awaitingSwipe());
        if (!wait.script) // closed before any swipe: the card as it was
            QCOMPARE(b.sim.cardInSlot().tracks[0].chars, Simulator::defaultDeck().at(0).tracks[0].chars);
        if (!wait.closing.isEmpty()) {
            const double closedAt = b.writeTimes()[wait.before.size()];
            QVERIFY2(closedAt >= wait.at - 1e-9 && closedAt < wait.at + 0.015, timeline(b));
        }
    }

    void refusedStart_data()
    {
        QTest::addColumn<const JobRow *>("row");
        QTest::addColumn<StartRefusal>("refusal");
        for (const JobRow &row : jobRows())
            for (const StartRefusal &refusal : row.refusals)
                QTest::addRow("%s %s", row.name, refusal.fault) << &row << refusal;
    }
    // VNT-290B refusing the start (JobWaits.h): an error reported where one is due, nothing
    // but the closing sequence after it.
    void refusedStart()
    {
        QFETCH(const JobRow *, row);
        QFETCH(StartRefusal, refusal);
        Bench b(DialectId::Vnt290b);
        ScriptedOperator op;
        Session session(b.connection, row->job, op);
        refuseStart(b.vp, b.sim, refusal.fault);
        b.cancelAt(refusalCancelAt(refusal.fault), session);
        b.vp.at(2.0, [&b] { b.sim.swipe(); });
        session.run();
        session.close();
        QVERIFY2(b.writes() == refusal.expected, timeline(b));
        QCOMPARE(op.errors.size(), refusal.errorAfter < 0 ? 0 : 1);
    }

    // The read attempt in the copy and save-to-file forms, byte for byte.
    void readSwipeForms_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<Bytes>("expected");
        QTest::addColumn<double>("firstWriteAt");
        QTest::newRow("copy HKD382: pause, read, reset") << "copy" << DialectId::Hkd382 << 1 << Bytes{kRead, kReset} << 0.5;
        QTest::newRow("save HKD382") << "save" << DialectId::Hkd382 << 1 << Bytes{kRead} << 0.0;
        QTest::newRow("copy VNT-290B") << "copy" << DialectId::Vnt290b << 1 << Bytes{"P", "Q", "R", "S"} << 0.5;
        QTest::newRow("save VNT-290B all unreadable") << "save*" << DialectId::Vnt290b << 0 << Bytes{"P", "Q", "R", "S"} << 0.0;
        QTest::newRow("read window VNT-290B: P refused") << "refused" << DialectId::Vnt290b << 2 << Bytes{"P"} << 0.0;
    }
    void readSwipeForms()
    {
        QFETCH(QString, form);
        QFETCH(DialectId, dialect);
        QFETCH(int, outcome);
        QFETCH(Bytes, expected);
        QFETCH(double, firstWriteAt);
        ScriptedDevice scripted(dialect);
        auto &[vp, connection, token, end, dev] = scripted;
        QVERIFY(dev.open());
        const bool allBad = form == "save*";
        end->onWrite = [&](const QByteArray &b) {
            if (b == kRead)
                end->reply(hex("1B 73 1B 01 25 2B 1B 02 3B 31 32 3F 1B 03 3B 2B 3F 1C 1B 30"), 1.0);
            else if (b == "P")
                end->reply(form == "refused" ? "x" : "^", 0.02), end->reply("^", 1.0);
            else if (b == "Q" || b == "R" || b == "S")
                end->reply(allBad ? "*" : "12", 0.05);
        };
        QList<bool> prompt;
        const ReadProfile &profile = form.startsWith("copy")   ? CopyOperation::kRead
                                     : form.startsWith("save") ? SaveOperation::kRead
                                                               : ReadOperation::kRead;
        const ReadResult got = dialectFor(dialect).readIso(dev, profile, [&](bool on) { prompt << on; });
        QCOMPARE(int(got.outcome), outcome);
        Bytes writes;
        for (const auto &w : end->written)
            writes << w.bytes;
        QCOMPARE(writes, expected);
        QVERIFY(qAbs(end->written.first().time - firstWriteAt) < 1e-6);
        if (form == "copy" && dialect == DialectId::Hkd382)
            QVERIFY(!dev.isOpen());  // the copy window's read leaves the port closed
        if (outcome == 1 && dialect == DialectId::Hkd382)
            QCOMPARE(got.tracks[1], QByteArray("12"));
        // The copy window keeps its prompt up into the write phase.
        QCOMPARE(prompt.last(), form.startsWith("copy"));
    }

    // The write attempt in the other windows' forms, byte for byte.
    void writeSwipeForms_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QString>("event");  // "ok", "cancel", "skip", "collect", "final^x", "letter^x"
        QTest::addColumn<int>("outcome");
        QTest::addColumn<Bytes>("expected");
        const QByteArray w = hex("1B 77 1B 73 1B 01 31 1B 02 1B 03 3F 1C");
        QTest::newRow("write window: stale input dropped after the command") << "write" << DialectId::Hkd382 << "ok" << 1 << Bytes{w};
        QTest::newRow("copy: no discard after the command") << "copy" << DialectId::Hkd382 << "ok" << 0 << Bytes{w} ;
        QTest::newRow("copy: StopCollecting ends the wait") << "copy" << DialectId::Hkd382 << "collect" << 0 << Bytes{w, kReset};
        QTest::newRow("incremental: StopCollecting ends the wait") << "incremental" << DialectId::Hkd382 << "collect" << 0 << Bytes{w, kReset};
        QTest::newRow("write window: StopCollecting ignored") << "write" << DialectId::Hkd382 << "collect" << 0 << Bytes{w, kReset};
        QTest::newRow("encode file: Skip resets") << "file" << DialectId::Hkd382 << "skip" << 3 << Bytes{w, kReset};
        QTest::newRow("encode file: Cancel resets too") << "file" << DialectId::Hkd382 << "cancel" << 3 << Bytes{w, kReset};
        QTest::newRow("write window VNT: ^x accepted") << "write" << DialectId::Vnt290b << "final^x" << 1 << Bytes{"A", "1\x04", "@"};
        QTest::newRow("copy VNT: ^x refused") << "copy" << DialectId::Vnt290b << "final^x" << 0 << Bytes{"A", "1\x04", "@"};
        QTest::newRow("write window VNT: cancel aborts") << "write" << DialectId::Vnt290b << "cancel" << 0 << Bytes{"A", "1\x04", "@", "l"};
        QTest::newRow("encode file VNT: cancel sends 7F") << "file" << DialectId::Vnt290b << "cancel" << 0 << Bytes{"A", "1\x04", "@", kAtt};
        QTest::newRow("encode file VNT: skip resets") << "file" << DialectId::Vnt290b << "skip" << 3 << Bytes{"A", "1\x04", "@", kReset};
        QTest::newRow("write window VNT: letter ^x accepted") << "write" << DialectId::Vnt290b << "letter^x" << 1 << Bytes{"A", "1\x04", "@"};
        QTest::newRow("write window VNT: letter refused") << "write" << DialectId::Vnt290b << "letterx" << 2 << Bytes{"A"};
        QTest::newRow("encode file VNT: letter ^x refused") << "file" << DialectId::Vnt290b << "letter^x" << 2 << Bytes{"A"};
    }
    void writeSwipeForms()
    {
        QFETCH(QString, form);
        QFETCH(DialectId, dialect);
        QFETCH(QString, event);
        QFETCH(int, outcome);
        QFETCH(Bytes, expected);
        ScriptedDevice scripted(dialect);
        auto &[vp, connection, token, end, dev] = scripted;
        QVERIFY(dev.open());
        std::atomic<bool> &skip = token.SkipRequested;
        end->onWrite = [&](const QByteArray &b) {
            if (b.startsWith(hex("1B 77"))) {
                if (event == "ok") {
                    end->reply("zz", 0.0);  // stale bytes that arrive with the command
                    end->reply(hex("1B 30"), 2.0);
                }
            } else if (b == "A") {
                end->reply(event == "letter^x" ? "^x" : event == "letterx" ? "x" : "^", 0.02);
            } else if (b == "1\x04") {
                end->reply("^", 0.02);
            } else if (b == "@") {
                end->reply("^", 0.02);
                if (event == "final^x")
                    end->reply("^x", 2.0);
                else if (event == "letter^x")
                    end->reply("^", 2.0);
            } else if (b == "l" || b == kAtt) {
                end->reply("^", 0.02);
            }
        };
        if (event == "cancel")
            vp.at(3.0, [&] { token.CancelRequested = true; });
        else if (event == "collect")
            vp.at(3.0, [&] { token.StopCollecting = true; });
        else if (event == "skip")
            vp.at(3.0, [&] { skip = true; });
        if (event == "collect" && form == "write")
            vp.at(3.5, [&] { token.CancelRequested = true; });
        vp.at(50.0, [&] { token.CancelRequested = true; });  // a wait that never ends fails the row, not the run
        const WriteProfile &profile = form == "copy"          ? CopyOperation::kWrite
                                      : form == "incremental" ? IncrementalOperation::kWrite
                                      : form == "file"        ? EncodeOperation::kWrite
                                                              : WriteOperation::kWrite;
        const int got = int(dialectFor(dialect).writeIso(dev, {"1", "", ""}, profile, {}));
        Bytes writes;
        for (const auto &w : end->written)
            writes << w.bytes;
        QCOMPARE(writes, expected);
        QCOMPARE(got, outcome);
        if (dialect == DialectId::Hkd382 && event != "ok")
            QVERIFY(!dev.isOpen());  // the cancel path leaves the port closed
        if (event == "collect" && form == "write")
            QVERIFY2(vp.now() >= 3.5 - 1e-6, qPrintable(QString::number(vp.now())));
        if (event == "skip")
            QVERIFY(!skip);  // consumed
    }

    void encodeFile_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QStringList>("script"); // at 2 s, 5.5 s, ...: "swipe", "bad" or "skip"
        QTest::addColumn<Bytes>("pile");
        QTest::addColumn<QList<qint64>>("tally"); // written, skipped, failed
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s three cards", d.name)
                << d.id << QStringList{"swipe", "swipe", "swipe"} << Bytes{"B1", "2", "C3"} << QList<qint64>{3, 0, 0};
            QTest::addRow("%s failed card retried, one skipped", d.name)
                << d.id << QStringList{"bad", "swipe", "skip", "swipe"} << Bytes{"B1", "C3"}
                << QList<qint64>{2, 1, 1};
        }
    }
    // A file onto a stack of blank cards, to its end.
    void encodeFile()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QStringList, script);
        QFETCH(Bytes, pile);
        QFETCH(QList<qint64>, tally);
        Bench b(dialect);
        b.sim.setStack(Simulator::blankStack(5));
        ScriptedOperator op;
        Session encode(b.connection, Job{.kind = JobKind::Encode, .records = "B1||\r\n|2|\r\nC3||\r\n"}, op);
        double t = 2.0;
        for (const QString &act : script) {
            b.vp.at(t, [&b, &encode, act] {
                if (act == "skip") {
                    encode.skip();
                    return;
                }
                b.sim.setNextSwipeBad(act == "bad");
                b.sim.swipe();
            });
            t += 3.5;
        }
        const RunSummary run = encode.run();
        QCOMPARE(run.end, OperationEnd::Finished);
        encode.close();

        Bytes written;
        for (const SimCard &card : b.sim.swipedCards())
            written << card.tracks[0].chars + card.tracks[1].chars + card.tracks[2].chars;
        QCOMPARE(written, pile);
        QCOMPARE((QList<qint64>{run.ok, run.skipped, run.failed}), tally);
        QVERIFY(run.fileDone);
        QCOMPARE(op.errors.size(), int(tally[2]));
        QCOMPARE(b.writes().last(), kAtt); // the closing: Attention in both dialects
    }
};

QTEST_GUILESS_MAIN(HeadlessTest)
#include "tst_headless.moc"
