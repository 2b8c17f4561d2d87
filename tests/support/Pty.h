#pragma once
// A pseudo-terminal standing in for the encoder's end of the cable: the program opens the
// slave device, the test reads and writes the master. Header-only so benchmarks can use it.
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class Pty {
public:
    Pty()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        slavePath_ = QString::fromLocal8Bit(name);
        // Raw both ways, so bytes pass untouched before the program sets the line up.
        termios tio{};
        if (::tcgetattr(slave_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave_, TCSANOW, &tio);
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Pty()
    {
        closeMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool ok() const { return master_ >= 0; }
    // The device the program opens, e.g. "/dev/pts/3".
    QString slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    // The encoder sends.
    // Writes what the line takes now, without waiting for room; false once the master is gone.
    bool offer(const QByteArray &bytes)
    {
        if (master_ < 0)
            return false;
        const ssize_t n = ::write(master_, bytes.constData(), size_t(bytes.size()));
        return n >= 0 || errno == EAGAIN || errno == EINTR;
    }
    bool write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (master_ >= 0 && done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd pfd{master_, POLLOUT, 0};
                ::poll(&pfd, 1, 100);
            } else if (!(n < 0 && errno == EINTR)) {
                return false;
            }
        }
        return master_ >= 0;
    }

    // Whatever the program has sent so far, waiting up to timeoutMs for the first byte.
    QByteArray read(int timeoutMs = 0)
    {
        QByteArray out;
        if (master_ < 0)
            return out;
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, timeoutMs) <= 0)
            return out;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, qsizetype(n));
        }
        return out;
    }

    // Reads until `count` bytes came or timeoutMs passed.
    QByteArray readExactly(int count, int timeoutMs)
    {
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (out.size() < count) {
            const int left = timeoutMs - int(clock.elapsed());
            if (left <= 0)
                break;
            out += read(left);
        }
        return out;
    }

    // Waits up to timeoutMs until the program's side has input to read (nothing is consumed).
    bool waitReadable(int timeoutMs)
    {
        pollfd pfd{slave_, POLLIN, 0};
        return slave_ >= 0 && ::poll(&pfd, 1, timeoutMs) > 0 && (pfd.revents & POLLIN);
    }

    // The far end goes away, as when an adapter is pulled.
    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};
