#include "bot/botplayer.h"
#include "bot/botview.h"
#include "bot/thinkingpool.h"
#include "client/clienttable.h"
#include "net/hubdialer.h"
#include <QRandomGenerator>
#include <QTimer>
#include <utility>

using namespace BotCards;

TBotPlayer::TBotPlayer(const QString &host, int port, const QString &nick, int level, int delayMs, QObject *parent)
    : QObject(parent), m_connection(new HubDialer(host, port, this)), m_host(host), m_port(port), m_nick(nick),
      m_level(std::clamp(level, 1, 4)), m_delayMs(qMax(0, delayMs))
{
    init();
}

TBotPlayer::TBotPlayer(Connection *connection, const QString &nick, int level, int delayMs, QObject *parent)
    : QObject(parent), m_connection(connection), m_nick(nick), m_level(std::clamp(level, 1, 4)),
      m_delayMs(qMax(0, delayMs))
{
    if (m_connection)
        m_connection->setParent(this);
    init();
}

void TBotPlayer::init()
{
    m_rules.useGameWeights();
    m_strategy = makeStrategy(QString::number(m_level));
    m_strategy->seed(QRandomGenerator::global()->generate64());

    m_thinking = new QFutureWatcher<TCombo>(this);
    connect(m_thinking, &QFutureWatcherBase::finished, this, &TBotPlayer::thought);

    m_moveTimer = new QTimer(this);
    m_moveTimer->setSingleShot(true);
    connect(m_moveTimer, &QTimer::timeout, this, &TBotPlayer::playTurn);
    m_nextDealTimer = new QTimer(this);
    m_nextDealTimer->setSingleShot(true);
    connect(m_nextDealTimer, &QTimer::timeout, this, &TBotPlayer::askNextDeal);

    m_table = new ClientTable(m_connection, m_nick, this);
    // Its own pause decides when it moves; the host's deadline covers a search that overruns.
    m_table->setAutoPass(false);
    m_table->setCountsDown(false);
    if (m_connection)
        connect(m_connection, &Connection::opened, this, [this] {
            emit note(QStringLiteral("%1: connected, local port %2").arg(m_nick).arg(m_connection->wirePort()));
        });
    connect(m_table, &ClientTable::seatsChanged, this, &TBotPlayer::onSeatsChanged);
    connect(m_table, &ClientTable::dealStarted, this, &TBotPlayer::onDealStarted);
    connect(m_table, &ClientTable::turnChanged, this, &TBotPlayer::onTurn);
    connect(m_table, &ClientTable::moved, this, [this](int seat, const QStringList &cards) {
        if (seat != mySeat())
            return;
        m_moveTimer->stop();
        if (m_sending)
            emit moved(cards);
    });
    connect(m_table, &ClientTable::dealEnded, this, &TBotPlayer::onDealEnded);
    connect(m_table, &ClientTable::leaderChanged, this, &TBotPlayer::onLeaderChanged);
    connect(m_table, &ClientTable::creditChanged, this, [this](int seat, int credit) {
        if (seat == mySeat())
            m_lastCredit = credit;
    });
    connect(m_table, &ClientTable::refused, this, [this](const QString &text) {
        if (m_reason.isEmpty())
            m_reason = text;
    });
    connect(m_table, &ClientTable::bankrupt, this, [this](int seat) {
        if (seat != mySeat()) {
            emit note(QStringLiteral("%1: %2 is bankrupt").arg(m_nick, m_table->roster().user(seat).nick));
        } else if (m_reason.isEmpty()) {
            m_reason = QStringLiteral(" YOU ARE BANKRUPT !");
        }
    });
    connect(m_table, &ClientTable::waitMode, this, [this] {
        m_moveTimer->stop();
        // A seat being taken back keeps its deal; a deal called off is over.
        if (!m_table->reconnecting())
            m_inDeal = false;
    });
    connect(m_table, &ClientTable::connectionLost, this, [this](const QString &text) {
        m_moveTimer->stop();
        emit note(m_nick + QStringLiteral(":") + text + QStringLiteral(" Trying to get back."));
    });
    connect(m_table, &ClientTable::reconnected, this,
            [this] { emit note(QStringLiteral("%1: back at the table").arg(m_nick)); });
    connect(m_table, &ClientTable::disconnected, this, &TBotPlayer::onDisconnected);
}

TBotPlayer::~TBotPlayer()
{
    // A decision still on the pool holds its own share of the strategy; its result goes with the watcher.
    m_finished = true;
    m_table->disconnect(this);
    if (m_connection) {
        m_connection->disconnect(this);
        m_connection->close();
    }
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
    return m_table->mySeat();
}

bool TBotPlayer::inDeal() const
{
    return m_table->inDeal();
}

int TBotPlayer::credit() const
{
    return isSeated() ? m_table->credit(mySeat()) : m_lastCredit;
}

int TBotPlayer::myPort() const
{
    return m_table->myPort();
}

QStringList TBotPlayer::handCodes() const
{
    return codesOf(maskOf(m_table->hand()));
}

void TBotPlayer::start()
{
    m_finished = false;
    m_reason.clear();
    m_seenSeat = 0;
    m_inDeal = false;
    if (m_host.isEmpty())
        emit note(QStringLiteral("%1: joining the table").arg(m_nick));
    else
        emit note(QStringLiteral("%1: connecting to %2:%3").arg(m_nick, m_host).arg(m_port));
    m_table->start();
}

void TBotPlayer::stop()
{
    if (m_finished)
        return;
    if (m_reason.isEmpty())
        m_reason = QStringLiteral(" Left the table.");
    m_table->leave();
    // A connection still being made is not open yet: it is called off too.
    if (m_connection)
        m_connection->close();
}

void TBotPlayer::onDisconnected(const QString &text)
{
    m_moveTimer->stop();
    m_nextDealTimer->stop();
    m_inDeal = false;
    if (m_finished)
        return;
    m_finished = true;
    QString reason = m_reason.isEmpty() ? text : m_reason;
    if (!reason.startsWith(QLatin1Char(' ')))
        reason.prepend(QLatin1Char(' '));
    m_reason = reason;
    emit note(m_nick + QStringLiteral(":") + reason);
    // From the event loop, so that a listener may delete this player with its table at once.
    QMetaObject::invokeMethod(this, [this, reason] { emit finished(reason); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// following the table

void TBotPlayer::onSeatsChanged()
{
    const int seat = mySeat();
    if (seat == m_seenSeat)
        return;
    m_seenSeat = seat;
    if (!seat || m_finished)
        return;
    m_lastCredit = m_table->credit(seat);
    emit note(QStringLiteral("%1: seated at %2").arg(m_nick).arg(seat));
    emit seated(seat);
}

void TBotPlayer::onDealStarted()
{
    m_nextDealTimer->stop();
    // The deal it had when its connection dropped comes back: the same deal.
    if (m_inDeal || !mySeat() || m_finished)
        return;
    // Its own win undone by a resend of the same deal: no new deal, and no win until the host has it.
    if (m_table->ownWinUndone() && std::exchange(m_wonLast, false)) {
        --m_dealsWon;
        m_inDeal = true;
        return;
    }
    m_inDeal = true;
    m_wonLast = false;
    ++m_dealsPlayed;
    emit dealStarted();
}

void TBotPlayer::onDealEnded(int winnerSeat)
{
    m_moveTimer->stop();
    if (!m_inDeal) {
        // Its own win, overruled: the host had passed for it, and the host's winner stands.
        if (std::exchange(m_wonLast, false) && winnerSeat != mySeat()) {
            --m_dealsWon;
            emit dealEnded(m_table->roster().user(winnerSeat).nick);
        }
        return;
    }
    m_inDeal = false;
    m_wonLast = winnerSeat == mySeat();
    if (m_wonLast)
        ++m_dealsWon;
    emit dealEnded(m_table->roster().user(winnerSeat).nick);
}

void TBotPlayer::onLeaderChanged()
{
    // Back between deals: the deal it was in ended while it was away.
    if (!m_table->inDeal())
        m_inDeal = false;
    if (m_table->mayAskNextDeal() && !m_finished)
        m_nextDealTimer->start(m_nextDealDelayMs);
}

void TBotPlayer::onTurn()
{
    if (myTurn())
        startMoveTimer();
    else
        m_moveTimer->stop();
}

// ---------------------------------------------------------------------------
// the bot's own moves

void TBotPlayer::startMoveTimer()
{
    // a little unevenness, as a person takes more or less time
    const int jitter = m_delayMs / 4;
    const int wait = m_delayMs + (jitter ? int(QRandomGenerator::global()->bounded(2 * jitter + 1)) - jitter : 0);
    m_moveTimer->start(wait);
}

bool TBotPlayer::someoneOut() const
{
    const TTable &t = m_table->table();
    const int mine = mySeat();
    for (int s = 1; s <= 4; ++s)
        if (s != mine && t.seated(s) && t.cardCount(s) == 0)
            return true;
    return false;
}

bool TBotPlayer::myTurn() const
{
    return !m_finished && m_table->myTurn();
}

void TBotPlayer::playTurn()
{
    if (m_thinkingNow || !myTurn())
        return;
    const TBotView v = botViewOf(m_table->table(), mySeat());
    if (v.hand == 0 || someoneOut())
        return;
    const QStringList onTable = m_table->table().tableCards();
    const QList<TCombo> throws = m_moves.legalThrows(v.hand, onTable);
    if (m_level < 3) {
        makeMove(m_strategy->choose(v, throws));
        return;
    }
    // Levels 3 and 4 look ahead (a search takes up to a few hundred milliseconds): the decision
    // waits for a thread of the program's thinking pool while the event loop goes on.
    m_thinkingNow = true;
    m_thinkingHand = v.hand;
    m_thinkingTable = onTable;
    m_thinking->setFuture(
        ThinkingPool::run<TCombo>([strategy = m_strategy, v, throws] { return strategy->choose(v, throws); }));
}

void TBotPlayer::thought()
{
    if (!m_thinkingNow)
        return;
    m_thinkingNow = false;
    const QFuture<TCombo> done = m_thinking->future();
    if (done.resultCount() == 0 || !myTurn())
        return; // dropped, or the turn passed on meanwhile (its time ran out, the deal ended)
    if (maskOf(m_table->hand()) == m_thinkingHand && m_table->table().tableCards() == m_thinkingTable)
        makeMove(done.result());
    else
        playTurn(); // the turn came round again while it thought: think anew
}

void TBotPlayer::makeMove(TCombo pick)
{
    QStringList codes = pick.isPass() ? QStringList() : TMoveGenerator::selectionOf(pick);
    if (!codes.isEmpty() && m_table->checkPlay(codes) != Refusal::None)
        codes.clear(); // never send what the rules would refuse
    // moved() is told as the table applies the move, before any end of the deal it causes
    m_sending = true;
    if (codes.isEmpty())
        m_table->pass();
    else
        m_table->play(codes);
    m_sending = false;
}

void TBotPlayer::askNextDeal()
{
    if (!m_finished)
        m_table->nextDeal();
}
