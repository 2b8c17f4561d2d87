#include "device/PortCatalog.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace {
bool inRange(int n) { return n >= PortCatalog::kFirstPort && n <= PortCatalog::kLastPort; }

QList<PortCatalog::Entry> systemListing()
{
    QList<PortCatalog::Entry> out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName();
        PortCatalog::Entry e;
        e.device = info.systemLocation().isEmpty() ? name : info.systemLocation();
        e.description = info.description().trimmed();
        e.usb = info.hasVendorIdentifier() || name.contains(QLatin1String("usb"), Qt::CaseInsensitive)
            || name.contains(QLatin1String("acm"), Qt::CaseInsensitive);
        out.append(e);
    }
    return out;
}

// Digit runs compare by value, so ttyS2 comes before ttyS10.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            const qulonglong va = a.mid(i, ei - i).toULongLong();
            const qulonglong vb = b.mid(j, ej - j).toULongLong();
            if (va != vb)
                return va < vb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

// "ttyUSB0" and "/dev/ttyUSB0" name the same device on Unix.
QString normalized(const QString &device)
{
#ifdef Q_OS_WIN
    return device.toUpper();
#else
    return device.startsWith(QLatin1Char('/')) ? device : QStringLiteral("/dev/") + device;
#endif
}
} // namespace

bool PortCatalog::setOverride(int n, const QString &device)
{
    if (!inRange(n) || device.trimmed().isEmpty())
        return false;
    overrides_.insert(n, device.trimmed());
    return true;
}

QList<PortCatalog::Entry> PortCatalog::ordered(QList<Entry> entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.usb != b.usb)
            return a.usb;
        return naturalLess(a.device, b.device);
    });
    return entries;
}

QList<PortCatalog::Entry> PortCatalog::listed() const
{
    return ordered(lister_ ? lister_() : systemListing());
}

QString PortCatalog::deviceFor(int n) const
{
    if (!inRange(n))
        return {};
    if (simulated_)
        return kSimulatedDevice;
    if (const auto it = overrides_.constFind(n); it != overrides_.cend())
        return *it;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    const QList<Entry> devices = listed();
    return n <= devices.size() ? devices[n - 1].device : QString();
#endif
}

QString PortCatalog::describe(int n) const
{
    if (inRange(n) && simulated_)
        return QStringLiteral("Simulated encoder");
    const QString device = deviceFor(n);
    if (device.isEmpty())
        return QStringLiteral("No serial device for this number");
    for (const Entry &e : listed()) {
        if (normalized(e.device) == normalized(device))
            return e.description.isEmpty() ? device : QStringLiteral("%1 (%2)").arg(device, e.description);
    }
    return device;
}
