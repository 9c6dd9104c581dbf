// A long game at a table of four copies over loopback: twenty whole deals played through the
// buttons and card clicks, every copy checked against the account of the deal after every move,
// the credits after every deal.
#include "game/gameflow.h"
#include "hub/hubserver.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTest>

class TestLongGame : public QObject
{
    Q_OBJECT

    static constexpr int kDeals = 20;
    TableFixture fx;
    Stress::TableCheck check;
    TmainFrm *host = nullptr;
    QElapsedTimer clock;
    int totalMoves = 0;

private slots:
    void initTestCase()
    {
        clock.start();
        const QList<TmainFrm *> copies = fx.seatTable({"Ann", "Bob", "Cid", "Dan"});
        QCOMPARE(copies.size(), 4);
        host = copies.first();
        host->CardEng1.seed(20250107);
        check.setCopies(copies);
        QCOMPARE(check.creditSum(), 4000);
    }

    void wholeDeal_data()
    {
        QTest::addColumn<int>("deal");
        for (int d = 1; d <= kDeals; ++d)
            QTest::addRow("deal %d", d) << d;
    }

    void wholeDeal()
    {
        QFETCH(int, deal);
        QCOMPARE(check.dealsPlayed(), deal - 1);
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QVERIFY2(check.finishDeal(), qPrintable(check.problem()));
        QCOMPARE(check.dealsPlayed(), deal);
        QCOMPARE(check.creditSum(), 4000);
        totalMoves += check.movesThisDeal();
        // Nobody left and nothing was refused on the way.
        QCOMPARE(host->roster.seatCount(), 4);
        for (TmainFrm *w : check.copies())
            QVERIFY2(fx.messagesOf(w).isEmpty(), qPrintable(fx.messageTextsOf(w).join('|')));
    }

    void cleanupTestCase()
    {
        qInfo("%d deals, %d moves in %lld ms; slowest move %lld ms", check.dealsPlayed(), totalMoves,
              clock.elapsed(), check.slowestMoveMs());
    }
};

QTEST_MAIN(TestLongGame)
#include "tst_longgame_gui.moc"
