// The service's answer times and its idle cost:
// - in-process, the encoder's worker on real time with the simulator (no one swipes, so a read
//   job waits for a swipe): GET /v1/encoder and new WebSocket connections while the job waits
//   (target: 99th percentile within 20 ms), and a job's first byte at the encoder after its
//   message on a ready encoder (target: within 20 ms);
// - the program `vnt410 --simulate serve`: wakeups a second while idle (target: at most 1) and
//   resident memory idle and after a few jobs (target: under 20 MB).
//
//   bench_serve [requests]
#include "device/Pacer.h"
#include "serve/Service.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QDir>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

std::atomic<qint64> firstWrite{0}; // steady clock ns of the first write after the mark

// The simulator's link, its first write stamped.
class StampedLink : public SerialLink {
public:
    explicit StampedLink(std::unique_ptr<SerialLink> inner) : inner_(std::move(inner)) {}
    bool open(int port, const QString &settings) override { return inner_->open(port, settings); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    bool write(const QByteArray &bytes) override
    {
        qint64 none = 0;
        firstWrite.compare_exchange_strong(none, Clock::now().time_since_epoch().count());
        return inner_->write(bytes);
    }
    QByteArray takeAll() override { return inner_->takeAll(); }
    int pending() override { return inner_->pending(); }
    int descriptor() const override { return inner_->descriptor(); }
    PortError error() const override { return inner_->error(); }
    QString errorText() const override { return inner_->errorText(); }

private:
    std::unique_ptr<SerialLink> inner_;
};

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until `end` has arrived (or the peer closed); everything read.
QByteArray readUntil(int fd, const QByteArray &end)
{
    QByteArray got;
    char buf[4096];
    while (!got.contains(end)) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    return got;
}

QByteArray get(quint16 port, const QByteArray &path)
{
    const int fd = connectTo(port);
    const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n";
    (void)!::write(fd, request.constData(), size_t(request.size()));
    const QByteArray answer = readUntil(fd, "\x01\x02\x03"); // to the close
    ::close(fd);
    return answer;
}

int wsOpen(quint16 port)
{
    const int fd = connectTo(port);
    const QByteArray request = "GET /v1/jobs HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
                               + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
                                 "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    (void)!::write(fd, request.constData(), size_t(request.size()));
    readUntil(fd, "\r\n\r\n");
    return fd;
}

// A masked text frame (mask 0: the payload as it stands).
void wsSend(int fd, const QByteArray &text)
{
    QByteArray frame("\x81", 1);
    frame += char(0x80 | text.size());
    frame += QByteArray(4, '\0') + text;
    (void)!::write(fd, frame.constData(), size_t(frame.size()));
}

// Text frames until one holds `word`.
void wsAwait(int fd, const QByteArray &word) { readUntil(fd, word); }

struct Figures {
    QList<double> values;
    void add(double v) { values << v; }
    QString text() const
    {
        QList<double> v = values;
        std::sort(v.begin(), v.end());
        auto at = [&](double q) { return v.isEmpty() ? 0.0 : v.at(std::min(v.size() - 1, qsizetype(q * double(v.size())))); };
        return QString::asprintf("median %.2f ms, 99th %.2f ms, worst %.2f ms (%d)", at(0.5), at(0.99), v.isEmpty() ? 0 : v.last(),
                                 int(v.size()));
    }
};

// Voluntary and involuntary context switches of every thread of `pid`: its wakeups.
qint64 switches(pid_t pid)
{
    qint64 total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task) + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches") || line.startsWith("nonvoluntary_ctxt_switches"))
                total += line.split(':').value(1).trimmed().toLongLong();
    }
    return total;
}

double residentMb(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

void program(int requests)
{
    const quint16 port = freePort();
    const QByteArray portText = QByteArray::number(port);
    QList<QByteArray> args{VNT410_PROGRAM, "--simulate", "serve", "--listen", portText};
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 200 && !get(port, "/v1/encoder").contains("\"ready\""); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const qint64 before = switches(pid);
    const int seconds = 10;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wakeups = double(switches(pid) - before) / seconds;
    const double idleMb = residentMb(pid);
    const int fd = wsOpen(port);
    for (int i = 0; i < 3; ++i) {
        wsSend(fd, R"({"op":"read","count":1})");
        wsAwait(fd, "\"end\"");
    }
    for (int i = 0; i < requests / 10; ++i)
        get(port, "/");
    ::close(fd);
    const double busyMb = residentMb(pid);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::printf("vnt410 --simulate serve: %.2f wakeups a second idle (target: at most 1), resident %.1f MB idle, "
                "%.1f MB after 3 jobs and %d page loads (target: under 20 MB); exit %d after SIGTERM\n",
                wakeups, idleMb, busyMb, requests / 10, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;

    ServeSettings settings;
    settings.port = 0;
    settings.rig = [] {
        EncoderRig rig;
        rig.pacer = std::make_unique<RealPacer>();
        auto sim = std::make_shared<Simulator>(*rig.pacer);
        rig.links = [sim](DialectId d) { return std::make_unique<StampedLink>(sim->links()(d)); };
        rig.keep = sim;
        return rig;
    };
    Service service(settings);
    QString error;
    QEventLoop ready;
    QObject::connect(&service, &Service::tested, &ready, &QEventLoop::quit);
    if (!service.start(&error)) {
        std::printf("cannot listen: %s\n", qPrintable(error));
        return 1;
    }
    ready.exec();
    const quint16 port = service.port();

    QEventLoop loop;
    Figures firstByte, answers, upgrades;
    std::thread client([&] {
        const int fd = wsOpen(port);
        for (int i = 0; i < 30; ++i) {
            firstWrite = 0;
            const auto sent = Clock::now();
            wsSend(fd, R"({"op":"read"})");
            while (firstWrite == 0)
                std::this_thread::yield();
            firstByte.add(double(firstWrite - sent.time_since_epoch().count()) / 1e6);
            wsAwait(fd, "\"prompt\"");
            if (i + 1 < 30) {
                wsSend(fd, R"({"cancel":true})");
                wsAwait(fd, "\"end\"");
            }
        }
        // The last job waits for a swipe all along.
        for (int i = 0; i < requests; ++i) {
            const auto t = Clock::now();
            get(port, "/v1/encoder");
            answers.add(msSince(t));
        }
        for (int i = 0; i < requests / 5; ++i) {
            const auto t = Clock::now();
            const int ws = wsOpen(port);
            upgrades.add(msSince(t));
            ::close(ws);
        }
        ::close(fd);
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    client.join();
    std::printf("first byte at the encoder after a job's message: %s (target: within 20 ms)\n", qPrintable(firstByte.text()));
    std::printf("GET /v1/encoder while a job waits for a swipe: %s (target: 99th within 20 ms)\n", qPrintable(answers.text()));
    std::printf("new WebSocket connection while a job waits: %s (target: 99th within 20 ms)\n", qPrintable(upgrades.text()));
    program(requests);
    return 0;
}
