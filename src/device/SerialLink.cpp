#include "device/SerialLink.h"

#include <QStringList>

LineSettings parseLineSettings(const QString &settings)
{
    LineSettings s;
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return s;
    bool okBaud = false, okBits = false, okStop = false;
    s.baud = parts[0].trimmed().toInt(&okBaud);
    const QString p = parts[1].trimmed().toLower();
    s.parity = p.isEmpty() ? '?' : p[0].toLatin1();
    s.dataBits = parts[2].trimmed().toInt(&okBits);
    s.stopBits = parts[3].trimmed().toInt(&okStop);
    s.ok = okBaud && okBits && okStop && s.baud > 0 && (s.parity == 'n' || s.parity == 'e' || s.parity == 'o')
        && (s.dataBits == 7 || s.dataBits == 8) && (s.stopBits == 1 || s.stopBits == 2);
    return s;
}
