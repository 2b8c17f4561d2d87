#pragma once
// A link whose far end is a script: bytes to deliver at given (virtual) times, and answers
// to given writes. Records every write with its time. For tests of the exchange primitives.
#include "device/Pacer.h"
#include "device/SerialLink.h"

#include <QList>
#include <functional>
#include <memory>

struct ScriptedEnd {
    struct Written { double time; QByteArray bytes; };
    struct Delivery { double time; QByteArray bytes; };

    Pacer *clock = nullptr; // the times of writes and deliveries
    QList<Written> written;
    QList<Delivery> queue;
    // Called for each write; may queue replies with reply().
    std::function<void(const QByteArray &)> onWrite;
    bool failOpen = false;
    bool vanished = false;
    int opens = 0;

    void deliverAt(double t, const QByteArray &bytes) { queue.append({t, bytes}); }
    void reply(const QByteArray &bytes, double delay = 0.0);
    QByteArray writtenBytes() const;
};

class ScriptedLink : public SerialLink {
public:
    explicit ScriptedLink(std::shared_ptr<ScriptedEnd> end) : end_(std::move(end)) {}
    bool open(int port, const QString &settings) override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool write(const QByteArray &bytes) override;
    QByteArray takeAll() override;
    int pending() override;
    PortError error() const override { return error_; }
    QString errorText() const override;

    int lastPort = 0;
    QString lastSettings;

private:
    bool checkVanished();
    std::shared_ptr<ScriptedEnd> end_;
    bool open_ = false;
    PortError error_ = PortError::None;
};
