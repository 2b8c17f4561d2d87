#pragma once
// SIGINT and SIGTERM as events: the handler only writes the signal's number to a pipe, and a
// socket notifier on the pipe's other end hands it to `caught` at the next wait that serves
// events (every swipe wait does). The handlers in place before are restored on destruction;
// a second signal of the same kind after the first ends the program the default way.
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
    // The first signal caught (SIGINT or SIGTERM), 0 while none.
    int signal() const { return signal_; }
    std::function<void(int signal)> caught;

private:
    void readPipe();
    std::unique_ptr<QSocketNotifier> notifier_;
    int signal_ = 0;
};
