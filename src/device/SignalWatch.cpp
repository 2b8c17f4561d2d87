#include "device/SignalWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int pipeFds[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kCount = int(std::size(kSignals));
struct sigaction previous[kCount];
volatile sig_atomic_t catching = 0;
volatile sig_atomic_t pending = 0;

// Only what is safe in a handler: a flag, a write, _exit.
void onSignal(int signal)
{
    if (!catching || pending)
        ::_exit(128 + signal);
    pending = signal;
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}
} // namespace

SignalWatch::SignalWatch()
{
    if (pipeFds[0] >= 0 || ::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0)
        return; // one watch at a time
    catching = 0;
    pending = 0;
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalWatch::readPipe);
    struct sigaction action {};
    action.sa_handler = onSignal;
    // One handler at a time: a second signal always sees the first one's mark.
    sigemptyset(&action.sa_mask);
    for (int s : kSignals)
        sigaddset(&action.sa_mask, s);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kCount; ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);
}

SignalWatch::~SignalWatch()
{
    if (!notifier_)
        return;
    for (int i = 0; i < kCount; ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    notifier_.reset();
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void SignalWatch::catchFromNow() { catching = 1; }

void SignalWatch::readPipe()
{
    unsigned char byte = 0;
    while (::read(pipeFds[0], &byte, 1) == 1) {
        if (signal_ != 0)
            continue;
        signal_ = byte;
        if (caught)
            caught(signal_);
    }
}
