// Whole tables through a faulty network: a table host and four computer players over TCP, each
// through a fault-injecting proxy, play deals while a seeded schedule throws a fault at one of the
// links every few seconds. Every fault is shorter than the seat's hold, so nobody is meant to leave;
// the watch checks every copy against the host after every move. The same seed gives the same
// schedule: QUADRIX_CHAOS_SEED=<n> replays one; QUADRIX_CHAOS_LONG=1 plays random seeds for long.
#include "bot/botplayer.h"
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "net/hublistener.h"
#include "support/chaoswatch.h"
#include "support/faultproxy.h"
#include "support/rawpeer.h"
#include <QElapsedTimer>
#include <QMap>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

using namespace Stress;

namespace {

constexpr int kHoldMs = 30000;
constexpr int kTurnMs = 1200;
// Copies of this program send at once, so a deal would be over between two faults: the players take a
// moment over each move, and the faults meet deals under way.
constexpr int kMoveDelayMs = 120;

// One run: the table, its players and their links, and the schedule of faults drawn from the seed.
class ChaosRun : public QObject
{
    quint64 m_seed;
    QRandomGenerator m_schedule;
    QTimer m_faultTimer;
    QTimer m_retry;
    QPair<QString, std::function<void()>> m_pending; // the fault drawn: its kind, and how it is made
    QString m_pendingText;
    bool m_endsLink = false;
    int m_nextGapMs = 0;

public:
    explicit ChaosRun(quint64 seed) : m_seed(seed), m_schedule(seed), watch(host, kHoldMs, kTurnMs + 8000)
    {
        host.setFirstDealDelayMs(50);
        host.setNextDealDelayMs(1000);
        host.setTurnDeadlineMs(kTurnMs);
        host.setHoldMs(kHoldMs);
        // Pings go on, with a wait no stall outlasts: a silent player is dropped, a slow one is not.
        host.setPingIntervalMs(5000);
        host.setPingWaitMs(24000);
        QObject::connect(&listener, &HubListener::newConnection, &host, &TableHost::addConnection);
        m_faultTimer.setSingleShot(true);
        QObject::connect(&m_faultTimer, &QTimer::timeout, this, &ChaosRun::nextFault);
        m_retry.setSingleShot(true);
        QObject::connect(&m_retry, &QTimer::timeout, this, &ChaosRun::applyPending);
    }

    bool start()
    {
        if (!listener.listen(0))
            return false;
        const QStringList nicks{"Ann", "Bob", "Cid", "Dan"};
        for (int i = 0; i < 4; ++i) {
            proxies.push_back(std::make_unique<FaultProxy>(listener.port(), m_seed * 4 + quint64(i)));
            if (!proxies.back()->listen())
                return false;
            bots.push_back(std::make_unique<TBotPlayer>(QStringLiteral("127.0.0.1"), proxies.back()->port(),
                                                        nicks.at(i), i % 2 ? 1 : 2, kMoveDelayMs));
            bots.back()->setNextDealDelay(100);
            bots.back()->setSeed(m_seed + quint64(i));
            QObject::connect(bots.back()->table(), &ClientTable::reconnected, this, [this] { ++rejoins; });
            watch.addCopy(bots.back().get(), proxies.back().get());
            bots.back()->start();
        }
        clock.start();
        if (log) {
            const auto say = [this](const QString &line) { qInfo("%llu %lld ms: %s", m_seed, clock.elapsed(), qPrintable(line)); };
            QObject::connect(&host, &TableHost::noted, this, say);
            for (const auto &bot : bots)
                QObject::connect(bot.get(), &TBotPlayer::note, this, say);
        }
        m_faultTimer.start(1000);
        return true;
    }
    void stopFaults()
    {
        m_faultTimer.stop();
        m_retry.stop();
    }
    quint64 seed() const { return m_seed; }

    TableHost host;
    HubListener listener;
    std::vector<std::unique_ptr<FaultProxy>> proxies;
    std::vector<std::unique_ptr<TBotPlayer>> bots;
    ChaosWatch watch;
    QMap<QString, int> faults;
    int rejoins = 0;
    QElapsedTimer clock;
    // Every fault and every event of the host, as they happen.
    const bool log = qEnvironmentVariableIsSet("QUADRIX_CHAOS_LOG");

private:
    int draw(int low, int high) { return low + int(m_schedule.bounded(high - low + 1)); }
    // Draws the next fault whole, then applies it: one that ends the connection waits for a deal,
    // since a player whose connection drops between deals leaves the table by design.
    void nextFault()
    {
        const int i = draw(0, 3);
        FaultProxy *p = proxies[size_t(i)].get();
        const auto direction = [this] { return FaultProxy::Direction(draw(FaultProxy::ToHost, FaultProxy::BothWays)); };
        int ms = 0;
        m_endsLink = false;
        switch (draw(0, 7)) {
        case 0:
            ms = draw(2000, 8000);
            m_pending = {QStringLiteral("latency"), [p, ms] { p->addLatency(300, ms); }};
            break;
        case 1: {
            const int rate = draw(300, 3000);
            ms = draw(2000, 6000);
            m_pending = {QStringLiteral("slow link"), [p, rate, ms] { p->slowLink(rate, ms); }};
            break;
        }
        case 2: {
            const int piece = draw(1, 8);
            ms = draw(2000, 8000);
            m_pending = {QStringLiteral("pieces"), [p, piece, ms] { p->cutIntoPieces(piece, ms); }};
            break;
        }
        case 3: {
            const auto d = direction();
            ms = draw(2000, 20000);
            m_pending = {QStringLiteral("stall"), [p, d, ms] { p->stall(d, ms); }};
            break;
        }
        case 4:
            m_endsLink = true;
            m_pending = {QStringLiteral("reset"), [p] { p->reset(); }};
            break;
        case 5: {
            m_endsLink = true;
            const auto d = draw(0, 1) ? FaultProxy::ToHost : FaultProxy::ToGuest;
            m_pending = {QStringLiteral("half-close"), [p, d] { p->halfClose(d); }};
            break;
        }
        case 6: {
            m_endsLink = true;
            const auto d = direction();
            m_pending = {QStringLiteral("cut in a message"), [p, d] { p->cutMidMessage(d); }};
            break;
        }
        default:
            m_endsLink = true;
            ms = draw(1000, 8000);
            m_pending = {QStringLiteral("refused reconnection"), [p, ms] { p->refuseFor(ms); }};
            break;
        }
        m_pendingText = QStringLiteral("%1's link, %2 ms").arg(bots[size_t(i)]->nick()).arg(ms);
        m_nextGapMs = draw(2000, 5000);
        applyPending();
    }
    void applyPending()
    {
        if (m_endsLink && host.phase() != TableHost::Phase::Playing) {
            m_retry.start(50);
            return;
        }
        m_pending.second();
        ++faults[m_pending.first];
        if (log)
            qInfo("%llu %lld ms: %s at %s", m_seed, clock.elapsed(), qPrintable(m_pending.first), qPrintable(m_pendingText));
        m_faultTimer.start(m_nextGapMs);
    }
};

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

} // namespace

class TstChaos : public QObject
{
    Q_OBJECT

private:
    // Tables with these seeds play at once, each until it has finished deals deals.
    void play(const QList<quint64> &seeds, int deals)
    {
        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<ChaosRun>> runs;
        for (quint64 seed : seeds) {
            runs.push_back(std::make_unique<ChaosRun>(seed));
            QVERIFY(runs.back()->start());
        }
        const auto all = [&runs](const std::function<bool(const ChaosRun &)> &f) {
            return std::all_of(runs.begin(), runs.end(), [&f](const auto &r) { return f(*r); });
        };
        const auto failed = [&all] { return !all([](const ChaosRun &r) { return r.watch.problem().isEmpty(); }); };
        const int limitMs = envInt("QUADRIX_CHAOS_MINUTES", 30) * 60000;
        waitUntil([&] { return failed() || all([deals](const ChaosRun &r) { return r.watch.dealsWon() >= deals; }); },
                  limitMs);
        for (const auto &r : runs)
            r->stopFaults();
        // The links heal; every copy comes back to the host's table and credits.
        waitUntil([&] { return failed() || all([](const ChaosRun &r) { return r.watch.settled(); }); }, 40000);
        for (const auto &r : runs) {
            const ChaosWatch &w = r->watch;
            QStringList kinds;
            for (auto it = r->faults.cbegin(); it != r->faults.cend(); ++it)
                kinds << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
            qInfo("seed %llu: %d deals finished in %lld s, %d moves agreed by every copy; faults: %s; "
                  "%d rejoins, %d times away, longest recovery %lld ms; %d deal checks",
                  r->seed(), w.dealsWon(), clock.elapsed() / 1000, w.movesAgreed(), qPrintable(kinds.join(", ")),
                  r->rejoins, w.aways(), w.longestAwayMs(), w.dealChecks());
        }
        const auto replay = [](const ChaosRun &r) { return QStringLiteral(" (replay: QUADRIX_CHAOS_SEED=%1)").arg(r.seed()); };
        for (const auto &r : runs)
            QVERIFY2(r->watch.problem().isEmpty(), qPrintable(r->watch.problem() + replay(*r)));
        for (const auto &r : runs) {
            const ChaosWatch &w = r->watch;
            QVERIFY2(w.dealsWon() >= deals, qPrintable(QStringLiteral("%1 deals").arg(w.dealsWon()) + replay(*r)));
            QVERIFY2(w.settled(), qPrintable(w.unsettled() + replay(*r)));
            QVERIFY(w.movesAgreed() > 10 * deals);
            QVERIFY(w.dealChecks() >= 3 * deals);
        }
    }

private slots:
    void tableAgreesThroughFaults_data()
    {
        QTest::addColumn<QList<quint64>>("seeds");
        QTest::addColumn<int>("deals");
        const QByteArray chosen = qgetenv("QUADRIX_CHAOS_SEED");
        const bool longRun = qEnvironmentVariableIsSet("QUADRIX_CHAOS_LONG");
        if (!chosen.isEmpty()) {
            QTest::newRow(chosen.constData()) << QList<quint64>{chosen.toULongLong()} << envInt("QUADRIX_CHAOS_DEALS", 10);
        } else if (longRun) {
            // Two tables at once, 25 deals each unless told otherwise.
            const QList<quint64> seeds{QRandomGenerator::system()->bounded(1000000000u),
                                       QRandomGenerator::system()->bounded(1000000000u)};
            QTest::newRow("random seeds") << seeds << envInt("QUADRIX_CHAOS_DEALS", 25);
        } else {
            // Seed 1 found a move that crossed the host's pass for a stalled player; seed 303251048 a
            // player whose link was cut while its own win was not settled yet, and who did not come back.
            QTest::newRow("seeds 1, 2 and 303251048") << QList<quint64>{1, 2, 303251048} << 4;
        }
    }

    void tableAgreesThroughFaults()
    {
        QFETCH(QList<quint64>, seeds);
        QFETCH(int, deals);
        play(seeds, deals);
    }
};

int main(int argc, char *argv[])
{
    // A long or replayed run outlasts Qt Test's five minutes for one test function.
    if ((qEnvironmentVariableIsSet("QUADRIX_CHAOS_LONG") || qEnvironmentVariableIsSet("QUADRIX_CHAOS_SEED"))
        && !qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(envInt("QUADRIX_CHAOS_MINUTES", 30) * 60000 + 60000));
    QCoreApplication app(argc, argv);
    TstChaos test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_chaos.moc"
