// The own hand in a hosting window: raising, unselecting, sorting, refused and accepted throws, and
// the backs of the other seats.
#include "client/clienttable.h"
#include "support/dealhelpers.h"
#include "support/tablefixture.h"
#include "ui/handhandling.h"
#include "ui/mainfrm.h"
#include "ui/playcard.h"
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace DealHelpers;

class TestHand : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TmainFrm *w = nullptr;
    QList<ClientTable *> quiet;

    ClientTable *atSeat(int seat) const
    {
        for (ClientTable *p : quiet)
            if (p->mySeat() == seat)
                return p;
        return nullptr;
    }
    // Ann gets these cards (with "43", the lowest, she moves first), seat 2 these; true on her turn.
    bool dealToAnn(const QStringList &mine, const QStringList &seat2 = {})
    {
        return dealHands(w, QHash<int, QStringList>({{1, mine}, {2, seat2}}))
               && TableFixture::waitFor([this] { return w->client()->myTurn() && w->btnThrow->isEnabled(); });
    }
    // The quiet player of that seat moves once its copy knows it is its turn.
    bool moveFor(int seat, const QStringList &cards)
    {
        ClientTable *p = atSeat(seat);
        return p && TableFixture::waitFor([p] { return p->myTurn(); }) && throwFor(w, p, cards);
    }

private slots:
    void init()
    {
        fx = std::make_unique<TableFixture>();
        w = fx->newWindow();
        QVERIFY(fx->host(w, QStringLiteral("Ann")));
        // No automatic pass while a test looks at the turn.
        w->client()->setCountdownTickMs(600000);
        quiet = seatQuietPlayers(w, {QStringLiteral("Bob"), QStringLiteral("Cid"), QStringLiteral("Dan")});
        QVERIFY(atSeat(2) && atSeat(3) && atSeat(4));
    }

    void cleanup()
    {
        w = nullptr;
        fx.reset();
    }

    void betweenDealsTheHandLiesFaceDown()
    {
        QVERIFY(TableFixture::waitFor([this] { return backsShown(w, 2) == 13 && backsShown(w, 4) == 13; }));
        for (int seat = 2; seat <= 4; ++seat)
            QCOMPARE(w->hand->countPlayerCards(seat), 13);
        for (int n = 1; n <= 13; ++n) {
            QVERIFY(!w->handSlot(n)->isHidden());
            QCOMPARE(w->handSlot(n)->cardStatus(), _Close);
        }
        const int beeps = w->beepCount();
        clickCard(w->handSlot(3));
        QCOMPARE(w->hand->selectedCount(), 0);
        QVERIFY(raisedOf(w).isEmpty());
        QCOMPARE(w->beepCount(), beeps);
        QVERIFY(!w->btnSortN->isEnabled());
        QVERIFY(!w->btnThrow->isEnabled());
    }

    void raisingStopsAtFiveAndUnselectAll()
    {
        QVERIFY(dealToAnn({"43", "13", "14", "15", "16", "17", "18", "19", "110", "111", "112", "113", "21"}));
        const QStringList five{"13", "14", "15", "16", "17"};
        QVERIFY(clickCards(w, five));
        QCOMPARE(w->hand->selectedCount(), 5);
        QCOMPARE(raisedOf(w), five);
        for (const QString &code : five)
            QCOMPARE(slotHolding(w, code)->y(), THandHandling::kRaisedTop);

        const int beeps = w->beepCount();
        QVERIFY(clickCards(w, {"18"}));
        QCOMPARE(w->beepCount(), beeps + 1);
        QCOMPARE(w->hand->selectedCount(), 5);
        QCOMPARE(slotHolding(w, "18")->y(), THandHandling::kLoweredTop);

        // A raised card still comes down with five raised, and then another may go up.
        QVERIFY(clickCards(w, {"15"}));
        QCOMPARE(w->hand->selectedCount(), 4);
        QCOMPARE(slotHolding(w, "15")->y(), THandHandling::kLoweredTop);
        QVERIFY(clickCards(w, {"18"}));
        QCOMPARE(raisedOf(w), QStringList({"13", "14", "16", "17", "18"}));
        QCOMPARE(w->beepCount(), beeps + 1);

        // Unselect All lowers every card and changes nothing else.
        const QStringList hand = handOf(w);
        QTest::mouseClick(w->btnCardDown, Qt::LeftButton);
        QCOMPARE(w->hand->selectedCount(), 0);
        QVERIFY(raisedOf(w).isEmpty());
        for (int n = 1; n <= 13; ++n)
            QCOMPARE(w->handSlot(n)->y(), THandHandling::kLoweredTop);
        QTest::mouseClick(w->btnCardDown, Qt::LeftButton);
        QCOMPARE(w->hand->selectedCount(), 0);
        QCOMPARE(handOf(w), hand);
    }

    void sorting()
    {
        QVERIFY(dealToAnn({"11", "21", "42", "13", "43", "29", "310", "113", "15", "36", "27", "48", "412"}));
        const QStringList byNumber{"11", "21", "42", "13", "43", "15", "36", "27", "48", "29", "310", "412", "113"};
        const QStringList byFlower{"113", "15", "13", "11", "29", "27", "21", "310", "36", "412", "48", "43", "42"};
        QCOMPARE(handOf(w), byNumber); // a new hand comes sorted by number
        QTest::mouseClick(w->btnSortF, Qt::LeftButton);
        QCOMPARE(handOf(w), byFlower);
        QTest::mouseClick(w->btnSortN, Qt::LeftButton);
        QCOMPARE(handOf(w), byNumber);

        clickCard(w->handSlot(2));
        clickCard(w->handSlot(4));
        const QStringList raisedBefore = raisedOf(w);
        QTest::mouseClick(w->btnSortF, Qt::LeftButton);
        QCOMPARE(w->hand->selectedCount(), 2);
        // The raised cards stay raised wherever the sort puts them.
        QCOMPARE(raisedOf(w).size(), 2);
        QVERIFY(raisedOf(w).contains(raisedBefore.at(0)) && raisedOf(w).contains(raisedBefore.at(1)));
    }

    void refusedThrowChangesNothing()
    {
        QVERIFY(dealToAnn({"43", "27", "38", "14", "15", "16", "17", "18", "19", "110", "111", "112", "113"}));
        const QStringList hand = handOf(w);
        QVERIFY(clickCards(w, {"27", "38"})); // a pair of different ranks
        const int beeps = w->beepCount();
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QCOMPARE(w->beepCount(), beeps + 1);
        QCOMPARE(handOf(w), hand);
        QCOMPARE(raisedOf(w), QStringList({"27", "38"}));
        QVERIFY(tableOf(w).isEmpty());
        QVERIFY(w->client()->table().moves().isEmpty());
        QVERIFY(w->btnThrow->isEnabled());
        QVERIFY(w->btnPass->isEnabled());
        QVERIFY(!w->txtPassCntDwn->isHidden());
    }

    void throwLeavesHandCompact()
    {
        QVERIFY(dealToAnn({"43", "13", "25", "35", "46", "17", "19", "29", "39", "110", "211", "312", "113"},
                          {"18", "48"}));
        QStringList rest = handOf(w);
        QVERIFY(clickCards(w, {"25", "35"}));
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);

        rest.removeOne("25");
        rest.removeOne("35");
        QCOMPARE(tableOf(w), QStringList({"25", "35"}));
        QCOMPARE(handOf(w), rest);
        for (int n = 1; n <= 13; ++n) {
            QCOMPARE(w->handSlot(n)->isHidden(), n > 11);
            QVERIFY(!THandHandling::isRaised(w->handSlot(n)));
        }
        for (int n = 1; n <= 11; ++n)
            QCOMPARE(w->handSlot(n)->y(), THandHandling::kLoweredTop);
        QCOMPARE(w->hand->selectedCount(), 0);
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral("A n n"));
        QVERIFY(!w->btnThrow->isEnabled());
        QVERIFY(!w->btnPass->isEnabled());
        QVERIFY(w->txtPassCntDwn->isHidden());
        QVERIFY(w->txtAutoPass->isHidden());
        QVERIFY(w->btnSortN->isEnabled());

        // The next seat's throw: its backs go, its cards lie on the table.
        const int cid = w->screenSeat(2);
        QVERIFY(moveFor(2, {"18", "48"}));
        QCOMPARE(backsShown(w, cid), 11);
        QCOMPARE(w->hand->countPlayerCards(cid), 11);
        QCOMPARE(tableOf(w), QStringList({"18", "48"}));
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral("C i d"));
    }

    void lastCardWinsTheDeal()
    {
        QVERIFY(dealToAnn({"43", "14", "15", "16", "17", "18", "19", "110", "111", "112", "113", "213", "313"}));
        for (const QStringList &cards : {QStringList{"43", "14", "15", "16", "17"},
                                         QStringList{"18", "19", "110", "111", "112"}}) {
            QVERIFY(clickCards(w, cards));
            QTest::mouseClick(w->btnThrow, Qt::LeftButton);
            QCOMPARE(tableOf(w).size(), 5);
            for (int seat = 2; seat <= 4; ++seat)
                QVERIFY(moveFor(seat, {}));
            QVERIFY(TableFixture::waitFor([this] { return w->btnThrow->isEnabled(); }));
        }
        QVERIFY(clickCards(w, {"113", "213", "313"}));
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QVERIFY(handOf(w).isEmpty());
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral(" Ann WIN !"));
        QCOMPARE(tableOf(w), QStringList({"113", "213", "313"}));
        QVERIFY(!w->client()->inDeal());
        for (QPushButton *b : {w->btnSortN, w->btnSortF, w->btnThrow, w->btnPass, w->btnCardDown})
            QVERIFY(!b->isEnabled());
        // The winner starts the next deal once the pause after the deal is over.
        QTRY_VERIFY(w->btnNew->isEnabled());
    }
};

QTEST_MAIN(TestHand)
#include "tst_hand_gui.moc"
