#pragma once
// Which device a port number (1..12) names. An explicit override (--port N=DEVICE) wins; on
// Windows N is COMN; elsewhere N is the N-th serial device the system lists, USB adapters
// first, then built-in ports. In simulated mode every number names the built-in encoder.
// A value: each connection's links hold their own.
#include <QList>
#include <QMap>
#include <QString>
#include <functional>

class PortCatalog {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 12;

    // One serial device as the system lists it.
    struct Entry {
        QString device;       // what to open, e.g. "/dev/ttyUSB0" or "COM3"
        QString description;  // e.g. "FT232R USB UART"; may be empty
        bool usb = false;     // a USB adapter (listed before built-in ports)
    };

    // False for a number outside 1..12 or an empty device.
    bool setOverride(int n, const QString &device);
    void setSimulated(bool simulated) { simulated_ = simulated; }
    bool simulated() const { return simulated_; }

    // The device port number n names; empty when none.
    QString deviceFor(int n) const;
    // A short text for the operator, e.g. "/dev/ttyUSB0 (FT232R USB UART)".
    QString describe(int n) const;

    // The listed devices in numbering order.
    QList<Entry> listed() const;
    // USB adapters first, then the rest, each group in natural name order (ttyS2 before ttyS10).
    static QList<Entry> ordered(QList<Entry> entries);

    // Replaces the system's device listing (tests); an empty function restores it.
    void setLister(std::function<QList<Entry>()> lister) { lister_ = std::move(lister); }

    static inline const QString kSimulatedDevice = QStringLiteral("simulated");

private:
    QMap<int, QString> overrides_;
    bool simulated_ = false;
    std::function<QList<Entry>()> lister_;
};
