// The game flow and the deal end on one window with a roster made by hand: seating, throws and
// passes on screen, the turn, the leader, re-entrant messages, bad input and the credits.
#include "cards/playcard.h"
#include "game/credits.h"
#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/messagerouter.h"
#include "game/protocol.h"
#include "rules/handhandling.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace DealHelpers;

class TestFlow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TmainFrm *w = nullptr;

    void newWindow(const QString &myNick, const QList<QPair<QString, int>> &seats)
    {
        w = fx->newWindow();
        seatLocally(w, myNick, seats);
    }
    void fourAtTable(const QString &myNick = QStringLiteral("Ann"))
    {
        newWindow(myNick, {{"Ann", 1}, {"Bob", 2}, {"Cid", 3}, {"Dan", 4}});
    }
    void dispatch(const QString &tag, const QString &v1, const QString &v2 = {}, const QString &v3 = {},
                  const QString &v4 = {})
    {
        w->router->dispatchGameMessage(QStringLiteral("127.0.0.1"), 0, tag, v1, v2, v3, v4, {}, {});
    }
    // Ann's hand; its lowest card is the Heart 5 ("25", worth 53).
    void dealHostHand()
    {
        const QStringList hand{"25", "16", "17", "18", "19", "110", "111", "112", "113", "26", "27", "28", "29"};
        for (int k = 1; k <= 13; ++k)
            w->placeDealtCard("Ann", k, hand.at(k - 1));
    }
    bool passShown(int seat) const { return !w->passLabel(seat)->isHidden(); }

private slots:
    void init() { fx = std::make_unique<TableFixture>(); }
    void cleanup()
    {
        w = nullptr;
        fx.reset();
    }

    void seatingIsSeenFromOwnSeat()
    {
        // A newcomer learns its own seat first, then the others.
        newWindow("Cid", {{"Cid", 3}, {"Ann", 1}, {"Dan", 4}});
        QCOMPARE(w->nickLabel(1)->text(), QStringLiteral("C i d"));
        QCOMPARE(w->nickLabel(2)->text(), QStringLiteral("D a n"));
        QCOMPARE(w->nickLabel(3)->text(), QStringLiteral("A n n"));
        QCOMPARE(w->nickLabel(4)->text(), kEmptySeatText);
        QCOMPARE(w->pointLabel(2)->text(), QStringLiteral("1000"));
        QVERIFY(!w->pointLabel(2)->isHidden());
        QCOMPARE(backsShown(w, 2), 13);
        QCOMPARE(backsShown(w, 4), 0);
        QVERIFY(!w->flow->seatPlayer("Eve", "127.0.0.1", 7000, 3)); // taken
        QVERIFY(!w->flow->seatPlayer("", "127.0.0.1", 7000, 2));
        QCOMPARE(w->roster.seatCount(), 3);

        QVERIFY(w->flow->unseatPlayer("Dan"));
        QCOMPARE(w->nickLabel(2)->text(), kEmptySeatText);
        QCOMPARE(w->pointLabel(2)->text(), QStringLiteral("0"));
        QVERIFY(w->pointLabel(2)->isHidden());
        QCOMPARE(backsShown(w, 2), 0);
        QCOMPARE(w->roster.seatOfNick("Dan"), -1);
        QVERIFY(!w->flow->unseatPlayer("Dan"));

        // "[USER]" with a word other than join or quit does nothing.
        dispatch(Tag::USER, "[MOVE]", "Eve", "127.0.0.1", "7000");
        QCOMPARE(w->roster.seatCount(), 2);
    }

    void throwsAndPassesOnScreen()
    {
        fourAtTable();
        playLocally(w);
        w->flow->applyThrow(localPort(2), "Bob", 2, "37#47#");
        QCOMPARE(tableOf(w), QStringList({"37", "47"}));
        QCOMPARE(backsShown(w, 2), 11);
        QVERIFY(w->seatSlot(2, 12)->isHidden() && w->seatSlot(2, 13)->isHidden());
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral("B o b"));
        QVERIFY(!w->txtWhoThrow->isHidden());

        w->flow->applyThrow(localPort(3), "Cid", 0, QString());
        QVERIFY(passShown(3));
        QCOMPARE(backsShown(w, 3), 13);
        QCOMPARE(tableOf(w), QStringList({"37", "47"}));

        // A five-card throw lies sorted by number, whatever the thrower's order.
        w->flow->applyThrow(localPort(4), "Dan", 5, "113#110#19#112#111#");
        QCOMPARE(tableOf(w), QStringList({"19", "110", "111", "112", "113"}));
        QCOMPARE(backsShown(w, 4), 8);

        // Not a player at this table: nothing happens.
        w->flow->applyThrow(9999, "Zed", 1, "43#");
        QCOMPARE(tableOf(w), QStringList({"19", "110", "111", "112", "113"}));
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral("D a n"));
    }

    void badThrows_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<int>("backsLeft");
        QTest::newRow("pieces that are not cards") << "3" << "99#33#x#" << QStringList{"33"} << 10;
        QTest::newRow("count above the list") << "3" << "33#" << QStringList{"33"} << 10;
        QTest::newRow("count below the list") << "1" << "33#34#35#" << QStringList{"33"} << 12;
        QTest::newRow("more than the table holds")
            << "9" << "13#14#15#16#17#18#19#110#111#" << QStringList{"13", "14", "15", "16", "17"} << 4;
        QTest::newRow("more than the hand holds") << "20" << "13#" << QStringList{"13"} << 0;
        QTest::newRow("negative count") << "-2" << "33#" << QStringList{} << 13;
        QTest::newRow("list starting with #") << "2" << "#33#34#" << QStringList{} << 11;
        QTest::newRow("count not a number") << "two" << "33#34#" << QStringList{"41"} << 13;
    }

    void badThrows()
    {
        QFETCH(QString, count);
        QFETCH(QString, list);
        QFETCH(QStringList, table);
        QFETCH(int, backsLeft);
        fourAtTable();
        playLocally(w);
        putOnTable(w, {"41"});
        dispatch(Tag::THROW, QString::number(localPort(2)), "Bob", count, list);
        QCOMPARE(tableOf(w), table);
        QCOMPARE(backsShown(w, 2), backsLeft);
        // The table stays playable: the next throw shows normally.
        w->flow->applyThrow(localPort(3), "Cid", 1, "42#");
        QCOMPARE(tableOf(w), QStringList({"42"}));
        QCOMPARE(backsShown(w, 3), 12);
    }

    void badDealtCards()
    {
        fourAtTable();
        giveHand(w, {"13", "14"});
        for (const char *pos : {"0", "14", "-1", "x", ""})
            dispatch(Tag::CARD, "0", "Ann", pos, "33");
        QCOMPARE(handOf(w), QStringList({"13", "14"}));
        dispatch(Tag::CARD, "0", "Ann", "3", "33");
        QCOMPARE(handOf(w), QStringList({"13", "14", "33"}));
        dispatch(Tag::CARD, "0", "Zed", "4", "34");
        QCOMPARE(handOf(w), QStringList({"13", "14", "33"}));
        // A card dealt into a slot left raised from the last deal comes in lowered and not selected.
        clickCard(w->handSlot(1));
        QVERIFY(THandHandling::isRaised(w->handSlot(1)));
        dispatch(Tag::CARD, "0", "Ann", "1", "35");
        QCOMPARE(w->handSlot(1)->GetCardCode(), QStringLiteral("35"));
        // The first card of a new deal turns the rest of the old hand face down.
        QCOMPARE(w->handSlot(1)->cardStatus(), _Open);
        QCOMPARE(w->handSlot(3)->cardStatus(), _Close);
        QVERIFY(!THandHandling::isRaised(w->handSlot(1)));
        QCOMPARE(w->handSlot(1)->y(), THandHandling::kLoweredTop);
    }

    void turnBackToThrowerClearsTable()
    {
        fourAtTable();
        playLocally(w);
        w->flow->applyThrow(localPort(2), "Bob", 1, "45#");
        for (const char *nick : {"Cid", "Dan", "Ann"})
            w->flow->applyThrow(0, nick, 0, QString());
        QVERIFY(passShown(3) && passShown(4) && passShown(1));
        w->flow->onWhoseTurn("Bob");
        QCOMPARE(w->st.turnSeat, 2);
        QVERIFY(tableOf(w).isEmpty());
        QVERIFY(w->txtWhoThrow->text().isEmpty());
        for (int s = 1; s <= 4; ++s)
            QVERIFY(!passShown(s));
        QCOMPARE(w->imgTurn->pos(), QPoint(58, 142));
        QVERIFY(!w->btnThrow->isEnabled());
    }

    void localLeaderGetsFullCountdownAfterAllPassed()
    {
        fourAtTable();
        playLocally(w);
        giveHand(w, {"13", "14"});
        w->flow->applyThrow(0, "Ann", 1, "12#"); // nobody can beat the Spade 2
        for (const char *nick : {"Bob", "Cid", "Dan"})
            w->flow->applyThrow(0, nick, 0, QString());
        w->flow->onWhoseTurn("Ann");
        QVERIFY(tableOf(w).isEmpty());
        QVERIFY(w->btnThrow->isEnabled() && w->btnPass->isEnabled());
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("60"));
        QVERIFY(w->autoPass->isActive());
        // The turn moving on stops the countdown of this copy.
        w->flow->onWhoseTurn("Bob");
        QVERIFY(!w->autoPass->isActive());
        QVERIFY(w->txtPassCntDwn->isHidden());
        QVERIFY(!w->btnPass->isEnabled());
    }

    void guestSeesMovesInTheHostsOrder()
    {
        // Bob's copy: the host relays another guest's move after the turn notice that move caused.
        fourAtTable("Bob");
        playLocally(w);
        w->flow->applyThrow(0, "Ann", 1, "45#");
        w->flow->onWhoseTurn("Bob");
        w->flow->applyThrow(localPort(2), "Bob", 0, QString()); // Bob's own pass, applied at once
        w->flow->onWhoseTurn("Cid");
        w->flow->onWhoseTurn("Dan");                          // caused by Cid's pass ...
        QCOMPARE(w->st.turnSeat, 2);                           // ... which has not arrived yet
        w->flow->applyThrow(localPort(3), "Cid", 0, QString());
        QCOMPARE(w->st.turnSeat, 3);
        QVERIFY(passShown(2));

        // Dan beats Ann: the notice for Ann comes first, and must not clear the table as if Ann's
        // card had come back unbeaten.
        w->flow->onWhoseTurn("Ann");
        w->flow->applyThrow(localPort(4), "Dan", 1, "46#");
        QCOMPARE(w->st.turnSeat, 4);
        QCOMPARE(tableOf(w), QStringList({"46"}));
        QVERIFY(passShown(1) && passShown(2));

        // Three passes after Dan's card: the last one arrives after the turn went back to Dan.
        w->flow->applyThrow(0, "Ann", 0, QString()); // the host's own move comes before its notice
        w->flow->onWhoseTurn("Bob");
        w->flow->applyThrow(localPort(2), "Bob", 0, QString());
        w->flow->onWhoseTurn("Cid");
        w->flow->onWhoseTurn("Dan");
        w->flow->applyThrow(localPort(3), "Cid", 0, QString());
        QCOMPARE(w->st.turnSeat, 3);
        QVERIFY(tableOf(w).isEmpty());
        for (int s = 1; s <= 4; ++s)
            QVERIFY(!passShown(s));
    }

    void hostMovesTheTurn()
    {
        fourAtTable();
        w->st.hosting = true;
        playLocally(w);
        giveHand(w, {"13", "14"});
        w->roster.turnCursor = 2;
        w->flow->applyThrow(localPort(2), "Bob", 1, "33#");
        QCOMPARE(w->st.turnSeat, 3);
        QCOMPARE(w->imgTurn->pos(), QPoint(173, 70));
        w->flow->applyThrow(localPort(3), "Cid", 0, QString());
        w->flow->applyThrow(localPort(4), "Dan", 0, QString());
        QCOMPARE(w->st.turnSeat, 1);
        QVERIFY(w->btnThrow->isEnabled() && w->btnPass->isEnabled());
        QVERIFY(w->autoPass->isActive());

        // A pass from the own copy moves the turn on as well, and the passer is asked again later.
        QTest::mouseClick(w->btnPass, Qt::LeftButton);
        QCOMPARE(w->st.turnSeat, 2);
        QVERIFY(tableOf(w).isEmpty()); // back at Bob: his card is cleared
        QVERIFY(!passShown(1));
        QVERIFY(!w->autoPass->isActive());
    }

    void throwsBetweenDealsAreIgnored()
    {
        fourAtTable();
        w->st.hosting = true;
        w->st.gameOn = false;
        w->st.turnSeat = 2;
        w->flow->applyThrow(localPort(2), "Bob", 1, "33#");
        w->flow->onWhoseTurn("Cid");
        QVERIFY(tableOf(w).isEmpty());
        QCOMPARE(w->st.turnSeat, 2);
        QCOMPARE(backsShown(w, 2), 13);
    }

    void hostPicksTheLeaderFromTheHands()
    {
        // The host dealt every card: the holder of the lowest one leads at once, and no report moves it.
        fourAtTable();
        w->st.hosting = true;
        w->table.beginDealing();
        w->table.setHand(1, {"25", "16"});
        w->table.setHand(2, {"27", "18"});
        w->table.setHand(3, {"43", "19"}); // the Diamond 3
        w->table.setHand(4, {"34", "110"});
        dealHostHand();
        w->flow->startDeal();
        QCOMPARE(w->st.turnSeat, 3);
        QCOMPARE(w->st.startSeat, 3);
        QCOMPARE(w->table.toMove(), 3);
        QVERIFY(!w->btnThrow->isEnabled());
        w->router->gHostDataArrived("127.0.0.1", localPort(2), Tag::SMALLESTCARD, "31", {}, {}, {}, {}, {});
        QCOMPARE(w->st.turnSeat, 3);
    }

    void throwDuringDealStartComesAfterIt()
    {
        fourAtTable();
        w->st.startSeat = 2; // Bob won the last deal and leads
        QTimer::singleShot(0, w, [this] { w->flow->applyThrow(localPort(2), "Bob", 1, "33#"); });
        w->flow->startDeal();
        QCOMPARE(tableOf(w), QStringList({"33"}));
        QCOMPARE(backsShown(w, 2), 12);
        QCOMPARE(backsShown(w, 3), 13);
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral("B o b"));
    }

    void fourTwosWinAtOnce()
    {
        fourAtTable();
        w->st.startSeat = 3;
        const QStringList hand{"12", "22", "32", "42", "15", "16", "17", "18", "19", "110", "111", "112", "113"};
        for (int k = 1; k <= 13; ++k)
            w->flow->onCard("Ann", k, hand.at(k - 1));
        w->flow->startDeal();
        QVERIFY(!w->st.gameOn);
        QCOMPARE(w->st.startSeat, 1);
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral(" Ann WIN !"));
        QVERIFY(w->btnNew->isEnabled());
        QVERIFY(!w->btnSortN->isEnabled());
        QVERIFY(!w->autoPass->isActive());
    }

    void lossTable_data()
    {
        QTest::addColumn<int>("cards");
        QTest::addColumn<int>("loss");
        for (auto [n, loss] : QList<QPair<int, int>>{{0, 0}, {1, 1}, {9, 9}, {10, 20}, {12, 24}, {13, 39}})
            QTest::addRow("%d cards", n) << n << loss;
    }

    void lossTable()
    {
        QFETCH(int, cards);
        QFETCH(int, loss);
        QCOMPARE(creditLoss(cards), loss);
    }

    void settlement()
    {
        fourAtTable();
        w->st.hosting = true;
        playLocally(w);
        w->table.setHiddenHand(2, 5);
        w->table.setHiddenHand(3, 10); // Dan keeps 13; Ann has none
        giveHand(w, {});
        w->roster.user(3).credit = 15;
        w->dealEnd->endDeal(0, "Ann");

        QCOMPARE(w->roster.user(1).credit, 1064);
        QCOMPARE(w->roster.user(2).credit, 995);
        QCOMPARE(w->roster.user(3).credit, -5);
        QCOMPARE(w->roster.user(4).credit, 961);
        const QStringList shown{w->pointLabel(1)->text(), w->pointLabel(2)->text(), w->pointLabel(3)->text(),
                                w->pointLabel(4)->text()};
        QCOMPARE(shown, QStringList({"1064", "995", "-5", "961"}));
        QCOMPARE(fx->messageTextsOf(w), QStringList({" Cid BANKRUPT !"}));
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral(" Ann WIN !"));
        QVERIFY(w->btnNew->isEnabled());

        // The deal ends once: a second announcement of the same end changes nothing.
        w->dealEnd->endDeal(0, "Ann");
        QCOMPARE(w->roster.user(1).credit, 1064);
        QCOMPARE(w->roster.user(4).credit, 961);
    }

    void unseatedWinnerEndsNothing()
    {
        fourAtTable();
        w->st.hosting = true;
        playLocally(w);
        dispatch(Tag::GAMEOVER, "7777", "Zed");
        w->dealEnd->endDeal(7777, "Zed");
        QVERIFY(w->st.gameOn);
        for (int s = 1; s <= 4; ++s)
            QCOMPARE(w->roster.user(s).credit, 1000);
    }

    void creditAnnouncements_data()
    {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("credit");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("positive") << "Bob" << "12" << QStringList{};
        QTest::newRow("positive then text") << "Bob" << "12abc" << QStringList{};
        QTest::newRow("zero") << "Bob" << "0" << QStringList{" Bob BANKRUPT !"};
        QTest::newRow("negative with blanks") << "Bob" << "  -3" << QStringList{" Bob BANKRUPT !"};
        QTest::newRow("not a number") << "Bob" << "lots" << QStringList{" Bob BANKRUPT !"};
        QTest::newRow("own") << "Ann" << "-2" << QStringList{" YOU ARE BANKRUPT !"};
        QTest::newRow("not seated") << "Zed" << "0" << QStringList{};
    }

    void creditAnnouncements()
    {
        QFETCH(QString, nick);
        QFETCH(QString, credit);
        QFETCH(QStringList, expected);
        fourAtTable();
        dispatch(Tag::CREDIT, "5002", nick, credit);
        QCOMPARE(fx->messageTextsOf(w), expected);
        const int seat = w->roster.relativeSeat("Ann", nick);
        if (seat > 0)
            QCOMPARE(w->pointLabel(seat)->text(), credit);
    }

    void nextLeaderFromIStart()
    {
        fourAtTable();
        QVERIFY(!w->dealEnd->onIStart("Zed"));
        QVERIFY(w->dealEnd->onIStart("Dan"));
        QCOMPARE(w->st.startSeat, 4);
        QCOMPARE(w->st.turnSeat, 4);
        QCOMPARE(w->imgTurn->pos(), QPoint(278, 142));
    }
};

QTEST_MAIN(TestFlow)
#include "tst_flow_gui.moc"
