// Whole deals at a table of windows in one process, over loopback, played through the buttons and
// card clicks and checked on every copy after every move: dealing, the leader, throws and passes, the
// end and the credits, a stacked deal with a refused throw, a five-card throw and an automatic pass,
// an instant win with four 2s, a quick winner's next deal, moves out of turn, a departure while
// dealing, chat lines on every copy, and bankruptcies. Every test seats a table of its own.
#include "cards/playcard.h"
#include "game/gameflow.h"
#include "game/hostadmission.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "rules/handorder.h"
#include "support/dealhelpers.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace DealHelpers;
using Stress::TableCheck;

namespace {
const QStringList kFourTwos{"12", "22", "32", "42", "15", "26", "37", "48", "19", "210", "311", "412", "113"};
}

class TestDeal : public QObject
{
    Q_OBJECT

    std::unique_ptr<TableFixture> fx;
    TableCheck check;
    QList<TmainFrm *> copies; // the seated windows, the host first
    TmainFrm *host = nullptr;

    void seat(const QStringList &nicks = {"Ann", "Bob", "Cid", "Dan"})
    {
        fx = std::make_unique<TableFixture>();
        copies = fx->seatTable(nicks);
        QCOMPARE(copies.size(), nicks.size());
        host = copies.first();
        check.setCopies(copies);
    }
    static int seatOf(TmainFrm *viewer, const QString &nick) { return viewer->roster.relativeSeat(viewer->st.myNick, nick); }
    // Every guest has answered a ping from the host: whatever the host said before is in everywhere.
    bool guestsCaughtUp()
    {
        for (TmainFrm *g : copies.mid(1))
            if (!fx->roundTrip(g))
                return false;
        return true;
    }

private slots:
    void cleanup()
    {
        check.setCopies({});
        copies.clear();
        host = nullptr;
        fx.reset();
    }

    void completeDeal()
    {
        seat();
        host->CardEng1.seed(3); // a short deal: twenty moves, five-card hands, pairs, singles and passes
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QVERIFY(!check.dealOver());
        // Every hand sorted by number (the account holds thirteen distinct cards a hand and the leader).
        for (TmainFrm *w : copies) {
            const QStringList hand = handOf(w);
            QStringList sorted = hand;
            std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return comesAfter(b, a, true); });
            QCOMPARE(hand, sorted);
        }
        TmainFrm *m = check.copyOf(check.mover());
        QCOMPARE(m->txtPassCntDwn->text(), QStringLiteral("60"));

        // The leader's throw: the hand closes up in its old order.
        QStringList hand = handOf(m);
        QVERIFY2(check.playMove(), qPrintable(check.problem()));
        const QStringList thrown = tableOf(m);
        QVERIFY(!thrown.isEmpty());
        for (const QString &c : thrown)
            QVERIFY(hand.removeOne(c));
        QCOMPARE(handOf(m), hand);
        QVERIFY(raisedOf(m).isEmpty());
        for (int n = 1; n <= 13; ++n)
            QCOMPARE(m->handSlot(n)->isHidden(), n > hand.size());

        // The rest of the deal; at its end the loss table for every loser and the pool to the winner,
        // the same on every copy, and only the winner may start the next deal, which the winner leads.
        QVERIFY2(check.finishDeal(), qPrintable(check.problem()));
        QCOMPARE(check.creditSum(), 4000);
        QVERIFY(check.hostCredits().value(check.winner()) > 1000);
        for (TmainFrm *v : copies) {
            QVERIFY(!v->btnSortN->isEnabled());
            QVERIFY(v->txtPassCntDwn->isHidden());
        }
    }

    void stackedDealWithRefusalsFiveCardsAndAutomaticPass()
    {
        seat();
        // Bob holds the Diamond 3, so he leads; he has a straight and the Spade 2.
        const QStringList hand{"43", "24", "35", "16", "17", "12", "18", "19", "110", "111", "28", "29", "210"};
        Stress::stackHands(host, {{"Bob", hand}});
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QCOMPARE(check.mover(), QStringLiteral("Bob"));
        TmainFrm *w = check.copyOf("Bob");
        QVERIFY(w->btnSortF->isEnabled());
        QTest::mouseClick(w->btnSortF, Qt::LeftButton);
        QStringList byFlower = hand;
        sortCodes(byFlower, false);
        QCOMPARE(handOf(w), byFlower);
        fx->clearTraffic();

        // Four cards: refused with a beep, nothing leaves.
        QVERIFY(clickCards(w, {"43", "24", "35", "16"}));
        const int beeps = w->beepCount();
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QCOMPARE(w->beepCount(), beeps + 1);
        QCOMPARE(raisedOf(w).size(), 4);
        // A sixth card: refused with a beep.
        QVERIFY(clickCards(w, {"17", "12"}));
        QCOMPARE(w->beepCount(), beeps + 2);
        QCOMPARE(w->st.selectedCount, 5);
        QVERIFY(guestsCaughtUp());
        for (TmainFrm *v : copies) {
            QVERIFY(tableOf(v).isEmpty());
            QVERIFY(!fx->clientTags(v).contains(Tag::THROW));
            if (v != w)
                QCOMPARE(backsShown(v, seatOf(v, "Bob")), 13);
        }
        for (const Delivered &d : fx->hostReceived(host))
            QVERIFY(d.tag() != Tag::THROW);

        // The straight, thrown in suit order, lies sorted by number on every copy.
        const QStringList straight{"43", "24", "35", "16", "17"};
        QVERIFY2(check.playThrow(straight), qPrintable(check.problem()));
        QCOMPARE(tableOf(w), straight);
        QCOMPARE(handOf(w).size(), 8);
        for (int i = 0; i < 3; ++i) {
            TmainFrm *m = check.copyOf(check.mover());
            QVERIFY(m != w);
            QCOMPARE(m->txtPassCntDwn->text(), QStringLiteral("60"));
            QVERIFY2(check.playThrow({}), qPrintable(check.problem()));
        }
        // Three passes: the thrower leads anything on a clear table.
        QCOMPARE(check.mover(), QStringLiteral("Bob"));
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("60"));

        // Nothing beats the Spade 2: the next player gets three seconds and passes automatically.
        QVERIFY2(check.playThrow({"12"}), qPrintable(check.problem()));
        TmainFrm *next = check.copyOf(check.mover());
        QVERIFY(next->txtPassCntDwn->text().toInt() <= 3 && !next->txtPassCntDwn->isHidden());
        QVERIFY2(check.automaticPass(), qPrintable(check.problem()));
        QVERIFY(next->txtPassCntDwn->isHidden());
        QVERIFY(!next->btnPass->isEnabled());
        QVERIFY(check.mover() != next->st.myNick && check.mover() != QStringLiteral("Bob"));
        QVERIFY2(check.stopDeal(), qPrintable(check.problem()));
    }

    void fourTwosWinAtOnce()
    {
        seat();
        Stress::stackHands(host, {{"Cid", kFourTwos}});
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QVERIFY(check.dealOver());
        QCOMPARE(check.winner(), QStringLiteral("Cid"));
        // Every seat still held 13 cards: 39 each into the pool, the whole pool to Cid.
        const QHash<QString, int> expected{{"Ann", 961}, {"Bob", 961}, {"Cid", 1000 + 3 * 39}, {"Dan", 961}};
        QCOMPARE(check.hostCredits(), expected);
        for (TmainFrm *v : copies)
            QCOMPARE(handOf(v).size(), 13);

        // Cid's "New Game" has the host deal, and Cid leads.
        Stress::stackHands(host, {});
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QCOMPARE(check.mover(), QStringLiteral("Cid"));
        QVERIFY2(check.stopDeal(), qPrintable(check.problem()));
    }

    // A quick winner (a computer player, say) asks for the next deal while the host still shows the
    // end of the last one: the others learn that deal is over before the next one is dealt, and the
    // late news does not end the new deal anywhere.
    void nextDealAskedWhileTheLastEnds()
    {
        seat();
        TmainFrm *cid = check.copyOf("Cid");
        TmainFrm *bob = check.copyOf("Bob");
        Stress::stackHands(host, {{"Cid", kFourTwos}});
        // Cid asks as soon as the host has taken the deal for over (the host's pause is still running).
        QTimer quick;
        bool dealSeen = false;
        bool asked = false;
        connect(&quick, &QTimer::timeout, this, [&] {
            dealSeen |= host->st.gameOn;
            if (dealSeen && !host->st.gameOn && !asked) {
                asked = true;
                Stress::stackHands(host, {}); // the next deal nobody wins as dealt
                cid->gClient->Send(Tag::NEXTGAME, {}, {}, {});
            }
        });
        quick.start(2);
        fx->clearTraffic();
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([&] { return asked; }));
        quick.stop();
        QVERIFY2(check.followDeal("Cid"), qPrintable(check.problem()));
        const QStringList tags = fx->clientTags(bob);
        QCOMPARE(tags.count(Tag::NEWGAME), 2);
        QVERIFY(tags.indexOf(Tag::GAMEOVER) >= 0);
        QVERIFY(tags.indexOf(Tag::GAMEOVER) < tags.lastIndexOf(Tag::NEWGAME));
        // The new deal stays on everywhere.
        QVERIFY(guestsCaughtUp());
        for (TmainFrm *v : copies)
            QVERIFY2(v->st.gameOn, qPrintable(v->st.myNick));
        QVERIFY2(check.waitAgreement(1000), qPrintable(check.problem()));
        QVERIFY2(check.stopDeal(), qPrintable(check.problem()));
    }

    // A guest's copy that throws out of turn, or claims the lead without having won, changes nothing
    // at the table: the host neither applies nor passes on what it sends.
    void movesOutOfTurnAreRefused()
    {
        seat();
        Stress::stackHands(host, {});
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        TmainFrm *rogue = nullptr;
        for (TmainFrm *v : copies.mid(1))
            if (v->st.myNick != check.mover() && !rogue)
                rogue = v;
        const QString nick = rogue->st.myNick;
        const QString port = QString::number(rogue->st.myPort);
        const int turn = host->st.turnSeat;
        const int leader = host->st.startSeat;
        fx->clearTraffic();
        rogue->gClient->Send(Tag::THROW, port, nick, QStringLiteral("1"), handOf(rogue).first() + QLatin1Char('#'), {}, {});
        rogue->gClient->Send(Tag::THROW, port, nick, QStringLiteral("0"), {}, {}, {});
        rogue->gClient->Send(Tag::iSTART, port, nick, {});
        QVERIFY(TableFixture::waitFor([&] { return fx->hostReceived(host).size() == 3; }));
        QVERIFY(guestsCaughtUp());
        QCOMPARE(host->st.turnSeat, turn);
        QCOMPARE(host->st.startSeat, leader);
        for (TmainFrm *v : copies.mid(1)) {
            QVERIFY2(fx->clientTags(v) == QStringList{Tag::PING}, qPrintable(v->st.myNick + ": " + fx->clientTags(v).join(',')));
            if (v != rogue)
                QCOMPARE(backsShown(v, seatOf(v, nick)), 13);
        }
        QVERIFY2(check.waitAgreement(1000), qPrintable(check.problem()));
        QVERIFY2(check.stopDeal(), qPrintable(check.problem()));
    }

    void chatOnEveryCopy()
    {
        seat();
        TmainFrm *bob = check.copyOf("Bob");
        TmainFrm *cid = check.copyOf("Cid");
        for (TmainFrm *v : copies)
            v->chatLog->clear();
        bob->ChatDialog1->trigger();
        cid->txtInput->setText(" hello all");
        QTest::keyClick(cid->txtInput, Qt::Key_Return);
        host->txtInput->setText("welcome");
        QTest::keyClick(host->txtInput, Qt::Key_Return);
        QVERIFY(TableFixture::waitFor([&] {
            for (TmainFrm *v : copies) {
                const QStringList lines = v->chatLog->toPlainText().split('\n');
                if (!lines.contains("[*] Bob enter chat") || !lines.contains("<Cid>  hello all")
                    || !lines.contains("<Ann> welcome") || lines.size() != 3)
                    return false;
            }
            return true;
        }));
    }

    void departureWhileDealing()
    {
        seat();
        TmainFrm *dan = check.copyOf("Dan");
        fx->clearTraffic();
        // Dan's program closes as soon as the host has sent the first card of the deal; the host
        // holds his seat for a moment only.
        host->admission->heldSeats().setHoldMs(300);
        bool dealingWhenClosed = false;
        QMetaObject::Connection firstCard;
        firstCard = connect(host->gHost, &TwsHUBsvr::OnBusy, this, [&] {
            if (!host->flow->dealing())
                return;
            disconnect(firstCard);
            QTimer::singleShot(0, this, [&] {
                dealingWhenClosed = host->flow->dealing();
                copies.removeAll(dan);
                fx->closeWindow(dan);
            });
        });
        QVERIFY(host->btnNew->isEnabled());
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        QVERIFY(!host->flow->dealing());
        QVERIFY(dealingWhenClosed);
        QVERIFY(TableFixture::waitFor([this] { return host->roster.seatCount() == 3; }));
        check.setCopies(copies);
        QVERIFY2(check.waitWaitMode(), qPrintable(check.problem()));
        QVERIFY(guestsCaughtUp());
        for (TmainFrm *v : copies)
            QVERIFY(!v->st.gameOn);
        // The table is ready for a new deal with the three left.
        Stress::stackHands(host, {});
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        for (TmainFrm *v : copies)
            QCOMPARE(handOf(v).size(), 13);
    }

    void bankruptcies()
    {
        seat({"Ann", "Bob", "Cid"});
        TmainFrm *bob = check.copyOf("Bob");
        TmainFrm *cid = check.copyOf("Cid");

        // Bob cannot pay 39: his copy says so and leaves; the others are told.
        host->roster.user(host->roster.seatOfNick("Bob")).credit = 5;
        fx->clearMessages();
        Stress::stackHands(host, {{"Cid", kFourTwos}});
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([&] {
            return fx->messageTextsOf(bob).contains(" YOU ARE BANKRUPT !") && !bob->gClient->Active()
                && host->roster.seatOfNick("Bob") == -1;
        }));
        QVERIFY(fx->messageTextsOf(host).contains(" Bob BANKRUPT !"));
        QVERIFY(TableFixture::waitFor([&] { return fx->messageTextsOf(cid).contains(" Bob BANKRUPT !"); }));
        copies.removeAll(bob);
        check.setCopies(copies);
        QVERIFY2(check.waitWaitMode(), qPrintable(check.problem()));

        // The host's own player goes bankrupt: hosting ends and the guest loses the table.
        host->roster.user(1).credit = 10;
        Stress::stackHands(host, {{"Cid", kFourTwos}});
        QVERIFY(host->btnNew->isEnabled());
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([&] {
            return fx->messageTextsOf(host).contains(" YOU ARE BANKRUPT !") && !host->gHost->Active()
                && !host->st.hosting && !cid->gClient->Active();
        }));
        QVERIFY(!fx->messageTextsOf(host).contains(" Ann BANKRUPT !"));
    }
};

QTEST_MAIN(TestDeal)
#include "tst_deal_gui.moc"
