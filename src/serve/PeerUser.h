#pragma once
// Who is on the other end of a loopback TCP connection: on Linux the owner of the client's socket
// as /proc/net/tcp and tcp6 list it (the entry whose local end is the peer and whose remote end
// is us). Elsewhere, and where the entry is not found, nothing is known.
#include <QHostAddress>
#include <optional>

std::optional<uint> loopbackPeerUid(const QHostAddress &local, quint16 localPort, const QHostAddress &peer,
                                    quint16 peerPort);
