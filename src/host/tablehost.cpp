#include "host/tablehost.h"
#include "game/protocol.h"
#include "net/connection.h"
#include <QTimer>

namespace {
QTimer *singleShotTimer(QObject *parent)
{
    auto *t = new QTimer(parent);
    t->setSingleShot(true);
    return t;
}
} // namespace

TableHost::TableHost(QObject *parent)
    : QObject(parent), m_deadline(singleShotTimer(this)), m_claim(singleShotTimer(this)),
      m_endPause(singleShotTimer(this)), m_autoDeal(singleShotTimer(this)), m_pingPeriod(new QTimer(this)),
      m_pingWait(singleShotTimer(this)), m_seedWait(singleShotTimer(this))
{
    m_rules.useGameWeights();
    m_table.setWaiting();
    m_held.expired = [this](int seat) {
        if (m_roster.user(seat).away)
            depart(seat);
    };
    connect(m_deadline, &QTimer::timeout, this, &TableHost::deadlinePassed);
    connect(m_claim, &QTimer::timeout, this, [this] {
        const int seat = m_claimSeat;
        if (m_phase != Phase::Playing || m_table.checkDealOver(seat) != Refusal::None)
            return;
        endDeal(seat, nullptr);
    });
    connect(m_endPause, &QTimer::timeout, this, &TableHost::dealOverPauseEnded);
    connect(m_autoDeal, &QTimer::timeout, this, [this] {
        if (!hasOwner() && m_phase == Phase::Waiting && seatedCount() >= 2)
            deal();
    });
    connect(m_pingWait, &QTimer::timeout, this, &TableHost::pingExpired);
    connect(m_seedWait, &QTimer::timeout, this, &TableHost::seedsCollected);
    // A table without an owner checks on its players by itself.
    m_pingPeriod->setInterval(30000);
    connect(m_pingPeriod, &QTimer::timeout, this, &TableHost::pingPlayers);
    m_pingPeriod->start();
}

TableHost::~TableHost()
{
    for (const QPointer<Connection> &link : std::as_const(m_links))
        if (link)
            link->disconnect(this);
}

void TableHost::setPingIntervalMs(int ms)
{
    m_pingPeriod->setInterval(ms);
    if (!hasOwner())
        m_pingPeriod->start();
}

bool TableHost::attach(Connection *connection)
{
    if (!connection || m_links.contains(connection))
        return false;
    m_links.append(connection);
    connect(connection, &Connection::message, this,
            [this, connection](const HubMessage &m) { onMessage(connection, m); });
    connect(connection, &Connection::closed, this, [this, connection] { onClosed(connection); });
    return true;
}

void TableHost::addConnection(Connection *connection)
{
    if (attach(connection))
        greet(connection);
}

void TableHost::adoptConnection(Connection *connection, const QList<HubMessage> &said)
{
    if (!attach(connection))
        return;
    const QPointer<Connection> guard(connection);
    for (const HubMessage &m : said)
        if (guard && guard->isOpen())
            onMessage(connection, m);
}

bool TableHost::mayRejoin(const QString &nick, const QString &key) const
{
    const int seat = m_roster.seatOfNick(nick);
    return TuserInfo::validSeat(seat) && m_held.isHeld(seat) && m_held.keyMatches(seat, key);
}

void TableHost::setOwner(Connection *connection, const QString &address)
{
    m_owner = connection;
    m_ownerAddress = address;
    m_pingPeriod->stop();
    m_autoDeal->stop();
    addConnection(connection);
}

int TableHost::seatOf(const Connection *link) const
{
    for (int s = 1; s <= 4; ++s)
        if (link && m_seatLink[size_t(s)] == link)
            return s;
    return 0;
}

Connection *TableHost::linkOfSeat(int seat) const
{
    return TuserInfo::validSeat(seat) ? m_seatLink[size_t(seat)].data() : nullptr;
}

void TableHost::sendTo(Connection *to, const QString &tag, const QString &v1, const QString &v2, const QString &v3,
                       const QString &v4, const QString &v5, const QString &v6)
{
    if (to && to->isOpen())
        to->send(HubMessage{tag, {v1, v2, v3, v4, v5, v6}});
}

void TableHost::sendAll(const HubMessage &m, const Connection *except)
{
    // Copied: a send may close a connection whose queue overflowed.
    const QList<QPointer<Connection>> links = m_links;
    for (const QPointer<Connection> &link : links)
        if (link && link != except && link->isOpen())
            link->send(m);
}

void TableHost::sendAll(const QString &tag, const QString &v1, const QString &v2, const QString &v3,
                        const QString &v4, const QString &v5, const QString &v6)
{
    sendAll(HubMessage{tag, {v1, v2, v3, v4, v5, v6}});
}

void TableHost::refuse(int seat, const QString &what, Refusal why)
{
    const QString line = nickOf(seat) + QStringLiteral("'s ") + what + QStringLiteral(" was refused: ") + refusalText(why);
    emit refused(line);
    emit noted(line, LogLevel::Warning);
    resync(seat);
}

void TableHost::setPhase(Phase phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    emit phaseChanged(phase);
}

void TableHost::onMessage(Connection *from, const HubMessage &m)
{
    const QString &tag = m.Protocol;
    const QString *v = m.value;
    // Admission tags come from connections that need not hold a seat yet.
    if (tag == Tag::PONG)
        return onPong(from, v[0]);
    if (tag == Tag::CHKVER) {
        if (v[0] != kVersionText)
            sendTo(from, Tag::DIFFVER, kVersionText);
        return;
    }
    if (tag == Tag::REQJOIN)
        return onJoin(from, v[0]);
    if (tag == Tag::REJOIN)
        return onRejoin(from, v[0], v[1]);
    if (tag == Tag::CAPS)
        return onCaps(from, v[0]);

    // Everything else must come from a seated player: a bare connection has no say at the table.
    const int seat = seatOf(from);
    if (seat == 0)
        return;
    const QString nick = nickOf(seat);
    if (tag == Tag::DEALSEED)
        return onDealSeed(from, seat, v[0], v[1]);
    if (tag == Tag::NEXTGAME) {
        // Only the last deal's winner asks for the next one.
        if (const Refusal why = m_table.checkLeadClaim(seat); why != Refusal::None)
            return refuse(seat, QStringLiteral("request for a new deal"), why);
        if (m_phase != Phase::Playing)
            deal();
        return;
    }
    if (tag == Tag::SYSTEM || tag == Tag::PASS || (tag == Tag::CHAT && v[0] == nick)) {
        sendAll(m, from);
        return;
    }
    // "[SMALLESTCARD]" decides nothing (the host dealt every card), and the tags only the host sends are
    // not taken from anyone.
    const QString claimName = tag == Tag::THROW      ? QStringLiteral("move")
                              : tag == Tag::iSTART   ? QStringLiteral("lead claim")
                              : tag == Tag::GAMEOVER ? QStringLiteral("claim of the deal")
                                                     : QString();
    if (claimName.isEmpty())
        return;
    if (v[1] != nick)
        return refuse(seat, claimName, Refusal::OtherName);
    if (tag == Tag::THROW)
        return onThrow(from, seat, m);
    if (tag == Tag::GAMEOVER)
        return onDealClaim(from, seat, m);
    if (const Refusal why = m_table.checkLeadClaim(seat); why != Refusal::None)
        return refuse(seat, claimName, why);
    sendAll(m, from);
}

void TableHost::onCaps(Connection *from, const QString &words)
{
    // Features are agreed once, before the seat: later announcements change nothing.
    if (m_features.contains(from) || seatOf(from) != 0)
        return;
    // In-process players have no pacing, and their seeds would come from beside the deal's secret.
    const QStringList offered = (from->wirePort() == 0
                                     ? QStringList{Feature::Resync}
                                     : QStringList{Feature::DealCheck, Feature::Unpaced, Feature::Resync})
                                + m_alsoOffered;
    QStringList agreed;
    for (const QString &word : splitFeatureWords(words))
        if (offered.contains(word) && !agreed.contains(word))
            agreed << word;
    m_features.insert(from, agreed);
    sendTo(from, Tag::CAPS, joinFeatureWords(offered));
    if (agreed.contains(Feature::Unpaced))
        from->setUnpaced();
}

void TableHost::onClosed(Connection *from)
{
    m_links.removeAll(from);
    m_links.removeAll(nullptr);
    m_features.remove(from);
    m_seedAwaited.remove(from);
    const bool onPurpose = m_droppingOnPurpose.remove(from);
    const int seat = seatOf(from);
    if (seat != 0) {
        m_seatLink[size_t(seat)] = nullptr;
        // A bankrupt player's copy leaves by itself at the end of the deal: nothing to hold.
        if (dealUnderWay() && !onPurpose && from != m_owner && m_roster.user(seat).credit > 0)
            holdSeat(seat);
        else
            depart(seat);
    }
    if (from == m_owner)
        m_owner = nullptr;
    // The listener that made it deletes it; an in-process end belongs to whoever made the pair.
}

void TableHost::pingPlayers()
{
    if (m_pingWait->isActive())
        return;
    for (int s = 1; s <= 4; ++s)
        m_roster.user(s).alive = false;
    sendAll(Tag::PING);
    m_pingWait->start(m_pingWaitMs);
}

bool TableHost::pinging() const
{
    return m_pingWait->isActive();
}

void TableHost::announce(const QString &line)
{
    sendAll(Tag::SYSTEM, line);
}

void TableHost::pingExpired()
{
    // Collected first: each close runs the departure, which changes the roster.
    QList<QPointer<Connection>> silent;
    for (int s = 1; s <= 4; ++s) {
        const TuserRec &u = m_roster.user(s);
        // A held seat has no connection to drop; its own time decides. In-process players cannot go silent.
        if (!u.alive && u.port > 0 && !u.away && m_seatLink[size_t(s)])
            silent.append(m_seatLink[size_t(s)]);
    }
    for (const QPointer<Connection> &link : std::as_const(silent)) {
        if (!link)
            continue;
        // Dropped on purpose: the player leaves, the seat is not held.
        m_droppingOnPurpose.insert(link.data());
        emit noted(QStringLiteral("%1 did not answer the ping and was dropped").arg(nickOf(seatOf(link))), LogLevel::Warning);
        link->close();
    }
    emit seatsChanged();
}
