#include "ScriptedLink.h"

#include "device/Pacer.h"

void ScriptedEnd::reply(const QByteArray &bytes, double delay) { deliverAt(clock->now() + delay, bytes); }

QByteArray ScriptedEnd::writtenBytes() const
{
    QByteArray all;
    for (const auto &w : written)
        all += w.bytes;
    return all;
}

bool ScriptedLink::open(int port, const QString &settings)
{
    lastPort = port;
    lastSettings = settings;
    if (end_->failOpen || end_->vanished) {
        error_ = PortError::NoSuchDevice;
        return false;
    }
    ++end_->opens;
    error_ = PortError::None;
    open_ = true;
    return true;
}

bool ScriptedLink::checkVanished()
{
    if (open_ && end_->vanished) {
        open_ = false;
        error_ = PortError::Vanished;
    }
    return open_;
}

bool ScriptedLink::write(const QByteArray &bytes)
{
    if (!checkVanished())
        return false;
    end_->written.append({end_->clock->now(), bytes});
    if (end_->onWrite)
        end_->onWrite(bytes);
    return true;
}

QByteArray ScriptedLink::takeAll()
{
    if (!checkVanished())
        return {};
    QByteArray out;
    const double now = end_->clock->now();
    for (auto it = end_->queue.begin(); it != end_->queue.end();) {
        if (it->time <= now + 1e-9) {
            out += it->bytes;
            it = end_->queue.erase(it);
        } else {
            ++it;
        }
    }
    return out;
}

int ScriptedLink::pending()
{
    if (!checkVanished())
        return 0;
    int n = 0;
    const double now = end_->clock->now();
    for (const auto &d : end_->queue)
        if (d.time <= now + 1e-9)
            n += int(d.bytes.size());
    return n;
}

QString ScriptedLink::errorText() const
{
    switch (error_) {
    case PortError::None: return {};
    case PortError::Vanished: return QStringLiteral("The serial device was removed.");
    default: return QStringLiteral("No such serial device.");
    }
}
