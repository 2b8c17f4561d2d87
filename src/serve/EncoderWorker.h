#pragma once
// The service's one use of the engine: runs jobs one at a time on a thread of its own, with that
// thread's pacer, links and simulator, so the network is answered while the encoder waits. Jobs,
// cancel and skip may come from any thread; the events leave as queued signals.
#include "device/Connection.h"
#include "operation/Job.h"

#include <QObject>
#include <QStringList>
#include <QThread>
#include <functional>
#include <memory>

class Pacer;

// What one worker's jobs run on, made on the worker's thread and kept there.
struct EncoderRig {
    std::unique_ptr<Pacer> pacer;
    LinkFactory links;
    // The prompt came up or went away (a simulated operator watches it).
    std::function<void(bool shown)> promptChanged;
    std::shared_ptr<void> keep; // whatever the links need alive (the simulator, the trace)
};
using RigMaker = std::function<EncoderRig()>;

class EncoderWorker : public QObject {
    Q_OBJECT
public:
    // `line`: setup's choices (its links and pacer come from the rig).
    EncoderWorker(const Connection &line, RigMaker rig);
    ~EncoderWorker() override;

    // Starts the thread and tests the encoder (tested() tells).
    void start();
    // Runs `job` once the one before has ended; `number` names it in the events.
    void run(quint64 number, const Job &job);
    // Cancel (the closing sequence) and Skip of job `number`, if it is the one running.
    void cancel(quint64 number);
    void skip(quint64 number);

signals:
    void tested(bool ready, const QString &reason);
    void started(quint64 job);
    void prompt(quint64 job, qint64 card, const QString &phase);
    void card(quint64 job, qint64 card, const QString &result, const QStringList &tracks, qint64 record);
    void ended(quint64 job, const QString &end, qint64 ok, qint64 skipped, qint64 failed, const QString &message);

private:
    struct Thread; // everything that lives on the worker's thread
    QThread thread_;
    QObject *context_ = nullptr; // lives on the worker's thread
    std::unique_ptr<Thread> inside_;
};
