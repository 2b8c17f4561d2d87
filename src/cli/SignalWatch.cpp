#include "cli/SignalWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int pipeFds[2] = {-1, -1};
struct sigaction previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (pipeFds[1] >= 0)
        (void)::write(pipeFds[1], &byte, 1);
    // The next one of its kind ends the program at once, should the closing sequence hang.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(signal, &dfl, nullptr);
    errno = saved;
}
} // namespace

SignalWatch::SignalWatch()
{
    if (pipeFds[0] >= 0 || ::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0)
        return; // one watch at a time
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalWatch::readPipe);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);
}

SignalWatch::~SignalWatch()
{
    if (!notifier_)
        return;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    notifier_.reset();
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

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
