#pragma once
// The host's TCP side: the hub server listens, and every accepted connection is handed out as a
// Connection of its own. Framing, scrambling, pacing, the send queues and their caps, the chat limit
// and the time allowed to sit down stay the hub's.
#include "net/connection.h"
#include <QHash>
#include <QHostAddress>
#include <QString>

class TwsHUBsvr;

class HubListener : public QObject
{
    Q_OBJECT
public:
    explicit HubListener(QObject *parent = nullptr);
    ~HubListener() override;

    // Listens on the port (0: any free port) of the address (null: every address of both families);
    // false with errorText() when it cannot.
    bool listen(int port, const QHostAddress &address = QHostAddress());
    void close();
    bool isListening() const;
    int port() const;
    QString errorText() const { return m_error; }
    // The address to tell players.
    QString localAddress() const;
    TwsHUBsvr *hub() const { return m_hub; }

signals:
    // A new connection, owned by the listener until it closes (deleted later then).
    void newConnection(Connection *connection);

private:
    class Guest;
    void accepted(const QString &ip, int port);
    void dropped(int port);
    void arrived(int port, const HubMessage &message);

    TwsHUBsvr *m_hub = nullptr;
    QHash<int, Guest *> m_guests; // by remote port, the hub's own key
    QString m_error;
};
