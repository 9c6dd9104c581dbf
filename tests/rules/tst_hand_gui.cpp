// The local hand on one window: raising, unselecting, sorting, refused and accepted throws.
#include "cards/playcard.h"
#include "game/gameflow.h"
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

class TestHand : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TmainFrm *w = nullptr;

    // Gives the local player the turn on a table where nobody has thrown yet.
    void takeTurn()
    {
        w->st.turnSeat = 1;
        w->flow->showTurn(1);
    }

private slots:
    void init()
    {
        fx = std::make_unique<TableFixture>();
        w = fx->newWindow();
        seatLocally(w, QStringLiteral("Ann"),
                    {{QStringLiteral("Ann"), 1}, {QStringLiteral("Bob"), 2}, {QStringLiteral("Cid"), 3},
                     {QStringLiteral("Dan"), 4}});
        playLocally(w);
    }

    void cleanup()
    {
        w = nullptr;
        fx.reset();
    }

    void raisingStopsAtFive()
    {
        giveHand(w, {"13", "14", "15", "16", "17", "18", "19"});
        const QStringList five{"13", "14", "15", "16", "17"};
        QVERIFY(clickCards(w, five));
        QCOMPARE(w->st.selectedCount, 5);
        QCOMPARE(raisedOf(w), five);
        for (const QString &code : five)
            QCOMPARE(slotHolding(w, code)->y(), THandHandling::kRaisedTop);

        const int beeps = w->beepCount();
        QVERIFY(clickCards(w, {"18"}));
        QCOMPARE(w->beepCount(), beeps + 1);
        QCOMPARE(w->st.selectedCount, 5);
        QCOMPARE(slotHolding(w, "18")->y(), THandHandling::kLoweredTop);

        // A raised card still comes down with five raised, and then another may go up.
        QVERIFY(clickCards(w, {"15"}));
        QCOMPARE(w->st.selectedCount, 4);
        QCOMPARE(slotHolding(w, "15")->y(), THandHandling::kLoweredTop);
        QVERIFY(clickCards(w, {"18"}));
        QCOMPARE(raisedOf(w), QStringList({"13", "14", "16", "17", "18"}));
        QCOMPARE(w->beepCount(), beeps + 1);
    }

    void faceDownCardStaysDown()
    {
        giveHand(w, {"13", "14"});
        slotHolding(w, "14")->CloseCard();
        const int beeps = w->beepCount();
        QVERIFY(clickCards(w, {"14"}));
        QCOMPARE(w->st.selectedCount, 0);
        QVERIFY(raisedOf(w).isEmpty());
        QCOMPARE(w->beepCount(), beeps);
    }

    void unselectAllLowersEverything()
    {
        giveHand(w, {"13", "14", "15"});
        w->btnCardDown->setEnabled(true);
        QVERIFY(clickCards(w, {"13", "15"}));
        QTest::mouseClick(w->btnCardDown, Qt::LeftButton);
        QCOMPARE(w->st.selectedCount, 0);
        QVERIFY(raisedOf(w).isEmpty());
        for (int n = 1; n <= 13; ++n)
            QCOMPARE(w->handSlot(n)->y(), THandHandling::kLoweredTop);
        QTest::mouseClick(w->btnCardDown, Qt::LeftButton);
        QCOMPARE(w->st.selectedCount, 0);
        QCOMPARE(handOf(w), QStringList({"13", "14", "15"}));
    }

    void sorting_data()
    {
        QTest::addColumn<QStringList>("hand");
        QTest::addColumn<QStringList>("byNumber");
        QTest::addColumn<QStringList>("byFlower");
        QTest::newRow("aces and twos stand left")
            << QStringList{"113", "21", "42", "11"} << QStringList{"11", "21", "42", "113"}
            << QStringList{"113", "11", "21", "42"};
        QTest::newRow("equal ranks by suit")
            << QStringList{"310", "43", "29", "13"} << QStringList{"13", "43", "29", "310"}
            << QStringList{"13", "29", "310", "43"};
    }

    void sorting()
    {
        QFETCH(QStringList, hand);
        QFETCH(QStringList, byNumber);
        QFETCH(QStringList, byFlower);
        giveHand(w, hand);
        w->btnSortN->setEnabled(true);
        w->btnSortF->setEnabled(true);
        QTest::mouseClick(w->btnSortN, Qt::LeftButton);
        QCOMPARE(handOf(w), byNumber);
        QTest::mouseClick(w->btnSortF, Qt::LeftButton);
        QCOMPARE(handOf(w), byFlower);
    }

    void sortingKeepsRaisedSlots()
    {
        giveHand(w, {"113", "21", "42", "11"});
        clickCard(w->handSlot(2));
        clickCard(w->handSlot(4));
        w->btnSortN->setEnabled(true);
        QTest::mouseClick(w->btnSortN, Qt::LeftButton);
        QCOMPARE(w->st.selectedCount, 2);
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(THandHandling::isRaised(w->handSlot(n)), n == 2 || n == 4);
        // The raised slots now hold whatever the sort put there: the Heart A and the Spade K.
        QCOMPARE(raisedOf(w), QStringList({"21", "113"}));
    }

    void refusedThrowChangesNothing_data()
    {
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<QStringList>("hand");
        QTest::addColumn<QStringList>("raise");
        QTest::newRow("weaker pair") << QStringList{"19", "49"} << QStringList{"27", "37", "15"}
                                     << QStringList{"27", "37"};
        QTest::newRow("four cards on a clear table")
            << QStringList{} << QStringList{"13", "23", "33", "43", "15"} << QStringList{"13", "23", "33", "43"};
        QTest::newRow("size differs from the table") << QStringList{"14"} << QStringList{"27", "37"}
                                                     << QStringList{"27", "37"};
        QTest::newRow("pair of different ranks") << QStringList{} << QStringList{"27", "38"}
                                                 << QStringList{"27", "38"};
    }

    void refusedThrowChangesNothing()
    {
        QFETCH(QStringList, table);
        QFETCH(QStringList, hand);
        QFETCH(QStringList, raise);
        giveHand(w, hand);
        putOnTable(w, table);
        takeTurn();
        QVERIFY(w->autoPass->isActive());
        QVERIFY(clickCards(w, raise));
        const int beeps = w->beepCount();
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QCOMPARE(w->beepCount(), beeps + 1);
        QCOMPARE(handOf(w), hand);
        QCOMPARE(raisedOf(w), raise);
        QCOMPARE(tableOf(w), table);
        QVERIFY(w->btnThrow->isEnabled());
        QVERIFY(w->btnPass->isEnabled());
        QVERIFY(w->autoPass->isActive());
        QVERIFY(!w->txtPassCntDwn->isHidden());
    }

    void throwLeavesHandCompact()
    {
        giveHand(w, {"13", "25", "43", "35", "17", "19"});
        takeTurn();
        clickCard(w->handSlot(2));
        clickCard(w->handSlot(4));
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);

        QCOMPARE(tableOf(w), QStringList({"25", "35"}));
        QCOMPARE(handOf(w), QStringList({"13", "43", "17", "19"}));
        for (int n = 1; n <= 13; ++n) {
            QCOMPARE(w->handSlot(n)->isHidden(), n > 4);
            QVERIFY(!THandHandling::isRaised(w->handSlot(n)));
        }
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(w->handSlot(n)->y(), THandHandling::kLoweredTop);
        QCOMPARE(w->st.selectedCount, 0);
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral("A n n"));
        QVERIFY(!w->btnThrow->isEnabled());
        QVERIFY(!w->btnPass->isEnabled());
        QVERIFY(!w->autoPass->isActive());
        QVERIFY(w->txtPassCntDwn->isHidden());
        QVERIFY(w->txtAutoPass->isHidden());
        QVERIFY(w->st.gameOn);
    }

    void lastCardEndsTheDeal()
    {
        giveHand(w, {"12"});
        takeTurn();
        clickCard(w->handSlot(1));
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QVERIFY(handOf(w).isEmpty());
        QCOMPARE(tableOf(w), QStringList({"12"}));
        QVERIFY(!w->st.gameOn);
        QCOMPARE(w->st.startSeat, 1);
        QCOMPARE(w->st.turnSeat, 1);
        QCOMPARE(w->txtWhoThrow->text(), QStringLiteral(" Ann WIN !"));
        QVERIFY(w->btnNew->isEnabled());
        for (QPushButton *b : {w->btnSortN, w->btnSortF, w->btnThrow, w->btnPass, w->btnCardDown})
            QVERIFY(!b->isEnabled());
    }

    void showHandAndCounting()
    {
        w->hand->showHand(false);
        for (int n = 1; n <= 13; ++n) {
            QVERIFY(!w->handSlot(n)->isHidden());
            QCOMPARE(w->handSlot(n)->cardStatus(), _Close);
        }
        QCOMPARE(w->hand->countPlayerCards(1), 13);
        w->hand->showHand(true);
        QCOMPARE(w->handSlot(7)->cardStatus(), _Open);
        w->seatSlot(3, 13)->hide();
        w->seatSlot(3, 12)->hide();
        QCOMPARE(w->hand->countPlayerCards(3), 11);
        QCOMPARE(w->hand->countPlayerCards(0), 0);
        QCOMPARE(w->hand->countPlayerCards(5), 0);
    }
};

QTEST_MAIN(TestHand)
#include "tst_hand_gui.moc"
