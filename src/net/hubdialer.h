#pragma once
// A player's TCP end: the hub client connects to a host and can connect again after a loss.
// Pacing and the receive tick stay the hub client's.
#include "net/connection.h"

class TwsHUBcli;

class HubDialer final : public Connection
{
    Q_OBJECT
public:
    HubDialer(const QString &host, int port, QObject *parent = nullptr);
    ~HubDialer() override;

    void open() override;
    using Connection::send;
    void send(const HubMessage &message) override;
    void close() override;
    bool isOpen() const override;
    void setUnpaced() override;
    QString peerAddress() const override { return m_host; }
    int wirePort() const override;
    QString host() const { return m_host; }
    int port() const { return m_port; }
    TwsHUBcli *hub() const { return m_hub; }

private:
    void lost();
    TwsHUBcli *m_hub;
    QString m_host;
    int m_port;
    QString m_error;
    bool m_closing = false; // a loss is being told: the error text may still follow it
};
