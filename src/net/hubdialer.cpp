#include "net/hubdialer.h"
#include "hub/hubclient.h"
#include <QTimer>

HubDialer::HubDialer(const QString &host, int port, QObject *parent)
    : Connection(parent), m_hub(new TwsHUBcli(QStringLiteral("gClient"), this)), m_host(host), m_port(port)
{
    connect(m_hub, &TwsHUBcli::OnConnect, this, [this] { emit opened(); });
    connect(m_hub, &TwsHUBcli::OnDataArrived, this,
            [this](const QString &, int, const QString &tag, const QString &v1, const QString &v2, const QString &v3,
                   const QString &v4, const QString &v5, const QString &v6) {
                emit message(HubMessage{tag, {v1, v2, v3, v4, v5, v6}});
            });
    connect(m_hub, &TwsHUBcli::OnDisconnect, this, [this] { lost(); });
    connect(m_hub, &TwsHUBcli::OnSockError, this, [this](const QString &text) {
        m_error = text.isEmpty() ? QStringLiteral("Host not found.") : text;
        lost();
    });
}

HubDialer::~HubDialer()
{
    m_hub->disconnect(this);
}

void HubDialer::open()
{
    m_error.clear();
    m_hub->setHost(m_host);
    m_hub->setPort(m_port);
    m_hub->setActive(true);
}

void HubDialer::send(const HubMessage &m)
{
    m_hub->Send(m.Protocol, m.value[0], m.value[1], m.value[2], m.value[3], m.value[4], m.value[5]);
}

void HubDialer::close()
{
    m_hub->setActive(false);
}

bool HubDialer::isOpen() const
{
    return m_hub->isConnected();
}

int HubDialer::wirePort() const
{
    return m_hub->LocalPort();
}

void HubDialer::lost()
{
    // The hub tells a failure as a disconnect followed by the error's text: one closed() for both.
    if (m_closing)
        return;
    m_closing = true;
    QTimer::singleShot(0, this, [this] {
        m_closing = false;
        emit closed(std::exchange(m_error, QString()));
    });
}

void HubDialer::setUnpaced()
{
    m_hub->setUnpaced(true);
}
