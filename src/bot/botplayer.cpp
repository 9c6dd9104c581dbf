#include "bot/botplayer.h"
#include "bot/botview.h"
#include "cards/cardcode.h"
#include "game/clientside.h"
#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/messagerouter.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <utility>

using namespace BotCards;

TBotPlayer::TBotPlayer(const QString &host, int port, const QString &nick, int level, int delayMs, QObject *parent)
    : QObject(parent), m_host(host), m_port(port), m_nick(nick), m_level(std::clamp(level, 1, 4)),
      m_delayMs(qMax(0, delayMs))
{
    m_ctx.rules.useGameWeights();
    m_strategy = makeStrategy(QString::number(m_level));
    m_strategy->seed(QRandomGenerator::global()->generate64());

    m_moveTimer = new QTimer(this);
    m_moveTimer->setSingleShot(true);
    connect(m_moveTimer, &QTimer::timeout, this, &TBotPlayer::playTurn);
    m_nextDealTimer = new QTimer(this);
    m_nextDealTimer->setSingleShot(true);
    connect(m_nextDealTimer, &QTimer::timeout, this, &TBotPlayer::askNextDeal);

    m_view.turnStarted = [this] { startMoveTimer(); };
    m_view.turnEnded = [this] {
        m_moveTimer->stop();
        followTable();
    };
    m_view.newGameEnabled = [this](bool on) {
        if (on && !m_finished)
            m_nextDealTimer->start(m_nextDealDelayMs);
        else
            m_nextDealTimer->stop();
    };
    m_view.messageShown = [this](const QString &text) { m_boxText = text; };
    m_view.changed = [this] { followTable(); };
    m_view.pauseEnded = [this] {
        if (m_finished)
            announceFinish();
    };

    m_ctx.gClient = new TwsHUBcli(QStringLiteral("gClient"), this);
    m_ctx.createGameControl(&m_view);
    connect(m_ctx.gClient, &TwsHUBcli::OnConnect, this, &TBotPlayer::onConnect);
    connect(m_ctx.gClient, &TwsHUBcli::OnDisconnect, this, &TBotPlayer::onDisconnect);
    connect(m_ctx.gClient, &TwsHUBcli::OnSockError, this, [this](const QString &message) {
        if (!m_finished && m_ctx.clientSide->connectionLost())
            return;
        leave(message.isEmpty() ? QStringLiteral(" Host not found.") : QStringLiteral(" ") + message);
    });
    m_ctx.clientSide->gaveUp = [this] {
        leave(QStringLiteral(" Disconnected from %1 : %2").arg(m_host).arg(m_port));
    };
    connect(m_ctx.gClient, &TwsHUBcli::OnDataArrived, this, &TBotPlayer::onData);
}

TBotPlayer::~TBotPlayer()
{
    if (m_thinker)
        m_thinker->wait(); // the search uses the strategy and this player's memory
    m_finished = true; // no signals from the destructor's own disconnect
    m_finishAnnounced = true;
    m_ctx.gClient->disconnect(this);
    m_ctx.gClient->setActive(false);
    m_ctx.destroyGameControl();
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

int TBotPlayer::mySeat() const
{
    const int seat = m_ctx.roster.seatOfNick(m_ctx.st.myNick);
    return TuserInfo::validSeat(seat) ? seat : 0;
}

bool TBotPlayer::inDeal() const
{
    return m_ctx.st.gameOn && m_ctx.table.inDeal();
}

int TBotPlayer::credit() const
{
    // A client's credits are what the host announced, shown on the player's own seat.
    const QString shown = m_view.creditText(1);
    return shown.isEmpty() ? 1000 : lenientToInt(shown);
}

QStringList TBotPlayer::handCodes() const
{
    return codesOf(maskOf(m_ctx.table.hand(mySeat())));
}

void TBotPlayer::start()
{
    m_finished = false;
    m_finishAnnounced = false;
    m_reason.clear();
    m_boxText.clear();
    m_seenSeat = 0;
    m_inDeal = false;
    m_ctx.roster.clearAll();
    m_ctx.clientSide->stopReconnecting();
    m_ctx.st.myNick = m_nick;
    m_ctx.gClient->setHost(m_host);
    m_ctx.gClient->setPort(m_port);
    emit note(QStringLiteral("%1: connecting to %2:%3").arg(m_nick, m_host).arg(m_port));
    m_ctx.gClient->setActive(true);
}

void TBotPlayer::stop()
{
    leave(QStringLiteral(" Left the table."));
}

void TBotPlayer::leave(const QString &reason)
{
    m_moveTimer->stop();
    m_nextDealTimer->stop();
    if (m_finished)
        return;
    m_finished = true;
    m_reason = reason;
    m_ctx.clientSide->stopReconnecting();
    m_ctx.gClient->setActive(false);
    emit note(m_nick + QStringLiteral(":") + reason);
    // Whoever hears of it may delete this player: not while a pause of the game control runs.
    if (!m_view.pausing())
        announceFinish();
}

void TBotPlayer::announceFinish()
{
    if (m_finishAnnounced)
        return;
    m_finishAnnounced = true;
    emit finished(m_reason);
}

// ---------------------------------------------------------------------------
// connection

void TBotPlayer::onConnect()
{
    m_ctx.st.myPort = m_ctx.gClient->LocalPort();
    emit note(QStringLiteral("%1: connected, local port %2").arg(m_nick).arg(m_ctx.st.myPort));
}

void TBotPlayer::onDisconnect(const QString &hostIP, int atPort)
{
    m_moveTimer->stop();
    // Lost in the middle of a deal: it goes on trying to get back to its seat.
    if (!m_finished && m_ctx.clientSide->connectionLost())
        return;
    // As the window resets its table when the connection ends.
    m_ctx.enterWaitMode();
    if (m_finished)
        return;
    const QString reason = QStringLiteral(" Disconnected from %1 : %2")
                               .arg(hostIP.isEmpty() ? m_host : hostIP)
                               .arg(atPort ? atPort : m_port);
    // a socket error or a refusal comes right after the disconnect and tells more: let it speak first
    QTimer::singleShot(0, this, [this, reason] { leave(reason); });
}

void TBotPlayer::onData(const QString &fromIP, int fromPort, const QString &tag, const QString &v1,
                        const QString &v2, const QString &v3, const QString &v4, const QString &v5,
                        const QString &v6)
{
    if (m_finished)
        return;
    m_ctx.router->gClientDataArrived(fromIP, fromPort, tag, v1, v2, v3, v4, v5, v6);
    followTable();
    takeMessage();
}

void TBotPlayer::takeMessage()
{
    if (m_boxText.isEmpty() || m_finished)
        return;
    const QString text = std::exchange(m_boxText, QString());
    // A refusal closes the connection before its box, a bankruptcy right after it.
    if (!m_ctx.gClient->Active())
        leave(text);
    else
        emit note(m_nick + QStringLiteral(":") + text);
}

// ---------------------------------------------------------------------------
// following the table

void TBotPlayer::followTable()
{
    if (m_finished)
        return;
    const int seat = mySeat();
    if (seat != m_seenSeat) {
        m_seenSeat = seat;
        if (seat) {
            emit note(QStringLiteral("%1: seated at %2").arg(m_nick).arg(seat));
            emit seated(seat);
        }
    }
    const int serial = m_ctx.flow->dealSerial();
    const bool playing = inDeal();
    if (m_inDeal && (!playing || serial != m_seenSerial)) {
        m_inDeal = false;
        const int winner = m_ctx.table.lastWinner();
        if (m_ctx.table.phase() == TablePhase::DealOver && winner) {
            if (winner == seat)
                ++m_dealsWon;
            emit dealEnded(m_ctx.roster.user(winner).nick);
        }
    }
    // a deal dealt while this player was still waiting for its seat is not its deal
    if (!m_inDeal && playing && seat && serial != m_seenSerial) {
        m_inDeal = true;
        m_seenSerial = serial;
        ++m_dealsPlayed;
        m_nextDealTimer->stop();
        emit dealStarted();
    }
}

// ---------------------------------------------------------------------------
// the bot's own moves

void TBotPlayer::startMoveTimer()
{
    if (m_finished)
        return;
    // a little unevenness, as a person takes more or less time
    const int jitter = m_delayMs / 4;
    const int wait = m_delayMs + (jitter ? int(QRandomGenerator::global()->bounded(2 * jitter + 1)) - jitter : 0);
    m_moveTimer->start(wait);
}

bool TBotPlayer::someoneOut() const
{
    const int mine = mySeat();
    for (int s = 1; s <= 4; ++s)
        if (s != mine && m_ctx.table.seated(s) && m_ctx.table.cardCount(s) == 0)
            return true;
    return false;
}

TBotView TBotPlayer::botView() const
{
    return botViewOf(m_ctx.table, mySeat());
}

bool TBotPlayer::myTurn() const
{
    return !m_finished && inDeal() && m_ctx.st.turnSeat == 1 && mySeat();
}

void TBotPlayer::playTurn()
{
    if (m_thinker || !myTurn())
        return;
    const TBotView v = botView();
    if (v.hand == 0 || someoneOut())
        return;
    const QStringList table = m_ctx.table.tableCards();
    const QList<TCombo> throws = m_moves.legalThrows(v.hand, table);
    if (m_level < 4) {
        makeMove(v.hand, table, m_strategy->choose(v, throws));
        return;
    }
    // a search takes up to a few hundred milliseconds: it runs beside the event loop, so the
    // program it shares (the host's window) stays responsive meanwhile
    m_thinker.reset(QThread::create([this, v, throws] { m_thought = m_strategy->choose(v, throws); }));
    connect(m_thinker.get(), &QThread::finished, this, [this, hand = v.hand, table] {
        m_thinker->wait();
        m_thinker.reset();
        if (!myTurn())
            return; // the turn passed on meanwhile (its time ran out, the deal ended)
        if (botView().hand == hand && m_ctx.table.tableCards() == table)
            makeMove(hand, table, m_thought);
        else
            playTurn(); // the turn came round again while the search ran: think anew
    });
    m_thinker->start();
}

void TBotPlayer::makeMove(TCardMask hand, const QStringList &table, TCombo pick)
{
    if (!pick.isPass() && ((pick.mask & ~hand) || !m_moves.accepts(pick, table)))
        pick = TCombo{}; // never send what the rules would refuse
    if (pick.isPass()) {
        m_ctx.flow->btnPassClick();
        emit moved({});
    } else {
        throwCards(TMoveGenerator::selectionOf(pick));
    }
    followTable();
}

void TBotPlayer::throwCards(const QStringList &codes)
{
    // As the window's "Throw Card": to the table, onto this copy's table, and the deal's end
    // when the hand is empty.
    TGameContext &w = m_ctx;
    const QString list = joinCardList(codes);
    const int n = int(codes.size());
    w.router->sendToTable(Tag::THROW, QString::number(w.st.myPort), w.st.myNick, QString::number(n), list);
    w.flow->applyThrow(w.st.myPort, w.st.myNick, n, list);
    emit moved(codes);
    if (w.st.gameOn && w.table.cardCount(mySeat()) == 0) {
        w.router->sendToTable(Tag::GAMEOVER, QString::number(w.st.myPort), w.st.myNick);
        w.dealEnd->endDeal(w.st.myPort, w.st.myNick);
    }
}

void TBotPlayer::askNextDeal()
{
    if (m_finished || m_ctx.st.gameOn || !mySeat())
        return;
    m_ctx.flow->btnNewClick();
}
