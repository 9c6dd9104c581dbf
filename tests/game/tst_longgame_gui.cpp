// A long game: four tables of four copies each over loopback, played at once, six whole deals at
// each through the buttons and card clicks; every copy checked against the account of its deal after
// every move, the credits after every deal.
#include "game/gameflow.h"
#include "hub/hubserver.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTest>
#include <memory>
#include <vector>

class TestLongGame : public QObject
{
    Q_OBJECT

    static constexpr int kTables = 4;
    static constexpr int kDeals = 6; // at each table
    std::vector<std::unique_ptr<TableFixture>> fixtures;
    std::vector<std::unique_ptr<Stress::TableCheck>> checks;

private slots:
    void wholeDealsAtFourTables()
    {
        QElapsedTimer clock;
        clock.start();
        QList<Stress::TableCheck *> tables;
        for (int t = 0; t < kTables; ++t) {
            fixtures.push_back(std::make_unique<TableFixture>());
            checks.push_back(std::make_unique<Stress::TableCheck>());
            const QList<TmainFrm *> copies = fixtures.back()->seatTable({"Ann", "Bob", "Cid", "Dan"});
            QCOMPARE(copies.size(), 4);
            copies.first()->CardEng1.seed(20250107 + t);
            checks.back()->setCopies(copies);
            QCOMPARE(checks.back()->creditSum(), 4000);
            tables << checks.back().get();
        }
        QString problem;
        QVERIFY2(Stress::playTogether(tables, kDeals, &problem), qPrintable(problem));

        int moves = 0;
        qint64 slowest = 0;
        for (int t = 0; t < kTables; ++t) {
            const Stress::TableCheck &check = *checks[size_t(t)];
            QCOMPARE(check.dealsPlayed(), kDeals);
            QCOMPARE(check.creditSum(), 4000);
            // Nobody left and nothing was refused on the way.
            QCOMPARE(check.host()->roster.seatCount(), 4);
            for (TmainFrm *w : check.copies())
                QVERIFY2(fixtures[size_t(t)]->messagesOf(w).isEmpty(),
                         qPrintable(fixtures[size_t(t)]->messageTextsOf(w).join('|')));
            moves += check.moveLog().size();
            slowest = std::max(slowest, check.slowestMoveMs());
        }
        qInfo("%d deals, %d moves and deal starts in %lld ms; slowest move %lld ms", kTables * kDeals, moves,
              clock.elapsed(), slowest);
    }

    void cleanupTestCase()
    {
        checks.clear();
        fixtures.clear();
    }
};

QTEST_MAIN(TestLongGame)
#include "tst_longgame_gui.moc"
