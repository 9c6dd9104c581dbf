// The table model alone: the referee's refusals, the turn, the end of a deal and the credits.
#include "cards/cardeng.h"
#include "game/table.h"
#include "game/tablesnapshot.h"
#include "rules/rules.h"
#include <QTest>

namespace {
struct Fixture
{
    TCardEng eng;
    TCombinationRules rules{eng};
    TuserInfo roster;
    TTable table{roster, rules};

    explicit Fixture(int seats = 4)
    {
        rules.useGameWeights();
        const QStringList nicks{"Ann", "Bob", "Cid", "Dan"};
        for (int s = 1; s <= seats; ++s) {
            TuserRec r;
            r.nick = nicks.at(s - 1);
            r.port = s == 1 ? 0 : 5000 + s;
            r.credit = 1000;
            roster.setSeat(r, s);
        }
    }
    // Ann holds the lowest card (the Diamond 3); Bob has the Spade 2.
    void dealSmallHands()
    {
        table.beginDealing();
        table.setHand(1, {"43", "33", "23", "45", "110"});
        table.setHand(2, {"44", "34", "12", "16"});
        table.setHand(3, {"46", "36", "17"});
        table.setHand(4, {"47", "37", "18"});
        table.startPlay();
        table.setToMove(table.lowestCardSeat());
    }
};
} // namespace

class TstTable : public QObject
{
    Q_OBJECT

private slots:
    void snapshotForAPlayerWhoComesBack()
    {
        Fixture f(3);
        f.dealSmallHands();
        f.table.applyMove(TMove{1, {"43"}}, 1);
        f.table.setToMove(2);
        f.table.applyMove(TMove{2, {}}, 0);
        f.table.setToMove(3);
        const QStringList values = tableSnapshotValues(f.table);
        QCOMPARE(values, QStringList({"43#", "Ann", "Bob", "4#4#3#0"}));
        const std::optional<TTableSnapshot> back = parseTableSnapshot(values[0], values[1], values[2], values[3]);
        QVERIFY(back);
        QCOMPARE(back->tableCards, QStringList{"43"});
        QCOMPARE(back->thrower, QStringLiteral("Ann"));
        QCOMPARE(back->passed, QStringList{"Bob"});
        QCOMPARE(back->counts, (std::array<int, 5>{0, 4, 4, 3, 0}));
        // What a copy cannot take for a table is dropped whole.
        QVERIFY(!parseTableSnapshot("43", "Ann", "", "4#4#3#0"));
        QVERIFY(!parseTableSnapshot("99#", "Ann", "", "4#4#3#0"));
        QVERIFY(!parseTableSnapshot("43#33#23#45#110#16#", "Ann", "", "4#4#3#0"));
        QVERIFY(!parseTableSnapshot("43#", "Ann", "", "4#4#3"));
        QVERIFY(!parseTableSnapshot("43#", "Ann", "", "4#4#14#0"));
        QVERIFY(!parseTableSnapshot("43#", "Ann", "", "4#x#3#0"));
        QVERIFY(parseTableSnapshot("", "", "", "13#13#13#13"));
    }

    void movesRefused_data()
    {
        QTest::addColumn<int>("seat");
        QTest::addColumn<QStringList>("cards");
        QTest::addColumn<int>("claimed");
        QTest::addColumn<bool>("onFive"); // Ann's Diamond 5 lies on the table, Bob to move
        QTest::addColumn<int>("why");
        QTest::newRow("out of turn") << 2 << QStringList{"44"} << 1 << false << int(Refusal::NotYourTurn);
        QTest::newRow("another hand's card") << 1 << QStringList{"12"} << 1 << false << int(Refusal::NotInHand);
        QTest::newRow("count disagrees") << 1 << QStringList{"43"} << 2 << false << int(Refusal::CountMismatch);
        QTest::newRow("pair of two ranks") << 1 << QStringList{"43", "45"} << 2 << false << int(Refusal::Illegal);
        QTest::newRow("a card twice") << 1 << QStringList{"43", "43"} << 2 << false << int(Refusal::Illegal);
        QTest::newRow("four cards") << 1 << QStringList{"43", "33", "23", "45"} << 4 << false
                                    << int(Refusal::Illegal);
        QTest::newRow("not a card") << 1 << QStringList{"99"} << 1 << false << int(Refusal::NotCards);
        QTest::newRow("lower single") << 2 << QStringList{"44"} << 1 << true << int(Refusal::TooWeak);
        QTest::newRow("pair on a single") << 2 << QStringList{"44", "34"} << 2 << true << int(Refusal::TooWeak);
        QTest::newRow("empty seat") << 0 << QStringList{"44"} << 1 << false << int(Refusal::NotSeated);
        QTest::newRow("higher single") << 2 << QStringList{"16"} << 1 << true << int(Refusal::None);
        QTest::newRow("pass") << 2 << QStringList{} << 0 << true << int(Refusal::None);
        QTest::newRow("pass with a count") << 2 << QStringList{} << 1 << true << int(Refusal::CountMismatch);
    }
    void movesRefused()
    {
        QFETCH(int, seat);
        QFETCH(QStringList, cards);
        QFETCH(int, claimed);
        QFETCH(bool, onFive);
        QFETCH(int, why);
        Fixture f;
        QCOMPARE(f.table.checkMove(TMove{1, {"43"}}, 1), Refusal::NoDeal);
        f.dealSmallHands();
        QCOMPARE(f.table.toMove(), 1);
        if (onFive) {
            QCOMPARE(f.table.checkMove(TMove{1, {"45"}}, 1), Refusal::None);
            f.table.applyMove(TMove{1, {"45"}}, 1);
            f.table.setToMove(f.table.seatAfter(1));
        }
        const QStringList handBefore = f.table.hand(seat);
        QCOMPARE(int(f.table.checkMove(TMove{seat, cards}, claimed)), why);
        // Checking changes nothing.
        QCOMPARE(f.table.hand(seat), handBefore);
        QCOMPARE(f.table.tableCards(), onFive ? QStringList{"45"} : QStringList{});
        QVERIFY(!refusalText(Refusal(why)).isEmpty() || why == int(Refusal::None));
    }

    void turnReturnsToThrowerAndClearsTable()
    {
        Fixture f(3); // seat 4 free: the turn skips it
        f.table.beginDealing();
        f.table.setHand(1, {"43", "45"});
        f.table.setHand(2, {"44"});
        f.table.setHand(3, {"46"});
        f.table.startPlay();
        f.table.setToMove(1);
        f.table.applyMove(TMove{1, {"43"}}, 1);
        QCOMPARE(f.table.thrower(), 1);
        for (int seat : {2, 3}) {
            f.table.setToMove(f.table.seatAfter(f.table.toMove()));
            QCOMPARE(f.table.toMove(), seat);
            f.table.applyMove(TMove{seat, {}}, 0);
            QVERIFY(f.table.passed(seat));
        }
        f.table.setToMove(f.table.seatAfter(3));
        QCOMPARE(f.table.toMove(), 1);
        QVERIFY(f.table.tableCards().isEmpty());
        QCOMPARE(f.table.thrower(), 0);
        QVERIFY(!f.table.passed(2) && !f.table.passed(3));
        // Any single may lead now, the lowest one included.
        QCOMPARE(f.table.checkMove(TMove{1, {"45"}}, 1), Refusal::None);
        f.table.applyMove(TMove{1, {"45"}}, 1);
        // the deal's moves as the computer players read them, each with the table it met
        const QList<TMoveRecord> &log = f.table.moves();
        QCOMPARE(log.size(), 4);
        QCOMPARE(log.at(0).over, QStringList());
        QCOMPARE(log.at(2).move.seat, 3);
        QVERIFY(log.at(2).move.isPass());
        QCOMPARE(log.at(2).over, QStringList{"43"});
        QCOMPARE(log.at(3).over, QStringList()); // a lead on the cleared table
        f.table.startPlay();
        QVERIFY(f.table.moves().isEmpty());
    }

    void fiveCardThrowLiesSorted()
    {
        Fixture f;
        f.table.beginDealing();
        f.table.setHand(1, {"17", "43", "36", "24", "45"});
        f.table.startPlay();
        f.table.setToMove(1);
        const TMove straight{1, {"17", "43", "36", "24", "45"}};
        QCOMPARE(f.table.checkMove(straight, 5), Refusal::None);
        f.table.applyMove(straight, 5);
        QCOMPARE(f.table.tableCards(), (QStringList{"43", "24", "45", "36", "17"}));
        QCOMPARE(f.table.cardCount(1), 0);
    }

    void dealOverAndLeadClaims()
    {
        Fixture f;
        f.dealSmallHands();
        QCOMPARE(f.table.checkDealOver(2), Refusal::CardsLeft);
        QCOMPARE(f.table.checkLeadClaim(1), Refusal::NotWinner); // during a deal nobody claims the lead

        // A dealt hand of four 2s wins at once, but not once a card has left it.
        Fixture twos;
        twos.table.beginDealing();
        twos.table.setHand(2, {"12", "22", "32", "42", "43"});
        twos.table.setHand(1, {"44"});
        twos.table.startPlay();
        QCOMPARE(twos.table.checkDealOver(2), Refusal::None);
        twos.table.applyMove(TMove{2, {"43"}}, 1);
        QCOMPARE(twos.table.checkDealOver(2), Refusal::CardsLeft);

        // Out of cards: a true claim; afterwards only the winner leads and asks for the next deal.
        f.table.applyMove(TMove{3, {"46", "36", "17"}}, 3);
        QCOMPARE(f.table.checkDealOver(3), Refusal::None);
        f.table.endDeal(3);
        QCOMPARE(f.table.checkLeadClaim(3), Refusal::None);
        QCOMPARE(f.table.checkLeadClaim(2), Refusal::NotWinner);
        QCOMPARE(f.table.checkDealOver(3), Refusal::NoDeal); // a deal ends once
        QCOMPARE(f.table.leader(), 3);
        f.table.setWaiting();
        QCOMPARE(f.table.checkLeadClaim(3), Refusal::NotWinner);
    }

    void settlementPaysTheWinner()
    {
        Fixture f;
        f.table.beginDealing();
        f.table.setHand(1, {});
        f.table.setHiddenHand(2, 5);
        f.table.setHiddenHand(3, 10);
        f.table.setHiddenHand(4, 13);
        const TTable::Settlement s = f.table.settle(1);
        QCOMPARE(s.loss, (std::array<int, 5>{0, 0, 5, 20, 39}));
        QCOMPARE(s.pool, 64);
        QCOMPARE(f.roster.user(1).credit, 1064);
        QCOMPARE(f.roster.user(4).credit, 961);
    }

    void clientCountsHiddenHands()
    {
        Fixture f;
        f.table.setHand(2, {"44", "34"});
        f.table.setHiddenHand(1, 13);
        f.table.startPlay();
        f.table.applyMove(TMove{1, {"43", "33"}}, 2);
        QCOMPARE(f.table.cardCount(1), 11);
        QVERIFY(!f.table.knowsHand(1));
        f.table.applyMove(TMove{2, {"44", "34"}}, 2);
        QCOMPARE(f.table.cardCount(2), 0);
        QCOMPARE(f.table.tableCards(), (QStringList{"44", "34"}));
        // What a player may count: every card thrown this deal, hidden hands' too; a pass adds none.
        f.table.applyMove(TMove{3, {}}, 0);
        QCOMPARE(f.table.playedCards(), (QStringList{"43", "33", "44", "34"}));
        f.table.startPlay();
        QVERIFY(f.table.playedCards().isEmpty());
    }

    void wholeDealThroughTheReferee()
    {
        // Four players each throw the lowest single that beats the table, or pass; every move the
        // model proposes is accepted, and the deal ends with exactly one true claim.
        Fixture f;
        f.eng.seed(7);
        f.eng.ResetDeck();
        f.table.beginDealing();
        std::array<QStringList, 5> hands;
        for (int k = 0; k < 13; ++k)
            for (int s = 1; s <= 4; ++s)
                hands[size_t(s)] << f.eng.DrawCard();
        for (int s = 1; s <= 4; ++s)
            f.table.setHand(s, hands[size_t(s)]);
        f.table.startPlay();
        f.table.setToMove(f.table.lowestCardSeat());
        int moves = 0;
        int winner = 0;
        while (!winner && moves < 400) {
            const int seat = f.table.toMove();
            QStringList pick;
            int best = 1000;
            for (const QString &c : f.table.hand(seat)) {
                const int v = f.rules.nthLowestValue({c}, 1);
                const bool beats = f.table.tableCards().isEmpty()
                                   || (f.table.tableCards().size() == 1 && f.rules.beatsTable({c}, f.table.tableCards()));
                if (beats && v < best) {
                    best = v;
                    pick = {c};
                }
            }
            const TMove move{seat, pick};
            QCOMPARE(f.table.checkMove(move, int(pick.size())), Refusal::None);
            // Nobody else may move meanwhile.
            QCOMPARE(f.table.checkMove(TMove{f.table.seatAfter(seat), {}}, 0), Refusal::NotYourTurn);
            f.table.applyMove(move, int(pick.size()));
            ++moves;
            if (f.table.cardCount(seat) == 0)
                winner = seat;
            else
                f.table.setToMove(f.table.seatAfter(seat));
        }
        QVERIFY(winner != 0);
        for (int s = 1; s <= 4; ++s)
            QCOMPARE(f.table.checkDealOver(s), s == winner ? Refusal::None : Refusal::CardsLeft);
        int before = 0;
        for (int s = 1; s <= 4; ++s)
            before += f.roster.user(s).credit;
        const TTable::Settlement paid = f.table.settle(winner);
        f.table.endDeal(winner);
        int after = 0;
        for (int s = 1; s <= 4; ++s)
            after += f.roster.user(s).credit;
        QCOMPARE(after, before); // credits move, none appear or vanish
        QVERIFY(paid.pool > 0);
        QCOMPARE(f.roster.user(winner).credit, 1000 + paid.pool);
        QCOMPARE(f.table.leader(), winner);
    }
};

QTEST_GUILESS_MAIN(TstTable)
#include "tst_table.moc"
