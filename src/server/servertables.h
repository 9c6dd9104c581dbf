#pragma once
// The tables of a server: each a TableHost without an owner, known by its name. Public tables are
// named "public-1", "public-2", ...; a named table opens when a player first asks for it. A table
// with nobody seated, no seat held and no connection closes.
#include "host/loglevel.h"
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class ServerBots;
class TableHost;

class ServerTables : public QObject
{
    Q_OBJECT
public:
    explicit ServerTables(int maxTables, QObject *parent = nullptr);

    // null when there is none, or when the server holds as many tables as it may.
    TableHost *find(const QString &name) const;
    TableHost *open(const QString &name);
    TableHost *openPublic();
    // The first public table with a free seat, no deal running and no player of that nick; else the
    // first where a computer player could leave its seat to that player.
    TableHost *publicWithRoom(const QString &nick) const;
    // The table that holds the nick's seat for that key.
    TableHost *holderOf(const QString &nick, const QString &key) const;
    QString nameOf(const TableHost *host) const;
    // Some table could still seat someone (a free seat, or a held one its player may take back) or
    // another may open.
    bool mayAdmit() const;
    QList<TableHost *> hosts() const;
    int count() const { return int(m_tables.size()); }
    // The most tables open at once since the server started.
    int peak() const { return m_peak; }
    // Closes the tables nobody uses any more.
    void closeUnused();

    // Called with each table as it opens (tests shorten its times).
    std::function<void(TableHost *)> configure;
    // The computer players of these tables, if any.
    void setBots(ServerBots *bots) { m_bots = bots; }
    ServerBots *bots() const { return m_bots; }

signals:
    void opened(TableHost *host);
    // A table's log line, prefixed with its name.
    void noted(const QString &line, LogLevel level = LogLevel::Info);

private:
    struct Table {
        QString name;
        bool isPublic = false;
        TableHost *host = nullptr;
    };
    TableHost *add(const QString &name, bool isPublic);

    QList<Table> m_tables;
    int m_maxTables;
    int m_peak = 0;
    ServerBots *m_bots = nullptr;
};
