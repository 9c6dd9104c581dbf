#include "portmap/gateway.h"
#include <QFile>
#include <QStringList>
#include <QtEndian>

QHostAddress defaultGateway()
{
    // Lines: interface, destination, gateway, flags, ... in hexadecimal, the addresses in network order.
    QFile routes(QStringLiteral("/proc/net/route"));
    if (!routes.open(QIODevice::ReadOnly))
        return {};
    routes.readLine(); // header
    while (!routes.atEnd()) {
        const QList<QByteArray> f = routes.readLine().simplified().split(' ');
        if (f.size() < 4 || f[1] != "00000000")
            continue;
        bool ok = false;
        const quint32 raw = f[2].toUInt(&ok, 16);
        const quint32 flags = f[3].toUInt(nullptr, 16);
        if (ok && raw != 0 && (flags & 0x2)) // RTF_GATEWAY
            return QHostAddress(qFromBigEndian(raw)); // printed as the bytes lie in memory
    }
    return {};
}

bool isPrivateOrShared(const QHostAddress &address)
{
    bool ok = false;
    const quint32 a = address.toIPv4Address(&ok);
    if (!ok)
        return address.isLoopback() || address.isLinkLocal() || address.isUniqueLocalUnicast();
    const auto in = [a](quint32 net, int bits) { return (a >> (32 - bits)) == (net >> (32 - bits)); };
    return in(0x0A000000, 8) || in(0xAC100000, 12) || in(0xC0A80000, 16) || in(0x64400000, 10)
        || in(0x7F000000, 8) || in(0xA9FE0000, 16) || a == 0;
}
