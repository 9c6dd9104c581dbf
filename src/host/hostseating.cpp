// Who sits at the table: greeting a connection, seating, coming back to a held seat, leaving.
#include "game/protocol.h"
#include "game/tablesnapshot.h"
#include "host/tablehost.h"
#include "net/connection.h"
#include <QTimer>

bool TableHost::dealUnderWay() const
{
    return m_phase != Phase::Waiting;
}

void TableHost::greet(Connection *link)
{
    // While a seat is held, whoever connects may be its player coming back: it gets to say so.
    if (m_held.anyHeld() || link == m_owner) {
        sendTo(link, Tag::REQVER);
        sendTo(link, Tag::REQINFO);
    } else if (m_roster.isFull()) {
        sendTo(link, Tag::FULL);
    } else if (m_phase == Phase::Playing) {
        sendTo(link, Tag::ONGAME);
    } else {
        sendTo(link, Tag::REQVER);
        sendTo(link, Tag::REQINFO);
    }
}

int TableHost::chooseSeat(const Connection *link) const
{
    const auto isFree = [this](int s) { return m_roster.user(s).nick.isEmpty() || m_roster.user(s).port < 0; };
    if (link == m_owner)
        return isFree(1) ? 1 : -1;
    if (hasOwner()) {
        // The owner keeps seat 1; the first guest sits opposite, the others fill the gaps.
        if (m_roster.seatCount() == 1 && isFree(3))
            return 3;
        for (int s = 2; s <= 4; ++s)
            if (isFree(s))
                return s;
        return -1;
    }
    for (int s : {3, 2, 4, 1})
        if (isFree(s))
            return s;
    return -1;
}

void TableHost::onJoin(Connection *from, const QString &nick)
{
    // One seat per connection: a second join from a seated connection is ignored.
    if (nick.isEmpty() || seatOf(from) != 0)
        return;
    if (TuserInfo::validSeat(m_roster.seatOfNick(nick))) {
        sendTo(from, Tag::CHNICK);
        emit noted(QStringLiteral("%1 was refused: the nick is taken").arg(nick));
        return;
    }
    // A join that was never offered a seat (the deal started meanwhile) is refused as at connect time.
    if (m_phase == Phase::Playing) {
        sendTo(from, Tag::ONGAME);
        return;
    }
    const int seat = chooseSeat(from);
    if (!TuserInfo::validSeat(seat)) {
        sendTo(from, Tag::FULL);
        return;
    }
    TuserRec rec;
    rec.nick = nick;
    rec.IP = from == m_owner ? m_ownerAddress : from->peerAddress();
    rec.port = from->wirePort();
    rec.credit = 1000;
    // A newcomer never saw a ping that may be running, so it is not taken for a lost player.
    rec.alive = true;
    if (!m_roster.setSeat(rec, seat))
        return;
    m_seatLink[size_t(seat)] = from;
    from->markSeated();
    if (from != m_owner)
        sendTo(from, Tag::SEATKEY, m_held.issueKey(seat));
    sendAll(Tag::USER, Tag::JOIN, nick, rec.IP, QString::number(rec.port), QString::number(seat));
    sendSeatsTo(from, seat);
    emit noted(QStringLiteral("%1 sat down in seat %2 from %3").arg(nick).arg(seat).arg(rec.IP));
    emit seatsChanged();
    if (!hasOwner() && m_roster.isFull() && m_phase == Phase::Waiting && m_dealsStarted == 0)
        scheduleAutoDeal(m_firstDealDelayMs);
}

void TableHost::sendSeatsTo(Connection *to, int ownSeat)
{
    for (int s = 1; s <= 4; ++s) {
        const TuserRec &other = m_roster.user(s);
        if (s == ownSeat || other.nick.isEmpty() || other.port < 0)
            continue;
        sendTo(to, Tag::USER, Tag::JOIN, other.nick, other.IP, QString::number(other.port), QString::number(s));
        sendTo(to, Tag::CREDIT, QString::number(other.port), other.nick, QString::number(other.credit));
        if (other.away)
            sendTo(to, Tag::AWAY, other.nick);
    }
}

void TableHost::onRejoin(Connection *from, const QString &nick, const QString &key)
{
    // A connection that holds a seat has nothing to take back.
    if (seatOf(from) != 0)
        return;
    const int seat = m_roster.seatOfNick(nick);
    if (!TuserInfo::validSeat(seat) || !m_held.isHeld(seat) || !m_held.keyMatches(seat, key)) {
        emit noted(QStringLiteral("A rejoin as %1 from %2 was refused").arg(nick, from->peerAddress()), LogLevel::Warning);
        sendTo(from, Tag::CHNICK);
        from->closeWhenSent();
        return;
    }
    m_held.release(seat);
    TuserRec &u = m_roster.user(seat);
    u.port = from->wirePort();
    u.IP = from->peerAddress();
    u.away = false;
    u.alive = true;
    m_seatLink[size_t(seat)] = from;
    from->markSeated();
    // Back in time for its turn: the full time again, as its own copy counts it.
    if (m_phase == Phase::Playing && m_table.toMove() == seat)
        armDeadline(seat);

    sendTo(from, Tag::SEATKEY, m_held.issueKey(seat, key));
    sendAll(Tag::USER, Tag::JOIN, nick, u.IP, QString::number(u.port), QString::number(seat));
    sendSeatsTo(from, seat);
    sendTo(from, Tag::CREDIT, QString::number(u.port), nick, QString::number(u.credit));
    sendDealTo(from, seat);
    emit noted(QStringLiteral("%1 came back to seat %2").arg(nick).arg(seat));
    emit seatsChanged();
}

void TableHost::sendDealTo(Connection *to, int seat)
{
    resendCommitment(to);
    if (m_phase != Phase::Playing) {
        // Between deals: who leads the next one, as its winner announced it.
        const int leader = m_table.leader();
        if (m_table.seated(leader))
            sendTo(to, Tag::iSTART, QString::number(portOf(leader)), nickOf(leader));
        return;
    }
    const QStringList hand = m_table.hand(seat);
    for (int k = 1; k <= hand.size(); ++k)
        sendTo(to, Tag::CARD, QString::number(portOf(seat)), nickOf(seat), QString::number(k), hand.at(k - 1));
    const QStringList values = tableSnapshotValues(m_table);
    sendTo(to, Tag::TABLE, values.value(0), values.value(1), values.value(2), values.value(3));
    const int toMove = m_table.toMove();
    if (m_table.seated(toMove))
        sendTo(to, Tag::WHOSETURN, QString::number(portOf(toMove)), nickOf(toMove));
}

void TableHost::onPong(Connection *from, const QString &nick)
{
    // An answer counts only for the player seated on the connection it came from.
    const int seat = m_roster.seatOfNick(nick);
    if (TuserInfo::validSeat(seat) && m_seatLink[size_t(seat)] == from)
        m_roster.user(seat).alive = true;
}

void TableHost::holdSeat(int seat)
{
    TuserRec &u = m_roster.user(seat);
    u.away = true;
    m_held.hold(seat);
    sendAll(Tag::AWAY, u.nick);
    emit noted(QStringLiteral("%1 lost the connection; the seat is held").arg(u.nick));
    emit seatsChanged();
    // A player who cannot move: the others wait only a moment.
    if (m_phase == Phase::Playing && m_table.toMove() == seat)
        armDeadline(seat);
}

void TableHost::depart(int seat)
{
    const TuserRec u = m_roster.user(seat);
    if (u.nick.isEmpty())
        return;
    m_held.forget(seat);
    m_seatLink[size_t(seat)] = nullptr;
    sendAll(Tag::USER, Tag::QUIT, u.nick, u.IP, QString::number(u.port), QString::number(seat));
    m_roster.removeByNick(u.nick);
    emit noted(QStringLiteral("%1 left seat %2").arg(u.nick).arg(seat));
    emit seatsChanged();
    enterWaiting();
    sendAll(Tag::WAITMODE);
}
