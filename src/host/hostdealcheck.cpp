// The checkable deal on the host: the commitment to the deal's secret, the guests' seeds, the deck they decide, and the secret revealed when the deal ends.
#include "game/fairdeal.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/connection.h"
#include <QTimer>

bool TableHost::checksDeals(const Connection *link) const
{
    return link && m_features.value(link).contains(Feature::DealCheck);
}

bool TableHost::commitToDeal()
{
    m_commitment.begin();
    m_checkers.clear();
    m_seedAwaited.clear();
    for (int s = 1; s <= 4; ++s) {
        Connection *link = linkOfSeat(s);
        if (!checksDeals(link) || m_roster.user(s).away)
            continue;
        sendCommitmentTo(link);
        m_seedAwaited.insert(link);
    }
    if (m_seedAwaited.isEmpty())
        return false;
    m_seedWait->start(m_seedWaitMs);
    return true;
}

void TableHost::sendCommitmentTo(Connection *to)
{
    sendTo(to, Tag::DEALHASH, QString::number(m_commitment.deal()), m_commitment.commitment());
    if (!m_checkers.contains(to))
        m_checkers.append(to);
}

void TableHost::onDealSeed(Connection *from, int seat, const QString &deal, const QString &seed)
{
    // Only a seed that is awaited counts: late, repeated, for another deal or ill-formed, it is dropped.
    if (!m_seedWait->isActive() || !m_seedAwaited.contains(from) || deal != QString::number(m_commitment.deal())
        || !FairDeal::isSeed(seed))
        return;
    m_seedAwaited.remove(from);
    m_commitment.setSeed(seat, seed);
    if (m_seedAwaited.isEmpty())
        seedsCollected();
}

void TableHost::seedsCollected()
{
    m_seedWait->stop();
    m_seedAwaited.clear();
    const QString seeds = m_commitment.closeSeeds();
    for (const QPointer<Connection> &link : std::as_const(m_checkers))
        sendTo(link, Tag::DEALSEEDS, QString::number(m_commitment.deal()), seeds);
    dealCards();
}

void TableHost::resendCommitment(Connection *to)
{
    // A checking player back in the deal hears the commitment and the seeds again before its cards;
    // one back after the deal ended hears the secret it missed.
    if (!checksDeals(to))
        return;
    // Away for a whole deal, or from before its seeds went out to its end, it may still owe one of them:
    // it checks the one it awaits.
    for (const TDealCommitment::Revealed &r : m_commitment.revealed()) {
        if (!r.seedsValue.isEmpty()) // empty: stopped before its seeds went out
            sendTo(to, Tag::DEALSEEDS, QString::number(r.deal), r.seedsValue);
        sendTo(to, Tag::DEALKEY, QString::number(r.deal), FairDeal::toHex(r.secret));
    }
    if (!m_commitment.keyDue())
        return;
    sendCommitmentTo(to);
    if (!m_seedWait->isActive())
        sendTo(to, Tag::DEALSEEDS, QString::number(m_commitment.deal()), m_commitment.seedsValue());
}

void TableHost::revealDealKey()
{
    m_seedWait->stop();
    if (!m_commitment.reveal())
        return;
    const TDealCommitment::Revealed &last = m_commitment.revealed().last();
    for (const QPointer<Connection> &link : std::as_const(m_checkers))
        sendTo(link, Tag::DEALKEY, QString::number(last.deal), FairDeal::toHex(last.secret));
    m_checkers.clear();
}

void TableHost::tableClosing()
{
    revealDealKey();
}
