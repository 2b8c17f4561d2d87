#pragma once
// The real serial port. Input is pulled in on every count or read, so a polling loop sees new
// bytes whether or not events were served; writes leave at once. A device that goes away
// (adapter unplugged) closes the link on the first read, write or resource error. At most
// kInputCap bytes wait to be taken: no reply is longer than a few hundred bytes, and a flooded
// line must not fill the memory while a message window is open; the oldest are kept.
#include "device/PortCatalog.h"
#include "device/SerialLink.h"

#include <QSerialPort>

class QtSerialLink final : public SerialLink {
public:
    static constexpr qint64 kInputCap = 64 * 1024;

    explicit QtSerialLink(PortCatalog ports = {});
    ~QtSerialLink() override;

    bool open(int port, const QString &settings) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    QByteArray takeAll() override;
    int pending() override;
    int descriptor() const override;
    qint64 droppedBytes() const override { return dropped_; }
    PortError error() const override { return error_; }
    QString errorText() const override { return errorText_; }

    // The device the last open named (empty when none).
    QString device() const { return device_; }

private:
    void pullIn();
    void dropExcess();
    void onError(QSerialPort::SerialPortError e);
    void vanish(const QString &why);
    void failOpen(PortError error, const QString &text);

    QSerialPort port_;
    PortCatalog ports_;
    QString device_;
    PortError error_ = PortError::None;
    QString errorText_;
    bool configuring_ = false;
    qint64 dropped_ = 0;
};

// Links to the system's serial ports.
LinkFactory qtSerialLinks(const PortCatalog &ports = {});
