// ClientTable's deal: the dealt cards, the leader, the turn, moves, and the end of the deal.
#include "cards/cardcode.h"
#include "client/clientcountdown.h"
#include "client/clienttable.h"
#include "game/moves.h"
#include "game/protocol.h"
#include "game/tablesnapshot.h"
#include <QTimer>
#include <algorithm>
#include <utility>

bool ClientTable::myTurn() const
{
    return m_inDeal && m_turnSeat != 0 && m_turnSeat == mySeat() && !m_ownTurnOver && !someoneOut();
}

bool ClientTable::someoneOut() const
{
    // Another player has thrown the last card: the deal's end is on its way, nothing is to be played.
    for (int s = 1; s <= 4; ++s)
        if (m_table.seated(s) && m_table.cardCount(s) == 0)
            return true;
    return false;
}

bool ClientTable::isLastWinner() const
{
    return mySeat() != 0 && m_table.lastWinner() == mySeat();
}

bool ClientTable::mayAskNextDeal() const
{
    return m_mayAskNext && !m_inDeal && isLastWinner();
}

void ClientTable::setCountdownTickMs(int ms)
{
    m_countdown->setTickMs(ms);
}

int ClientTable::countdownLeft() const
{
    return m_countdown->secondsLeft();
}

bool ClientTable::countdownRunning() const
{
    return m_countdown->running();
}

bool ClientTable::dealRunning() const
{
    const bool dealtCards = std::any_of(m_dealt.begin(), m_dealt.end(), [](const QString &c) { return !c.isEmpty(); });
    return m_inDeal || m_table.inDeal() || dealtCards || m_endPause->isActive();
}

void ClientTable::onCard(const QString &nick, const QString &position, const QString &code)
{
    int k = 0;
    if (!strictToInt(position, &k) || k < 1 || k > 13)
        return;
    if (nick == m_nick && isCardCode(code)) {
        m_dealt[size_t(k)] = code;
        m_verifier.onOwnCard(code);
    }
}

QStringList ClientTable::takeDealtCards()
{
    QStringList own;
    for (const QString &code : m_dealt)
        if (!code.isEmpty())
            own << code;
    m_dealt = {};
    return own;
}

QStringList ClientTable::enterDeal(const std::array<int, 5> &counts)
{
    ++m_dealSerial;
    m_endPause->stop();
    m_countdown->stop();
    m_turnHeld = false;
    m_heldTurnNick.clear();
    m_moveSeen = true;
    m_turnUnsure = false;
    m_turnSeat = 0;
    m_mayAskNext = false;
    m_inDeal = true;
    // This copy sees its own hand and only the size of the others.
    const int mine = mySeat();
    const QStringList own = takeDealtCards();
    for (int s = 1; s <= 4; ++s) {
        if (s == mine)
            m_table.setHand(s, own);
        else
            m_table.setHiddenHand(s, m_table.seated(s) ? counts[size_t(s)] : 0);
    }
    m_table.startPlay();
    return own;
}

void ClientTable::startDeal()
{
    if (mySeat() == 0)
        return;
    // A new deal without the last one's secret first: the secret is not coming.
    if (m_keyOwed)
        dealKeyMissing();
    m_ownWinUndone = false;
    const QStringList own = enterDeal({0, 13, 13, 13, 13});
    emit dealStarted();
    emit handChanged();
    if (!m_inDeal)
        return; // a watcher left the table

    // The last winner leads without a word from the host; otherwise the lowest card decides.
    if (m_table.seated(m_table.leader()))
        takeTurn(m_table.leader());
    else
        send(Tag::SMALLESTCARD, QString::number(m_rules.nthLowestValue(own, 1)));
    claimIfWonAsDealt(own);
}

void ClientTable::claimIfWonAsDealt(const QStringList &own)
{
    if (m_inDeal && own.size() == 13 && (m_rules.hasFourTwos(own) || m_rules.isThirteenRun(own))) {
        send(Tag::GAMEOVER, QString::number(m_port), m_nick);
        endDeal(m_port, mySeat());
    }
}

void ClientTable::resumeDeal(const HubMessage &m)
{
    const std::optional<TTableSnapshot> snapshot = parseTableSnapshot(m.value[0], m.value[1], m.value[2], m.value[3]);
    if (!snapshot || mySeat() == 0) {
        // Its cards go with it: left behind, they would join the hand of the next resend.
        m_dealt = {};
        return;
    }
    // A rejoin starts from a table forgotten meanwhile (a new serial); a resend does not.
    m_ownWinUndone = m_ownEndSerial == m_dealSerial && !m_inDeal;
    const QStringList own = enterDeal(snapshot->counts);
    m_table.setTableCards(snapshot->tableCards, m_roster.seatOfNick(snapshot->thrower));
    for (const QString &nick : snapshot->passed)
        m_table.markPassed(m_roster.seatOfNick(nick));
    emit dealStarted();
    emit handChanged();
    // A hand that wins as dealt and was never played from is claimed now, as at the start of a deal.
    claimIfWonAsDealt(own);
}

void ClientTable::onWhoseTurn(const QString &nick)
{
    const int seat = seatOf(nick);
    if (!m_inDeal || seat == 0)
        return;
    if (m_turnHeld)
        releaseHeldTurn(); // two notices without a move between: the first one stands as it came
    // Another player's move may come after the notice it caused: hold the notice for it.
    if (!m_moveSeen && m_turnSeat != 0 && m_turnSeat != mySeat()) {
        m_turnHeld = true;
        m_heldTurnNick = nick;
        return;
    }
    m_turnUnsure = m_turnSeat == 0;
    takeTurn(seat);
}

void ClientTable::releaseHeldTurn()
{
    m_turnHeld = false;
    const int seat = seatOf(std::exchange(m_heldTurnNick, QString()));
    if (m_inDeal && seat != 0)
        takeTurn(seat);
}

void ClientTable::takeTurn(int seat)
{
    m_turnSeat = seat;
    m_moveSeen = false;
    m_ownTurnOver = false;
    // Back at the thrower after everyone passed, the table clears before the countdown is chosen.
    m_table.setToMove(seat);
    emit turnChanged(seat);
    if (!myTurn() || !m_countsDown) {
        m_countdown->stop();
        return;
    }
    m_countdown->start(ClientCountdown::turnSeconds(hand(), m_table.tableCards(), m_eng));
}

void ClientTable::endOwnTurn()
{
    m_countdown->stop();
    if (m_turnSeat == mySeat())
        m_ownTurnOver = true;
}

void ClientTable::onCountdownExpired()
{
    if (m_autoPass && myTurn())
        pass();
}

Refusal ClientTable::checkPlay(const QStringList &cards) const
{
    if (cards.isEmpty())
        return Refusal::Illegal;
    if (!myTurn())
        return m_inDeal ? Refusal::NotYourTurn : Refusal::NoDeal;
    return m_table.checkMove(TMove{mySeat(), cards}, int(cards.size()));
}

bool ClientTable::play(const QStringList &cards)
{
    if (checkPlay(cards) != Refusal::None)
        return false;
    send(Tag::THROW, QString::number(m_port), m_nick, QString::number(cards.size()), joinCardList(cards));
    applyThrow(ownThrowClaim(m_port, m_nick, cards));
    // The deal may have been called off by a watcher of the move.
    if (m_inDeal && m_table.cardCount(mySeat()) == 0) {
        send(Tag::GAMEOVER, QString::number(m_port), m_nick);
        endDeal(m_port, mySeat());
    }
    return true;
}

bool ClientTable::pass()
{
    if (!myTurn())
        return false;
    send(Tag::THROW, QString::number(m_port), m_nick, QStringLiteral("0"), QString());
    applyThrow(ownThrowClaim(m_port, m_nick, {}));
    return true;
}

bool ClientTable::nextDeal()
{
    if (!mayAskNextDeal())
        return false;
    m_mayAskNext = false;
    send(Tag::NEXTGAME);
    return true;
}

void ClientTable::applyThrow(const TThrowClaim &claim)
{
    // Between deals there is nothing to throw on.
    const int seat = seatOf(claim.nick);
    if (!m_inDeal || seat == 0)
        return;
    const int toMove = m_table.toMove();
    const bool inTurn = toMove == 0 || toMove == seat;
    // Out of turn only the deal's first move can come, behind the notice it caused that this copy
    // took without knowing the leader.
    const bool lateCause = m_turnUnsure && m_table.moves().isEmpty() && m_table.seatAfter(seat) == toMove;
    if (!inTurn && !lateCause)
        return;
    if (seat == mySeat())
        endOwnTurn(); // its own move, or the host passed for it: its time is up
    if (claim.pass) {
        m_table.applyMove(TMove{seat, {}}, 0);
    } else {
        m_table.applyMove(TMove{seat, claim.shown}, claim.count);
        m_verifier.onThrow(seat, claim.shown);
    }
    m_turnUnsure = false;
    // The move that caused the shown turn is not the move of the player now to move.
    if (inTurn)
        m_moveSeen = true;
    emit moved(seat, claim.pass ? QStringList() : claim.shown);
    if (seat == mySeat())
        emit handChanged();
    if (m_turnHeld && m_moveSeen)
        releaseHeldTurn();
}

void ClientTable::onHostThrow(const TThrowClaim &claim)
{
    applyThrow(claim);
    // Its own last card, undone by a resend of the deal and heard back: its claim already went with it.
    if (m_inDeal && seatOf(claim.nick) == mySeat() && m_table.cardCount(mySeat()) == 0)
        endDeal(m_port, mySeat());
}

void ClientTable::endDeal(int winnerPort, int winnerSeat)
{
    // A deal ends once; a winner who is not at the table ends nothing.
    if (!m_table.seated(winnerSeat))
        return;
    if (!m_inDeal) {
        // Its own last card reached the host after the host had passed for it: the host's winner stands.
        if (m_ownEndSerial == m_dealSerial && winnerSeat != mySeat())
            overruleOwnEnd(winnerPort, winnerSeat);
        return;
    }
    m_inDeal = false;
    m_countdown->stop();
    m_turnSeat = 0;
    m_turnHeld = false;
    m_heldTurnNick.clear();
    m_table.endDeal(winnerSeat);
    m_endWinnerPort = winnerPort;
    m_endWinnerSeat = winnerSeat;
    m_ownEndSerial = winnerSeat == mySeat() ? m_dealSerial : -1;
    m_ownEndSettled = false;
    awaitDealKey();
    const int serial = m_dealSerial;
    emit dealEnded(winnerSeat);
    if (serial == m_dealSerial && !m_inDeal)
        m_endPause->start(kEndPauseMs);
}

void ClientTable::overruleOwnEnd(int winnerPort, int winnerSeat)
{
    m_ownEndSerial = -1;
    m_endPause->stop();
    m_mayAskNext = false;
    m_table.endDeal(winnerSeat);
    m_endWinnerPort = winnerPort;
    m_endWinnerSeat = winnerSeat;
    emit dealEnded(winnerSeat);
}

void ClientTable::endPauseOver()
{
    // Wait mode or the next deal stop the pause's timer; a leader changed meanwhile makes it moot.
    if (m_inDeal || m_table.leader() != m_endWinnerSeat)
        return;
    if (m_endWinnerPort == m_port && m_endWinnerSeat == mySeat()) {
        send(Tag::iSTART, QString::number(m_port), m_nick);
        m_mayAskNext = true;
        emit leaderChanged(m_endWinnerSeat);
    }
}

void ClientTable::onIStart(const QString &nick)
{
    const int seat = seatOf(nick);
    if (seat == 0)
        return;
    if (m_inDeal) {
        // A deal another guest won ends here when its end was not passed on as "[GAMEOVER]".
        m_inDeal = false;
        m_countdown->stop();
        m_turnSeat = 0;
        m_turnHeld = false;
        m_table.endDeal(seat);
        emit dealEnded(seat);
    } else {
        m_table.endDeal(seat);
    }
    // Only a player who comes back between deals hears of its own win: it may ask for the next deal.
    if (seat == mySeat())
        m_mayAskNext = true;
    emit leaderChanged(seat);
}
