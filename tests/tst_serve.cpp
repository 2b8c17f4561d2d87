// The service in-process: who may use it (raw requests and WebSocket clients), and its jobs on
// the simulated encoder in virtual time on the worker's thread, the bytes as the operation's.
#include "Dialects.h"
#include "cli/CliRunner.h"
#include "device/Pacer.h"
#include "operation/Session.h"
#include "serve/JobMessage.h"
#include "serve/Service.h"
#include "sim/Simulator.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

#include <atomic>

using Bytes = QList<QByteArray>;

namespace {

enum class Act { Swipe, Bad, Hold, Vanish };

// The operator at the encoder: at each wait for a card, one act a second after it began (a
// wait's act is taken when it begins, so a wait Skip or Cancel ends early uses its own act).
class Swiper {
public:
    Swiper(VirtualPacer &vp, Simulator &sim, QList<Act> acts) : vp_(vp), sim_(sim), acts_(std::move(acts))
    {
        vp_.after(0.05, [this] { look(); });
    }
    std::function<void()> held; // a Hold began

private:
    void look()
    {
        const bool waiting = sim_.awaitingSwipe();
        const qsizetype received = sim_.received().size();
        if (waiting && (!waiting_ || received != received_)) {
            since_ = vp_.now();
            act_ = acts_.isEmpty() ? Act::Hold : acts_.takeFirst();
            acted_ = false;
        }
        waiting_ = waiting;
        received_ = received;
        if (waiting && !acted_ && vp_.now() - since_ >= 1.0 - 1e-9) {
            acted_ = true;
            if (act_ == Act::Hold && held)
                held();
            if (act_ == Act::Vanish)
                sim_.vanishPort();
            if (act_ == Act::Swipe || act_ == Act::Bad) {
                sim_.setNextSwipeBad(act_ == Act::Bad);
                sim_.swipe();
            }
        }
        vp_.after(0.05, [this] { look(); });
    }
    VirtualPacer &vp_;
    Simulator &sim_;
    QList<Act> acts_;
    Act act_ = Act::Hold;
    double since_ = 0;
    qsizetype received_ = 0;
    bool waiting_ = false;
    bool acted_ = true;
};

struct Encoder {
    explicit Encoder(VirtualPacer &clock) : vp(clock), sim(clock) { sim.setStack(Simulator::blankStack(5)); }
    VirtualPacer &vp;
    Simulator sim;
    std::unique_ptr<Swiper> swiper;
    Bytes writes() const
    {
        Bytes out;
        for (const auto &r : sim.received())
            out << r.bytes;
        return out;
    }
};

// One service on a free port with a simulated encoder on its worker's thread.
struct Harness {
    explicit Harness(DialectId dialect, QList<Act> acts = {}, int deadlineMs = 10000)
    {
        settings.port = 0;
        settings.line.dialect = dialect;
        settings.headerDeadlineMs = deadlineMs;
        settings.allowedOrigins = {"https://pos.example"};
        settings.rig = [this, acts] {
            EncoderRig rig;
            auto vp = std::make_unique<VirtualPacer>();
            auto kept = std::make_shared<Encoder>(*vp);
            kept->swiper = std::make_unique<Swiper>(kept->vp, kept->sim, acts);
            encoder = kept.get();
            rig.pacer = std::move(vp);
            rig.links = kept->sim.links();
            rig.keep = kept;
            return rig;
        };
        service = std::make_unique<Service>(settings);
        service->log = [this](const QString &line) { log << line; };
        QSignalSpy tested(service.get(), &Service::tested);
        QString error;
        ok = service->start(&error) && tested.wait(10000);
    }

    QByteArray host() const { return "127.0.0.1:" + QByteArray::number(service->port()); }
    Bytes writes() const { return encoder.load()->writes(); }

    ServeSettings settings;
    std::atomic<Encoder *> encoder{nullptr};
    std::unique_ptr<Service> service;
    QStringList log;
    bool ok = false;
};

// A WebSocket client with the events it received.
struct Client {
    explicit Client(const Harness &h, const QString &origin = {}) : socket(origin)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
            events << QJsonDocument::fromJson(text.toUtf8()).object();
        });
        QSignalSpy connected(&socket, &QWebSocket::connected);
        socket.open(QUrl(QStringLiteral("ws://%1/v1/jobs").arg(QString::fromLatin1(h.host()))));
        connected.wait(5000);
    }
    void send(const QJsonObject &message) { socket.sendTextMessage(QJsonDocument(message).toJson(QJsonDocument::Compact)); }
    // The first event named `name` (waiting for it).
    QJsonObject waitFor(const QString &name, int nth = 1)
    {
        QSignalSpy spy(&socket, &QWebSocket::textMessageReceived);
        for (;;) {
            int seen = 0;
            for (const QJsonObject &e : events)
                if (e.value("event").toString() == name && ++seen == nth)
                    return e;
            if (!spy.wait(10000))
                return {};
        }
    }
    QStringList results() const
    {
        QStringList out;
        for (const QJsonObject &e : events)
            if (e.value("event") == "card")
                out << e.value("result").toString();
        return out;
    }
    QWebSocket socket;
    QList<QJsonObject> events;
};

QByteArray exchange(const Harness &h, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, h.service->port());
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(QByteArray(request).replace("%HOST%", h.host()));
    QSignalSpy closed(&socket, &QTcpSocket::disconnected);
    while (socket.state() == QAbstractSocket::ConnectedState && closed.wait(10000))
        ;
    return socket.readAll();
}

// The handshake as `vnt410 test` sends it.
Bytes handshake(DialectId d)
{
    VirtualPacer vp;
    Encoder e(vp);
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    CliIo io;
    io.out = &out;
    io.err = &err;
    io.pacer = &e.vp;
    io.links = e.sim.links();
    io.watchSignals = false;
    runCli({"vnt410", "--dialect", dialectName(d).toLower(), "test"}, io);
    return e.writes();
}

// The job itself in a session of its own, on its own encoder with the same acts: its bytes. A
// Hold is answered with `atHold`.
class Silent : public Operator {
public:
    void showPrompt(bool) override {}
    void showCard(qint64) override {}
    void showOutput(const Iso::Tracks &, Counts) override {}
    void showInput(const Iso::Tracks &, Counts) override {}
    void notice(Notice) override {}
    void reportError(OperationError) override {}
};

Bytes operationBytes(DialectId d, const QJsonObject &message, QList<Act> acts, const QString &atHold)
{
    VirtualPacer vp;
    Encoder e(vp);
    Connection c;
    c.dialect = d;
    c.links = e.sim.links();
    c.pacer = &e.vp;
    const ClientMessage m = parseClientMessage(QJsonDocument(message).toJson(), d);
    Silent view;
    Session op(c, m.job, view);
    e.swiper = std::make_unique<Swiper>(e.vp, e.sim, acts);
    e.swiper->held = [&] {
        if (atHold == "skip")
            op.skip();
        else {
            op.cancel();
            op.close();
        }
    };
    op.run();
    op.close();
    return e.writes();
}

QString hex(const Bytes &b) { return QString::fromLatin1(b.join(' ').toHex(' ')); }

enum class Probe { Http, Slow, Crowd, Oversize, Message };

} // namespace

Q_DECLARE_METATYPE(Act)
Q_DECLARE_METATYPE(Probe)

class ServeTest : public QObject {
    Q_OBJECT

private slots:
    void access_data()
    {
        QTest::addColumn<Probe>("probe");
        QTest::addColumn<QByteArray>("request"); // %HOST% is the service's
        QTest::addColumn<QByteArray>("expect");  // in the answer (HTTP) or the end's message
        const QByteArray get = "GET /v1/encoder HTTP/1.1\r\nHost: %HOST%\r\n";
        QTest::newRow("own name") << Probe::Http << get + "\r\n" << QByteArray("HTTP/1.1 200 OK");
        QTest::newRow("wrong Host (DNS rebinding)") << Probe::Http << QByteArray("GET /v1/encoder HTTP/1.1\r\nHost: rebound.example:8410\r\n\r\n")
                                                    << QByteArray("HTTP/1.1 421");
        QTest::newRow("foreign Origin") << Probe::Http << get + "Origin: http://evil.example\r\n\r\n" << QByteArray("HTTP/1.1 403");
        QTest::newRow("allowed Origin echoed")
            << Probe::Http << get + "Origin: https://pos.example\r\n\r\n"
            << QByteArray("Access-Control-Allow-Origin: https://pos.example\r\nVary: Origin\r\n");
        QTest::newRow("preflight with private network")
            << Probe::Http
            << QByteArray("OPTIONS /v1/encoder HTTP/1.1\r\nHost: %HOST%\r\nOrigin: https://pos.example\r\n"
                          "Access-Control-Request-Method: GET\r\nAccess-Control-Request-Private-Network: true\r\n\r\n")
            << QByteArray("Access-Control-Allow-Private-Network: true");
        QTest::newRow("preflight of a foreign origin")
            << Probe::Http
            << QByteArray("OPTIONS /v1/encoder HTTP/1.1\r\nHost: %HOST%\r\nOrigin: http://evil.example\r\n"
                          "Access-Control-Request-Method: GET\r\n\r\n")
            << QByteArray("HTTP/1.1 403");
        QTest::newRow("cross-site no-cors") << Probe::Http << get + "Sec-Fetch-Site: cross-site\r\n\r\n" << QByteArray("HTTP/1.1 403");
        QTest::newRow("upgrade from a foreign origin")
            << Probe::Http
            << QByteArray("GET /v1/jobs HTTP/1.1\r\nHost: %HOST%\r\nOrigin: http://evil.example\r\nUpgrade: websocket\r\n"
                          "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
            << QByteArray("HTTP/1.1 403");
        QTest::newRow("too-long headers") << Probe::Http << get + "X-Pad: " + QByteArray(17 * 1024, 'a') + "\r\n\r\n"
                                          << QByteArray("HTTP/1.1 431");
        QTest::newRow("slow headers") << Probe::Slow << get << QByteArray("HTTP/1.1 408");
        QTest::newRow("33rd connection") << Probe::Crowd << get << QByteArray("HTTP/1.1 503");
        QTest::newRow("oversized message") << Probe::Oversize << QByteArray() << QByteArray("1009");
        QTest::newRow("malformed JSON") << Probe::Message << QByteArray("{\"op\": ") << QByteArray("The message is not a JSON object.");
        QTest::newRow("unknown op") << Probe::Message << QByteArray(R"({"op": "format", "id": 7})") << QByteArray("Unknown op \"format\".");
        QTest::newRow("invalid job") << Probe::Message << QByteArray(R"({"op": "write", "id": 7, "tracks": ["", "", ""]})")
                                     << QByteArray("Please fill in the input record.");
        QTest::newRow("invalid track") << Probe::Message << QByteArray(R"({"op": "write", "id": 7, "tracks": ["", "12A"]})")
                                       << QByteArray("track 2: ");
        QTest::newRow("invalid series") << Probe::Message
                                        << QByteArray(R"({"op": "incremental", "track": 2, "start": "1A", "count": 3})")
                                        << QByteArray("start: ");
    }
    // Each answered as the access rules say; nothing reaches the encoder but the start's handshake.
    void access()
    {
        QFETCH(Probe, probe);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expect);
        Harness h(DialectId::Hkd382, {}, probe == Probe::Slow ? 200 : 10000);
        QVERIFY(h.ok);
        const Bytes atStart = h.writes();
        QByteArray got;
        if (probe == Probe::Http || probe == Probe::Slow) {
            got = exchange(h, request);
        } else if (probe == Probe::Crowd) {
            std::vector<std::unique_ptr<QTcpSocket>> crowd;
            for (int i = 0; i < 32; ++i) {
                crowd.push_back(std::make_unique<QTcpSocket>());
                crowd.back()->connectToHost(QHostAddress::LocalHost, h.service->port());
                QVERIFY(crowd.back()->waitForConnected(5000));
            }
            QTRY_COMPARE(h.service->connections(), 32);
            got = exchange(h, request + "\r\n");
            crowd.clear();
            QTRY_COMPARE(h.service->connections(), 0);
        } else if (probe == Probe::Oversize) {
            Client c(h);
            QSignalSpy closed(&c.socket, &QWebSocket::disconnected);
            c.socket.sendTextMessage(QString(1024 * 1024 + 1, 'a'));
            QVERIFY(closed.wait(10000));
            got = QByteArray::number(int(c.socket.closeCode()));
        } else {
            Client c(h);
            c.socket.sendTextMessage(QString::fromUtf8(request));
            const QJsonObject end = c.waitFor("end");
            QCOMPARE(end.value("end").toString(), QString("invalid"));
            QCOMPARE(end.value("id"), QJsonDocument::fromJson(request).object().value("id"));
            got = end.value("message").toString().toUtf8();
        }
        QVERIFY2(got.contains(expect), got.left(300).constData());
        QCOMPARE(h.writes(), atStart);
    }

    // Sixteen jobs wait behind the running one; one more ends at once, refused; the state says so.
    void queueHoldsSixteen()
    {
        Harness h(DialectId::Hkd382);
        QVERIFY(h.ok);
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 18; ++i) {
            clients.push_back(std::make_unique<Client>(h));
            clients.back()->send({{"op", "read"}, {"id", i}});
            QVERIFY(!clients.back()->waitFor(i == 0 ? "prompt" : i <= 16 ? "queued" : "end").isEmpty());
        }
        QCOMPARE(clients[16]->events.last().value("position").toInt(), 16);
        QCOMPARE(clients[17]->events.last().value("end").toString(), QString("refused"));
        QVERIFY(clients[17]->events.last().value("message").toString().startsWith("The encoder is busy"));
        QCOMPARE(h.service->encoderState().value("encoder").toString(), QString("busy"));
        QCOMPARE(h.service->encoderState().value("queued").toInt(), 16);
    }

    void jobs_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QJsonObject>("job");
        QTest::addColumn<QList<Act>>("acts");
        QTest::addColumn<QString>("atHold"); // skip, cancel, close: what the client does at a Hold
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QString>("end");
        const QJsonObject read{{"op", "read"}, {"count", 2}};
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s read, a bad card between", d.name)
                << d.id << read << QList<Act>{Act::Swipe, Act::Bad, Act::Swipe} << QString() << QStringList{"ok", "read-error", "ok"}
                << "finished";
            QTest::addRow("%s write, a failed card retried", d.name)
                << d.id << QJsonObject{{"op", "write"}, {"count", 1}, {"tracks", QJsonArray{"b123", "456", ""}}}
                << QList<Act>{Act::Bad, Act::Swipe} << QString() << QStringList{"write-error", "ok"} << "finished";
            QTest::addRow("%s erase 1 and 3", d.name)
                << d.id << QJsonObject{{"op", "erase"}, {"count", 1}, {"erase", QJsonArray{1, 3}}} << QList<Act>{Act::Swipe}
                << QString() << QStringList{"ok"} << "finished";
            QTest::addRow("%s encode, record 2 skipped", d.name)
                << d.id
                << QJsonObject{{"op", "encode"},
                               {"records", QJsonArray{QJsonArray{"B1", "", ""}, QJsonArray{"", "2", ""}, QJsonArray{"C3", "", "33"}}}}
                << QList<Act>{Act::Swipe, Act::Hold, Act::Swipe} << "skip" << QStringList{"ok", "skipped", "ok"} << "finished";
            QTest::addRow("%s cancelled in the swipe wait, another cancelled while waiting", d.name)
                << d.id << read << QList<Act>{Act::Hold} << "cancel" << QStringList{} << "cancelled";
            QTest::addRow("%s socket closed in the swipe wait, another closed while waiting", d.name)
                << d.id << read << QList<Act>{Act::Hold} << "close" << QStringList{} << "cancelled";
            QTest::addRow("%s port lost, tested again before the next job", d.name)
                << d.id << read << QList<Act>{Act::Vanish, Act::Swipe} << QString() << QStringList{} << "port-lost";
        }
    }
    // The encoder gets the handshake once at the start, then each job's bytes exactly as the
    // operation sends them; a second client's job waits and, cancelled or closed, sends nothing.
    void jobs()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QJsonObject, job);
        QFETCH(QList<Act>, acts);
        QFETCH(QString, atHold);
        QFETCH(QStringList, results);
        QFETCH(QString, end);
        Harness h(dialect, acts);
        QVERIFY(h.ok);
        job.insert("id", "a");
        Client a(h);
        a.send(job);
        const bool waits = atHold == "cancel" || atHold == "close";
        std::unique_ptr<Client> b;
        if (waits) {
            QVERIFY(!a.waitFor("prompt").isEmpty());
            b = std::make_unique<Client>(h);
            b->send({{"op", "read"}, {"id", "b"}});
            QCOMPARE(b->waitFor("queued").value("position").toInt(), 1);
            if (atHold == "cancel") {
                b->send({{"cancel", true}});
                QCOMPARE(b->waitFor("end").value("end").toString(), QString("cancelled"));
                a.send({{"cancel", true}});
            } else {
                b->socket.close();
                QTRY_COMPARE(h.log.size(), 1);
                a.socket.close();
                QTRY_COMPARE(h.log.size(), 2);
            }
        }
        if (atHold == "skip") {
            QVERIFY(!a.waitFor("prompt", 2).isEmpty());
            a.send({{"skip", true}});
        }
        if (atHold != "close") {
            const QJsonObject ended = a.waitFor("end");
            QCOMPARE(ended.value("end").toString(), end);
            QCOMPARE(ended.value("id").toString(), QString("a"));
            QCOMPARE(a.results(), results);
            QCOMPARE(ended.value("ok").toInt(), int(results.count("ok")));
            QCOMPARE(ended.value("skipped").toInt(), int(results.count("skipped")));
        }
        QTRY_VERIFY(h.log.last().contains(": " + end + ","));
        Bytes expected = handshake(dialect) + operationBytes(dialect, job, acts, atHold);
        if (end == "port-lost") {
            // Offline now; back on the next job, which tests the encoder first.
            const QJsonObject state = h.service->encoderState();
            QCOMPARE(state.value("encoder").toString(), QString("offline"));
            QVERIFY(!state.value("reason").toString().isEmpty());
            Simulator *sim = &h.encoder.load()->sim;
            QMetaObject::invokeMethod(sim, [sim] { sim->restorePort(); }, Qt::BlockingQueuedConnection);
            a.events.clear();
            a.send({{"op", "read"}, {"count", 1}, {"id", "again"}});
            QCOMPARE(a.waitFor("end").value("end").toString(), QString("finished"));
            expected += handshake(dialect) + operationBytes(dialect, {{"op", "read"}, {"count", 1}}, {Act::Swipe}, {});
        }
        const Bytes got = h.writes();
        QVERIFY2(got == expected, qPrintable(QStringLiteral("service %1\nexpected %2").arg(hex(got), hex(expected))));
    }
};

QTEST_GUILESS_MAIN(ServeTest)
#include "tst_serve.moc"
