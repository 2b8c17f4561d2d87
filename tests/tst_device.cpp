// The exchange primitives and the shared device procedures, byte for byte and in virtual time.
#include "Dialects.h"
#include "ScriptedLink.h"
#include "operation/BatchOperations.h"
#include "operation/IsoOperations.h"
#include "device/Device.h"
#include "device/Pacer.h"
#include "device/ProcessGuard.h"
#include "device/SignalWatch.h"
#include "dialect/Commands.h"
#include "dialect/Dialect.h"
#include "iso/cfrmCopyCard.h"
#include "iso/cfrmReadCard.h"
#include "iso/cfrmWriteCard.h"
#include "iso/frmEraseCard.h"
#include "operation/NonIsoOperations.h"

#include <QtTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>

using Kind = const WindowProfile *;
Q_DECLARE_METATYPE(Kind)

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

// An encoder that answers as a well-behaved one does.
void answerLikeEncoder(ScriptedEnd &end)
{
    end.onWrite = [&end](const QByteArray &b) {
        if (b == Cmd::Vnt::Attention)
            end.reply(":", 0.02);
        else if (b == "L" || b == "(" || b == "M" || b == "m" || b == "l")
            end.reply("^", 0.02);
        else if (b.startsWith(Cmd::Hkd::SetBpi) || b.startsWith(Cmd::Hkd::SetBpiCodes))
            end.reply(Cmd::Hkd::Ok, 0.02);
    };
}
} // namespace

class DeviceTest : public QObject {
    Q_OBJECT

    std::optional<VirtualPacer> clock;
    VirtualPacer *vp = nullptr;
    Connection connection;
    std::shared_ptr<ScriptedEnd> end;
    CancelToken token;
    std::unique_ptr<Device> dev;

    void useDialect(DialectId d) { connection.dialect = d; }
    const Dialect &spoken() const { return dialectFor(connection.dialect); }
    // An open device on the connection's port and line, on a fresh clock starting at `start`.
    void openDevice(double start)
    {
        dev.reset();
        vp = &clock.emplace(start);
        connection.pacer = vp;
        end->clock = vp;
        dev = std::make_unique<Device>(token, connection, std::make_unique<ScriptedLink>(end));
        QVERIFY(dev->open());
    }

private slots:
    void init()
    {
        end = std::make_shared<ScriptedEnd>();
        token.CancelRequested = token.StopCollecting = token.SkipRequested = false;
        connection = {};
        connection.port = 3; // at 9600,n,8,1
        useDialect(DialectId::Hkd382);
        openDevice(100.0);
    }
    void cleanup()
    {
        dev.reset();
        clock.reset();
    }

    void openAppliesPortAndSettings()
    {
        auto *link = new ScriptedLink(end);
        connection.port = 7;
        connection.baud = "2400";
        connection.parity = "Odd";
        connection.dataBits = "7";
        Device d{token, connection, std::unique_ptr<SerialLink>(link)};
        QVERIFY(d.open());
        QCOMPARE(link->lastPort, 7);
        QCOMPARE(link->lastSettings, QString("2400,o,7,1"));
    }

    void sendAndWait_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("replyAt");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<double>("endsAt");
        QTest::addColumn<int>("leftUnread");
        QTest::newRow("two bytes at 0.2 s") << 2 << hex("1B 79") << 0.2 << hex("1B 79") << 0.2 << 0;
        QTest::newRow("one byte of two: time-out, byte unread") << 2 << hex("1B") << 0.1 << QByteArray() << 1.0 << 1;
        QTest::newRow("silent") << 2 << QByteArray() << 0.0 << QByteArray() << 1.0 << 0;
        QTest::newRow("one byte wanted") << 1 << QByteArray(":") << 0.5 << QByteArray(":") << 0.5 << 0;
    }
    void sendAndWait()
    {
        QFETCH(int, n);
        QFETCH(QByteArray, reply);
        QFETCH(double, replyAt);
        QFETCH(QByteArray, result);
        QFETCH(double, endsAt);
        QFETCH(int, leftUnread);
        end->deliverAt(100.0 - 1, "stale");  // pending input is discarded before the write
        if (!reply.isEmpty())
            end->deliverAt(100.0 + replyAt, reply);
        const QByteArray got = dev->sendAndWait(Cmd::Hkd::CommTest, n);
        QCOMPARE(got, result);
        QCOMPARE(end->writtenBytes(), Cmd::Hkd::CommTest);
        QVERIFY2(vp->now() - 100.0 >= endsAt - 1e-6 && vp->now() - 100.0 <= endsAt + 0.03,
                 qPrintable(QString::number(vp->now() - 100.0)));
        QCOMPARE(dev->pending(), leftUnread);
    }

    void waitAcrossMidnightEndsOnTime()
    {
        openDevice(86399.6);  // 0.4 s before midnight
        QVERIFY(dev->sendAndWait(Cmd::Hkd::CommTest, 2).isEmpty());
        QVERIFY(vp->now() - 86399.6 > 1.0 && vp->now() - 86399.6 < 1.03);
    }

    void windowActionsWaitForEventServing()
    {
        // A click lands only when the waiting code serves events; a swipe lands at its time.
        bool clicked = false, swiped = false;
        vp->atEvent(vp->now() + 0.1, [&] { clicked = true; });
        vp->at(vp->now() + 0.2, [&] { swiped = true; });
        vp->pause(0.5, false);
        QVERIFY(swiped);
        QVERIFY(!clicked);
        vp->serve();
        QVERIFY(clicked);
    }

    void cancelableReturnsReplyOrErr()
    {
        end->deliverAt(100.5, "^");
        QCOMPARE(dev->sendAndWaitCancelable("@").bytes, QByteArray("^"));
        QVERIFY(vp->now() >= 100.5 && vp->now() < 100.52);

        // Cancel pressed at t + 3 s: the exchange ends on the next pass.
        vp->after(3.0, [this] { token.CancelRequested = true; });
        const double t0 = vp->now();
        QVERIFY(!dev->sendAndWaitCancelable("@").ok());
        QVERIFY(vp->now() - t0 >= 3.0 && vp->now() - t0 < 3.02);
    }

    void cancelableForms()
    {
        // Settling: the bytes that follow within 0.1 s belong to the reply.
        end->deliverAt(100.2, "^");
        end->deliverAt(100.25, "XY");
        end->deliverAt(100.5, "late");
        QCOMPARE(dev->sendAndWaitCancelable("P", Exchange::Settling).bytes, QByteArray("^XY"));

        // Last character form keeps only the last byte and also stops on token.StopCollecting.
        dev->discard();
        end->deliverAt(vp->now() + 0.1, "ab");
        end->deliverAt(vp->now() + 0.15, "c");
        QCOMPARE(dev->sendAndWaitCancelable("@", Exchange::LastCharacter).bytes, QByteArray("c"));
        vp->after(0.5, [this] { token.StopCollecting = true; });
        QCOMPARE(dev->sendAndWaitCancelable("@", Exchange::LastCharacter).end, WaitEnd::Cancelled);

        // A closed port fails at once.
        dev->close();
        const double t0 = vp->now();
        QVERIFY(!dev->sendAndWaitCancelable("@").ok());
        QCOMPARE(vp->now(), t0);
    }

    void collectEndsAfterQuiet()
    {
        // Silent line: empty, a little after 0.3 s.
        double t0 = vp->now();
        QVERIFY(dev->sendAndCollect("Q").isEmpty());
        QVERIFY(vp->now() - t0 > 0.3 && vp->now() - t0 < 0.33);
        QVERIFY(token.StopCollecting);

        // Pieces less than 0.3 s apart keep it collecting; it ends 0.3 s after the last.
        t0 = vp->now();
        end->deliverAt(t0 + 0.1, "%B12");
        end->deliverAt(t0 + 0.35, "34");
        end->deliverAt(t0 + 0.6, "56?");
        QCOMPARE(dev->sendAndCollect("Q"), QByteArray("%B123456?"));
        QVERIFY(vp->now() - t0 > 0.9 && vp->now() - t0 < 0.93);

        // Cancel ends it, unless it is the form that honours silence only.
        token.CancelRequested = true;
        end->deliverAt(vp->now() + 0.1, "x");
        end->deliverAt(vp->now() + 0.2, "y");
        QCOMPARE(dev->sendAndCollect("Q", Collect::UntilQuiet), QByteArray("xy"));
        QCOMPARE(dev->sendAndCollect("Q"), QByteArray());
    }

    void configureDensity_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::newRow("encoder answers") << true;
        QTest::newRow("silent encoder does not hang") << false;
    }
    void configureDensity()
    {
        QFETCH(bool, answers);
        if (answers)
            answerLikeEncoder(*end);
        const double t0 = vp->now();
        spoken().configureDensity(*dev);
        QCOMPARE(end->written.size(), 2);
        QCOMPARE(end->written[0].bytes, hex("1B 5A 3D 16 3D"));
        QCOMPARE(end->written[1].bytes, hex("1B 6A D2 4B D2"));
        QVERIFY(!dev->isOpen());
        const double took = vp->now() - t0;
        if (answers)
            QVERIFY2(took > 0.3 && took < 0.33, qPrintable(QString::number(took)));
        else
            QVERIFY2(took > 1.0 && took < 1.03, qPrintable(QString::number(took)));
    }

    void nonIsoDensity_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<double>("took");
        // Replies come 0.05 s after each command. HKD382: 0.3 s after SetBpi, then the codes'
        // reply; VNT-290B: the last-character exchange waits 0.1 s more after each reply.
        using B = QList<QByteArray>;
        for (const DialectEntry &d : kDialects)
            QTest::addRow("%s 210/75/75", d.name)
                << d.id
                << perDialect(d.id, B{hex("1B 6A D2 4B 4B"), hex("1B 5A 3D 16 16")},
                              B{hex("3B 31 31"), hex("3B 32 30"), hex("3B 33 30")})
                << perDialect(d.id, 0.35, 0.45);
    }
    void nonIsoDensity()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(double, took);
        const double t0 = vp->now();
        useDialect(dialect);
        answerLikeEncoder(*end);
        const QByteArray ack = perDialect(dialect, Cmd::Hkd::Ok, QByteArray("^"));
        end->onWrite = [this, ack](const QByteArray &) { end->reply(ack, 0.05); };
        spoken().configureNonIsoDensity(*dev, {true, false, false});
        QList<QByteArray> got;
        for (const auto &w : end->written)
            got << w.bytes;
        QCOMPARE(got, expected);
        QVERIFY2(vp->now() - t0 > took - 0.005 && vp->now() - t0 < took + 0.05, qPrintable(QString::number(vp->now() - t0)));
    }

    void errorIndicatorAndReady_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QByteArray>("expected");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id << perDialect(d.id, hex("1B 85 1B 81 1B 83"), QByteArray("MmL"));
    }
    void errorIndicatorAndReady()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QByteArray, expected);
        useDialect(dialect);
        answerLikeEncoder(*end);
        spoken().setErrorIndicator(*dev, true);
        spoken().setErrorIndicator(*dev, false);
        spoken().signalReady(*dev);
        QCOMPARE(end->writtenBytes(), expected);
        QCOMPARE(dev->pending(), 0);  // acknowledgements read and discarded
    }

    void silentIndicatorWaitsOneSecond()
    {
        useDialect(DialectId::Vnt290b);
        const double t0 = vp->now();
        spoken().setErrorIndicator(*dev, true);
        QVERIFY(vp->now() - t0 > 1.0 && vp->now() - t0 < 1.03);
    }

    // The start and closing bytes of every window profile in both dialects, against an
    // encoder that answers; the closing leaves the waits cancelled and the port closed.
    void startAndClosing_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QList<QByteArray>>("start");
        QTest::addColumn<QList<QByteArray>>("closing");
        const QByteArray codes = hex("1B 5A 3D 16 3D"), bpi = hex("1B 6A D2 4B D2"), reset = hex("1B 61"),
                         swipe = hex("1B 84"), att = hex("7F");
        using B = QList<QByteArray>;
        const B hkdReadClose{reset, hex("1B 81"), hex("1B 83")};
        const struct {
            const char *name;
            Kind kind;
            B hkdStart, hkdClose, vntStart;
        } rows[] = {
            {"read", &ReadOperation::kProfile.window, {reset, swipe}, hkdReadClose, {att, "L"}},
            {"write", &WriteOperation::kProfile.window, {swipe, codes, bpi}, {}, {att, "("}},
            {"copy", &CopyOperation::kProfile.window, {reset, codes, bpi}, {}, {att}},
            {"erase", &EraseOperation::kProfile.window, {reset, swipe}, {reset}, {att, "("}},
            {"save", &SaveOperation::kProfile.window, {reset, swipe, codes, bpi}, {reset}, {att, "L"}},
            {"encode file", &EncodeOperation::kProfile.window, {reset, codes, bpi}, {att}, {att, "("}},
            {"incremental", &IncrementalOperation::kProfile.window, {swipe, codes, bpi}, {}, {att, "("}},
            {"non-ISO read", &NonIsoReadOperation::kProfile.window, {reset}, hkdReadClose, {att}},
            {"non-ISO write", &NonIsoWriteOperation::kProfile.window, {swipe}, {}, {att}},
        };
        for (const auto &r : rows)
            for (const DialectEntry &d : kDialects)
                QTest::addRow("%s %s", r.name, d.name)
                    << r.kind << d.id << perDialect(d.id, r.hkdStart, r.vntStart) << perDialect(d.id, r.hkdClose, B{att});
    }
    void startAndClosing()
    {
        QFETCH(Kind, kind);
        QFETCH(DialectId, dialect);
        QFETCH(QList<QByteArray>, start);
        QFETCH(QList<QByteArray>, closing);
        useDialect(dialect);
        answerLikeEncoder(*end);
        QCOMPARE(spoken().start(*dev, kind->start), StartResult::Ok);
        QVERIFY(dev->openIfClosed());  // the closing's bytes from an open port
        spoken().close(*dev, kind->closing);
        QList<QByteArray> got;
        for (const auto &w : end->written)
            got << w.bytes;
        QCOMPARE(got, start + closing);
        QVERIFY(token.CancelRequested);
        QVERIFY(token.StopCollecting);
        QVERIFY(!dev->isOpen());
    }

    // When the last command of a start goes out, with a silent encoder: the Attention wait
    // ends after more than 2 s (the incremental window's after 0.5 s and 0.1 s more), then 0.3 s.
    void startSequenceWaits_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<double>("lastAt");
        QTest::newRow("read HKD382: 1B 61, 0.3 s, 1B 84") << Kind(&ReadOperation::kProfile.window) << DialectId::Hkd382 << 0.3;
        QTest::newRow("read VNT-290B") << Kind(&ReadOperation::kProfile.window) << DialectId::Vnt290b << 2.3;
        QTest::newRow("erase VNT-290B") << Kind(&EraseOperation::kProfile.window) << DialectId::Vnt290b << 2.3;
        QTest::newRow("incremental VNT-290B") << Kind(&IncrementalOperation::kProfile.window) << DialectId::Vnt290b << 0.9;
    }
    void startSequenceWaits()
    {
        QFETCH(Kind, kind);
        QFETCH(DialectId, dialect);
        QFETCH(double, lastAt);
        useDialect(dialect);
        const double t0 = vp->now();
        spoken().start(*dev, kind->start);
        QCOMPARE(end->written.size(), 2);
        const double at = end->written[1].time - t0;
        QVERIFY2(at > lastAt - 1e-9 && at < lastAt + 0.03, qPrintable(QString::number(at)));
    }

    // The window is closed (its closing sequence runs inside the start's wait) while a silent
    // encoder keeps the start waiting: the start ends quietly, with nothing more on the wire.
    void startClosedMidway_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<double>("closeAt");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("read, during Attention") << Kind(&ReadOperation::kProfile.window) << 0.5 << QList<QByteArray>{hex("7F"), hex("7F")};
        QTest::newRow("read, during L") << Kind(&ReadOperation::kProfile.window) << 2.5 << QList<QByteArray>{hex("7F"), "L", hex("7F")};
        QTest::newRow("erase, during the pause") << Kind(&EraseOperation::kProfile.window) << 2.1 << QList<QByteArray>{hex("7F"), hex("7F")};
    }
    void startClosedMidway()
    {
        QFETCH(Kind, kind);
        QFETCH(double, closeAt);
        QFETCH(QList<QByteArray>, expected);
        useDialect(DialectId::Vnt290b);
        vp->after(closeAt, [&] { spoken().close(*dev, kind->closing); });
        QCOMPARE(spoken().start(*dev, kind->start), StartResult::PortFailed);
        QList<QByteArray> got;
        for (const auto &w : end->written)
            got << w.bytes;
        QCOMPARE(got, expected);
    }

    void vanishedPortEndsExchangesOnce()
    {
        int reports = 0;
        dev->setPortLostHandler([&] { ++reports; });
        vp->after(2.0, [this] { end->vanished = true; });
        const double t0 = vp->now();
        QVERIFY(!dev->sendAndWaitCancelable("@").ok());
        QVERIFY(vp->now() - t0 < 2.05);
        QCOMPARE(reports, 1);
        QVERIFY(dev->portFailed());
        // Everything after ends at once, without another report.
        const double t1 = vp->now();
        QVERIFY(!dev->sendAndWaitCancelable("@").ok());
        QVERIFY(dev->sendAndCollect("Q").isEmpty());
        spoken().close(*dev, Closing::IdleAndDrain);
        QVERIFY(vp->now() - t1 < 0.05);
        QCOMPARE(reports, 1);
    }

    void processGuards_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("status"); // the child's exit status
        QTest::newRow("core dumps off") << 0 << 0;
        QTest::newRow("SIGHUP with nothing to wind down: at once") << 1 << 128 + SIGHUP;
        QTest::newRow("SIGTERM caught: goes on") << 2 << 0;
        QTest::newRow("a second signal: at once") << 3 << 128 + SIGINT;
    }
    // In a child process: not dumpable with a zero core limit; a signal ends the program at
    // once where it would be swallowed by a blocking open or read, or when it comes twice.
    void processGuards()
    {
        QFETCH(int, row);
        QFETCH(int, status);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            int code = 0;
            if (row == 0) {
                struct rlimit core {1, 1};
                code = disableCoreDumps() && ::prctl(PR_GET_DUMPABLE) == 0 && ::getrlimit(RLIMIT_CORE, &core) == 0
                               && core.rlim_cur == 0 && core.rlim_max == 0 ? 0 : 1;
            } else {
                SignalWatch watch;
                if (row > 1)
                    watch.catchFromNow();
                std::raise(row == 1 ? SIGHUP : SIGTERM);
                if (row == 3)
                    std::raise(SIGINT);
            }
            ::_exit(code);
        }
        int raw = 0;
        QCOMPARE(::waitpid(child, &raw, 0), child);
        QVERIFY(WIFEXITED(raw));
        QCOMPARE(WEXITSTATUS(raw), status);
    }
};

QTEST_MAIN(DeviceTest)
#include "tst_device.moc"
