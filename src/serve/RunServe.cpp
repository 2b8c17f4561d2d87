// The service as a program: the encoder's rig (the port, or the built-in encoder with its
// simulated operator; the trace), the start-up lines, and the run until a signal.
#include "serve/Service.h"

#include "device/Pacer.h"
#include "device/QtSerialLink.h"
#include "device/TraceLink.h"
#include "dialect/Dialect.h"
#include "sim/SimulatedOperator.h"

#include <QEventLoop>
#include <QFileDevice>
#include <QIODevice>
#include <QTimer>

namespace {

struct SimulatedRig {
    std::unique_ptr<Simulator> sim;
    QObject timers; // the simulated operator's swipes end with the rig
    std::unique_ptr<SimulatedOperator> op;
};

void print(QIODevice *err, const QString &line)
{
    if (!err)
        return;
    err->write((line + QLatin1Char('\n')).toUtf8());
    if (auto *file = qobject_cast<QFileDevice *>(err))
        file->flush();
}

} // namespace

// A rig of the system's ports, or of the built-in encoder; traced to `trace` if named.
RigMaker productionRig(const PortCatalog &ports, bool simulate, const QString &trace, bool traceCardData,
                       const QString &version)
{
    return [=]() {
        EncoderRig rig;
        rig.pacer = std::make_unique<RealPacer>();
        if (simulate) {
            auto kept = std::make_shared<SimulatedRig>();
            kept->sim = std::make_unique<Simulator>(*rig.pacer);
            kept->op = std::make_unique<SimulatedOperator>(*kept->sim, [t = &kept->timers](double s, std::function<void()> a) {
                QTimer::singleShot(int(s * 1000), t, std::move(a));
            });
            rig.links = kept->sim->links();
            rig.promptChanged = [op = kept->op.get()](bool shown) { op->promptChanged(shown); };
            rig.keep = kept;
        } else {
            rig.links = qtSerialLinks(ports);
        }
        if (!trace.isEmpty()) {
            auto file = std::make_shared<TraceFile>(*rig.pacer, traceCardData ? TraceCardData::Shown : TraceCardData::Hidden);
            if (file->open(trace, QStringLiteral("vnt410 ") + version))
                rig.links = tracedLinks(rig.links, file, [](DialectId d) { return dialectFor(d).cardDataMasker(); });
        }
        return rig;
    };
}

int runServe(const ServeSettings &settings, QIODevice *err, const std::function<void(std::function<void(int)>)> &watch)
{
    Service service(settings);
    service.log = [err](const QString &line) { print(err, line); };
    QString error;
    if (!service.start(&error)) {
        print(err, QStringLiteral("vnt410: cannot listen: ") + error);
        return 1;
    }
    const QString port = QString::number(service.port());
    print(err, QStringLiteral("vnt410 serve: http://127.0.0.1:%1/ and http://[::1]:%1/").arg(port));
    QObject::connect(&service, &Service::tested, &service, [&service, err](bool ready) {
        const QJsonObject state = service.encoderState();
        print(err, ready ? QStringLiteral("vnt410 serve: encoder ready")
                         : QStringLiteral("vnt410 serve: encoder offline: ") + state.value("reason").toString());
    }, Qt::SingleShotConnection);
    QEventLoop loop;
    int status = 0;
    QObject::connect(&service, &Service::finished, &loop, [&](int s) {
        status = s;
        loop.quit();
    });
    if (watch)
        watch([&service](int signal) { service.stop(signal); });
    loop.exec();
    return status;
}
