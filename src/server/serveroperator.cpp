// The operator's rights on a server of many tables: let it run out (drain) and send a player away (kick).
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/connection.h"
#include "server/servertables.h"
#include "server/tableserver.h"
#include <QTimer>

namespace {
// Long enough that a kicked player does not simply come back; an operator who wants more has a firewall.
constexpr int kKickedForMs = 10 * 60 * 1000;
constexpr int kDrainPollMs = 100;

QString kickKey(const QString &nick, const QString &address)
{
    return nick + QLatin1Char('\n') + address;
}
} // namespace

int TableServer::connectionCount() const
{
    int n = 0;
    for (const int k : m_perAddress)
        n += k;
    return n;
}

void TableServer::drain()
{
    if (m_closing || std::exchange(m_draining, true))
        return;
    emit noted(QStringLiteral("Draining: nobody new sits down, no deal starts; the server ends when the deals under way "
                              "are over"));
    for (TableHost *host : m_tables->hosts())
        host->stopNewDeals();
    // Polled: a deal can also end without a change of phase (called off while the seeds came).
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &TableServer::checkDrained);
    poll->start(kDrainPollMs);
    checkDrained();
}

void TableServer::checkDrained()
{
    for (const TableHost *host : m_tables->hosts())
        if (!host->idle())
            return;
    shutDown();
}

bool TableServer::kick(const QString &table, const QString &nick)
{
    TableHost *host = m_tables->find(table);
    if (!host)
        return false;
    const QString address = host->roster().user(host->roster().seatOfNick(nick)).IP;
    if (!host->dismiss(nick, QStringLiteral("[*] The server's operator sent you away from this table.")))
        return false;
    m_kicked.removeIf([](const auto &entry) { return entry.value().hasExpired(); });
    m_kicked.insert(kickKey(nick, address), QDeadlineTimer(kKickedForMs));
    emit noted(QStringLiteral("%1: %2 from %3 was kicked").arg(m_tables->nameOf(host), nick, address));
    return true;
}

bool TableServer::refuseJoin(Connection *from, const QString &nick)
{
    const QString key = kickKey(nick, from->peerAddress());
    const auto kicked = m_kicked.constFind(key);
    const bool wasKicked = kicked != m_kicked.constEnd() && !kicked->hasExpired();
    if (kicked != m_kicked.constEnd() && !wasKicked)
        m_kicked.remove(key);
    if (!m_draining && !wasKicked)
        return false;
    const QString why = wasKicked ? QStringLiteral("kicked a moment ago") : QStringLiteral("draining");
    emit noted(QStringLiteral("%1 from %2 was refused: %3").arg(nick, from->peerAddress(), why));
    // What every copy understands as "no seat here".
    m_admitting.remove(from);
    from->send(Tag::FULL);
    from->closeWhenSent();
    return true;
}
