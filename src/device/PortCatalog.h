#pragma once
// Which device a port number (1..12) names. An explicit override (--port N=DEVICE) wins; on
// Windows N is COMN; elsewhere N is the N-th serial device the system lists, USB adapters
// first, then built-in ports. In simulated mode every number names the built-in encoder.
#include <QList>
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
    static bool setOverride(int n, const QString &device);
    static void clearOverrides();
    static void setSimulated(bool simulated);
    static bool simulated();

    // The device port number n names; empty when none.
    static QString deviceFor(int n);
    // A short text for the operator, e.g. "/dev/ttyUSB0 (FT232R USB UART)".
    static QString describe(int n);

    // The listed devices in numbering order.
    static QList<Entry> listed();
    // USB adapters first, then the rest, each group in natural name order (ttyS2 before ttyS10).
    static QList<Entry> ordered(QList<Entry> entries);

    // Replaces the system's device listing (tests); an empty function restores it.
    static void setLister(std::function<QList<Entry>()> lister);

    static inline const QString kSimulatedDevice = QStringLiteral("simulated");
};
