#pragma once
// The table this window plays at: either one it hosts (a listener, the table host, and the own
// player's client model on an in-process pair, which makes it the table's owner) or one it joined
// over TCP (the client model on a hub connection). The window watches the client model and calls
// the owner's rights on the table host; nothing here draws.
#include <QObject>
#include <QString>

#include "portmap/portmapper.h"

class ClientTable;
class Connection;
class HubDialer;
class HubListener;
class TableHost;

class TableSession : public QObject
{
    Q_OBJECT
public:
    explicit TableSession(QObject *parent = nullptr);
    ~TableSession() override;

    // Listens on the port and sits down as the owner; false with errorText() when the port cannot be had.
    bool host(int port, const QString &nick);
    // Connects to a host (asking a server of many tables for the named table, if any); the client
    // model tells the rest.
    void join(const QString &host, int port, const QString &nick, const QString &table = {});
    // Leaves the table or closes it; nothing more is reported.
    void end();

    bool active() const { return m_client != nullptr; }
    bool hosting() const { return m_host != nullptr; }
    ClientTable *client() const { return m_client; }
    TableHost *tableHost() const { return m_host; }
    HubListener *listener() const { return m_listener; }
    HubDialer *dialer() const { return m_dialer; }
    int listeningPort() const;
    QString hostAddress() const;
    QString errorText() const { return m_error; }
    // Another player of this program at the hosted table (a computer player): the player's end of an
    // in-process pair, owned by playerSide; nullptr when not hosting.
    Connection *seatInProcess(QObject *playerSide);
    // Whether hosting asks the router to open the port; the mapping goes when the table closes.
    void setOpenPort(bool on) { m_openPort = on; }
    PortMapper *portMapper() const { return m_mapper; }

signals:
    // A new client model: the window binds to it before it starts.
    void clientCreated(ClientTable *client);
    // The router's answer for the hosted table's port.
    void portMapped(const PortMapResult &result);

private:
    ClientTable *startClient(Connection *connection, const QString &nick);
    HubListener *m_listener = nullptr;
    TableHost *m_host = nullptr;
    HubDialer *m_dialer = nullptr;
    ClientTable *m_client = nullptr;
    QString m_error;
    PortMapper *m_mapper = nullptr;
    bool m_openPort = false;
};
