#include "ui/tablesession.h"
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "hub/hubserver.h"
#include "net/hubdialer.h"
#include "net/hublistener.h"
#include "net/localpipe.h"

TableSession::TableSession(QObject *parent) : QObject(parent) {}

TableSession::~TableSession()
{
    end();
}

bool TableSession::host(int port, const QString &nick)
{
    end();
    m_listener = new HubListener(this);
    // Three guests at most, as the table has always taken.
    m_listener->hub()->setMaxClient(3);
    if (!m_listener->listen(port)) {
        m_error = m_listener->errorText();
        delete m_listener;
        m_listener = nullptr;
        return false;
    }
    m_error.clear();
    m_host = new TableHost(this);
    connect(m_listener, &HubListener::newConnection, m_host, &TableHost::addConnection);
    auto [hostEnd, playerEnd] = LocalConnection::createPair(m_host, this);
    ClientTable *client = startClient(playerEnd, nick);
    playerEnd->setParent(client); // goes with the player
    m_host->setOwner(hostEnd, m_listener->localAddress());
    client->start();
    if (m_openPort) {
        m_mapper = new PortMapper(this);
        connect(m_mapper, &PortMapper::finished, this, &TableSession::portMapped);
        m_mapper->open(quint16(m_listener->port()));
    }
    return true;
}

void TableSession::join(const QString &host, int port, const QString &nick, const QString &table)
{
    end();
    m_dialer = new HubDialer(host, port, this);
    ClientTable *client = startClient(m_dialer, nick);
    client->setTableRequest(table);
    client->start();
}

ClientTable *TableSession::startClient(Connection *connection, const QString &nick)
{
    m_client = new ClientTable(connection, nick, this);
    emit clientCreated(m_client);
    return m_client;
}

void TableSession::end()
{
    // Quietly: whoever ends the table resets the window itself.
    if (m_client)
        m_client->disconnect();
    if (m_mapper) {
        m_mapper->disconnect(this);
        m_mapper->release(); // removes the mapping from the router
        m_mapper = nullptr;
    }
    delete m_client;
    m_client = nullptr;
    if (m_host)
        m_host->tableClosing();
    if (m_listener)
        m_listener->close();
    delete m_host;
    m_host = nullptr;
    delete m_listener;
    m_listener = nullptr;
    delete m_dialer;
    m_dialer = nullptr;
}

int TableSession::listeningPort() const
{
    return m_listener ? m_listener->port() : 0;
}

QString TableSession::hostAddress() const
{
    return m_listener ? m_listener->localAddress() : QString();
}

Connection *TableSession::seatInProcess(QObject *playerSide)
{
    if (!m_host)
        return nullptr;
    auto [hostEnd, playerEnd] = LocalConnection::createPair(m_host, playerSide);
    m_host->addConnection(hostEnd);
    return playerEnd;
}
