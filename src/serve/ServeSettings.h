#pragma once
// What `vnt410 serve` is started with, and its limits (tests shorten the deadline).
#include "device/Connection.h"
#include "serve/EncoderWorker.h"

#include <QString>
#include <QStringList>

struct ServeSettings {
    quint16 port = 8410;          // 0: any free port (tests)
    QStringList allowedOrigins;   // exact scheme://host[:port]
    Connection line;              // setup's choices; links and pacer come from `rig`
    RigMaker rig;
    QString device;               // what GET /v1/encoder names as the device
    QString version = QStringLiteral("0");
    int headerDeadlineMs = 10000; // the whole request head within this
    int maxHeaderBytes = 16 * 1024;
    int maxConnections = 32;
    qint64 maxMessageBytes = 1024 * 1024;
    int maxWaiting = 16;          // jobs waiting behind the running one
    bool checkPeerUser = true;    // only the user who runs the service may connect
};

// The encoder's rig for the program: a real pacer, the system's ports or the built-in encoder
// with a simulated operator who swipes a second after each prompt, traced to `trace` if named.
RigMaker productionRig(const PortCatalog &ports, bool simulate, const QString &trace, bool traceCardData,
                       const QString &version);
