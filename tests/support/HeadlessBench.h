#pragma once
// A simulated encoder on a virtual clock and a connection to it, for suites that run whole
// operations without any window.
#include "Dialects.h"
#include "device/Pacer.h"
#include "operation/Session.h"
#include "sim/Simulator.h"

#include <QByteArray>
#include <QList>

using Bytes = QList<QByteArray>;

inline QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

inline const QByteArray kAtt = hex("7F"), kReset = hex("1B 61"), kSwipe = hex("1B 84"), kRead = hex("1B 72"),
                 kOff = hex("1B 81"), kIdle = hex("1B 83"), kCodes = hex("1B 5A 3D 16 3D"),
                 kBpi = hex("1B 6A D2 4B D2");
inline const QByteArray kWriteB123 = hex("1B 77 1B 73 1B 01 42 31 32 33 1B 02 1B 03 3F 1C");
inline const QByteArray kVntB123 = QByteArray("B123") + char(4);

// The encoder, its clock and a connection to it.
struct Bench {
    explicit Bench(DialectId dialect)
    {
        connection.dialect = dialect;
        connection.links = sim.links();
        connection.pacer = &vp;
    }
    Bytes writes() const
    {
        Bytes out;
        for (const auto &r : sim.received())
            out << r.bytes;
        return out;
    }
    QList<double> writeTimes() const
    {
        QList<double> out;
        for (const auto &r : sim.received())
            out << r.time;
        return out;
    }
    // The operator's Cancel at t, as a window's Cancel button: the flag, then the closing.
    void cancelAt(double t, Session &op)
    {
        vp.atEvent(t, [&op] {
            op.cancel();
            op.close();
        });
    }
    VirtualPacer vp;
    Simulator sim{vp};
    Connection connection;
};
