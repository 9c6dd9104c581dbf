// What a server's operator may do to a table: let it run out, or send a player away.
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/connection.h"
#include <QTimer>

void TableHost::stopNewDeals()
{
    m_noNewDeals = true;
    m_autoDeal->stop();
}

bool TableHost::idle() const
{
    // While the seeds come the deal is committed to: it is dealt and played out.
    return m_phase != Phase::Playing && !m_seedWait->isActive();
}

bool TableHost::dismiss(const QString &nick, const QString &line)
{
    const int seat = m_roster.seatOfNick(nick);
    if (!TuserInfo::validSeat(seat))
        return false;
    if (Connection *link = linkOfSeat(seat)) {
        sendTo(link, Tag::SYSTEM, line);
        // From now on it hears nothing more of the table, and nothing it says counts (not even a new join).
        disconnect(link, &Connection::message, this, nullptr);
        m_links.removeAll(link);
        m_seatLink[size_t(seat)] = nullptr;
        link->closeWhenSent();
    }
    emit noted(QStringLiteral("%1 was sent away by the operator").arg(nick));
    // A held seat goes too, with its key.
    depart(seat);
    return true;
}
