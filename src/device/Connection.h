#pragma once
// What setup chose, handed down to every window and operation that talks to the encoder: the
// port and its line, the dialect, the coercivity, where links come from and the clock every wait
// goes through. A value: nothing of it is process-wide.
#include "device/DialectId.h"
#include "device/PortCatalog.h"
#include "device/SerialLink.h"

#include <QString>
#include <memory>

class Pacer;

struct Connection {
    int port = 1; // 1..12; which device it names is the link factory's business
    // The line as setup shows it.
    QString baud = QStringLiteral("9600");
    QString parity = QStringLiteral("None");
    QString dataBits = QStringLiteral("8");
    DialectId dialect = DialectId::Hkd382;
    bool highCoercivity = true;
    PortCatalog ports; // which device each port number names
    LinkFactory links;
    Pacer *pacer = nullptr; // not owned; outlives every Device made from this connection

    // "9600,n,8,1".
    QString settings() const { return lineSettings(baud, parity, dataBits); }
    Pacer &clock() const { return *pacer; }
    std::unique_ptr<SerialLink> makeLink() const { return links ? links(dialect) : nullptr; }

    // The settings string of setup's choices ("None"/"Even"/"Odd" parity).
    static QString lineSettings(const QString &baud, const QString &parity, const QString &dataBits)
    {
        QString letter = QStringLiteral("n,");
        if (parity == QLatin1String("Even"))
            letter = QStringLiteral("e,");
        else if (parity == QLatin1String("Odd"))
            letter = QStringLiteral("o,");
        return baud + QLatin1Char(',') + letter + dataBits + QStringLiteral(",1");
    }
};
