#pragma once
// Two connected ends inside one program: what one sends, the other hears from the event loop, in
// order; no bytes, no pacing. The host's own player and the computer players it runs sit at its
// table through such a pair.
#include "net/connection.h"
#include <QList>
#include <QPointer>
#include <utility>

class LocalConnection final : public Connection
{
    Q_OBJECT
public:
    // The two ends; each is owned by the parent given, and either may go first.
    static std::pair<LocalConnection *, LocalConnection *> createPair(QObject *hostSide, QObject *playerSide);

    using Connection::send;
    void send(const HubMessage &message) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    QString peerAddress() const override { return QStringLiteral("127.0.0.1"); }
    int wirePort() const override { return 0; }

private:
    using Connection::Connection;
    struct Item
    {
        bool end = false; // the other end closed after the messages before it
        HubMessage message;
    };
    void post(const Item &item);
    void deliver();
    void finish();

    QPointer<LocalConnection> m_peer;
    QList<Item> m_inbox;
    bool m_open = true;
    bool m_delivering = false;
    bool m_scheduled = false;
};
