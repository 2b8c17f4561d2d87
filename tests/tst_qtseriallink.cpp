// The real serial port path over a pseudo-terminal: settings, bytes both ways without the event
// loop, open failures, and a device that goes away in the middle of a wait.
#include "Pty.h"
#include "device/Connection.h"
#include "device/Device.h"
#include "device/Pacer.h"
#include "device/PortCatalog.h"
#include "device/QtSerialLink.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(PortError)

namespace {
constexpr int kPort = 4;
constexpr int kBoundMs = 2000; // only ever reached when something is broken

// Counts pending input until `n` bytes are there (or the bound passes), serving no events.
int waitPending(QtSerialLink &link, Pty &pty, int n)
{
    QElapsedTimer clock;
    clock.start();
    int have = link.pending();
    while (have < n && clock.elapsed() < kBoundMs) {
        pty.waitReadable(10);
        have = link.pending();
    }
    return have;
}

// Port 1 at 9600,n,8,1 on the real clock: the pseudo-terminal's end is real time.
Connection portOne(Pacer &clock)
{
    Connection c;
    c.port = 1;
    c.baud = QStringLiteral("9600");
    c.parity = QStringLiteral("None");
    c.dataBits = QStringLiteral("8");
    c.pacer = &clock;
    return c;
}

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b;
}
} // namespace

class QtSerialLinkTest : public QObject {
    Q_OBJECT

    PortCatalog ports;

    std::unique_ptr<Pty> pty;

private slots:
    void init()
    {
        pty = std::make_unique<Pty>();
        QVERIFY(pty->ok());
        ports = PortCatalog{};
        ports.setSimulated(false);
        ports.setLister([] { return QList<PortCatalog::Entry>{}; });
        QVERIFY(ports.setOverride(kPort, pty->slavePath()));
    }
    void cleanup()
    {
        pty.reset();
        ports = PortCatalog{};
        ports.setLister({});
    }

    // Settings a pseudo-terminal refuses (parity, 7 bits) must not keep the port shut.
    void bytesBothWaysWithoutEvents_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::newRow("9600,n,8,1") << "9600,n,8,1";
        QTest::newRow("19200,n,8,1") << "19200,n,8,1";
        QTest::newRow("1200,n,8,1") << "1200,n,8,1";
        QTest::newRow("refused parity and bits") << "2400,o,7,1";
        QTest::newRow("refused even parity") << "4800,e,8,1";
    }
    void bytesBothWaysWithoutEvents()
    {
        QFETCH(QString, settings);
        QtSerialLink link(ports);
        QVERIFY2(link.open(kPort, settings), qPrintable(link.errorText()));
        QVERIFY(link.isOpen());
        QCOMPARE(link.error(), PortError::None);
        QCOMPARE(link.device(), pty->slavePath());

        // Out, in order, every byte value, with no event served.
        const QByteArray out = QByteArray("\x1b\x61") + allBytes() + QByteArray("\x1b\x84");
        QVERIFY(link.write(QByteArray("\x1b\x61")));
        QVERIFY(link.write(allBytes()));
        QVERIFY(link.write(QByteArray("\x1b\x84")));
        QCOMPARE(pty->readExactly(int(out.size()), kBoundMs), out);

        // In: counted and taken without the event loop.
        QCOMPARE(link.pending(), 0);
        QVERIFY(pty->write("\x1bs"));
        QCOMPARE(waitPending(link, *pty, 2), 2);
        QVERIFY(pty->write(allBytes()));
        QCOMPARE(waitPending(link, *pty, 258), 258);
        QCOMPARE(link.takeAll(), QByteArray("\x1bs") + allBytes());
        QCOMPARE(link.pending(), 0);
        QCOMPARE(link.takeAll(), QByteArray());

        link.close();
        QVERIFY(!link.isOpen());
        QCOMPARE(link.error(), PortError::None);
        QVERIFY(!link.write("x"));
        QCOMPARE(link.pending(), 0);
    }

    // A flooded line while nobody takes the input (a message window open): the oldest 64 KiB
    // are kept, the rest is read off the line, dropped and counted.
    void floodIsCapped()
    {
        QtSerialLink link(ports);
        QVERIFY(link.open(kPort, "9600,n,8,1"));
        QByteArray flood(200 * 1024, 0);
        for (int i = 0; i < flood.size(); ++i)
            flood[i] = char(i * 7 + i / 251);
        qsizetype sent = 0;
        QElapsedTimer clock;
        clock.start();
        while (sent < flood.size() && clock.elapsed() < 5 * kBoundMs) {
            const ssize_t n = ::write(pty->masterFd(), flood.constData() + sent, size_t(flood.size() - sent));
            if (n > 0)
                sent += n;
            QVERIFY(link.pending() <= QtSerialLink::kInputCap); // the line full: the link reads it off
        }
        QCOMPARE(sent, flood.size());
        while (pty->waitReadable(50))
            QVERIFY(link.pending() <= QtSerialLink::kInputCap);
        QCOMPARE(link.pending(), int(QtSerialLink::kInputCap));
        QCOMPARE(link.droppedBytes(), flood.size() - QtSerialLink::kInputCap);
        QCOMPARE(link.takeAll(), flood.left(QtSerialLink::kInputCap));
        QVERIFY(pty->write("\x1b" "0")); // and the line works on
        QCOMPARE(waitPending(link, *pty, 2), 2);
        QCOMPARE(link.takeAll(), QByteArray("\x1b" "0"));
    }

    void reopenAfterClose()
    {
        QtSerialLink link(ports);
        QVERIFY(link.open(kPort, "9600,n,8,1"));
        QVERIFY(link.open(kPort, "9600,n,8,1")); // open on an open link starts afresh
        link.close();
        QVERIFY(link.open(kPort, "2400,n,8,1"));
        QVERIFY(link.write("ok"));
        QCOMPARE(pty->readExactly(2, kBoundMs), QByteArray("ok"));
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<PortError>("error");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("missing device") << "missing" << PortError::NoSuchDevice << "/dev/vnt410-no-such-tty";
        QTest::newRow("number names nothing") << "unnamed" << PortError::NoSuchDevice << "port 9";
        QTest::newRow("in use") << "busy" << PortError::Busy << "in use";
        QTest::newRow("not allowed") << "denied" << PortError::PermissionDenied << "dialout";
        QTest::newRow("bad settings") << "settings" << PortError::Other << "9600,x,8,1";
    }
    void openFailures()
    {
        QFETCH(QString, kind);
        QFETCH(PortError, error);
        QFETCH(QString, mentions);

        int port = kPort;
        QString settings = QStringLiteral("9600,n,8,1");
        QtSerialLink holder(ports);
        QTemporaryDir dir;
        if (kind == "missing") {
            ports.setOverride(kPort, "/dev/vnt410-no-such-tty");
        } else if (kind == "unnamed") {
            port = 9;
        } else if (kind == "busy") {
            QVERIFY(holder.open(kPort, settings));
        } else if (kind == "denied") {
            if (::geteuid() == 0)
                QSKIP("root may open any device");
            const QString path = dir.filePath("ttyLocked");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            ::chmod(QFile::encodeName(path).constData(), 0);
            ports.setOverride(kPort, path);
        } else if (kind == "settings") {
            settings = QStringLiteral("9600,x,8,1");
        }

        QtSerialLink link(ports);
        QVERIFY(!link.open(port, settings));
        QVERIFY(!link.isOpen());
        QCOMPARE(link.error(), error);
        QVERIFY2(link.errorText().contains(mentions), qPrintable(link.errorText()));
        QVERIFY(link.errorText().endsWith('.'));
        QVERIFY(!link.write("x"));
        QCOMPARE(link.pending(), 0);
        QCOMPARE(link.takeAll(), QByteArray());
    }

    // The far end goes away: the link closes at the first sign, whichever call sees it.
    void vanishedDeviceClosesLink_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("count") << "count";
        QTest::newRow("take") << "take";
        QTest::newRow("write") << "write";
        QTest::newRow("events") << "events";
    }
    void vanishedDeviceClosesLink()
    {
        QFETCH(QString, call);
        QtSerialLink link(ports);
        QVERIFY(link.open(kPort, "9600,n,8,1"));
        pty->closeMaster();

        QElapsedTimer clock;
        clock.start();
        while (link.isOpen() && clock.elapsed() < kBoundMs) {
            if (call == "count")
                QCOMPARE(link.pending(), 0);
            else if (call == "take")
                QCOMPARE(link.takeAll(), QByteArray());
            else if (call == "write")
                link.write("x");
            else
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QVERIFY(!link.isOpen());
        QCOMPARE(link.error(), PortError::Vanished);
        QVERIFY2(link.errorText().contains(pty->slavePath()), qPrintable(link.errorText()));
        QVERIFY(!link.write("x"));
        QCOMPARE(link.pending(), 0);
        QCOMPARE(link.takeAll(), QByteArray());
        // Nothing keeps reporting once it is closed.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCOMPARE(link.error(), PortError::Vanished);
    }

    // The adapter is pulled while a window waits for a swipe, or between two exchanges (the
    // window serving events, e.g. under a message box): a port failure at once and exactly one report.
    void vanishedDeviceEndsCancelableWait_data()
    {
        QTest::addColumn<bool>("midWait");
        QTest::newRow("during the wait") << true;
        QTest::newRow("between exchanges") << false;
    }
    void vanishedDeviceEndsCancelableWait()
    {
        QFETCH(bool, midWait);
        ports.setOverride(1, pty->slavePath());
        RealPacer pacer;
        const Connection connection = portOne(pacer);
        auto *link = new QtSerialLink(ports);
        CancelToken token;
        Device dev{token, connection, std::unique_ptr<SerialLink>(link)};
        int lost = 0;
        dev.setPortLostHandler([&] { ++lost; });
        QVERIFY(dev.open());

        QTimer pull;
        pull.setSingleShot(true);
        QObject::connect(&pull, &QTimer::timeout, [&] { pty->closeMaster(); });
        // Guard only: ends the wait should the port failure never be noticed.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] { token.CancelRequested = true; });
        guard.start(5000);

        if (midWait) {
            pull.start(50);
        } else {
            pty->closeMaster();
            QElapsedTimer clock;
            clock.start();
            while (link->isOpen() && clock.elapsed() < kBoundMs)
                connection.clock().serve();
            QVERIFY(!link->isOpen());
        }

        QElapsedTimer clock;
        clock.start();
        const Reply reply = dev.sendAndWaitCancelable(QByteArray("\x1b\x72"));
        const qint64 took = clock.elapsed();
        QCOMPARE(reply.end, WaitEnd::PortFailed);
        QVERIFY2(!token.CancelRequested, "the wait ended on the guard, not on the port failure");
        QVERIFY2(took < 4000, qPrintable(QString::number(took)));
        QCOMPARE(lost, 1);
        QVERIFY(!link->isOpen());
        QVERIFY(!dev.isOpen());
        QVERIFY(dev.portFailed());
        QCOMPARE(dev.portError(), PortError::Vanished);

        // From now on every exchange fails at once and nothing is reported again.
        clock.restart();
        QVERIFY(!dev.write(QByteArray("\x1b\x61")));
        QCOMPARE(dev.sendAndWaitCancelable(QByteArray("\x1b\x72")).end, WaitEnd::PortFailed);
        QCOMPARE(dev.waitForBytes(1, 1.0, true), WaitEnd::PortFailed);
        QCOMPARE(dev.sendAndWait(QByteArray("\x1b\x65"), 2), QByteArray());
        QCOMPARE(dev.sendAndCollect(QByteArray("\x1b\x72")), QByteArray());
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(lost, 1);
        guard.stop();
    }

    // A line flooded with noise: reading on after a reply stops at the longest reply there can
    // be, not when the noise stops; then either the line clears and an exchange works, or the
    // adapter is pulled mid-flood and the wait ends at once with one report. Bounded to well
    // under a second of real time.
    void floodedLine_data()
    {
        QTest::addColumn<bool>("pulled");
        QTest::newRow("flood, then an exchange") << false;
        QTest::newRow("pulled mid-flood") << true;
    }
    void floodedLine()
    {
        QFETCH(bool, pulled);
        ports.setOverride(1, pty->slavePath());
        RealPacer pacer;
        const Connection connection = portOne(pacer);
        CancelToken token;
        Device dev{token, connection, std::make_unique<QtSerialLink>(ports)};
        int lost = 0;
        dev.setPortLostHandler([&] { ++lost; });
        QVERIFY(dev.open());

        std::atomic<bool> stop{false};
        std::thread noise([&] {
            QByteArray chunk(256, '\0');
            for (int i = 0; i < chunk.size(); ++i)
                chunk[i] = char((i * 73 + 5) & 0xFF);
            QElapsedTimer t;
            t.start();
            // Never blocks on a full line, so stopping the noise cannot wait for the reader.
            while (!stop && t.elapsed() < 700 && pty->offer(chunk))
                std::this_thread::yield();
        });
        auto endNoise = [&] {
            stop = true;
            if (noise.joinable())
                noise.join();
        };
        struct Joiner {
            std::function<void()> end;
            ~Joiner() { end(); }
        } joiner{endNoise}; // also when a check returns early

        QElapsedTimer clock;
        clock.start();
        const QByteArray reply = dev.takeReply([](const QByteArray &) { return false; }, false);
        QVERIFY2(reply.size() >= 1024 && clock.elapsed() < 600, qPrintable(QString::number(clock.elapsed())));

        if (pulled) {
            QTimer pull;
            pull.setSingleShot(true);
            QObject::connect(&pull, &QTimer::timeout, [&] {
                endNoise();
                pty->closeMaster();
            });
            pull.start(50);
            clock.restart();
            QCOMPARE(dev.waitForBytes(1 << 30, 2.0, true), WaitEnd::PortFailed);
            QVERIFY2(clock.elapsed() < 800, qPrintable(QString::number(clock.elapsed())));
            QCOMPARE(lost, 1);
            QVERIFY(!dev.isOpen());
            return;
        }
        endNoise();
        while (dev.waitForBytes(1, 0.05, false) == WaitEnd::Ready)
            dev.discard();
        const QByteArray command("\x1b\x72"), answer("\x1b\x30");
        QVERIFY(dev.write(command));
        QCOMPARE(pty->readExactly(int(command.size()), kBoundMs).right(2), command);
        QVERIFY(pty->write(answer));
        QCOMPARE(dev.waitForBytes(2, 1.0, false), WaitEnd::Ready);
        QCOMPARE(dev.takeAll(), answer);
        QCOMPARE(lost, 0);
    }
};

QTEST_MAIN(QtSerialLinkTest)
#include "tst_qtseriallink.moc"
