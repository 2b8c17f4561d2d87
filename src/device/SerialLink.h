#pragma once
// The one path every byte to and from the encoder takes.
#include "device/DialectId.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

enum class PortError { None, NoSuchDevice, PermissionDenied, Busy, Vanished, Other };

class SerialLink {
public:
    virtual ~SerialLink() = default;

    // Opens port number `port` with a settings string such as "9600,n,8,1".
    virtual bool open(int port, const QString &settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The bytes leave now (no event loop needed). False when the port failed.
    virtual bool write(const QByteArray &bytes) = 0;
    // Everything received so far, removed from the input.
    virtual QByteArray takeAll() = 0;
    // What has been received, whether or not events were served.
    virtual int pending() = 0;
    // A descriptor that polls readable when input arrives, so a wait can sleep until then;
    // -1 when there is none (the simulator), and then waits look every few milliseconds.
    virtual int descriptor() const { return -1; }
    // Received bytes thrown away because too much input was waiting to be taken.
    virtual qint64 droppedBytes() const { return 0; }

    // Why the last open failed or the port went away; None while all is well.
    virtual PortError error() const = 0;
    virtual QString errorText() const = 0;
};

// Makes a link for a program speaking `dialect` (the simulator answers in it; a real port ignores it).
using LinkFactory = std::function<std::unique_ptr<SerialLink>(DialectId dialect)>;

// A settings string split into its parts; ok is false for a malformed string.
struct LineSettings {
    int baud = 9600;
    char parity = 'n';
    int dataBits = 8;
    int stopBits = 1;
    bool ok = false;
};
LineSettings parseLineSettings(const QString &settings);
