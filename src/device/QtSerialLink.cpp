#include "device/QtSerialLink.h"

#include "device/PortCatalog.h"

#include <QElapsedTimer>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#endif

namespace {
// A write normally leaves in one go; a full output queue gets this long to drain.
constexpr int kWriteDrainMs = 2000;

QSerialPort::Parity parityOf(char letter)
{
    switch (letter) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    default:
        return QSerialPort::NoParity;
    }
}

// Permission errors cover both "not allowed" and "someone else has it"; tell them apart.
bool mayUse(const QString &device)
{
#ifdef Q_OS_UNIX
    return ::access(device.toLocal8Bit().constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(device);
    return true; // Windows refuses an open port with "access denied"
#endif
}
} // namespace

QtSerialLink::QtSerialLink(PortCatalog ports) : ports_(std::move(ports))
{
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError e) { onError(e); });
}

QtSerialLink::~QtSerialLink()
{
    if (port_.isOpen())
        port_.close();
}

void QtSerialLink::failOpen(PortError error, const QString &text)
{
    error_ = error;
    errorText_ = text;
}

bool QtSerialLink::open(int port, const QString &settings)
{
    if (port_.isOpen())
        port_.close();
    error_ = PortError::None;
    errorText_.clear();
    dropped_ = 0;

    device_ = ports_.deviceFor(port);
    if (device_.isEmpty() || device_ == PortCatalog::kSimulatedDevice) {
        device_.clear();
        failOpen(PortError::NoSuchDevice, QStringLiteral("There is no serial device for port %1.").arg(port));
        return false;
    }
    const LineSettings line = parseLineSettings(settings);
    if (!line.ok) {
        failOpen(PortError::Other, QStringLiteral("The line settings \"%1\" are not valid.").arg(settings));
        return false;
    }

    // Open with settings every device takes, then ask for the real ones: a device that refuses
    // one (a pseudo-terminal has no parity) still carries bytes.
    configuring_ = true;
    port_.setPortName(device_);
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(kInputCap); // Qt stops reading there, even in other windows' loops
    if (!port_.open(QIODevice::ReadWrite)) {
        configuring_ = false;
        const QString why = port_.errorString();
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError:
            failOpen(PortError::NoSuchDevice, QStringLiteral("There is no serial device %1.").arg(device_));
            break;
        case QSerialPort::PermissionError:
            if (mayUse(device_))
                failOpen(PortError::Busy, QStringLiteral("%1 is in use by another program.").arg(device_));
            else
                failOpen(PortError::PermissionDenied,
                         QStringLiteral("Permission denied for %1: this user is not allowed to use serial ports "
                                        "(on Linux, add the user to the dialout group and log in again).")
                             .arg(device_));
            break;
        default:
            failOpen(PortError::Other, QStringLiteral("%1 could not be opened: %2.").arg(device_, why));
            break;
        }
        port_.clearError();
        return false;
    }
    port_.setBaudRate(line.baud);
    port_.setDataBits(line.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    port_.setParity(parityOf(line.parity));
    port_.setStopBits(QSerialPort::OneStop);
    port_.clearError();
    configuring_ = false;
    return true;
}

void QtSerialLink::close()
{
    if (port_.isOpen())
        port_.close();
}

bool QtSerialLink::isOpen() const { return port_.isOpen(); }

void QtSerialLink::onError(QSerialPort::SerialPortError e)
{
    if (configuring_)
        return;
    switch (e) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        vanish(port_.errorString());
        break;
    default:
        break; // time-outs of the zero-length waits, refused settings
    }
}

// Qt keeps reporting the error of a vanished device in a tight loop while the port stays
// open; closing it at the first report ends that and makes every later exchange fail at once.
void QtSerialLink::vanish(const QString &why)
{
    if (!port_.isOpen())
        return;
    error_ = PortError::Vanished;
    errorText_ = QStringLiteral("The serial device %1 went away (unplugged or switched off?): %2.").arg(device_, why);
    port_.close();
}

void QtSerialLink::pullIn()
{
    if (!port_.isOpen())
        return;
#ifdef Q_OS_UNIX
    // Look before asking Qt: a quiet line is the common case of every polling pass, and Qt's
    // zero-length wait reports it as a time-out error that then has to be cleared.
    pollfd pfd{int(port_.handle()), POLLIN, 0};
    const int ready = ::poll(&pfd, 1, 0);
    if (ready == 0 && port_.bytesToWrite() == 0)
        return;
    if (ready > 0 && !(pfd.revents & POLLIN) && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        vanish(QStringLiteral("the line hung up"));
        return;
    }
#endif
    if (port_.bytesAvailable() < kInputCap && !port_.waitForReadyRead(0) && port_.isOpen()
        && port_.error() == QSerialPort::TimeoutError)
        port_.clearError();
    dropExcess();
}

// With the input full, what the system still holds is read and thrown away: left there it would
// be taken later as if it were new, and keep the descriptor readable for every wait.
void QtSerialLink::dropExcess()
{
#ifdef Q_OS_UNIX
    if (!port_.isOpen() || port_.bytesAvailable() < kInputCap)
        return;
    const int fd = int(port_.handle());
    char scrap[4096];
    for (int round = 0; round < 256; ++round) { // bounded: a line faster than us must not trap us
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 0) <= 0)
            break;
        // Qt no longer reads a full port, so its own error report cannot come: notice it here.
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            vanish(QStringLiteral("the line hung up"));
            return;
        }
        if (!(pfd.revents & POLLIN))
            break;
        const ssize_t n = ::read(fd, scrap, sizeof scrap);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            vanish(QStringLiteral("the line hung up"));
            return;
        }
        if (n <= 0)
            break;
        dropped_ += n;
    }
#endif
}

int QtSerialLink::descriptor() const
{
#ifdef Q_OS_UNIX
    return port_.isOpen() ? int(port_.handle()) : -1;
#else
    return -1;
#endif
}

int QtSerialLink::pending()
{
    if (!port_.isOpen())
        return 0;
    pullIn();
    return port_.isOpen() ? int(port_.bytesAvailable()) : 0;
}

QByteArray QtSerialLink::takeAll()
{
    if (!port_.isOpen())
        return {};
    // A few rounds: one pull takes at most one chunk of what the system holds.
    for (int round = 0; round < 8 && port_.isOpen(); ++round) {
        const qint64 before = port_.bytesAvailable();
        pullIn();
        if (port_.bytesAvailable() == before)
            break;
    }
    return port_.isOpen() ? port_.readAll() : QByteArray();
}

bool QtSerialLink::write(const QByteArray &bytes)
{
    if (!port_.isOpen())
        return false;
    if (bytes.isEmpty())
        return true;
    if (port_.write(bytes) != bytes.size()) {
        vanish(port_.errorString());
        return false;
    }
    // QSerialPort only queues; push the bytes out now, without the event loop.
    QElapsedTimer clock;
    clock.start();
    while (port_.isOpen() && port_.bytesToWrite() > 0) {
        port_.flush();
        if (!port_.isOpen() || port_.bytesToWrite() == 0)
            break;
        const int left = kWriteDrainMs - int(clock.elapsed());
        if (left <= 0)
            break; // still queued; later flushes and polls send the rest
        port_.waitForBytesWritten(std::min(left, 50));
        if (port_.error() == QSerialPort::TimeoutError)
            port_.clearError();
    }
    return port_.isOpen();
}

LinkFactory qtSerialLinks(const PortCatalog &ports)
{
    return [ports](DialectId) { return std::make_unique<QtSerialLink>(ports); };
}
