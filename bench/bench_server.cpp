// quadrix-bench --server: many tables of four computer players on one server. Every table has some
// players that reach the server over loopback sockets from another process (as people's copies do;
// they keep the hub's pacing) and the rest on in-process connections inside the server, as the
// server's own computer players sit (those have no pacing at all). Each player moves after the
// server's usual delay of one second. For each number of tables it reports the server process's CPU
// per table (and how much of it the thinking pool took), its resident memory per table, and the move
// latency against the floor the pacing sets. Each number of tables runs in a fresh process, so that
// memory figures do not carry over.
#include "bench_server.h"
#include "bot/botplayer.h"
#include "bot/thinkingpool.h"
#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/localpipe.h"
#include "server/servertables.h"
#include "server/tableserver.h"

#include <QCoreApplication>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

long residentKb()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    long size = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const double pos = q * double(v.size() - 1);
    const size_t lo = size_t(pos);
    const size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - double(lo));
}

// The hubs' pump ticks: a paced copy sends a message one tick after it was queued, the host sends
// the first message of an empty queue one tick later, and a paced copy parses what it read one tick
// later. In-process connections deliver on the next pass of the event loop.
constexpr double kTickMs = 5;

// One move, until the other three copies applied it. Moves are known by their table and their
// number in it: every copy applies every move of its table, in the same order.
struct Pending
{
    double t0 = -1;
    bool moverTcp = false;
    int seen = 0;
    bool tcpReceiver = false;
    double last = 0;
};

// The system's monotonic clock, the same in both processes.
double monoMs()
{
    return double(std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count())
           / 1000.0;
}

// Counts the moves a player's copy applies; tells each with its number, its own ones as sent.
void followMoves(TBotPlayer *bot, int table, std::function<void(bool sent, int table, int number, double ms)> tell)
{
    auto count = std::make_shared<int>(0);
    QObject::connect(bot->table(), &ClientTable::moved, bot, [bot, table, count, tell](int seat, const QStringList &) {
        tell(seat == bot->table()->mySeat(), table, ++*count, monoMs());
    });
}

// The players that reach the server over loopback, in a process of their own (as people's copies
// are elsewhere): their CPU and memory are not the server's. Each move applied goes to the standard
// output as a line "S|R table number ms".
class RemotePlayers : public QObject
{
public:
    RemotePlayers(int port, int tables, int perTable)
    {
        auto *flush = new QTimer(this);
        connect(flush, &QTimer::timeout, this, [] { std::fflush(stdout); });
        flush->start(100);
        for (int i = 0; i < tables; ++i)
            for (int seat = 0; seat < perTable; ++seat) {
                auto *bot = new TBotPlayer(QStringLiteral("127.0.0.1"), port, QStringLiteral("P%1").arg(seat),
                                           1 + (i + seat) % 3, 1000, this);
                bot->table()->setTableRequest(QStringLiteral("t%1").arg(i));
                // A copy that keeps the pacing, as a copy that announces no "unpaced" does.
                bot->table()->setFeatures({Feature::DealCheck, Feature::Resync, Feature::Tables});
                followMoves(bot, i, [](bool sent, int table, int number, double ms) {
                    std::printf("%c %d %d %.3f\n", sent ? 'S' : 'R', table, number, ms);
                });
                connect(bot, &TBotPlayer::finished, this, [i](const QString &why) {
                    std::fprintf(stderr, "  the loopback player of table %d left:%s\n", i, qPrintable(why));
                });
                // Ten connections every 50 ms: a storm of them overflows the server's listening queue (50
                // by default), and a copy whose connection was dropped there waits long for its greeting.
                QTimer::singleShot(i / 10 * 50, bot, [bot] { bot->start(); });
            }
    }
};

class ServerScale : public QObject
{
public:
    ServerScale(int tables, int tcpPerTable, int seconds) : m_tables(tables), m_tcp(tcpPerTable), m_seconds(seconds) {}

    void start(const QString &program)
    {
        m_rssBaseKb = residentKb();
        m_server = std::make_unique<TableServer>(m_tables, 1 << 20);
        if (!m_server->listen(0)) {
            std::fprintf(stderr, "cannot listen\n");
            QCoreApplication::exit(1);
            return;
        }
        for (int i = 0; i < m_tables; ++i)
            openTable(i);
        if (m_tcp > 0) {
            m_remote.setProgram(program);
            m_remote.setArguments({QStringLiteral("--server-players"), QString::number(m_server->port()),
                                   QString::number(m_tables), QString::number(m_tcp)});
            m_remote.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            connect(&m_remote, &QProcess::readyReadStandardOutput, this, [this] {
                while (m_remote.canReadLine()) {
                    const QList<QByteArray> f = m_remote.readLine().trimmed().split(' ');
                    if (f.size() == 4)
                        seen(f[0] == "S", true, f[1].toInt(), f[2].toInt(), f[3].toDouble());
                }
            });
            m_remote.start();
        }
        waitForDeals(monoMs());
    }

    ~ServerScale() override
    {
        m_remote.kill();
        m_remote.waitForFinished(3000);
    }

private:
    void openTable(int i)
    {
        TableHost *host = m_server->tables()->open(QStringLiteral("t%1").arg(i));
        for (int seat = m_tcp; seat < 4; ++seat) {
            auto [hostEnd, botEnd] = LocalConnection::createPair(host, nullptr);
            auto *bot = new TBotPlayer(botEnd, QStringLiteral("P%1").arg(seat), 1 + (i + seat) % 3, 1000, this);
            host->addConnection(hostEnd);
            followMoves(bot, i, [this](bool sent, int table, int number, double ms) {
                seen(sent, false, table, number, ms);
            });
            connect(bot, &TBotPlayer::finished, this, [this](const QString &why) { m_departures << why; });
            bot->start();
        }
    }

    void seen(bool sent, bool tcp, int table, int number, double ms)
    {
        const quint64 key = (quint64(table) << 32) | quint32(number);
        Pending &m = m_pending[key];
        if (sent) {
            m.t0 = ms;
            m.moverTcp = tcp;
        } else {
            ++m.seen;
            m.last = std::max(m.last, ms);
            m.tcpReceiver = m.tcpReceiver || tcp;
        }
        if (m.t0 < 0 || m.seen < 3)
            return;
        if (m_measuring && m.t0 >= m_window0) {
            // The floor: the mover's own send tick, then the host's first send and the receive tick
            // towards a paced copy; in-process connections deliver on the next pass of the event loop.
            const double floor = (m.moverTcp ? kTickMs : 0) + (m.tcpReceiver ? 2 * kTickMs : 0);
            m_samples[floor].push_back(m.last - m.t0);
        }
        m_pending.remove(key);
    }

    void waitForDeals(double since)
    {
        int dealt = 0;
        for (TableHost *h : m_server->tables()->hosts())
            dealt += h->dealsStarted() > 0 ? 1 : 0;
        if (dealt < m_tables && monoMs() - since < 90000) {
            QTimer::singleShot(200, this, [this, since] { waitForDeals(since); });
            return;
        }
        m_setupS = (monoMs() - since) / 1000;
        m_rssSeatedKb = residentKb();
        // A few seconds of play before the window, so that every table is under way.
        QTimer::singleShot(3000, this, [this] {
            m_measuring = true;
            m_window0 = monoMs();
            m_cpu0 = cpuSeconds(RUSAGE_SELF);
            m_mainCpu0 = cpuSeconds(RUSAGE_THREAD);
            QTimer::singleShot(m_seconds * 1000, this, [this] { report(); });
        });
    }

    void report()
    {
        const double wallS = (monoMs() - m_window0) / 1000;
        const double cpu = cpuSeconds(RUSAGE_SELF) - m_cpu0;
        const double mainCpu = cpuSeconds(RUSAGE_THREAD) - m_mainCpu0;
        const long rssKb = residentKb();
        int playing = 0, deals = 0;
        for (TableHost *h : m_server->tables()->hosts()) {
            playing += h->seatedCount() == 4 ? 1 : 0;
            deals += h->dealsStarted();
        }
        std::printf("tables %d (%d over loopback and %d in-process players each), all four seated at %d, "
                    "every table dealing after %.1f s; %d deals begun in all\n",
                    m_tables, m_tcp, 4 - m_tcp, playing, m_setupS, deals);
        std::printf("  server CPU per table: %.3f %% of one core (main thread %.3f %%, thinking pool %.3f %%) over %.0f s\n",
                    100 * cpu / wallS / m_tables, 100 * mainCpu / wallS / m_tables,
                    100 * (cpu - mainCpu) / wallS / m_tables, wallS);
        std::printf("  server resident memory per table: %.1f KB seated, %.1f KB after the window "
                    "(process %.1f MB, %.1f MB before the tables)\n",
                    double(m_rssSeatedKb - m_rssBaseKb) / m_tables, double(rssKb - m_rssBaseKb) / m_tables,
                    rssKb / 1024.0, m_rssBaseKb / 1024.0);
        for (auto it = m_samples.begin(); it != m_samples.end(); ++it) {
            const double floor = it.key();
            const std::vector<double> &v = it.value();
            const double med = quantile(v, 0.5), p95 = quantile(v, 0.95);
            std::printf("  move latency, floor %4.1f ms (%s): median %.1f ms, 95th percentile %.1f ms, "
                        "slowest %.1f ms over %zu moves%s\n",
                        floor, floor == 0 ? "in-process only" : floor == 10 ? "to a paced copy" : "from a paced copy",
                        med, p95, quantile(v, 1.0), v.size(),
                        floor > 0 ? qPrintable(QStringLiteral("; p95/floor %1").arg(p95 / floor, 0, 'f', 2)) : "");
        }
        if (!m_departures.isEmpty())
            std::printf("  players that left: %lld (%s)\n", static_cast<long long>(m_departures.size()),
                        qPrintable(m_departures.first()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    int m_tables;
    int m_tcp;
    int m_seconds;
    std::unique_ptr<TableServer> m_server;
    QProcess m_remote;
    QHash<quint64, Pending> m_pending;
    QMap<double, std::vector<double>> m_samples; // by floor
    QStringList m_departures;
    bool m_measuring = false;
    double m_window0 = 0;
    double m_cpu0 = 0, m_mainCpu0 = 0;
    double m_setupS = 0;
    long m_rssBaseKb = 0, m_rssSeatedKb = 0;
};

void raiseFileLimit()
{
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) == 0) {
        r.rlim_cur = r.rlim_max;
        setrlimit(RLIMIT_NOFILE, &r);
    }
}

} // namespace

int runServerScale(int argc, char *argv[])
{
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    if (std::string(argv[1]) == "--server-players" && argc > 4) {
        raiseFileLimit();
        QCoreApplication app(qtArgc, qtArgv);
        RemotePlayers players(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]));
        return app.exec();
    }
    // --server [N,N,...] [seconds] [players over loopback per table]
    const QString counts = argc > 2 ? QString::fromLatin1(argv[2]) : QStringLiteral("1,10,100,1000");
    const int seconds = argc > 3 ? std::max(5, atoi(argv[3])) : 45;
    const int tcp = argc > 4 ? std::clamp(atoi(argv[4]), 0, 4) : 1;
    if (argc > 5 && std::string(argv[5]) == "--one") {
        raiseFileLimit();
        QCoreApplication app(qtArgc, qtArgv);
        ThinkingPool::pool(); // its threads are the server's, not a table's
        ServerScale scale(counts.toInt(), tcp, seconds);
        QTimer::singleShot(0, &app, [&scale, &argv] { scale.start(QString::fromLocal8Bit(argv[0])); });
        return app.exec();
    }
    std::printf("Quadrix benchmark: tables of four computer players (levels 1 to 3, a move after 1 s) on one server; "
                "%d player(s) of each table over loopback from another process, paced, the others in-process in the "
                "server, unpaced; %d logical CPUs, thinking pool of %d threads\n",
                tcp, int(sysconf(_SC_NPROCESSORS_ONLN)), QThread::idealThreadCount());
    std::fflush(stdout);
    int code = 0;
    for (const QString &n : counts.split(QLatin1Char(','))) {
        // A fresh process for each size.
        QProcess one;
        one.setProcessChannelMode(QProcess::ForwardedChannels);
        one.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--server"), n.trimmed(), QString::number(seconds),
                                                     QString::number(tcp), QStringLiteral("--one")});
        one.waitForFinished(-1);
        code = std::max(code, one.exitCode());
    }
    return code;
}
