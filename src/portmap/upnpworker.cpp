#include "portmap/upnpworker.h"
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <cstring>

struct UpnpWorker::Gateway
{
    UPNPUrls urls{};
    IGDdatas data{};
    char lanAddress[64] = {};
    ~Gateway() { FreeUPNPUrls(&urls); }
};

namespace {

constexpr int kOnlyPermanentLeases = 725;
constexpr int kConflict = 718;

QString errorText(int code)
{
    if (code == kConflict)
        return QStringLiteral("another machine holds that port on it");
    const char *text = strupnperror(code);
    return text ? QStringLiteral("it answered %1").arg(QString::fromLatin1(text)) : QStringLiteral("it answered error %1").arg(code);
}

} // namespace

UpnpWorker::UpnpWorker() = default;
UpnpWorker::~UpnpWorker() = default;

void UpnpWorker::open(quint16 port, int discoveryMs, quint32 leaseSeconds)
{
    m_port = port;
    m_lease = leaseSeconds;
    int error = 0;
    // All searches go out at once and the answers are awaited once: asking type by type would wait
    // discoveryMs for each. The form of the discovery and gateway calls changed between versions.
    static const char *const types[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                        "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
                                        "urn:schemas-upnp-org:service:WANIPConnection:1",
                                        "urn:schemas-upnp-org:service:WANIPConnection:2",
                                        "urn:schemas-upnp-org:service:WANPPPConnection:1", nullptr};
#if MINIUPNPC_API_VERSION >= 14
    UPNPDev *devices = upnpDiscoverDevices(types, discoveryMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error, 1);
#else
    UPNPDev *devices = upnpDiscoverDevices(types, discoveryMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, &error, 1);
#endif
    if (!devices) {
        emit failed(false, QStringLiteral("no router answered"));
        return;
    }
    auto gw = std::make_unique<Gateway>();
#if MINIUPNPC_API_VERSION >= 18
    char wanAddress[64] = {};
    const int found = UPNP_GetValidIGD(devices, &gw->urls, &gw->data, gw->lanAddress, sizeof gw->lanAddress,
                                       wanAddress, sizeof wanAddress);
#else
    const int found = UPNP_GetValidIGD(devices, &gw->urls, &gw->data, gw->lanAddress, sizeof gw->lanAddress);
#endif
    freeUPNPDevlist(devices);
    // 1 and 2 are gateways (2 also when the library finds their outside address reserved, as it finds
    // documentation ranges); whether one is connected is asked here, and the address is judged by ours.
#if MINIUPNPC_API_VERSION >= 18
    const bool gateway = found >= 1 && found <= 3; // 3: a gateway that is not connected
#else
    const bool gateway = found == 1 || found == 2;
#endif
    if (!gateway) {
        emit failed(false, QStringLiteral("no router answered"));
        return;
    }
    char status[64] = {}, lastError[64] = {};
    unsigned int uptime = 0;
    if (UPNP_GetStatusInfo(gw->urls.controlURL, gw->data.first.servicetype, status, &uptime, lastError)
            != UPNPCOMMAND_SUCCESS
        || std::strcmp(status, "Connected") != 0) {
        emit failed(true, QStringLiteral("it reports no connection to the internet"));
        return;
    }
    m_gw = std::move(gw);
    char external[64] = {};
    if (const int r = UPNP_GetExternalIPAddress(m_gw->urls.controlURL, m_gw->data.first.servicetype, external);
        r != UPNPCOMMAND_SUCCESS || !external[0]) {
        emit failed(true, QStringLiteral("it does not tell its outside address"));
        return;
    }
    QString why;
    if (!add(&why)) {
        emit failed(true, why);
        return;
    }
    m_mapped = true;
    emit opened(QString::fromLatin1(external), m_port, m_lease);
}

bool UpnpWorker::add(QString *why)
{
    const QByteArray port = QByteArray::number(m_port);
    const char *service = m_gw->data.first.servicetype;
    int r = UPNP_AddPortMapping(m_gw->urls.controlURL, service, port.constData(), port.constData(), m_gw->lanAddress,
                                "Quadrix", "TCP", nullptr, QByteArray::number(m_lease).constData());
    if (r == kOnlyPermanentLeases) {
        m_lease = 0;
        r = UPNP_AddPortMapping(m_gw->urls.controlURL, service, port.constData(), port.constData(), m_gw->lanAddress,
                                "Quadrix", "TCP", nullptr, "0");
    }
    if (r != UPNPCOMMAND_SUCCESS) {
        *why = errorText(r);
        return false;
    }
    // The gateway's own record of the port must point at this machine.
    char client[64] = {}, internalPort[8] = {}, desc[80] = {}, enabled[8] = {}, lease[16] = {};
    r = UPNP_GetSpecificPortMappingEntry(m_gw->urls.controlURL, service, port.constData(), "TCP", nullptr, client,
                                         internalPort, desc, enabled, lease);
    if (r != UPNPCOMMAND_SUCCESS || std::strcmp(client, m_gw->lanAddress) != 0 || port != internalPort) {
        *why = QStringLiteral("it did not keep the port open");
        return false;
    }
    bool ok = false;
    const quint32 granted = QByteArray(lease).toUInt(&ok);
    m_lease = ok ? granted : m_lease;
    return true;
}

void UpnpWorker::renew()
{
    if (!m_gw || !m_mapped)
        return;
    QString why;
    if (add(&why))
        emit opened(QString(), m_port, m_lease);
    else
        emit failed(true, why); // tried again later

}

void UpnpWorker::remove()
{
    if (!m_gw || !m_mapped)
        return;
    m_mapped = false;
    const QByteArray port = QByteArray::number(m_port);
    UPNP_DeletePortMapping(m_gw->urls.controlURL, m_gw->data.first.servicetype, port.constData(), "TCP", nullptr);
}
