#include "portmap/hostingstatus.h"
#include "portmap/gateway.h"

namespace {

QString byHand(const QString &insideAddress, int port)
{
    return QStringLiteral("open TCP port %1 on the router by hand (forward it to %2), or play on a server.")
        .arg(port)
        .arg(insideAddress);
}

} // namespace

QString hostingText(const QString &insideAddress, int port)
{
    return QStringLiteral(" Hosting as ") + insideAddress + QStringLiteral(" @ ") + QString::number(port)
         + QStringLiteral(" ...");
}

QString hostingText(const QString &insideAddress, int port, const PortMapResult &result)
{
    using O = PortMapResult::Outcome;
    const QString head = QStringLiteral(" Hosting as %1 @ %2").arg(insideAddress).arg(port);
    const QString cannot = head + QStringLiteral(" - Players outside this network cannot join: ");
    switch (result.outcome) {
    case O::Pending:
        return hostingText(insideAddress, port);
    case O::Opened:
        return QStringLiteral(" Hosting as %1 @ %2 (the router opened the port)")
            .arg(result.externalAddress)
            .arg(result.externalPort);
    case O::NoGateway:
        // Without a router in between, a public address of this machine is reachable as it is.
        if (!isPrivateOrShared(QHostAddress(insideAddress)))
            return head;
        return cannot + QStringLiteral("no router answered the request to open the port; ") + byHand(insideAddress, port);
    case O::Refused:
        return cannot + QStringLiteral("the router refused to open the port (%1); ").arg(result.reason)
             + byHand(insideAddress, port);
    case O::BehindAnotherRouter:
        return cannot
             + QStringLiteral("the router's outside address %1 is itself private or shared, so another router stands "
                              "in front of it; ask whoever runs that one to open TCP port %2, or play on a server.")
                   .arg(result.externalAddress)
                   .arg(port);
    }
    return head;
}
