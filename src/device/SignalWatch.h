#pragma once
// SIGINT, SIGTERM and SIGHUP as events. Until catchFromNow() a signal ends the program at once
// with 128 + its number: a blocking open or read would otherwise restart and swallow it. From
// then on the handler only writes the first signal's number to a pipe, and a socket notifier on
// the pipe's other end hands it to `caught` at the next wait that serves events (every swipe
// wait does); a second signal ends the program at once, should the closing sequence hang. The
// handlers in place before are restored on destruction.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

class SignalWatch : public QObject {
public:
    SignalWatch();
    ~SignalWatch() override;
    SignalWatch(const SignalWatch &) = delete;
    SignalWatch &operator=(const SignalWatch &) = delete;

    bool ok() const { return notifier_ != nullptr; }
    // From now on the first signal goes to `caught` (something is there to wind down).
    void catchFromNow();
    // The first signal caught, 0 while none.
    int signal() const { return signal_; }
    std::function<void(int signal)> caught;

private:
    void readPipe();
    std::unique_ptr<QSocketNotifier> notifier_;
    int signal_ = 0;
};
