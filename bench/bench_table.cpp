// quadrix-bench: performance figures of a table of four copies of the program in one process,
// talking to each other over loopback as the window's copies do, without any window: the host is a
// TableHost behind a HubListener with its owner's ClientTable on an in-process pair, and three guests
// are ClientTables that dial it over TCP.
//
//  - move latency: from a guest's throw until the last of the four copies has applied it, next to
//    the floor set by the hubs' send pumps;
//  - deal time: from the request for a deal until every copy has started it, next to its floor;
//  - the longest time the main thread went without running its event loop (a 1 ms timer records
//    the gaps between its ticks), while dealing and while playing;
//  - CPU use of the seated, idle table over 10 s, and resident memory;
//  - parser throughput.
//
//  - the same move and deal figures with guests that send at once ("unpaced", agreed per connection),
//    and on a mixed table where one guest is a copy that announces no features.
//
// Usage: quadrix-bench [minimum guest throws, default 200] [--no-deal-check]
// (the guests check every deal unless --no-deal-check)
//        quadrix-bench --server [N,N,...] [seconds] [players over loopback per table]: many tables on a
//        server (bench_server.cpp)
#include "bench_server.h"
#include "bot/botview.h"
#include "bot/combos.h"
#include "bot/strategy.h"
#include "cards/cardeng.h"
#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "hub/wire.h"
#include "net/hubdialer.h"
#include "net/hublistener.h"
#include "net/localpipe.h"
#include "rules/rules.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <utility>
#include <vector>

namespace {

bool guestsCheckDeals = true;

// Paced: the guests keep the pacing (today's figures). Unpaced: every guest sends at once. Mixed: the
// third guest announces no features at all, as a copy of another program would.
enum class Mode { Paced, Unpaced, Mixed };

QStringList guestFeatures(Mode mode, int guest)
{
    QStringList words;
    if (mode == Mode::Mixed && guest == 2)
        return words;
    if (guestsCheckDeals)
        words << Feature::DealCheck;
    if (mode != Mode::Paced)
        words << Feature::Unpaced;
    return words;
}

// The hubs' pump timing: a tick before every message, then a quiet pause after each send attempt.
constexpr double kServerTickMs = 5;
constexpr double kServerPauseMs = 20;
constexpr double kClientTickMs = 5;
constexpr double kClientReceiveTickMs = 5; // a guest parses each received chunk one tick later

QElapsedTimer clockStart;
double nowMs() { return double(clockStart.nsecsElapsed()) / 1e6; }

// The time at which the n-th of n messages queued at once for one connection leaves the host (the
// first one after one tick, every further one a tick and a pause later). Each connection has its own
// queue, so this is also when the n-th message has left for every connection.
double hostQueueMs(int n) { return kServerTickMs + (n - 1) * (kServerTickMs + kServerPauseMs); }

// Where a guest's relayed move stands in the host's queue to each other copy: first, before the turn notice.
constexpr int kMoveMessages = 1;
// What the host sends to each guest for a deal: thirteen cards, then the start of the deal.
constexpr int kDealMessages = 14;

long statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return QStringLiteral("unknown");
}

// Records the gaps between the ticks of a 1 ms timer: a gap is the time the main thread spent
// without running its event loop (plus the one millisecond of the interval).
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double t = nowMs();
            if (!m_paused)
                m_phaseMax = std::max(m_phaseMax, t - m_last);
            m_last = t;
        });
    }
    void start()
    {
        m_last = nowMs();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    // The work of the benchmark itself (choosing a move) is not the program's.
    void pause() { m_paused = true; }
    void resume()
    {
        m_paused = false;
        m_last = nowMs();
    }
    void beginPhase()
    {
        m_phaseMax = 0;
        m_last = nowMs();
    }
    double phaseMax() const { return m_phaseMax; }

private:
    QTimer m_timer;
    double m_last = 0;
    double m_phaseMax = 0;
    bool m_paused = false;
};

// Waits inside the application's event loop: a 1 ms timer looks at a condition, then the
// continuation runs, or the benchmark ends with a complaint once the time is up.
class Waiter
{
public:
    Waiter()
    {
        m_poll.setTimerType(Qt::PreciseTimer);
        m_poll.setInterval(1);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { check(); });
    }
    void until(std::function<bool()> pred, int ms, std::function<void()> then, std::function<void()> failed)
    {
        m_pred = std::move(pred);
        m_then = std::move(then);
        m_failed = std::move(failed);
        m_end = nowMs() + ms;
        m_poll.start();
    }
    // Runs the continuation after ms without looking at anything meanwhile.
    static void after(int ms, std::function<void()> then)
    {
        QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), std::move(then));
    }

private:
    void check()
    {
        if (m_pred()) {
            m_poll.stop();
            std::exchange(m_then, {})();
        } else if (nowMs() > m_end) {
            m_poll.stop();
            std::exchange(m_failed, {})();
        }
    }
    QTimer m_poll;
    std::function<bool()> m_pred;
    std::function<void()> m_then;
    std::function<void()> m_failed;
    double m_end = 0;
};

struct Summary
{
    double median = 0, p95 = 0, max = 0, mean = 0;
    int n = 0;
};

Summary summarize(std::vector<double> v)
{
    Summary s;
    s.n = int(v.size());
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    auto at = [&v](double q) {
        const double pos = q * double(v.size() - 1);
        const size_t lo = size_t(pos);
        const size_t hi = std::min(lo + 1, v.size() - 1);
        return v[lo] + (v[hi] - v[lo]) * (pos - double(lo));
    };
    s.median = at(0.5);
    s.p95 = at(0.95);
    s.max = v.back();
    double sum = 0;
    for (double x : v)
        sum += x;
    s.mean = sum / double(v.size());
    return s;
}

// ---------------------------------------------------------------------------------------------
// Parser throughput

struct ParserFigures
{
    double msgsPerSec = 0;
    double mbPerSec = 0;
    qint64 messages = 0;
    double megabytes = 0;
};

ParserFigures measureParser(bool scrambled)
{
    // The messages of a deal in their usual proportions: cards, turns, throws, credits and chat.
    const QList<QByteArray> kinds = {
        BuildFrame(Tag::CARD, QStringLiteral("50123"), QStringLiteral("Ann"), QStringLiteral("7"),
                   QStringLiteral("310"), {}, {}, scrambled, 0x2A),
        BuildFrame(Tag::WHOSETURN, QStringLiteral("50124"), QStringLiteral("Bob"), {}, {}, {}, {}, scrambled, 0x2A),
        BuildFrame(Tag::THROW, QStringLiteral("50123"), QStringLiteral("Ann"), QStringLiteral("5"),
                   QStringLiteral("33#43#13#23#36#"), {}, {}, scrambled, 0x2A),
        BuildFrame(Tag::THROW, QStringLiteral("50125"), QStringLiteral("Cid"), QStringLiteral("0"), {}, {}, {},
                   scrambled, 0x2A),
        BuildFrame(Tag::CREDIT, QStringLiteral("0"), QStringLiteral("Hank"), QStringLiteral("1039"), {}, {}, {},
                   scrambled, 0x2A),
        BuildFrame(Tag::CHAT, QStringLiteral("Ann"), QStringLiteral("well played, one more deal and I am off"), {},
                   {}, {}, {}, scrambled, 0x2A),
    };
    QByteArray stream;
    qint64 messages = 0;
    while (stream.size() < 16 * 1024 * 1024) {
        for (const QByteArray &k : kinds) {
            stream += k;
            ++messages;
        }
    }
    // Read as the hub reads a socket: pieces of at most 64 KiB.
    constexpr qsizetype kPiece = 64 * 1024;
    double best = 1e99;
    for (int round = 0; round < 5; ++round) {
        FrameReader reader;
        qint64 got = 0;
        QElapsedTimer t;
        t.start();
        for (qsizetype at = 0; at < stream.size(); at += kPiece)
            got += reader.feed(stream.mid(at, kPiece), scrambled, 0x2A, true).size();
        const double s = double(t.nsecsElapsed()) / 1e9;
        if (got != messages) {
            std::fprintf(stderr, "parser lost messages: %lld of %lld\n", static_cast<long long>(got),
                         static_cast<long long>(messages));
            std::exit(2);
        }
        best = std::min(best, s);
    }
    ParserFigures f;
    f.messages = messages;
    f.megabytes = double(stream.size()) / 1e6;
    f.msgsPerSec = double(messages) / best;
    f.mbPerSec = f.megabytes / best;
    return f;
}

// ---------------------------------------------------------------------------------------------
// The table

class Table
{
public:
    ~Table()
    {
        // The players go first, then the host and its listener.
        for (auto it = m_clients.rbegin(); it != m_clients.rend(); ++it)
            delete *it;
        m_dialers.clear();
        delete m_host;
        if (m_listener)
            m_listener->close();
        delete m_listener;
    }

    // A listener on a free port, its table host, and the owner's copy on an in-process pair, as the window hosts.
    bool host(const QString &nick)
    {
        m_listener = new HubListener;
        m_listener->hub()->setMaxClient(3);
        if (!m_listener->listen(0))
            return false;
        m_host = new TableHost;
        QObject::connect(m_listener, &HubListener::newConnection, m_host, &TableHost::addConnection);
        QObject::connect(m_listener, &HubListener::newConnection, [this](Connection *guest) {
            QObject::connect(guest, &Connection::message, [this] { m_lastDelivery = nowMs(); });
        });
        QObject::connect(m_listener->hub(), &TwsHUBsvr::OnBusy, [this] { m_lastHostSend = nowMs(); });
        QObject::connect(m_host, &TableHost::refused, [this](const QString &line) { m_notes << line; });
        auto [hostEnd, playerEnd] = LocalConnection::createPair(m_host, nullptr);
        m_owner = newClient(playerEnd, nick);
        playerEnd->setParent(m_owner); // goes with the player
        m_host->setOwner(hostEnd, m_listener->localAddress());
        m_owner->start();
        return true;
    }

    ClientTable *join(const QString &nick, const QStringList &features)
    {
        auto dialer = std::make_unique<HubDialer>(QStringLiteral("127.0.0.1"), m_listener->port());
        QObject::connect(dialer->hub(), &TwsHUBcli::OnBusy, [this] { m_lastGuestSend = nowMs(); });
        ClientTable *c = newClient(dialer.get(), nick);
        c->setFeatures(features);
        m_dialers.push_back(std::move(dialer));
        c->start();
        return c;
    }

    bool seated(const ClientTable *c) const
    {
        const int seats = m_host->seatedCount();
        return TuserInfo::validSeat(m_host->roster().seatOfNick(c->myNick())) && c->mySeat() != 0
               && c->roster().seatCount() == seats && quiet();
    }

    const std::vector<ClientTable *> &clients() const { return m_clients; }
    ClientTable *owner() const { return m_owner; }
    TableHost *tableHost() const { return m_host; }
    int port() const { return m_listener->port(); }
    QStringList notes() const { return m_notes; }

    // Nothing queued or pausing at the host, no guest within its pause after a send, nothing delivered
    // just now: a move now meets empty pumps, as the floors assume.
    bool quiet() const
    {
        const double t = nowMs();
        return m_listener->hub()->queuedMessages() == 0 && t - m_lastHostSend >= kServerPauseMs + 10
               && t - m_lastGuestSend >= 110 && t - m_lastDelivery >= 10;
    }

    // The seat every copy shows to move, or 0 while they differ or nobody moves.
    int agreedMover() const
    {
        int seat = -1;
        for (ClientTable *c : m_clients) {
            if (!c->inDeal() || c->turnSeat() < 1)
                return 0;
            if (seat != -1 && c->turnSeat() != seat)
                return 0;
            seat = c->turnSeat();
        }
        return seat;
    }

    ClientTable *clientOfSeat(int seat) const
    {
        for (ClientTable *c : m_clients)
            if (c->mySeat() == seat)
                return c;
        return nullptr;
    }

    bool anyInDeal() const
    {
        return std::any_of(m_clients.begin(), m_clients.end(), [](ClientTable *c) { return c->inDeal(); });
    }

    void clearMarks()
    {
        m_moveSeen.clear();
        m_started.clear();
    }
    // When each other copy applied a move of this seat, since the last clearMarks.
    QHash<ClientTable *, double> moveSeen(int seat) const { return m_moveSeen.value(seat); }
    QHash<ClientTable *, double> dealStarted() const { return m_started; }

private:
    ClientTable *newClient(Connection *connection, const QString &nick)
    {
        auto *c = new ClientTable(connection, nick);
        m_clients.push_back(c);
        // Connected after the copy's own handling: these run once the message has been applied.
        QObject::connect(connection, &Connection::message, c, [this] { m_lastDelivery = nowMs(); });
        QObject::connect(c, &ClientTable::moved, c, [this, c](int seat, const QStringList &) {
            // A mover's own copy applies its move inside the call.
            if (seat != c->mySeat() && !m_moveSeen[seat].contains(c))
                m_moveSeen[seat].insert(c, nowMs());
        });
        QObject::connect(c, &ClientTable::dealStarted, c, [this, c] {
            if (!m_started.contains(c))
                m_started.insert(c, nowMs());
        });
        QObject::connect(c, &ClientTable::refused, c, [this, c](const QString &text, bool) {
            m_notes << c->myNick() + QStringLiteral(": ") + text;
        });
        QObject::connect(c, &ClientTable::disconnected, c, [this, c](const QString &text) {
            m_notes << c->myNick() + QStringLiteral(" left: ") + text;
        });
        return c;
    }

    HubListener *m_listener = nullptr;
    TableHost *m_host = nullptr;
    ClientTable *m_owner = nullptr;
    std::vector<std::unique_ptr<HubDialer>> m_dialers;
    std::vector<ClientTable *> m_clients;
    QHash<int, QHash<ClientTable *, double>> m_moveSeen;
    QHash<ClientTable *, double> m_started;
    QStringList m_notes;
    double m_lastHostSend = -1e9;
    double m_lastGuestSend = -1e9;
    double m_lastDelivery = -1e9;
};

// Plays the move the strategy chooses for the player to move, or passes; returns whether it threw.
// start is when the move was made, after the choice.
bool playOneMove(ClientTable *c, TBotStrategy &strategy, StallMeter &meter, double &start)
{
    meter.pause();
    static TCardEng eng;
    static TCombinationRules rules{eng};
    TMoveGenerator generator(rules);
    const TBotView view = botViewOf(c->table(), c->mySeat());
    const TCombo choice = strategy.choose(view, generator.legalThrows(view.hand, c->table().tableCards()));
    QStringList codes = choice.isPass() ? QStringList() : TMoveGenerator::selectionOf(choice);
    if (!codes.isEmpty() && c->checkPlay(codes) != Refusal::None)
        codes.clear();
    meter.resume();
    start = nowMs();
    if (codes.isEmpty()) {
        c->pass();
        return false;
    }
    return c->play(codes);
}

// The whole run, as a chain of waits in the event loop.
class Bench
{
public:
    Bench(Mode mode, int wantThrows, long rssBaseKb) : m_mode(mode), m_wantThrows(wantThrows), m_rssBaseKb(rssBaseKb) {}

    void start()
    {
        if (!m_table.host(QStringLiteral("Hank")))
            return fail("hosting failed");
        m_waiter.until([this] { return m_table.owner()->mySeat() == 1 && m_table.tableHost()->seatedCount() == 1; },
                       5000, [this] { Waiter::after(500, [this] { hosted(); }); },
                       [this] { fail("hosting failed"); });
    }

private:
    void fail(const char *why)
    {
        std::fprintf(stderr, "%s\n", why);
        for (const QString &n : m_table.notes())
            std::fprintf(stderr, "  %s\n", qPrintable(n));
        QCoreApplication::exit(1);
    }

    void hosted()
    {
        m_rssOneKb = statusKb("VmRSS");
        joinNext(0);
    }

    void joinNext(int k)
    {
        static const char *const kNicks[] = {"Ann", "Bob", "Cid"};
        if (k == 3) {
            m_waiter.until([this] { return m_table.quiet(); }, 5000, [this] { Waiter::after(500, [this] { seated(); }); },
                           [this] { seated(); });
            return;
        }
        ClientTable *c = m_table.join(QString::fromLatin1(kNicks[k]), guestFeatures(m_mode, k));
        if (m_mode == Mode::Mixed && k == 2)
            m_pacedCopy = c;
        m_waiter.until([this, c] { return m_table.seated(c); }, 10000, [this, k] { joinNext(k + 1); },
                       [this, k] {
                           std::fprintf(stderr, "%s could not join\n", kNicks[k]);
                           QCoreApplication::exit(1);
                       });
    }

    void seated()
    {
        m_rssFourKb = statusKb("VmRSS");
        if (m_mode != Mode::Paced) {
            m_meter.start();
            return nextDeal();
        }
        // Idle: seated, no deal, nothing to do for 10 s.
        Waiter::after(1000, [this] {
            m_idleCpu0 = cpuSeconds();
            m_idleWall0 = nowMs();
            Waiter::after(10000, [this] {
                m_idleCpu = cpuSeconds() - m_idleCpu0;
                m_idleWall = (nowMs() - m_idleWall0) / 1000;
                m_meter.start();
                nextDeal();
            });
        });
    }

    // Whoever may start the next deal, as the window's New Game does: the last winner asks for it;
    // with no winner to lead, the host deals.
    bool pressNew(bool &byGuest)
    {
        for (ClientTable *c : m_table.clients())
            if (c->mayAskNextDeal()) {
                byGuest = c != m_table.owner();
                return c->nextDeal();
            }
        TableHost *host = m_table.tableHost();
        if (host->mayDeal() && m_table.owner()->leader() == 0) {
            byGuest = false;
            return host->deal();
        }
        return false;
    }

    bool mayPress() const
    {
        const bool guestAsks = std::any_of(m_table.clients().begin(), m_table.clients().end(),
                                           [](ClientTable *c) { return c->mayAskNextDeal(); });
        return guestAsks || (m_table.tableHost()->mayDeal() && m_table.owner()->leader() == 0);
    }

    void nextDeal()
    {
        if ((int(m_guestThrowMs.size()) >= m_wantThrows && m_deals >= 5) || m_deals >= 100)
            return finish();
        m_waiter.until([this] { return m_table.quiet() && !m_table.anyInDeal() && mayPress(); }, 20000,
                       [this] { deal(); }, [this] { fail("the table did not come to rest between deals"); });
    }

    void deal()
    {
        m_table.clearMarks();
        m_meter.beginPhase();
        const double t0 = nowMs();
        bool byGuest = false;
        if (!pressNew(byGuest))
            return fail("nobody can start the next deal");
        m_waiter.until([this] { return m_table.dealStarted().size() == 4; }, 20000,
                       [this, t0, byGuest] {
                           double last = 0;
                           const QHash<ClientTable *, double> started = m_table.dealStarted();
                           for (auto it = started.begin(); it != started.end(); ++it)
                               if (it.key() == m_pacedCopy)
                                   m_pacedDealMs.push_back(it.value() - t0);
                               else
                                   last = std::max(last, it.value());
                           m_dealMs.push_back(last - t0);
                           m_dealFloorMs.push_back((byGuest ? kClientTickMs : 0) + hostQueueMs(kDealMessages)
                                                   + kClientReceiveTickMs);
                           m_dealStall = std::max(m_dealStall, m_meter.phaseMax());
                           ++m_deals;
                           m_meter.beginPhase();
                           nextMove();
                       },
                       [this] { fail("the deal did not start on every copy"); });
    }

    void nextMove()
    {
        if (!m_table.anyInDeal()) {
            m_playStall = std::max(m_playStall, m_meter.phaseMax());
            return nextDeal();
        }
        // Every copy shows the same player to move, that player may move, the pumps are quiet.
        m_waiter.until(
            [this] {
                const int seat = m_table.agreedMover();
                ClientTable *mover = seat > 0 ? m_table.clientOfSeat(seat) : nullptr;
                return !m_table.anyInDeal() || (mover && mover->myTurn() && m_table.quiet());
            },
            20000, [this] { move(); },
            [this] {
                std::fprintf(stderr, "the copies do not agree who moves\n");
                for (ClientTable *c : m_table.clients())
                    std::fprintf(stderr, "  %s: seat %d, turn %d, in deal %d, table %s\n", qPrintable(c->myNick()),
                                 c->mySeat(), c->turnSeat(), c->inDeal(),
                                 qPrintable(c->table().tableCards().join(QLatin1Char(' '))));
                fail("stopped");
            });
    }

    void move()
    {
        if (!m_table.anyInDeal())
            return nextMove();
        const int seat = m_table.agreedMover();
        ClientTable *mover = m_table.clientOfSeat(seat);
        m_table.clearMarks();
        double t0 = 0;
        const bool threw = playOneMove(mover, m_strategy, m_meter, t0);
        ++m_moves;
        const bool byHost = mover == m_table.owner();
        if (byHost)
            ++m_hostMoves;
        if (!threw)
            ++m_passes;
        // Every other copy applies the move (a pass is a move of no cards).
        m_waiter.until([this, seat] { return m_table.moveSeen(seat).size() == 3; }, 10000,
                       [this, seat, threw, byHost, t0] {
                           if (threw && !byHost) {
                               double lastSeen = 0;
                               const QHash<ClientTable *, double> seen = m_table.moveSeen(seat);
                               for (auto it = seen.begin(); it != seen.end(); ++it)
                                   if (it.key() == m_pacedCopy)
                                       m_pacedThrowMs.push_back(it.value() - t0);
                                   else
                                       lastSeen = std::max(lastSeen, it.value());
                               m_guestThrowMs.push_back(lastSeen - t0);
                           }
                           nextMove();
                       },
                       [this] { fail("a move did not reach every copy"); });
    }

    void finish()
    {
        m_meter.stop();
        m_waiter.until([this] { return m_table.quiet(); }, 5000, [this] { report(); }, [this] { report(); });
    }

    void report()
    {
        if (m_mode != Mode::Paced)
            return reportUnpaced();
        const long rssAfterKb = statusKb("VmRSS");
        const long hwmKb = statusKb("VmHWM");

        // Last, so that its buffers do not count in the memory figures above.
        const ParserFigures plain = measureParser(false);
        const ParserFigures scrambled = measureParser(true);

        const Summary lat = summarize(m_guestThrowMs);
        const Summary deal = summarize(m_dealMs);
        const Summary dealFloor = summarize(m_dealFloorMs);
        const double moveFloor = kClientTickMs + hostQueueMs(kMoveMessages) + kClientReceiveTickMs;
        const double idleCpu = m_idleCpu, idleWall = m_idleWall;

        std::printf("%-58s %10s %10s %10s\n", "figure", "measured", "floor", "ratio");
        std::printf("%-58s %10.1f %10.1f %10.2f\n", "move latency, median (ms)", lat.median, moveFloor,
                    lat.median / moveFloor);
        std::printf("%-58s %10.1f %10.1f %10.2f\n", "move latency, 95th percentile (ms)", lat.p95, moveFloor,
                    lat.p95 / moveFloor);
        std::printf("%-58s %10.1f %10.1f %10.2f\n", "move latency, slowest (ms)", lat.max, moveFloor,
                    lat.max / moveFloor);
        std::printf("%-58s %10.1f %10.1f %10.2f\n", "deal time, median (ms)", deal.median, dealFloor.median,
                    deal.median / dealFloor.median);
        std::printf("%-58s %10.1f %10.1f %10.2f\n", "deal time, slowest (ms)", deal.max, dealFloor.max,
                    deal.max / dealFloor.max);
        std::printf("%-58s %10.1f\n", "longest GUI-thread gap while dealing (ms)", m_dealStall);
        std::printf("%-58s %10.1f\n", "longest GUI-thread gap while playing (ms)", m_playStall);
        std::printf("%-58s %10.3f\n", "CPU of the seated idle table, 4 copies (% of one core)",
                    100.0 * idleCpu / idleWall);
        std::printf("%-58s %10.3f\n", "CPU of the seated idle table, per copy (% of one core)",
                    100.0 * idleCpu / idleWall / 4);
        std::printf("%-58s %10.1f\n", "resident memory, process with the toolkit, no window (MB)",
                    m_rssBaseKb / 1024.0);
        std::printf("%-58s %10.1f\n", "resident memory, process with one copy hosting (MB)", m_rssOneKb / 1024.0);
        std::printf("%-58s %10.1f\n", "resident memory, process with four copies seated (MB)", m_rssFourKb / 1024.0);
        std::printf("%-58s %10.1f\n", "resident memory, four copies after the deals (MB)", rssAfterKb / 1024.0);
        std::printf("%-58s %10.1f\n", "  each further copy adds (MB)", (m_rssFourKb - m_rssOneKb) / 3.0 / 1024.0);
        std::printf("%-58s %10.1f\n", "  peak resident memory of the process (MB)", hwmKb / 1024.0);
        std::printf("%-58s %10.0f %10.1f\n", "parser, plain (messages/s, MB/s)", plain.msgsPerSec, plain.mbPerSec);
        std::printf("%-58s %10.0f %10.1f\n", "parser, scrambled (messages/s, MB/s)", scrambled.msgsPerSec,
                    scrambled.mbPerSec);
        std::printf("\nidle: %.3f s of CPU in %.1f s\n", idleCpu, idleWall);
        std::printf("%d deals, %d moves (%d by the host, %d passes), %d guest throws timed; %lld messages of "
                    "%.1f MB parsed per round\n",
                    m_deals, m_moves, m_hostMoves, m_passes, lat.n, static_cast<long long>(plain.messages),
                    plain.megabytes);
        std::printf("floors (a send queue per connection): move = guest tick %.0f + host queue of %d message per "
                    "copy %.0f (the move goes before the turn notice) + receive tick %.0f ms; deal = host queue of "
                    "%d messages per copy %.0f + receive tick %.0f ms (+ %.0f when a guest asks)\n",
                    kClientTickMs, kMoveMessages, hostQueueMs(kMoveMessages), kClientReceiveTickMs, kDealMessages,
                    hostQueueMs(kDealMessages), kClientReceiveTickMs, kClientTickMs);
        const QStringList notes = m_table.notes();
        if (!notes.isEmpty())
            std::printf("refusals and departures: %s\n", qPrintable(notes.join(QStringLiteral(" | "))));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    void reportUnpaced()
    {
        const Summary lat = summarize(m_guestThrowMs);
        const Summary deal = summarize(m_dealMs);
        const char *to = m_mode == Mode::Unpaced ? "unpaced" : "mixed, to the unpaced copies";
        const auto line = [](const QString &what, double ms) { std::printf("%-64s %10.1f\n", qPrintable(what), ms); };
        line(QStringLiteral("move latency, median, %1 (ms)").arg(to), lat.median);
        line(QStringLiteral("move latency, 95th percentile, %1 (ms)").arg(to), lat.p95);
        line(QStringLiteral("deal time, median, %1 (ms)").arg(to), deal.median);
        line(QStringLiteral("deal time, slowest, %1 (ms)").arg(to), deal.max);
        if (m_mode == Mode::Mixed) {
            const Summary pacedLat = summarize(m_pacedThrowMs);
            const Summary pacedDeal = summarize(m_pacedDealMs);
            line(QStringLiteral("move latency, median, mixed, to the paced copy (ms)"), pacedLat.median);
            line(QStringLiteral("move latency, 95th percentile, mixed, to the paced copy (ms)"), pacedLat.p95);
            line(QStringLiteral("deal time, median, mixed, to the paced copy (ms)"), pacedDeal.median);
        }
        std::printf("%d deals, %d moves, %d guest throws timed\n", m_deals, m_moves, lat.n);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    Mode m_mode;
    ClientTable *m_pacedCopy = nullptr;
    std::vector<double> m_pacedThrowMs, m_pacedDealMs;
    Table m_table;
    Waiter m_waiter;
    StallMeter m_meter;
    TGreedyStrategy m_strategy;
    int m_wantThrows;
    long m_rssBaseKb;
    long m_rssOneKb = 0;
    long m_rssFourKb = 0;
    double m_idleCpu0 = 0, m_idleWall0 = 0, m_idleCpu = 0, m_idleWall = 1;
    std::vector<double> m_guestThrowMs, m_dealMs, m_dealFloorMs;
    double m_dealStall = 0, m_playStall = 0;
    int m_deals = 0, m_moves = 0, m_hostMoves = 0, m_passes = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && (std::strcmp(argv[1], "--server") == 0 || std::strcmp(argv[1], "--server-players") == 0))
        return runServerScale(argc, argv);
    clockStart.start();
    const int wantThrows = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    guestsCheckDeals = !(argc > 2 && std::strcmp(argv[2], "--no-deal-check") == 0);
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    std::printf("Quadrix benchmark: a table of four copies in one process, on loopback (no window: a table host "
                "and four client tables)\n");
    std::printf("the three guests %s\n", guestsCheckDeals ? "check every deal" : "do not check the deals");
    std::printf("machine: %s, %d logical CPUs, %s; Qt %s\n\n", qPrintable(cpuModel()), QThread::idealThreadCount(),
                qPrintable(QSysInfo::prettyProductName()), qVersion());
    std::fflush(stdout);

    const long rssBaseKb = statusKb("VmRSS");
    int code = 0;
    {
        Bench bench(Mode::Paced, wantThrows, rssBaseKb);
        QTimer::singleShot(0, &app, [&bench] { bench.start(); });
        code = app.exec();
    }
    for (const Mode mode : {Mode::Unpaced, Mode::Mixed}) {
        if (code != 0)
            break;
        std::printf("\n%s\n", mode == Mode::Unpaced ? "every guest sends at once (unpaced):"
                                                     : "a mixed table: two unpaced guests and one that announces no features:");
        Bench bench(mode, wantThrows, rssBaseKb);
        QTimer::singleShot(0, &app, [&bench] { bench.start(); });
        code = app.exec();
    }
    return code;
}
