// Admission on a server of many tables: which table a new connection is seated at.
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/connection.h"
#include "server/serverbots.h"
#include "server/servertables.h"
#include "server/tableserver.h"
#include <QPointer>
#include <QTimer>

namespace {
constexpr int kRuleLineMs = 150;
}

void TableServer::onAdmissionMessage(Connection *from, const HubMessage &m)
{
    auto it = m_admitting.find(from);
    if (it == m_admitting.end())
        return;
    Admission &a = it.value();
    const QString &tag = m.Protocol;
    if (tag == Tag::CHKVER) {
        if (m.value[0] != kVersionText)
            from->send(Tag::DIFFVER, kVersionText);
    } else if (tag == Tag::CAPS) {
        // The table agrees the features; only the first announcement counts there too.
        if (a.said.isEmpty()) {
            a.said.append(m);
            a.wantsName = splitFeatureWords(m.value[0]).contains(Feature::Tables);
        }
    } else if (tag == Tag::PICKTABLE) {
        onPick(from, a, m.value[0]);
    } else if (tag == Tag::REQJOIN) {
        onJoin(from, a, m);
    } else if (tag == Tag::REJOIN) {
        onRejoin(from, a, m);
    }
}

void TableServer::onPick(Connection *from, Admission &a, const QString &name)
{
    if (a.picked) {
        emit noted(QStringLiteral("A second table name from %1 was ignored").arg(from->peerAddress()), LogLevel::Warning);
        return;
    }
    if (!isValidTableName(name)) {
        emit noted(QStringLiteral("A connection from %1 asked for an ill-formed table name").arg(from->peerAddress()),
                   LogLevel::Warning);
        m_admitting.remove(from);
        from->send(Tag::SYSTEM, kTableNameRule);
        // The hub lets a chat line wait behind every other message: the refusal follows once the line left.
        QTimer::singleShot(kRuleLineMs, from, [from] {
            from->send(Tag::CHNICK);
            from->closeWhenSent();
        });
        return;
    }
    a.picked = true;
    a.pick = name;
}

void TableServer::onJoin(Connection *from, Admission &a, const HubMessage &m)
{
    const QString nick = m.value[0];
    if (nick.isEmpty() || refuseJoin(from, nick))
        return;
    TableHost *host = nullptr;
    if (a.picked) {
        host = m_tables->find(a.pick);
        // Refused as a table of its own refuses: the copy may try again on the same connection.
        if (host && host->roster().isFull() && !(m_tables->bots() && m_tables->bots()->mayMakeRoom(host)))
            return from->send(Tag::FULL);
        if (host && host->phase() == TableHost::Phase::Playing)
            return from->send(Tag::ONGAME);
        if (host && TuserInfo::validSeat(host->roster().seatOfNick(nick)))
            return from->send(Tag::CHNICK);
        if (!host)
            host = m_tables->open(a.pick);
    } else {
        host = m_tables->publicWithRoom(nick);
        if (!host)
            host = m_tables->openPublic();
    }
    if (!host)
        return from->send(Tag::FULL);
    handOver(from, host, m);
}

void TableServer::onRejoin(Connection *from, Admission &, const HubMessage &m)
{
    TableHost *host = m_tables->holderOf(m.value[0], m.value[1]);
    if (!host) {
        emit noted(QStringLiteral("A rejoin as %1 from %2 was refused").arg(m.value[0], from->peerAddress()),
                   LogLevel::Warning);
        m_admitting.remove(from);
        from->send(Tag::CHNICK);
        from->closeWhenSent();
        return;
    }
    handOver(from, host, m);
}

void TableServer::handOver(Connection *from, TableHost *host, const HubMessage &m)
{
    // A computer player leaves its seat to the newcomer, who sits once it has gone.
    const QPointer<Connection> guard(from);
    const QPointer<TableHost> table(host);
    if (host->roster().isFull() && m_tables->bots() && m_tables->bots()->makeRoom(host, [this, guard, table, m] {
            if (guard && table && m_admitting.contains(guard))
                handOver(guard, table, m);
        })) {
        disconnect(m_admitting[from].reading); // it has said what it wants
        return;
    }
    const Admission a = m_admitting.take(from);
    disconnect(a.reading);
    host->adoptConnection(from, a.said + QList<HubMessage>{m});
    if (a.wantsName && host->seats(from))
        from->send(Tag::TABLENAME, m_tables->nameOf(host));
    // At the table, where its chat shows it, and only once: a player coming back has read it.
    if (m.Protocol == Tag::REQJOIN && host->seats(from) && !m_greeting.isEmpty())
        from->send(Tag::SYSTEM, QStringLiteral("[*] ") + m_greeting);
}
