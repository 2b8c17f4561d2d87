#pragma once
// The service's door: TCP on 127.0.0.1 and ::1, the user check before a byte is read, the
// connection and header limits, the Host and Origin rules, CORS and preflight answers. A
// checked GET goes to `answer`; a checked upgrade to /v1/jobs to `upgrade`, its bytes unread.
#include "serve/ServeSettings.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;

struct HttpReply {
    int status = 404;
    QByteArray type;
    QByteArray body;
    QList<QByteArray> headers; // more header lines
};

class HttpGate : public QObject {
    Q_OBJECT
public:
    explicit HttpGate(const ServeSettings &settings, QObject *parent = nullptr);
    ~HttpGate() override;

    // Listens on both loopback addresses; false with the reason when it cannot.
    bool listen(QString *error);
    quint16 port() const { return port_; }
    void close();
    // Open connections (HTTP and WebSocket).
    int connections() const { return int(sockets_.size()); }

    std::function<HttpReply(const QByteArray &path)> answer;
    std::function<void(QTcpSocket *)> upgrade;

private:
    void accept(QTcpServer *server);
    void readHead(QTcpSocket *socket);
    void reply(QTcpSocket *socket, int status, const QList<QByteArray> &headers = {}, const QByteArray &type = {},
               const QByteArray &body = {});
    bool ownOrigin(const QByteArray &origin) const;

    ServeSettings settings_;
    std::vector<std::unique_ptr<QTcpServer>> servers_;
    QSet<QObject *> sockets_;
    quint16 port_ = 0;
};
