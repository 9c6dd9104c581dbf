#include "bot/botplayer.h"
#include "cards/cardcode.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "rules/handorder.h"
#include <QRandomGenerator>
#include <QTimer>

using namespace BotCards;

TBotPlayer::TBotPlayer(const QString &host, int port, const QString &nick, int level, int delayMs, QObject *parent)
    : QObject(parent), m_host(host), m_port(port), m_nick(nick), m_level(std::clamp(level, 1, 3)),
      m_delayMs(qMax(0, delayMs))
{
    m_rules.useGameWeights();
    m_strategy = std::make_unique<TSmartStrategy>(m_level);
    m_strategy->seed(QRandomGenerator::global()->generate64());
    m_hub = new TwsHUBcli(QStringLiteral("gClient"), this);
    m_moveTimer = new QTimer(this);
    m_moveTimer->setSingleShot(true);
    connect(m_moveTimer, &QTimer::timeout, this, &TBotPlayer::playTurn);
    m_nextDealTimer = new QTimer(this);
    m_nextDealTimer->setSingleShot(true);
    connect(m_nextDealTimer, &QTimer::timeout, this, &TBotPlayer::askNextDeal);
    connect(m_hub, &TwsHUBcli::OnConnect, this, &TBotPlayer::onConnect);
    connect(m_hub, &TwsHUBcli::OnDisconnect, this, &TBotPlayer::onDisconnect);
    connect(m_hub, &TwsHUBcli::OnSockError, this, &TBotPlayer::onSockError);
    connect(m_hub, &TwsHUBcli::OnDataArrived, this, &TBotPlayer::onData);
}

TBotPlayer::~TBotPlayer()
{
    m_finished = true; // no signals from the destructor's own disconnect
    m_hub->disconnect(this);
    m_hub->setActive(false);
}

void TBotPlayer::setSeed(quint64 seed)
{
    m_strategy->seed(seed);
}

QString TBotPlayer::freeNick(const QStringList &taken)
{
    for (int i = 1;; ++i) {
        const QString nick = QStringLiteral("Bot%1").arg(i);
        if (!taken.contains(nick, Qt::CaseSensitive))
            return nick;
    }
}

void TBotPlayer::start()
{
    m_finished = false;
    m_hub->setHost(m_host);
    m_hub->setPort(m_port);
    emit note(QStringLiteral("%1: connecting to %2:%3").arg(m_nick, m_host).arg(m_port));
    m_hub->setActive(true);
}

void TBotPlayer::stop()
{
    leave(QStringLiteral(" Left the table."));
}

void TBotPlayer::leave(const QString &reason)
{
    m_moveTimer->stop();
    m_nextDealTimer->stop();
    m_gameOn = false;
    m_myTurn = false;
    if (m_finished)
        return;
    m_finished = true;
    m_hub->setActive(false);
    emit note(m_nick + QStringLiteral(":") + reason);
    emit finished(reason);
}

void TBotPlayer::send(const QString &tag, const QString &v1, const QString &v2, const QString &v3, const QString &v4)
{
    m_hub->Send(tag, v1, v2, v3, v4, QString(), QString());
}

// ---------------------------------------------------------------------------
// connection

void TBotPlayer::onConnect(const QString &, int)
{
    m_myPort = m_hub->LocalPort();
    emit note(QStringLiteral("%1: connected, local port %2").arg(m_nick).arg(m_myPort));
}

void TBotPlayer::onDisconnect(const QString &hostIP, int atPort)
{
    const QString reason =
        QStringLiteral(" Disconnected from %1 : %2").arg(hostIP.isEmpty() ? m_host : hostIP).arg(atPort ? atPort : m_port);
    m_moveTimer->stop();
    m_gameOn = false;
    // a socket error comes right after the disconnect and tells more: let it speak first
    QTimer::singleShot(0, this, [this, reason] { leave(reason); });
}

void TBotPlayer::onSockError(const QString &message)
{
    leave(message.isEmpty() ? QStringLiteral(" Host not found.") : QStringLiteral(" ") + message);
}

void TBotPlayer::onData(const QString &, int, const QString &tag, const QString &v1, const QString &v2,
                        const QString &v3, const QString &v4, const QString &v5, const QString &)
{
    if (m_finished)
        return;
    // the handshake and the refusals, as a player's copy answers them
    if (tag == Tag::PING) {
        send(Tag::PONG, m_nick);
    } else if (tag == Tag::REQVER) {
        send(Tag::CHKVER, kVersionText);
    } else if (tag == Tag::REQINFO) {
        send(Tag::REQJOIN, m_nick);
        m_myPort = m_hub->LocalPort();
        waitMode();
    } else if (tag == Tag::WAITMODE) {
        waitMode();
    } else if (tag == Tag::ONGAME) {
        leave(QStringLiteral(" Game is started, try later !"));
    } else if (tag == Tag::FULL) {
        leave(QStringLiteral(" Game is Full, try later !"));
    } else if (tag == Tag::DIFFVER) {
        leave(QStringLiteral(" Different version between server and client detected ! "));
    } else if (tag == Tag::CHNICK) {
        leave(QStringLiteral(" Nick Collision ! Please change your nick !"));
    } else if (tag == Tag::USER) {
        onUser(v1, v2, v4, v5);
    } else if (tag == Tag::CREDIT) {
        onCredit(v2, v3);
    } else if (tag == Tag::CARD) {
        onCard(v2, v3, v4);
    } else if (tag == Tag::NEWGAME) {
        onNewGame();
    } else if (tag == Tag::WHOSETURN) {
        onWhoseTurn(v2);
    } else if (tag == Tag::THROW) {
        onThrow(v2, v3, v4);
    } else if (tag == Tag::GAMEOVER) {
        onGameOver(v1, v2);
    } else if (tag == Tag::iSTART) {
        onStart(v2);
    }
    // chat, "[PASS]" and any tag not known here change nothing
}

// ---------------------------------------------------------------------------
// seats and credits

int TBotPlayer::seatOfNick(const QString &nick) const
{
    if (nick.isEmpty())
        return 0;
    for (int s = 1; s <= 4; ++s) {
        if (m_seatNick[size_t(s)] == nick)
            return s;
    }
    return 0;
}

int TBotPlayer::relative(int seat) const
{
    return m_mySeat ? (seat - m_mySeat + 4) % 4 : 0;
}

void TBotPlayer::onUser(const QString &what, const QString &nick, const QString &, const QString &seatText)
{
    if (what == Tag::JOIN) {
        int seat = 0;
        if (!strictToInt(seatText, &seat) || seat < 1 || seat > 4 || nick.isEmpty())
            return;
        const int old = seatOfNick(nick);
        if (old)
            m_seatNick[size_t(old)].clear();
        m_seatNick[size_t(seat)] = nick;
        if (nick == m_nick) {
            m_mySeat = seat;
            emit note(QStringLiteral("%1: seated at %2").arg(m_nick).arg(seat));
            emit seated(seat);
        } else if (m_mySeat == seat) {
            m_mySeat = 0; // the host gave this seat to somebody else
        }
    } else if (what == Tag::QUIT) {
        const int seat = seatOfNick(nick);
        if (seat) {
            m_seatNick[size_t(seat)].clear();
            if (seat == m_mySeat)
                m_mySeat = 0;
        }
    }
}

void TBotPlayer::onCredit(const QString &nick, const QString &credit)
{
    if (nick != m_nick)
        return;
    m_credit = lenientToInt(credit);
    if (m_credit <= 0)
        leave(QStringLiteral(" YOU ARE BANKRUPT !"));
}

// ---------------------------------------------------------------------------
// the deal

void TBotPlayer::waitMode()
{
    m_moveTimer->stop();
    m_gameOn = false;
    m_myTurn = false;
    m_turnSeat = 0;
    m_startSeat = 0;
    m_tableCodes.clear();
    m_tableSeat = 0;
    m_dealt = {};
}

void TBotPlayer::onCard(const QString &nick, const QString &position, const QString &code)
{
    // dealt cards wait for "[NEWGAME]"; the hand in play is kept apart from them
    int k = 0;
    if (nick != m_nick || !strictToInt(position, &k) || k < 1 || k > 13)
        return;
    if (indexOfCode(code) >= 0)
        m_dealt[size_t(k)] = code;
}

void TBotPlayer::onNewGame()
{
    if (!m_mySeat)
        return;
    m_moveTimer->stop();
    m_nextDealTimer->stop();
    QStringList codes;
    for (int k = 1; k <= 13; ++k) {
        if (!m_dealt[size_t(k)].isEmpty())
            codes << m_dealt[size_t(k)];
    }
    m_dealt = {};
    m_hand = maskOf(codes); // a card dealt twice counts once
    m_played = 0;
    m_tableCodes.clear();
    m_tableSeat = 0;
    m_passed = {};
    for (int s = 1; s <= 4; ++s)
        m_cardsLeft[size_t(s)] = m_seatNick[size_t(s)].isEmpty() ? -1 : 13;
    m_cardsLeft[size_t(m_mySeat)] = count(m_hand);
    m_gameOn = true;
    m_myTurn = false;
    m_turnSeat = 0;
    m_moveSeen = true;
    m_heldTurnNick.clear();
    ++m_dealsPlayed;
    emit dealStarted();
    const QStringList hand = codesOf(m_hand);
    if (m_startSeat && !m_seatNick[size_t(m_startSeat)].isEmpty()) {
        giveTurn(m_startSeat);
    } else {
        m_startSeat = 0;
        send(Tag::SMALLESTCARD, QString::number(m_rules.nthLowestValue(hand, 1)));
    }
    if (m_rules.hasFourTwos(hand) || m_rules.isThirteenRun(hand)) {
        send(Tag::GAMEOVER, QString::number(m_myPort), m_nick);
        endDeal(m_myPort, m_nick);
    }
}

bool TBotPlayer::someoneOut() const
{
    for (int s = 1; s <= 4; ++s)
        if (s != m_mySeat && m_cardsLeft[size_t(s)] == 0)
            return true;
    return false;
}

void TBotPlayer::giveTurn(int seat)
{
    m_turnSeat = seat;
    m_moveSeen = false;
    // back at the player whose combination lies on the table: the table is cleared
    if (seat == m_tableSeat) {
        m_tableCodes.clear();
        m_tableSeat = 0;
        m_passed = {};
    }
    if (seat != m_mySeat || !m_gameOn || m_hand == 0 || someoneOut()) {
        m_myTurn = false;
        m_moveTimer->stop();
        return;
    }
    m_myTurn = true;
    // a little unevenness, as a person takes more or less time
    const int jitter = m_delayMs / 4;
    const int wait = m_delayMs + (jitter ? int(QRandomGenerator::global()->bounded(2 * jitter + 1)) - jitter : 0);
    m_moveTimer->start(wait);
}

void TBotPlayer::onWhoseTurn(const QString &nick)
{
    const int seat = seatOfNick(nick);
    if (!seat || !m_gameOn)
        return;
    if (!m_heldTurnNick.isEmpty())
        onThrowSeen(); // two notices without a move between: the first one stands as it came
    if (!m_moveSeen && m_turnSeat != 0 && m_turnSeat != m_mySeat) {
        m_heldTurnNick = nick;
        return;
    }
    giveTurn(seat);
}

void TBotPlayer::onThrowSeen()
{
    m_moveSeen = true;
    if (m_heldTurnNick.isEmpty())
        return;
    const int seat = seatOfNick(m_heldTurnNick);
    m_heldTurnNick.clear();
    if (seat && m_gameOn)
        giveTurn(seat);
}

void TBotPlayer::onThrow(const QString &nick, const QString &countText, const QString &list)
{
    int c = 0;
    const int seat = seatOfNick(nick);
    if (!seat || !strictToInt(countText, &c))
        return;
    if (!m_gameOn)
        return;
    if (!list.contains(QLatin1Char('#'))) {
        m_passed[size_t(seat)] = true;
        onThrowSeen();
        return;
    }
    // the codes the table shows: cut at each "#", stopping at an empty piece, at most c of them
    QStringList shown;
    QString rest = list;
    for (int j = 0; j < qMin(c, 5); ++j) {
        const qsizetype cut = rest.indexOf(QLatin1Char('#'));
        if (cut <= 0)
            break;
        shown << rest.left(cut);
        rest = rest.mid(cut + 1);
    }
    if (shown.size() == 5)
        sortCodes(shown, true);
    m_tableCodes = shown;
    m_tableSeat = seat;
    m_passed = {};
    if (seat != m_mySeat) {
        if (m_cardsLeft[size_t(seat)] > 0)
            m_cardsLeft[size_t(seat)] = qMax(0, m_cardsLeft[size_t(seat)] - qMax(0, c));
        m_played |= maskOf(shown) & ~m_hand;
    }
    onThrowSeen();
}

TBotView TBotPlayer::view() const
{
    TBotView v;
    v.hand = m_hand;
    v.played = m_played & ~m_hand;
    v.table = BotCombos::tableCombo(m_tableCodes);
    v.tableOwner = m_tableSeat ? relative(m_tableSeat) : -1;
    for (int s = 1; s <= 4; ++s) {
        const int r = relative(s);
        v.cards[size_t(r)] = s == m_mySeat ? count(m_hand) : m_cardsLeft[size_t(s)];
        v.passed[size_t(r)] = m_passed[size_t(s)];
    }
    return v;
}

void TBotPlayer::playTurn()
{
    if (!m_myTurn || !m_gameOn || m_finished || m_turnSeat != m_mySeat || m_hand == 0)
        return;
    m_myTurn = false;
    const TBotView v = view();
    const QList<TCombo> throws = m_moves.legalThrows(m_hand, m_tableCodes);
    TCombo pick = m_strategy->choose(v, throws);
    if (!pick.isPass() && ((pick.mask & ~m_hand) || !m_moves.accepts(pick, m_tableCodes)))
        pick = TCombo{}; // never send what the rules would refuse
    const QStringList codes = pick.isPass() ? QStringList() : TMoveGenerator::selectionOf(pick);
    send(Tag::THROW, QString::number(m_myPort), m_nick, QString::number(codes.size()), joinCardList(codes));
    emit moved(codes);
    if (codes.isEmpty()) {
        m_passed[size_t(m_mySeat)] = true;
        return;
    }
    m_hand &= ~pick.mask;
    m_played |= pick.mask;
    m_tableCodes = codes;
    m_tableSeat = m_mySeat;
    m_passed = {};
    m_cardsLeft[size_t(m_mySeat)] = count(m_hand);
    if (m_hand == 0) {
        send(Tag::GAMEOVER, QString::number(m_myPort), m_nick);
        endDeal(m_myPort, m_nick);
    }
}

void TBotPlayer::endDeal(int winnerPort, const QString &winner)
{
    m_gameOn = false;
    m_myTurn = false;
    m_moveTimer->stop();
    m_startSeat = seatOfNick(winner);
    m_turnSeat = m_startSeat;
    emit dealEnded(winner);
    if (winnerPort == m_myPort && winner == m_nick) {
        ++m_dealsWon;
        send(Tag::iSTART, QString::number(m_myPort), m_nick);
        m_nextDealTimer->start(m_nextDealDelayMs);
    }
}

void TBotPlayer::onGameOver(const QString &portText, const QString &nick)
{
    int port = 0;
    if (!strictToInt(portText, &port) || !m_gameOn)
        return;
    endDeal(port, nick);
}

void TBotPlayer::onStart(const QString &nick)
{
    const int seat = seatOfNick(nick);
    if (!seat)
        return;
    // a deal won by another player's copy ends here for this one
    if (m_gameOn) {
        m_gameOn = false;
        m_myTurn = false;
        m_moveTimer->stop();
        emit dealEnded(nick);
    }
    m_startSeat = seat;
    m_turnSeat = seat;
}

void TBotPlayer::askNextDeal()
{
    if (m_finished || m_gameOn || !m_mySeat)
        return;
    send(Tag::NEXTGAME);
}
