// The long game: four tables at once, each a table host with four client models over TCP that play by
// themselves, many deals each; every copy is compared with its host whenever all have taken a move.
#include "client/clienttable.h"
#include "net/hubdialer.h"
#include "net/hublistener.h"
#include "support/localtable.h"
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <vector>

using namespace Stress;

namespace {

// A LocalTable whose players come over TCP instead of in-process pairs.
struct TcpTable
{
    LocalTable t{{}};
    HubListener listener;
    QString problem;  // the first disagreement seen
    int checked = 0;  // settled moments compared with the host
    int dealsWon = 0; // deal ends the host announced

    bool open()
    {
        QObject::connect(&listener, &HubListener::newConnection, &t.host, &TableHost::addConnection);
        t.host.setFirstDealDelayMs(20);
        t.host.setNextDealDelayMs(60000); // every next deal is the winner's call
        QObject::connect(&t.host, &TableHost::phaseChanged, &t,
                         [this](TableHost::Phase p) { dealsWon += p == TableHost::Phase::DealOver ? 1 : 0; });
        return listener.listen(0);
    }
    void join(const QString &nick)
    {
        auto *dialer = new HubDialer(QStringLiteral("127.0.0.1"), listener.port());
        t.players.push_back(std::make_unique<ClientTable>(dialer, nick));
        ClientTable *p = t.players.back().get();
        dialer->setParent(p);
        QObject::connect(p, &ClientTable::turnChanged, p, [p](int seat) {
            if (seat == p->mySeat())
                QTimer::singleShot(0, p, [p] {
                    const QStringList pick = weakestSingle(*p);
                    if (p->myTurn() && (pick.isEmpty() || !p->play(pick)))
                        p->pass();
                });
        });
        QObject::connect(p, &ClientTable::dealEnded, p, [p](int winner) {
            if (winner == p->mySeat())
                QTimer::singleShot(ClientTable::kEndPauseMs + 20, p, [p] { p->nextDeal(); });
        });
        QObject::connect(p, &ClientTable::moved, p, [this] { probe(); });
        QObject::connect(p, &ClientTable::turnChanged, p, [this] { probe(); });
        p->start();
    }
    void probe()
    {
        const TTable &truth = t.host.table();
        for (const auto &p : t.players)
            if (p->table().moves().size() != truth.moves().size() || p->turnSeat() != truth.toMove())
                return;
        if (t.host.phase() != TableHost::Phase::Playing)
            return;
        if (problem.isEmpty())
            problem = t.disagreement();
        ++checked;
    }
};

} // namespace

class TstLongGame : public QObject
{
    Q_OBJECT

private slots:
    void manyDealsAtFourTablesAtOnce()
    {
        constexpr int kTables = 4;
        constexpr int kDeals = 5; // at each table
        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<TcpTable>> tables;
        std::vector<std::unique_ptr<QSignalSpy>> refusals;
        for (int i = 0; i < kTables; ++i) {
            tables.push_back(std::make_unique<TcpTable>());
            TcpTable &tt = *tables.back();
            QVERIFY(tt.open());
            refusals.push_back(std::make_unique<QSignalSpy>(&tt.t.host, &TableHost::refused));
            for (const char *nick : {"Ann", "Bob", "Cid", "Dan"})
                tt.join(QString::fromLatin1(nick));
        }
        const auto allDone = [&] {
            return std::all_of(tables.begin(), tables.end(), [](const auto &tt) { return tt->dealsWon >= kDeals; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allDone(), 120000);

        int checked = 0;
        for (int i = 0; i < kTables; ++i) {
            TcpTable &tt = *tables[size_t(i)];
            QVERIFY2(tt.problem.isEmpty(), qPrintable(tt.problem));
            QVERIFY(tt.checked > 10 * kDeals);
            // Honest copies make no claim the host refuses, not even at the end of a deal; only a hand won
            // as dealt may end a deal before the leader hears of it.
            for (const auto &r : *refusals[size_t(i)])
                QVERIFY2(tt.t.dealtWins() > 0 && r.at(0).toString().endsWith(QLatin1String("no deal is running")),
                         qPrintable(r.at(0).toString()));
            QVERIFY(refusals[size_t(i)]->count() <= tt.t.dealtWins());
            QCOMPARE(tt.t.host.seatedCount(), 4);
            // Every deal started was won, bar the one just started by the last winner.
            QVERIFY(tt.t.host.dealsStarted() - tt.dealsWon <= 1);
            int total = 0;
            for (int s = 1; s <= 4; ++s) {
                total += tt.t.host.roster().user(s).credit;
                for (const auto &p : tt.t.players)
                    QTRY_COMPARE(p->credit(s), tt.t.host.roster().user(s).credit);
            }
            QCOMPARE(total, 4000);
            checked += tt.checked;
        }
        qInfo("%d deals at %d tables in %lld ms, %d settled moments compared", kTables * kDeals, kTables,
              clock.elapsed(), checked);
    }
};

QTEST_GUILESS_MAIN(TstLongGame)
#include "tst_longgame.moc"
