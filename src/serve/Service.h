#pragma once
// `vnt410 serve`: the page, the script and the encoder's state over HTTP, jobs over WebSocket,
// queued across all clients first come, first served, one at a time on the encoder's worker.
#include "serve/HttpGate.h"
#include "serve/ServeSettings.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class EncoderWorker;
class HttpGate;
class QIODevice;
class QWebSocket;
class QWebSocketServer;

class Service : public QObject {
    Q_OBJECT
public:
    explicit Service(const ServeSettings &settings, QObject *parent = nullptr);
    ~Service() override;

    // Listens and starts the encoder's worker (which tests the encoder); false with the reason.
    bool start(QString *error);
    quint16 port() const;
    int connections() const;
    // SIGINT or SIGTERM: the running job cancelled (its closing sequence), the waiting ones
    // ended, the clients closed; then finished(128 + signal).
    void stop(int signal);
    // GET /v1/encoder.
    QJsonObject encoderState() const;
    // One line per job for the operator (never card data).
    std::function<void(const QString &line)> log;

signals:
    void tested(bool ready);
    void finished(int status);

private:
    struct Pending {
        quint64 number = 0;
        QPointer<QWebSocket> socket;
        QJsonValue id;
        QString op;
        Job job;
    };
    void welcome();
    void received(QWebSocket *socket, const QByteArray &text);
    void gone(QWebSocket *socket);
    void startNext();
    void send(QWebSocket *socket, const QJsonValue &id, QJsonObject event);
    void end(const Pending &job, const QString &how, const QString &message, qint64 ok = 0, qint64 skipped = 0,
             qint64 failed = 0);
    void closeAll();
    HttpReply answer(const QByteArray &path) const;

    ServeSettings settings_;
    std::unique_ptr<HttpGate> gate_;
    std::unique_ptr<QWebSocketServer> sockets_;
    std::unique_ptr<EncoderWorker> worker_;
    QList<Pending> waiting_;
    std::optional<Pending> running_;
    QHash<QWebSocket *, quint64> busy_; // a client's job, running or waiting
    quint64 jobs_ = 0;
    bool testing_ = true;
    bool ready_ = false;
    QString reason_;
    int stopping_ = 0; // the signal
    bool finished_ = false;
};

// The service until SIGINT or SIGTERM (`watch` hands over the function that stops it): the exit
// status. Errors and the job lines go to `err`.
int runServe(const ServeSettings &settings, QIODevice *err, const std::function<void(std::function<void(int)>)> &watch);
