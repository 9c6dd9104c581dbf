#include "server/serverbots.h"
#include "bot/botplayer.h"
#include "host/tablehost.h"
#include "net/localpipe.h"
#include "server/servertables.h"
#include <QPointer>
#include <QSet>
#include <QTimer>

// The computer players of one table; goes with its table.
class TableBots : public QObject
{
public:
    TableBots(ServerBots &server, TableHost *host) : QObject(host), m_server(server), m_host(host)
    {
        m_wait = new QTimer(this);
        m_wait->setSingleShot(true);
        connect(m_wait, &QTimer::timeout, this, &TableBots::fill);
        connect(host, &TableHost::seatsChanged, this, &TableBots::check);
        connect(host, &TableHost::phaseChanged, this, &TableBots::check);
    }

    // Every computer player started here that has not finished, seated or on its way.
    QList<TBotPlayer *> bots() const
    {
        QList<TBotPlayer *> all;
        for (const QPointer<TBotPlayer> &b : m_bots)
            if (b)
                all << b;
        return all;
    }

    bool isBotNick(const QString &nick) const
    {
        for (const TBotPlayer *b : bots())
            if (b->nick() == nick)
                return true;
        return false;
    }

    // A seated computer player that is not leaving already.
    TBotPlayer *leaver() const
    {
        for (TBotPlayer *b : bots())
            if (!m_leaving.contains(b) && TuserInfo::validSeat(m_host->roster().seatOfNick(b->nick())))
                return b;
        return nullptr;
    }

    bool makeRoom(std::function<void()> seated)
    {
        TBotPlayer *bot = leaver();
        // Not while a deal is played or committed to: the cards are the seats' as they stand.
        if (!bot || !m_host->idle())
            return false;
        m_leaving << bot;
        if (Connection *end = m_hostEnds.value(bot))
            // After the table's own handling of the close: the seat is free by then.
            connect(end, &Connection::closed, this, [seated = std::move(seated)] { seated(); });
        bot->stop();
        return true;
    }

private:
    // Seats taken by people: seated or away with the seat held.
    int people() const
    {
        int n = 0;
        for (int s = 1; s <= 4; ++s) {
            const TuserRec &u = m_host->roster().user(s);
            if (!u.nick.isEmpty() && u.port >= 0 && !isBotNick(u.nick))
                ++n;
        }
        return n;
    }

    int unseatedBots() const
    {
        int n = 0;
        for (TBotPlayer *b : bots())
            if (!TuserInfo::validSeat(m_host->roster().seatOfNick(b->nick())))
                ++n;
        return n;
    }

    int freeSeats() const { return 4 - m_host->seatedCount() - unseatedBots(); }

    void check()
    {
        if (people() == 0) {
            m_wait->stop();
            // Nobody to play with: the computer players go, and the table closes after them.
            for (TBotPlayer *b : bots())
                if (!m_leaving.contains(b)) {
                    m_leaving << b;
                    b->stop();
                }
            return;
        }
        if (freeSeats() <= 0) {
            m_wait->stop();
            m_fillDue = false;
        } else if (m_fillDue) {
            fill();
        } else if (!m_wait->isActive()) {
            m_wait->start(m_server.m_waitMs);
        }
    }

    void fill()
    {
        // A deal under way seats nobody: the seats are taken after it.
        m_fillDue = m_host->phase() == TableHost::Phase::Playing;
        if (m_fillDue || people() == 0)
            return;
        for (int n = freeSeats(); n > 0; --n)
            addBot();
    }

    void addBot()
    {
        QStringList taken;
        for (int s = 1; s <= 4; ++s)
            taken << m_host->roster().user(s).nick;
        for (const TBotPlayer *b : bots())
            taken << b->nick();
        auto [hostEnd, botEnd] = LocalConnection::createPair(this, nullptr);
        auto *bot = new TBotPlayer(botEnd, TBotPlayer::freeNick(taken), m_server.m_level, m_server.m_moveDelayMs, this);
        bot->setNextDealDelay(m_server.m_nextDealDelayMs);
        m_bots << bot;
        m_hostEnds.insert(bot, hostEnd);
        // Gone once the table has heard of its close.
        connect(hostEnd, &Connection::closed, hostEnd, &QObject::deleteLater);
        connect(bot, &TBotPlayer::finished, this, [this, bot] {
            m_bots.removeAll(bot);
            m_leaving.remove(bot);
            m_hostEnds.remove(bot);
            bot->deleteLater();
            check();
        });
        m_host->addConnection(hostEnd);
        bot->start();
    }

    ServerBots &m_server;
    TableHost *m_host;
    QTimer *m_wait;
    bool m_fillDue = false; // the wait is over, but a deal was running
    QList<QPointer<TBotPlayer>> m_bots;
    QSet<const TBotPlayer *> m_leaving;
    QHash<const TBotPlayer *, QPointer<Connection>> m_hostEnds;
};

ServerBots::ServerBots(ServerTables *tables, QObject *parent) : QObject(parent), m_serverTables(tables)
{
    tables->setBots(this);
    connect(tables, &ServerTables::opened, this, &ServerBots::watch);
}

ServerBots::~ServerBots()
{
    if (m_serverTables && m_serverTables->bots() == this)
        m_serverTables->setBots(nullptr);
    // The computer players go before the settings they read.
    const QList<TableBots *> all = m_tables.values();
    m_tables.clear();
    for (TableBots *bots : all)
        bots->disconnect(this);
    qDeleteAll(all);
}

void ServerBots::watch(TableHost *host)
{
    auto *bots = new TableBots(*this, host);
    m_tables.insert(host, bots);
    connect(bots, &QObject::destroyed, this, [this, host] { m_tables.remove(host); });
}

TableBots *ServerBots::botsOf(const TableHost *host) const
{
    return m_tables.value(host);
}

bool ServerBots::isComputer(const TableHost *host, int seat) const
{
    const TableBots *bots = botsOf(host);
    return bots && TuserInfo::validSeat(seat) && !host->roster().user(seat).nick.isEmpty()
           && bots->isBotNick(host->roster().user(seat).nick);
}

QStringList ServerBots::computerNicks(const TableHost *host) const
{
    QStringList nicks;
    for (int s = 1; s <= 4; ++s)
        if (isComputer(host, s))
            nicks << host->roster().user(s).nick;
    return nicks;
}

bool ServerBots::mayMakeRoom(const TableHost *host) const
{
    const TableBots *bots = botsOf(host);
    return bots && host->idle() && bots->leaver();
}

bool ServerBots::makeRoom(TableHost *host, std::function<void()> seated)
{
    TableBots *bots = botsOf(host);
    return bots && bots->makeRoom(std::move(seated));
}
