#include "server/servertables.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include <algorithm>
#include "server/serverbots.h"

ServerTables::ServerTables(int maxTables, QObject *parent) : QObject(parent), m_maxTables(maxTables) {}

TableHost *ServerTables::find(const QString &name) const
{
    // Friends who type "Club" and "club" mean the same table.
    for (const Table &t : m_tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return t.host;
    return nullptr;
}

TableHost *ServerTables::open(const QString &name)
{
    if (TableHost *host = find(name))
        return host;
    return add(name, false);
}

TableHost *ServerTables::openPublic()
{
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("public-%1").arg(n);
        if (!find(name))
            return add(name, true);
    }
}

TableHost *ServerTables::add(const QString &name, bool isPublic)
{
    if (count() >= m_maxTables)
        return nullptr;
    auto *host = new TableHost(this);
    host->offerFeature(Feature::Tables);
    if (configure)
        configure(host);
    connect(host, &TableHost::noted, this,
            [this, name](const QString &line, LogLevel level) { emit noted(name + QStringLiteral(": ") + line, level); });
    connect(host, &TableHost::seatsChanged, this, &ServerTables::closeUnused, Qt::QueuedConnection);
    m_tables.append(Table{name, isPublic, host});
    m_peak = std::max(m_peak, count());
    emit noted(QStringLiteral("%1: opened").arg(name));
    emit opened(host);
    return host;
}

TableHost *ServerTables::publicWithRoom(const QString &nick) const
{
    for (const Table &t : m_tables) {
        const TableHost *h = t.host;
        if (t.isPublic && !h->roster().isFull() && h->phase() != TableHost::Phase::Playing &&
            !TuserInfo::validSeat(h->roster().seatOfNick(nick)))
            return t.host;
    }
    for (const Table &t : m_tables)
        if (t.isPublic && m_bots && m_bots->mayMakeRoom(t.host) && !TuserInfo::validSeat(t.host->roster().seatOfNick(nick)))
            return t.host;
    return nullptr;
}

TableHost *ServerTables::holderOf(const QString &nick, const QString &key) const
{
    for (const Table &t : m_tables)
        if (t.host->mayRejoin(nick, key))
            return t.host;
    return nullptr;
}

QString ServerTables::nameOf(const TableHost *host) const
{
    for (const Table &t : m_tables)
        if (t.host == host)
            return t.name;
    return {};
}

bool ServerTables::mayAdmit() const
{
    if (count() < m_maxTables)
        return true;
    for (const Table &t : m_tables)
        if (!t.host->roster().isFull() || t.host->holdsSeats() || (m_bots && m_bots->mayMakeRoom(t.host)))
            return true;
    return false;
}

QList<TableHost *> ServerTables::hosts() const
{
    QList<TableHost *> all;
    for (const Table &t : m_tables)
        all << t.host;
    return all;
}

void ServerTables::closeUnused()
{
    for (qsizetype i = m_tables.size() - 1; i >= 0; --i) {
        TableHost *h = m_tables.at(i).host;
        if (h->seatedCount() > 0 || h->holdsSeats() || h->connectionCount() > 0)
            continue;
        emit noted(QStringLiteral("%1: closed").arg(m_tables.at(i).name));
        m_tables.removeAt(i);
        h->disconnect(this);
        h->deleteLater();
    }
}
