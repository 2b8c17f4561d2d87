#include "serve/Service.h"

#include "serve/EncoderWorker.h"
#include "serve/HttpGate.h"
#include "serve/JobMessage.h"

#include "device/DialectId.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QEventLoop>
#include <QFile>
#include <QFileDevice>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace {

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/serve/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString tag(const QJsonValue &id)
{
    if (id.isUndefined())
        return QStringLiteral("-");
    const QByteArray text = QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    return QString::fromUtf8(text.left(64));
}

// A client's word as it may stand in a log line.
QString printable(const QString &word)
{
    QString out;
    for (QChar c : word.left(16))
        out += c.isPrint() && !c.isSpace() ? c : QChar(u'?');
    return out.isEmpty() ? QStringLiteral("-") : out;
}

} // namespace

Service::Service(const ServeSettings &settings, QObject *parent) : QObject(parent), settings_(settings)
{
    gate_ = std::make_unique<HttpGate>(settings_);
    gate_->answer = [this](const QByteArray &path) { return answer(path); };
    sockets_ = std::make_unique<QWebSocketServer>(QStringLiteral("vnt410"), QWebSocketServer::NonSecureMode);
    sockets_->setHandshakeTimeout(std::chrono::milliseconds(settings_.headerDeadlineMs));
    gate_->upgrade = [this](QTcpSocket *socket) { sockets_->handleConnection(socket); };
    connect(sockets_.get(), &QWebSocketServer::newConnection, this, &Service::welcome);

    worker_ = std::make_unique<EncoderWorker>(settings_.line, settings_.rig);
    connect(worker_.get(), &EncoderWorker::tested, this, [this](bool ready, const QString &reason) {
        testing_ = false;
        ready_ = ready;
        reason_ = reason;
        emit tested(ready);
    });
    connect(worker_.get(), &EncoderWorker::started, this, [this](quint64 job) {
        if (running_ && running_->number == job)
            send(running_->socket, running_->id, {{"event", "started"}});
    });
    connect(worker_.get(), &EncoderWorker::prompt, this, [this](quint64 job, qint64 card, const QString &phase) {
        if (running_ && running_->number == job)
            send(running_->socket, running_->id, {{"event", "prompt"}, {"card", card}, {"phase", phase}});
    });
    connect(worker_.get(), &EncoderWorker::card, this,
            [this](quint64 job, qint64 card, const QString &result, const QStringList &tracks, qint64 record) {
                if (!running_ || running_->number != job)
                    return;
                QJsonObject event{{"event", "card"}, {"card", card}, {"result", result}};
                if (!tracks.isEmpty())
                    event.insert("tracks", QJsonArray::fromStringList(tracks));
                if (record > 0)
                    event.insert("record", record);
                send(running_->socket, running_->id, event);
            });
    connect(worker_.get(), &EncoderWorker::ended, this,
            [this](quint64 job, const QString &how, qint64 ok, qint64 skipped, qint64 failed, const QString &message) {
                if (!running_ || running_->number != job)
                    return;
                const Pending done = *running_;
                running_.reset();
                end(done, how, message, ok, skipped, failed);
                if (stopping_)
                    closeAll();
                else
                    startNext();
            });
}

Service::~Service()
{
    // Each with its TCP socket, before the door they came by; their last signals go nowhere.
    for (QWebSocket *socket : findChildren<QWebSocket *>()) {
        socket->disconnect(this);
        delete socket;
    }
    sockets_.reset();
    gate_.reset();
    worker_.reset();
}

bool Service::start(QString *error)
{
    if (!gate_->listen(error))
        return false;
    worker_->start();
    return true;
}

quint16 Service::port() const { return gate_->port(); }

int Service::connections() const { return gate_->connections(); }

QJsonObject Service::encoderState() const
{
    QJsonObject state{{"version", settings_.version},
                      {"dialect", dialectName(settings_.line.dialect).toLower()},
                      {"device", settings_.device},
                      {"encoder", testing_ || running_ ? "busy" : ready_ ? "ready" : "offline"},
                      {"queued", waiting_.size()}};
    if (!testing_ && !running_ && !ready_)
        state.insert("reason", reason_);
    return state;
}

HttpReply Service::answer(const QByteArray &path) const
{
    if (path == "/v1/encoder")
        return {200, "application/json", QJsonDocument(encoderState()).toJson(QJsonDocument::Compact), {}};
    if (path == "/vnt410.js")
        return {200, "text/javascript; charset=utf-8", resource(QStringLiteral("vnt410.js")), {}};
    if (path == "/")
        // The page's own script only, never framed by another page.
        return {200, "text/html; charset=utf-8", resource(QStringLiteral("index.html")),
                {"Content-Security-Policy: default-src 'self'; script-src 'self' 'unsafe-inline'; style-src "
                 "'unsafe-inline'; connect-src 'self' ws:; frame-ancestors 'none'"}};
    return {};
}

void Service::welcome()
{
    while (QWebSocket *socket = sockets_->nextPendingConnection()) {
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(quint64(settings_.maxMessageBytes));
        socket->setMaxAllowedIncomingFrameSize(quint64(settings_.maxMessageBytes));
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { received(socket, text.toUtf8()); });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, socket](const QByteArray &) { received(socket, QByteArray()); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { gone(socket); });
        if (stopping_)
            socket->close(QWebSocketProtocol::CloseCodeGoingAway);
    }
}

void Service::send(QWebSocket *socket, const QJsonValue &id, QJsonObject event)
{
    if (!socket)
        return;
    if (!id.isUndefined())
        event.insert("id", id);
    socket->sendTextMessage(QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)));
}

void Service::end(const Pending &job, const QString &how, const QString &message, qint64 ok, qint64 skipped, qint64 failed)
{
    QJsonObject event{{"event", "end"}, {"end", how}, {"ok", ok}, {"skipped", skipped}, {"failed", failed}};
    if (!message.isEmpty())
        event.insert("message", message);
    send(job.socket, job.id, event);
    if (job.socket && busy_.value(job.socket) == job.number)
        busy_.remove(job.socket);
    if (log)
        log(QStringLiteral("vnt410 serve: job %1 %2 %3: %4, ok %5, skipped %6, failed %7")
                .arg(job.number)
                .arg(tag(job.id), printable(job.op), how)
                .arg(ok)
                .arg(skipped)
                .arg(failed));
}

void Service::received(QWebSocket *socket, const QByteArray &text)
{
    ClientMessage m = parseClientMessage(text, settings_.line.dialect);
    const quint64 mine = busy_.value(socket);
    if (m.kind == ClientMessage::Kind::Cancel || m.kind == ClientMessage::Kind::Skip) {
        if (mine == 0)
            return;
        if (running_ && running_->number == mine) {
            if (m.kind == ClientMessage::Kind::Cancel)
                worker_->cancel(mine);
            else
                worker_->skip(mine);
            return;
        }
        if (m.kind == ClientMessage::Kind::Skip)
            return;
        for (qsizetype i = 0; i < waiting_.size(); ++i)
            if (waiting_[i].number == mine)
                return end(waiting_.takeAt(i), QStringLiteral("cancelled"), QString());
        return;
    }
    Pending job{++jobs_, socket, m.id, m.op, m.job};
    if (m.kind == ClientMessage::Kind::Invalid)
        return end(job, QStringLiteral("invalid"), m.problem);
    if (mine != 0)
        return end(job, QStringLiteral("invalid"), QStringLiteral("This connection has a job already: one job at a time."));
    if (stopping_)
        return end(job, QStringLiteral("refused"), QStringLiteral("The service is stopping."));
    if (waiting_.size() >= settings_.maxWaiting)
        return end(job, QStringLiteral("refused"),
                   QStringLiteral("The encoder is busy: %1 jobs are waiting. Try again later.").arg(waiting_.size()));
    busy_.insert(socket, job.number);
    waiting_.append(job);
    if (running_)
        send(socket, job.id, {{"event", "queued"}, {"position", waiting_.size()}});
    startNext();
}

void Service::gone(QWebSocket *socket)
{
    // Closing the socket cancels its job: the running one with its closing sequence.
    if (const quint64 mine = busy_.take(socket)) {
        if (running_ && running_->number == mine)
            worker_->cancel(mine);
        for (qsizetype i = 0; i < waiting_.size(); ++i)
            if (waiting_[i].number == mine)
                end(waiting_.takeAt(i), QStringLiteral("cancelled"), QString());
    }
    socket->deleteLater();
}

void Service::startNext()
{
    if (running_ || waiting_.isEmpty())
        return;
    running_ = waiting_.takeFirst();
    worker_->run(running_->number, running_->job);
}

void Service::stop(int signal)
{
    if (stopping_)
        return;
    stopping_ = signal;
    gate_->close();
    while (!waiting_.isEmpty())
        end(waiting_.takeFirst(), QStringLiteral("cancelled"), QStringLiteral("The service is stopping."));
    if (running_)
        worker_->cancel(running_->number);
    else
        closeAll();
}

void Service::closeAll()
{
    // The clients' close handshakes end it, or a second at most.
    auto finish = [this] {
        if (!finished_) {
            finished_ = true;
            emit finished(128 + stopping_);
        }
    };
    const QList<QWebSocket *> open = findChildren<QWebSocket *>();
    for (QWebSocket *socket : open) {
        connect(socket, &QObject::destroyed, this, [this, finish] {
            if (findChildren<QWebSocket *>().isEmpty())
                finish();
        }, Qt::QueuedConnection);
        socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("The service is stopping."));
    }
    if (open.isEmpty())
        QTimer::singleShot(0, this, finish);
    else
        QTimer::singleShot(1000, this, finish);
}
