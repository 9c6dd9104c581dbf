#include "server/tableserver.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "hub/hubserver.h"
#include "net/hublistener.h"
#include "server/servertables.h"
#include <QTimer>
#include <algorithm>
#include <memory>
#include <utility>

TableServer::TableServer(int maxTables, int maxPerAddress, QObject *parent)
    : QObject(parent), m_listener(new HubListener(this)), m_tables(new ServerTables(maxTables, this)),
      m_maxPerAddress(maxPerAddress)
{
    // Beyond four seats a table: players coming back may connect before their old connection is seen gone.
    m_listener->hub()->setMaxClient(maxTables * 8);
    connect(m_listener, &HubListener::newConnection, this, &TableServer::addConnection);
    connect(m_tables, &ServerTables::noted, this, &TableServer::noted);
    m_running.start();
    connect(m_listener->hub(), &TwsHUBsvr::OnClientError, this,
            [this](const QString &text) { emit noted(QStringLiteral("Connection error: ") + text, LogLevel::Debug); });
}

TableServer::~TableServer()
{
    m_listener->disconnect(this);
}

bool TableServer::listen(int port, const QHostAddress &address)
{
    return m_listener->listen(port, address);
}

void TableServer::setChatLimit(int lines, int windowMs)
{
    m_listener->hub()->setChatLimit(lines, windowMs);
}

QString TableServer::errorText() const
{
    return m_listener->errorText();
}

int TableServer::port() const
{
    return m_listener->port();
}

void TableServer::addConnection(Connection *connection)
{
    const QString address = connection->peerAddress();
    if (m_closing || m_perAddress.value(address) >= m_maxPerAddress) {
        emit noted(QStringLiteral("A connection from %1 was closed: too many from that address").arg(address),
                   LogLevel::Warning);
        connection->close();
        return;
    }
    ++m_perAddress[address];
    m_peakConnections = std::max(m_peakConnections, connectionCount());
    emit noted(QStringLiteral("A connection from %1 port %2").arg(address).arg(connection->wirePort()), LogLevel::Debug);
    connect(connection, &Connection::closed, this, [this, connection, address] { onClosed(connection, address); });
    if (!m_tables->mayAdmit()) {
        connection->send(Tag::FULL);
        connection->closeWhenSent();
        return;
    }
    Admission &a = m_admitting[connection];
    a.reading = connect(connection, &Connection::message, this,
                        [this, connection](const HubMessage &m) { onAdmissionMessage(connection, m); });
    connection->send(Tag::REQVER);
    connection->send(Tag::REQINFO);
}

void TableServer::onClosed(Connection *connection, const QString &address)
{
    emit noted(QStringLiteral("The connection from %1 port %2 closed").arg(address).arg(connection->wirePort()),
               LogLevel::Debug);
    m_admitting.remove(connection);
    if (--m_perAddress[address] <= 0)
        m_perAddress.remove(address);
    // After the table heard of the close as well.
    QTimer::singleShot(0, m_tables, &ServerTables::closeUnused);
}

void TableServer::shutDown()
{
    if (std::exchange(m_closing, true))
        return;
    emit noted(QStringLiteral("Shutting down"));
    const QList<TableHost *> hosts = m_tables->hosts();
    for (TableHost *host : hosts) {
        host->tableClosing();
        host->announce(QStringLiteral("[*] The server is shutting down."));
    }
    auto *poll = new QTimer(this);
    auto waited = std::make_shared<int>(0);
    connect(poll, &QTimer::timeout, this, [this, poll, waited] {
        *waited += 50;
        if (m_listener->hub()->queuedMessages() > 0 && *waited < 1500)
            return;
        poll->stop();
        m_listener->close();
        emit done();
    });
    poll->start(50);
}
