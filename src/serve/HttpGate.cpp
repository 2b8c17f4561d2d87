#include "serve/HttpGate.h"

#include "serve/PeerUser.h"

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 421:
        return "Misdirected Request";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    }
    return "Error";
}

struct Head {
    QByteArray method, path, version;
    QHash<QByteArray, QByteArray> fields; // names in lower case
    bool duplicateHost = false;
    QByteArray field(const char *name) const { return fields.value(name); }
};

std::optional<Head> parseHead(const QByteArray &bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    if (first.size() != 3 || !first[2].startsWith("HTTP/1."))
        return std::nullopt;
    Head head{first[0], first[1], first[2], {}, false};
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return std::nullopt;
        const QByteArray name = line.left(colon).trimmed().toLower();
        if (name == "host" && head.fields.contains(name))
            head.duplicateHost = true;
        head.fields.insert(name, line.mid(colon + 1).trimmed());
    }
    return head;
}

} // namespace

HttpGate::HttpGate(const ServeSettings &settings, QObject *parent) : QObject(parent), settings_(settings) {}

HttpGate::~HttpGate() = default;

bool HttpGate::listen(QString *error)
{
    // With port 0 the first address picks a free port and the second takes the same.
    for (int attempt = 0; attempt < 8; ++attempt) {
        servers_.clear();
        quint16 port = settings_.port;
        bool ok = true;
        for (const QHostAddress &address : {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
            auto server = std::make_unique<QTcpServer>();
            server->setMaxPendingConnections(settings_.maxConnections);
            if (!server->listen(address, port)) {
                // A machine without IPv6 is served on 127.0.0.1 alone.
                if (address.protocol() == QAbstractSocket::IPv6Protocol
                    && server->serverError() != QAbstractSocket::AddressInUseError)
                    continue;
                ok = false;
                if (error)
                    *error = QStringLiteral("%1 port %2: %3").arg(address.toString()).arg(port).arg(server->errorString());
                break;
            }
            port = server->serverPort();
            QTcpServer *raw = server.get();
            connect(raw, &QTcpServer::newConnection, this, [this, raw] { accept(raw); });
            servers_.push_back(std::move(server));
        }
        if (ok) {
            port_ = port;
            return true;
        }
        if (settings_.port != 0)
            return false;
    }
    return false;
}

void HttpGate::close()
{
    for (auto &server : servers_)
        server->close();
}

void HttpGate::accept(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        socket->setParent(this); // not the listener's: it may go first
#ifdef Q_OS_LINUX
        // Another local user's connection is closed before a byte of it is read.
        if (settings_.checkPeerUser) {
            const auto uid = loopbackPeerUid(socket->localAddress(), socket->localPort(), socket->peerAddress(),
                                             socket->peerPort());
            if (!uid || *uid != ::getuid()) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
        }
#endif
        if (sockets_.size() >= settings_.maxConnections) {
            reply(socket, 503);
            continue;
        }
        sockets_.insert(socket);
        connect(socket, &QObject::destroyed, this, [this, socket] { sockets_.remove(socket); });
        socket->setReadBufferSize(settings_.maxHeaderBytes + 1);
        auto *deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, [this, socket] { reply(socket, 408); });
        deadline->start(settings_.headerDeadlineMs);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        readHead(socket);
    }
}

bool HttpGate::ownOrigin(const QByteArray &origin) const
{
    const QByteArray port = QByteArray::number(port_);
    return origin == "http://127.0.0.1:" + port || origin == "http://localhost:" + port || origin == "http://[::1]:" + port;
}

void HttpGate::readHead(QTcpSocket *socket)
{
    // Peeked, not read: an upgrade goes on with every byte still there.
    const QByteArray seen = socket->peek(settings_.maxHeaderBytes + 1);
    const qsizetype end = seen.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > settings_.maxHeaderBytes) {
        if (seen.size() > settings_.maxHeaderBytes || end >= 0)
            reply(socket, 431);
        return;
    }
    const std::optional<Head> head = parseHead(seen.left(end));
    if (!head || head->duplicateHost)
        return reply(socket, 400);
    // The service's own name only: a page on a rebound domain name gets nothing.
    const QByteArray host = head->field("host").toLower();
    const QByteArray port = QByteArray::number(port_);
    if (host != "127.0.0.1:" + port && host != "localhost:" + port && host != "[::1]:" + port)
        return reply(socket, 421);
    const QByteArray origin = head->field("origin");
    const bool hasOrigin = head->fields.contains("origin");
    const bool allowed = hasOrigin && (ownOrigin(origin) || settings_.allowedOrigins.contains(QString::fromLatin1(origin)));
    if (hasOrigin && !allowed)
        return reply(socket, 403);
    // Without an Origin: a program, or a page's no-cors request (an image, a navigation) from elsewhere.
    const QByteArray site = head->field("sec-fetch-site");
    if (!hasOrigin && (site == "cross-site" || site == "same-site"))
        return reply(socket, 403);

    QList<QByteArray> cors;
    if (hasOrigin)
        cors << "Access-Control-Allow-Origin: " + origin;
    cors << "Vary: Origin";
    const QByteArray path = head->path.left(head->path.indexOf('?') < 0 ? head->path.size() : head->path.indexOf('?'));
    if (head->method == "OPTIONS") {
        cors << "Access-Control-Allow-Methods: GET" << "Access-Control-Max-Age: 600";
        if (head->fields.contains("access-control-request-headers"))
            cors << "Access-Control-Allow-Headers: " + head->field("access-control-request-headers");
        if (head->field("access-control-request-private-network") == "true")
            cors << "Access-Control-Allow-Private-Network: true";
        return reply(socket, 204, cors);
    }
    if (head->method != "GET" && head->method != "HEAD")
        return reply(socket, 405, cors + QList<QByteArray>{"Allow: GET, HEAD, OPTIONS"});
    if (head->field("upgrade").toLower() == "websocket") {
        if (path != "/v1/jobs" || !upgrade)
            return reply(socket, 404, cors);
        delete socket->findChild<QTimer *>();
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->setReadBufferSize(0);
        upgrade(socket);
        return;
    }
    const HttpReply answered = answer ? answer(path) : HttpReply{};
    reply(socket, answered.status, cors + answered.headers, answered.type, head->method == "HEAD" ? QByteArray() : answered.body);
}

void HttpGate::reply(QTcpSocket *socket, int status, const QList<QByteArray> &headers, const QByteArray &type,
                     const QByteArray &body)
{
    socket->readAll(); // nothing unread when it closes, so the answer is not cut off by a reset
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    for (const QByteArray &h : headers)
        out += h + "\r\n";
    if (!type.isEmpty())
        out += "Content-Type: " + type + "\r\n";
    if (status != 204)
        out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n" + body;
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    delete socket->findChild<QTimer *>();
    socket->write(out);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    else
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater, Qt::UniqueConnection);
}
