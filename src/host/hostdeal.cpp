// A deal on the host: dealing, the referee of moves, the turn and its deadline, the end and the credits.
#include "game/moves.h"
#include "game/protocol.h"
#include "game/turnclock.h"
#include "host/tablehost.h"
#include "net/connection.h"
#include <QTimer>
#include <utility>

bool TableHost::mayDeal() const
{
    return !m_noNewDeals && m_phase != Phase::Playing && !m_seedWait->isActive() && seatedCount() >= 2;
}

bool TableHost::deal()
{
    if (!mayDeal())
        return false;
    m_endPause->stop();
    m_autoDeal->stop();
    // With nobody to wait for, the cards go out at once.
    if (!commitToDeal())
        seedsCollected();
    return true;
}

void TableHost::dealCards()
{
    // Players left while the seeds came: the deal is called off.
    if (seatedCount() < 2) {
        enterWaiting();
        return;
    }
    m_table.beginDealing();
    std::array<QStringList, 5> dealt;
    const QStringList stacked = std::exchange(m_nextDeck, {});
    const QStringList deck = stacked.size() == 52 ? stacked : m_commitment.deck();
    for (int k = 1; k <= 13; ++k) {
        for (int s = 1; s <= 4; ++s) {
            const QString code = deck.at((k - 1) * 4 + s - 1);
            dealt[size_t(s)] << code;
            // The cards of an away seat wait in the table model for its player to come back.
            if (m_table.seated(s) && !m_roster.user(s).away)
                sendTo(linkOfSeat(s), Tag::CARD, QString::number(portOf(s)), nickOf(s), QString::number(k), code);
        }
    }
    // The host knows every seated hand; the cards of a free seat are out of play.
    for (int s = 1; s <= 4; ++s)
        if (m_table.seated(s))
            m_table.setHand(s, dealt[size_t(s)]);
    sendAll(Tag::NEWGAME);
    m_table.startPlay();
    m_resentSinceMove = {};
    ++m_dealsStarted;
    setPhase(Phase::Playing);
    emit noted(QStringLiteral("Deal %1 started with %2 players").arg(m_dealsStarted).arg(seatedCount()));

    // The last winner leads, as every copy knows; otherwise the lowest card, which only the host knows.
    const int leader = m_table.leader();
    if (m_table.seated(leader))
        giveTurn(leader, false);
    else if (const int first = m_table.lowestCardSeat())
        giveTurn(first, true);
    // A hand that wins as dealt is claimed by its player's copy.
    for (int s = 1; s <= 4; ++s)
        if (m_table.seated(s) && m_table.winsAsDealt(s)) {
            armClaim(s);
            break;
        }
}

void TableHost::stopDeal()
{
    enterWaiting();
    sendAll(Tag::WAITMODE);
}

void TableHost::enterWaiting()
{
    revealDealKey();
    m_deadline->stop();
    m_claim->stop();
    m_endPause->stop();
    m_table.setWaiting();
    const bool wasWaiting = m_phase == Phase::Waiting;
    setPhase(Phase::Waiting);
    if (!wasWaiting)
        scheduleAutoDeal(m_nextDealDelayMs);
}

void TableHost::scheduleAutoDeal(int ms)
{
    if (!hasOwner())
        m_autoDeal->start(ms);
}

void TableHost::onThrow(Connection *from, int seat, const HubMessage &m)
{
    const std::optional<TThrowClaim> claim = parseThrowClaim(m.value[0], m.value[1], m.value[2], m.value[3]);
    if (!claim)
        return;
    const Refusal why = claim->wellFormed ? m_table.checkMove(TMove{seat, claim->cards}, claim->count)
                                          : Refusal::NotCards;
    if (why != Refusal::None)
        return refuse(seat, QStringLiteral("move"), why);
    commitMove(seat, *claim, m, from);
}

void TableHost::commitMove(int seat, const TThrowClaim &claim, const HubMessage &relay, const Connection *except)
{
    m_deadline->stop();
    if (claim.pass)
        m_table.applyMove(TMove{seat, {}}, 0);
    else
        m_table.applyMove(TMove{seat, claim.shown}, claim.count);
    // The move reaches every copy before the turn notice it causes, so the next player knows what to beat.
    // A copy given the deal again may have made this move before that resend reached it and then had it
    // undone by the resend: it hears its own move back, and ignores it if it still holds it.
    const bool resent = std::exchange(m_resentSinceMove[size_t(seat)], false);
    sendAll(relay, resent ? nullptr : except);
    giveTurn(m_table.seatAfter(seat), true);
    if (m_table.cardCount(seat) == 0)
        armClaim(seat);
}

void TableHost::giveTurn(int seat, bool announce)
{
    m_table.setToMove(seat);
    if (announce)
        sendAll(Tag::WHOSETURN, QString::number(portOf(seat)), nickOf(seat));
    armDeadline(seat);
}

void TableHost::armDeadline(int seat)
{
    m_deadline->stop();
    // The owner's own copy counts its turn down and passes by itself.
    if (m_phase != Phase::Playing || !m_table.seated(seat) || (hasOwner() && linkOfSeat(seat) == m_owner))
        return;
    int ms = m_roster.user(seat).away ? kAwayDeadlineMs : m_turnDeadlineMs;
    if (ms <= 0) {
        const QStringList hand = m_table.hand(seat);
        const QStringList table = m_table.tableCards();
        ms = 1000 * countdownSeconds(int(hand.size()), int(table.size()), table.value(0), hand.value(0),
                                     m_deck.CardValue(table.value(0)), m_deck.CardValue(hand.value(0)))
             + kTurnGraceMs;
    }
    m_deadlineSeat = seat;
    m_deadline->start(ms);
}

void TableHost::deadlinePassed()
{
    const int seat = m_deadlineSeat;
    if (m_phase != Phase::Playing || m_table.toMove() != seat || !m_table.seated(seat))
        return;
    // The pass every copy already understands, the stalled player's own copy included.
    const HubMessage pass{Tag::THROW, {QString::number(portOf(seat)), nickOf(seat), QStringLiteral("0")}};
    commitMove(seat, ownThrowClaim(portOf(seat), nickOf(seat), {}), pass, nullptr);
}

void TableHost::armClaim(int seat)
{
    m_claimSeat = seat;
    m_claim->start(m_claimWaitMs);
}

void TableHost::onDealClaim(Connection *from, int seat, const HubMessage &m)
{
    int claimedPort = 0;
    if (!strictToInt(m.value[0], &claimedPort))
        return;
    if (const Refusal why = m_table.checkDealOver(seat); why != Refusal::None)
        return refuse(seat, QStringLiteral("claim of the deal"), why);
    endDeal(seat, from);
}

void TableHost::endDeal(int winner, const Connection *claimant)
{
    m_deadline->stop();
    m_claim->stop();
    // The winner is named by its seat's connection, so nobody can pass for another player.
    const HubMessage over{Tag::GAMEOVER, {QString::number(portOf(winner)), nickOf(winner)}};
    // The owner's copy and the host itself announce the deal before the credits; a guest's claim is
    // passed on after them, as the other copies have always seen it.
    const bool announceFirst = claimant == nullptr || claimant == m_owner;
    if (announceFirst)
        sendAll(over, claimant);

    const TTable::Settlement settled = m_table.settle(winner);
    const auto announce = [this](int seat, int credit) {
        sendAll(Tag::CREDIT, QString::number(portOf(seat)), nickOf(seat), QString::number(credit));
    };
    // The winner's first line shows the credit before the pool, as every seat's first line does.
    for (int s = 1; s <= 4; ++s)
        if (m_table.seated(s))
            announce(s, s == winner ? m_roster.user(s).credit - settled.pool : m_roster.user(s).credit);
    announce(winner, m_roster.user(winner).credit);

    if (!announceFirst)
        sendAll(over, claimant);
    revealDealKey();
    m_table.endDeal(winner);
    setPhase(Phase::DealOver);
    emit noted(QStringLiteral("Deal %1 won by %2 (+%3)").arg(m_dealsStarted).arg(nickOf(winner)).arg(settled.pool));
    m_endPause->start(m_endPauseMs);
}

void TableHost::dealOverPauseEnded()
{
    if (m_phase != Phase::DealOver)
        return;
    setPhase(Phase::Waiting);
    if (!hasOwner()) {
        // Bankrupt players leave the table at the end of the deal.
        for (int s = 1; s <= 4; ++s) {
            if (m_table.seated(s) && m_roster.user(s).credit <= 0)
                if (Connection *link = linkOfSeat(s)) {
                    m_droppingOnPurpose.insert(link);
                    link->closeWhenSent();
                }
        }
    }
    scheduleAutoDeal(m_nextDealDelayMs);
}
