#include "serve/PeerUser.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {

// An address and port as the kernel's table writes them: the address's 32-bit words in the
// machine's byte order, each as 8 hex digits, then ":" and the port in 4 hex digits.
QByteArray procEndpoint(const QHostAddress &address, quint16 port)
{
    QByteArray out;
    auto word = [&out](const uchar *bytes) {
        quint32 value = 0;
        std::memcpy(&value, bytes, 4);
        out += QByteArray::number(value, 16).rightJustified(8, '0').toUpper();
    };
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 networkOrder = qToBigEndian(address.toIPv4Address());
        word(reinterpret_cast<const uchar *>(&networkOrder));
    } else {
        const Q_IPV6ADDR v6 = address.toIPv6Address();
        for (int i = 0; i < 16; i += 4)
            word(v6.c + i);
    }
    return out + ':' + QByteArray::number(port, 16).rightJustified(4, '0').toUpper();
}

} // namespace

std::optional<uint> loopbackPeerUid(const QHostAddress &local, quint16 localPort, const QHostAddress &peer,
                                    quint16 peerPort)
{
#ifdef Q_OS_LINUX
    const bool v4 = peer.protocol() == QAbstractSocket::IPv4Protocol;
    QFile table(v4 ? QStringLiteral("/proc/net/tcp") : QStringLiteral("/proc/net/tcp6"));
    if (!table.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray client = procEndpoint(peer, peerPort);
    const QByteArray server = procEndpoint(local, localPort);
    table.readLine(); // the column titles
    while (!table.atEnd()) {
        // "sl local_address rem_address st tx:rx tr:when retrnsmt uid ..."
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.size() > 7 && fields[1] == client && fields[2] == server) {
            bool ok = false;
            const uint uid = fields[7].toUInt(&ok);
            if (ok)
                return uid;
        }
    }
#else
    Q_UNUSED(local);
    Q_UNUSED(localPort);
    Q_UNUSED(peer);
    Q_UNUSED(peerPort);
#endif
    return std::nullopt;
}
