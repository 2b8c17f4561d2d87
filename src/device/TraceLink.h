#pragma once
// A link that writes every byte sent and received to a trace file, for support: one line per
// chunk with the milliseconds since the program started and the direction, flushed as written
// so the trace survives a crash.
#include "device/SerialLink.h"

#include <QElapsedTimer>
#include <QFile>
#include <memory>

class TraceFile {
public:
    // False when the file cannot be created; errorText() says why.
    bool open(const QString &path);
    QString errorText() const { return file_.errorString(); }
    // "   1234.5 > 1B 72" (sent), "<" received, "*" an event of the port.
    void line(char direction, const QByteArray &bytes, const QString &note = {});

private:
    QFile file_;
    QElapsedTimer clock_;
};

class TraceLink final : public SerialLink {
public:
    TraceLink(std::unique_ptr<SerialLink> inner, std::shared_ptr<TraceFile> trace);
    bool open(int port, const QString &settings) override;
    void close() override;
    bool isOpen() const override { return inner_->isOpen(); }
    bool write(const QByteArray &bytes) override;
    QByteArray takeAll() override;
    int pending() override;
    int descriptor() const override { return inner_->descriptor(); }
    qint64 droppedBytes() const override { return inner_->droppedBytes(); }
    PortError error() const override { return inner_->error(); }
    QString errorText() const override { return inner_->errorText(); }

private:
    void noteDropped();

    std::unique_ptr<SerialLink> inner_;
    qint64 droppedTraced_ = 0;
    std::shared_ptr<TraceFile> trace_;
};

// `inner`, with every link it makes traced.
LinkFactory tracedLinks(LinkFactory inner, std::shared_ptr<TraceFile> trace);
