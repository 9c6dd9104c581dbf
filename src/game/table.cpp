#include "game/table.h"
#include "cards/cardcode.h"
#include "game/credits.h"
#include "rules/handorder.h"
#include "rules/rules.h"

QString refusalText(Refusal why)
{
    switch (why) {
    case Refusal::None:
        return {};
    case Refusal::NotSeated:
        return QStringLiteral("not seated");
    case Refusal::OtherName:
        return QStringLiteral("sent in another player's name");
    case Refusal::NoDeal:
        return QStringLiteral("no deal is running");
    case Refusal::NotYourTurn:
        return QStringLiteral("not the player to move");
    case Refusal::CountMismatch:
        return QStringLiteral("the card count disagrees with the cards");
    case Refusal::NotCards:
        return QStringLiteral("not a list of cards");
    case Refusal::NotInHand:
        return QStringLiteral("cards not in the hand");
    case Refusal::Illegal:
        return QStringLiteral("not a combination the rules allow");
    case Refusal::TooWeak:
        return QStringLiteral("does not beat the table");
    case Refusal::CardsLeft:
        return QStringLiteral("cards still in the hand");
    case Refusal::NotWinner:
        return QStringLiteral("not the last deal's winner");
    }
    return {};
}

TTable::TTable(TuserInfo &roster, TCombinationRules &rules) : m_roster(roster), m_rules(rules) {}

TTable::Seat &TTable::at(int seat)
{
    return m_seats[size_t(TuserInfo::validSeat(seat) ? seat : 0)];
}

const TTable::Seat &TTable::at(int seat) const
{
    return m_seats[size_t(TuserInfo::validSeat(seat) ? seat : 0)];
}

bool TTable::seated(int seat) const
{
    if (!TuserInfo::validSeat(seat))
        return false;
    const TuserRec &u = m_roster.user(seat);
    return !u.nick.isEmpty() && u.port >= 0;
}

void TTable::setWaiting()
{
    m_phase = TablePhase::Waiting;
    m_seats = {};
    m_tableCards.clear();
    m_played.clear();
    m_moves.clear();
    m_thrower = 0;
    m_toMove = 0;
    m_leader = 0;
    m_lastWinner = 0;
}

void TTable::beginDealing()
{
    m_phase = TablePhase::Dealing;
    m_seats = {};
    m_tableCards.clear();
    m_thrower = 0;
    m_toMove = 0;
}

void TTable::setHand(int seat, const QStringList &codes)
{
    if (!TuserInfo::validSeat(seat))
        return;
    Seat &s = at(seat);
    s.hand = codes;
    s.known = true;
    s.count = int(codes.size());
}

void TTable::setHiddenHand(int seat, int count)
{
    if (!TuserInfo::validSeat(seat))
        return;
    Seat &s = at(seat);
    s.hand.clear();
    s.known = false;
    s.count = qMax(0, count);
}

void TTable::startPlay()
{
    m_phase = TablePhase::Playing;
    m_tableCards.clear();
    m_played.clear();
    m_moves.clear();
    m_thrower = 0;
    m_toMove = 0;
    for (int seat = 1; seat <= 4; ++seat) {
        Seat &s = at(seat);
        s.passed = false;
        s.dealtWhole = true;
        if (!seated(seat))
            s = Seat{};
    }
}

void TTable::setTableCards(const QStringList &codes, int thrower)
{
    m_tableCards = codes.mid(0, 5);
    m_thrower = codes.isEmpty() ? 0 : (TuserInfo::validSeat(thrower) ? thrower : 0);
}

void TTable::markPassed(int seat)
{
    if (seated(seat))
        at(seat).passed = true;
}

QStringList TTable::hand(int seat) const
{
    return TuserInfo::validSeat(seat) ? at(seat).hand : QStringList();
}

bool TTable::knowsHand(int seat) const
{
    return TuserInfo::validSeat(seat) && at(seat).known;
}

int TTable::cardCount(int seat) const
{
    return TuserInfo::validSeat(seat) ? at(seat).count : 0;
}

bool TTable::holds(int seat, const QStringList &codes) const
{
    if (!knowsHand(seat))
        return false;
    const QStringList &h = at(seat).hand;
    for (const QString &c : codes)
        if (!h.contains(c))
            return false;
    return true;
}

bool TTable::passed(int seat) const
{
    return TuserInfo::validSeat(seat) && at(seat).passed;
}

void TTable::setLeader(int seat)
{
    m_leader = TuserInfo::validSeat(seat) ? seat : 0;
}

void TTable::setToMove(int seat)
{
    if (!TuserInfo::validSeat(seat))
        return;
    m_toMove = seat;
    at(seat).passed = false;
    if (seat == m_thrower) {
        // Everybody else passed: the thrower leads anything.
        m_tableCards.clear();
        m_thrower = 0;
        for (Seat &s : m_seats)
            s.passed = false;
    }
}

int TTable::seatAfter(int seat) const
{
    int next = TuserInfo::validSeat(seat) ? seat : 0;
    for (int step = 0; step < 4; ++step) {
        next = next >= 4 ? 1 : next + 1;
        if (seated(next))
            return next;
    }
    return seat;
}

int TTable::lowestCardSeat() const
{
    int best = 0;
    int bestValue = 1000;
    for (int seat = 1; seat <= 4; ++seat) {
        if (!seated(seat) || !knowsHand(seat) || at(seat).hand.isEmpty())
            continue;
        const int v = m_rules.nthLowestValue(at(seat).hand, 1);
        if (v > 0 && v < bestValue) {
            bestValue = v;
            best = seat;
        }
    }
    return best;
}

Refusal TTable::checkMove(const TMove &move, int claimedCount) const
{
    if (!seated(move.seat))
        return Refusal::NotSeated;
    if (m_phase != TablePhase::Playing)
        return Refusal::NoDeal;
    if (move.seat != m_toMove)
        return Refusal::NotYourTurn;
    if (claimedCount != move.cards.size())
        return Refusal::CountMismatch;
    if (move.isPass())
        return Refusal::None;
    QStringList distinct = move.cards;
    distinct.removeDuplicates();
    for (const QString &c : move.cards)
        if (!isCardCode(c))
            return Refusal::NotCards;
    if (distinct.size() != move.cards.size())
        return Refusal::Illegal;
    if (!holds(move.seat, move.cards))
        return Refusal::NotInHand;
    // The same test the thrower's own copy made before sending.
    if (!m_rules.isValidThrow(move.cards, int(move.cards.size()), {}))
        return Refusal::Illegal;
    if (!m_tableCards.isEmpty() && !m_rules.isValidThrow(move.cards, int(move.cards.size()), m_tableCards))
        return Refusal::TooWeak;
    return Refusal::None;
}

void TTable::applyMove(const TMove &move, int claimedCount)
{
    if (!TuserInfo::validSeat(move.seat))
        return;
    Seat &s = at(move.seat);
    m_moves.append({move, m_tableCards});
    // A list with no card in it under a count is a throw of nothing, not a pass.
    if (move.isPass() && claimedCount == 0) {
        s.passed = true;
        return;
    }
    s.dealtWhole = false;
    if (s.known) {
        for (const QString &c : move.cards)
            s.hand.removeOne(c);
        s.count = int(s.hand.size());
    } else {
        s.count = qMax(0, s.count - qMax(0, claimedCount));
    }
    m_played << move.cards;
    m_tableCards = move.cards.mid(0, 5);
    if (m_tableCards.size() == 5)
        sortCodes(m_tableCards, true);
    m_thrower = move.seat;
    for (Seat &other : m_seats)
        other.passed = false;
}

bool TTable::winsAsDealt(int seat) const
{
    if (!knowsHand(seat) || !at(seat).dealtWhole)
        return false;
    const QStringList &h = at(seat).hand;
    return m_rules.hasFourTwos(h) || m_rules.isThirteenRun(h);
}

Refusal TTable::checkDealOver(int seat) const
{
    if (!seated(seat))
        return Refusal::NotSeated;
    if (m_phase != TablePhase::Playing)
        return Refusal::NoDeal;
    if (at(seat).count == 0 || winsAsDealt(seat))
        return Refusal::None;
    return Refusal::CardsLeft;
}

Refusal TTable::checkLeadClaim(int seat) const
{
    if (!seated(seat))
        return Refusal::NotSeated;
    if (m_phase == TablePhase::Playing || m_phase == TablePhase::Dealing)
        return Refusal::NotWinner;
    if (seat != m_lastWinner || m_lastWinner == 0)
        return Refusal::NotWinner;
    return Refusal::None;
}

void TTable::endDeal(int winner)
{
    m_phase = TablePhase::DealOver;
    m_lastWinner = TuserInfo::validSeat(winner) ? winner : 0;
    m_leader = m_lastWinner;
    m_toMove = m_lastWinner;
}

TTable::Settlement TTable::settle(int winner)
{
    Settlement result;
    if (!seated(winner))
        return result;
    for (int seat = 1; seat <= 4; ++seat) {
        if (!seated(seat))
            continue;
        const int loss = creditLoss(at(seat).count);
        result.loss[size_t(seat)] = loss;
        m_roster.user(seat).credit -= loss;
        result.pool += loss;
    }
    m_roster.user(winner).credit += result.pool;
    return result;
}
