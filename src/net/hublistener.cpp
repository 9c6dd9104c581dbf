#include "net/hublistener.h"
#include "hub/hubserver.h"

class HubListener::Guest final : public Connection
{
public:
    Guest(TwsHUBsvr *hub, const QString &ip, int port, QObject *parent)
        : Connection(parent), m_hub(hub), m_ip(ip), m_port(port)
    {
    }
    using Connection::send;
    void send(const HubMessage &m) override
    {
        if (m_open)
            m_hub->SendToClient(m_port, m.Protocol, m.value[0], m.value[1], m.value[2], m.value[3], m.value[4],
                                m.value[5]);
    }
    void close() override
    {
        if (m_open)
            m_hub->DropClient(m_port);
    }
    void closeWhenSent() override
    {
        if (m_open)
            m_hub->DropClientWhenSent(m_port);
    }
    void markSeated() override { m_hub->markSeated(m_port); }
    void setUnpaced() override { m_hub->setUnpaced(m_port); }
    bool isOpen() const override { return m_open; }
    QString peerAddress() const override { return m_ip; }
    int wirePort() const override { return m_port; }

    void arrived(const HubMessage &m) { emit message(m); }
    void dropped()
    {
        m_open = false;
        emit closed(QString());
    }

private:
    TwsHUBsvr *m_hub;
    QString m_ip;
    int m_port;
    bool m_open = true;
};

HubListener::HubListener(QObject *parent) : QObject(parent), m_hub(new TwsHUBsvr(QStringLiteral("gHost"), this))
{
    connect(m_hub, &TwsHUBsvr::OnClientConnect, this, &HubListener::accepted);
    connect(m_hub, &TwsHUBsvr::OnClientDisconnect, this, [this](const QString &, int port) { dropped(port); });
    connect(m_hub, &TwsHUBsvr::OnHostingError, this, [this](const QString &text) { m_error = text; });
    connect(m_hub, &TwsHUBsvr::OnDataArrived, this,
            [this](const QString &, int port, const QString &tag, const QString &v1, const QString &v2,
                   const QString &v3, const QString &v4, const QString &v5, const QString &v6) {
                arrived(port, HubMessage{tag, {v1, v2, v3, v4, v5, v6}});
            });
}

HubListener::~HubListener()
{
    m_hub->disconnect(this);
}

bool HubListener::listen(int port, const QHostAddress &address)
{
    m_error.clear();
    m_hub->setPort(port);
    m_hub->setListenAddress(address);
    m_hub->setActive(true);
    return m_hub->Active();
}

void HubListener::close()
{
    if (m_hub->Active())
        m_hub->setActive(false);
    // The hub drops its connections without a word: each is closed here.
    const QList<Guest *> guests = m_guests.values();
    m_guests.clear();
    for (Guest *g : guests) {
        g->dropped();
        g->deleteLater();
    }
}

bool HubListener::isListening() const
{
    return m_hub->Active();
}

int HubListener::port() const
{
    return m_hub->listeningPort();
}

QString HubListener::localAddress() const
{
    return m_hub->LocalIP();
}

void HubListener::accepted(const QString &ip, int port)
{
    auto *guest = new Guest(m_hub, ip, port, this);
    m_guests.insert(port, guest);
    emit newConnection(guest);
}

void HubListener::dropped(int port)
{
    Guest *guest = m_guests.take(port);
    if (!guest)
        return;
    guest->dropped();
    guest->deleteLater();
}

void HubListener::arrived(int port, const HubMessage &message)
{
    if (Guest *guest = m_guests.value(port))
        guest->arrived(message);
}
