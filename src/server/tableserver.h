#pragma once
// A server of many tables on one port. It takes every new connection, greets it, and hears its
// admission ("[CAPS]", "[PICKTABLE]", "[REQJOIN]" or "[REJOIN]") until it is clear which table the
// copy wants; then that table's host takes the connection over with what it said, and stays the
// one authority of its table. It also keeps the connections per address within a limit.
#include "host/loglevel.h"
#include "hub/wire.h"
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <functional>

class Connection;
class HubListener;
class ServerTables;
class TableHost;

class TableServer : public QObject
{
    Q_OBJECT
public:
    explicit TableServer(int maxTables = 64, int maxPerAddress = 8, QObject *parent = nullptr);
    ~TableServer() override;

    // On every address of both families unless one address is given.
    bool listen(int port, const QHostAddress &address = QHostAddress());
    // These may change while the server runs; they count from the next connection or line.
    void setMaxPerAddress(int n) { m_maxPerAddress = n; }
    // Chat and system lines one connection may send in the window (lines 0: no limit).
    void setChatLimit(int lines, int windowMs);
    // A system line for each player who sits down anew (not one coming back); empty: none.
    void setGreeting(const QString &line) { m_greeting = line; }
    QString errorText() const;
    int port() const;
    HubListener *listener() const { return m_listener; }
    ServerTables *tables() const { return m_tables; }
    // A connection as the listener hands it out.
    void addConnection(Connection *connection);
    // Every table is told that the server closes; done() follows once the queues emptied (at most
    // about 1.5 s), with every connection closed.
    void shutDown();

    // The operator's rights (serveroperator.cpp). drain(): nobody new sits down and no deal starts;
    // shutDown() follows once no table has a deal under way.
    void drain();
    bool draining() const { return m_draining; }
    // The player leaves the table for good; the same nick from the same address is refused a while.
    bool kick(const QString &table, const QString &nick);
    // Open connections, at a table or still choosing one.
    int connectionCount() const;
    int peakConnections() const { return m_peakConnections; }
    qint64 uptimeMs() const { return m_running.elapsed(); }

signals:
    // One line per event, for the log.
    void noted(const QString &line, LogLevel level = LogLevel::Info);
    void done();

private:
    struct Admission {
        QMetaObject::Connection reading;
        QList<HubMessage> said; // "[CAPS]", to be heard again by the table
        QString pick;           // the named table asked for; empty: any public table
        bool picked = false;
        bool wantsName = false;
    };
    void onClosed(Connection *connection, const QString &address);
    // Admission (serverlobby.cpp)
    void onAdmissionMessage(Connection *from, const HubMessage &m);
    void onPick(Connection *from, Admission &a, const QString &name);
    void onJoin(Connection *from, Admission &a, const HubMessage &m);
    void onRejoin(Connection *from, Admission &a, const HubMessage &m);
    void handOver(Connection *from, TableHost *host, const HubMessage &m);
    // A join refused while draining or after a kick: "[FULL]" and closed (serveroperator.cpp).
    bool refuseJoin(Connection *from, const QString &nick);
    void checkDrained();

    HubListener *m_listener;
    ServerTables *m_tables;
    QHash<QString, int> m_perAddress;
    QHash<Connection *, Admission> m_admitting;
    int m_maxPerAddress;
    QString m_greeting;
    bool m_closing = false;
    bool m_draining = false;
    QHash<QString, QDeadlineTimer> m_kicked; // by nick and address
    QElapsedTimer m_running;
    int m_peakConnections = 0;
};
