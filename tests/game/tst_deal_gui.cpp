// Whole deals at a table of four windows in one process, over loopback, played through the
// buttons and card clicks: dealing, the leader, throws and passes, the end and the credits,
// a stacked deal with a refused throw, a five-card throw and an automatic pass, an instant
// win with four 2s, a departure while dealing, chat lines on every copy, and bankruptcies.
#include "cards/playcard.h"
#include "game/credits.h"
#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "rules/handhandling.h"
#include "rules/handorder.h"
#include "support/dealhelpers.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>

using namespace DealHelpers;

class TestDeal : public QObject
{
    Q_OBJECT

    TableFixture fx;
    TmainFrm *host = nullptr;
    QList<TmainFrm *> copies; // the four seated windows
    QString failure;          // why the table is not steady

    TmainFrm *copyOf(const QString &nick) const
    {
        for (TmainFrm *w : copies)
            if (w->st.myNick == nick)
                return w;
        return nullptr;
    }
    static int seatOf(TmainFrm *viewer, const QString &nick) { return viewer->roster.relativeSeat(viewer->st.myNick, nick); }
    static QString nickAt(TmainFrm *viewer, int screenSeat)
    {
        for (int s = 1; s <= 4; ++s) {
            const QString nick = viewer->roster.user(s).nick;
            if (!nick.isEmpty() && seatOf(viewer, nick) == screenSeat)
                return nick;
        }
        return {};
    }
    QString credit(TmainFrm *viewer, const QString &nick) const { return viewer->pointLabel(seatOf(viewer, nick))->text(); }

    // Every copy shows the same table, the same pass markers and the same player to move, whose copy
    // alone may throw, and every copy shows each opponent with as many cards as that player holds.
    bool steady()
    {
        const QStringList table = tableOf(host);
        QString mover;
        for (TmainFrm *v : copies) {
            if (!v->st.gameOn)
                return fail(v->st.myNick + " has no deal");
            if (tableOf(v) != table)
                return fail(v->st.myNick + " shows another table");
            const QString turn = nickAt(v, v->st.turnSeat);
            if (turn.isEmpty() || (!mover.isEmpty() && turn != mover))
                return fail(v->st.myNick + " shows the turn elsewhere");
            mover = turn;
            if (v->btnThrow->isEnabled() != (v->st.myNick == mover) || v->btnPass->isEnabled() != (v->st.myNick == mover))
                return fail(v->st.myNick + " buttons do not match the turn");
            if (v->imgTurn->isHidden())
                return fail(v->st.myNick + " hides the turn marker");
            for (TmainFrm *p : copies) {
                const int seat = seatOf(v, p->st.myNick);
                if (p != v && backsShown(v, seat) != handOf(p).size())
                    return fail(v->st.myNick + " shows a wrong count for " + p->st.myNick);
                if (v->passLabel(seat)->isHidden() != host->passLabel(seatOf(host, p->st.myNick))->isHidden())
                    return fail(v->st.myNick + " shows another pass marker for " + p->st.myNick);
            }
            if (v->txtWhoThrow->text() != host->txtWhoThrow->text())
                return fail(v->st.myNick + " names another thrower");
        }
        failure.clear();
        return true;
    }
    bool fail(const QString &why)
    {
        failure = why;
        return false;
    }
    TmainFrm *waitMover()
    {
        if (!TableFixture::waitFor([this] { return steady(); }, 5000))
            return nullptr;
        return copyOf(nickAt(host, host->st.turnSeat));
    }
    bool allOver(const QString &winner) const
    {
        for (TmainFrm *v : copies)
            if (v->st.gameOn || v->txtWhoThrow->text() != " " + winner + " WIN !" || v->st.startSeat != seatOf(v, winner))
                return false;
        return true;
    }
    bool allWaiting() const
    {
        for (TmainFrm *v : copies)
            if (v->st.gameOn || v->txtWait->isHidden())
                return false;
        return true;
    }
    QHash<QString, int> hostCredits() const
    {
        QHash<QString, int> out;
        for (int s = 1; s <= 4; ++s)
            out.insert(host->roster.user(s).nick, host->roster.user(s).credit);
        return out;
    }
    // Every copy shows these credits.
    bool creditsShown(const QHash<QString, int> &expected) const
    {
        for (TmainFrm *v : copies)
            for (auto it = expected.begin(); it != expected.end(); ++it)
                if (credit(v, it.key()) != QString::number(it.value()))
                    return false;
        return true;
    }
    // The host's next deal gives these hands to these nicks; the rest is shuffled, with no other instant winner.
    void stackDeal(const QHash<QString, QStringList> &hands) { Stress::stackHands(host, hands); }
    // The cheapest single that beats the table, or the lowest card on a clear table; empty to pass.
    QString choose(TmainFrm *m) const
    {
        const QStringList table = tableOf(m);
        const QStringList hand = handOf(m);
        if (table.size() > 1)
            return {};
        const int floor = table.isEmpty() ? 0 : m->CardEng1.CardValue(table.first());
        QString best;
        for (const QString &c : hand) {
            const int v = m->CardEng1.CardValue(c);
            if (v > floor && (best.isEmpty() || v < m->CardEng1.CardValue(best)))
                best = c;
        }
        return best;
    }
    void stopGame()
    {
        fx.setAnswer(QMessageBox::Yes);
        QVERIFY(host->btnStop->isEnabled());
        QTest::mouseClick(host->btnStop, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([this] { return allWaiting(); }, 5000));
    }

private slots:
    void initTestCase()
    {
        copies = fx.seatTable({"Ann", "Bob", "Cid", "Dan"});
        QCOMPARE(copies.size(), 4);
        host = copies.first();
    }

    void completeDeal()
    {
        host->CardEng1.seed(20240611);
        QVERIFY(host->btnNew->isEnabled());
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        TmainFrm *m = waitMover();
        QVERIFY2(m, qPrintable(failure));

        // Thirteen distinct cards each, no card in two hands, every hand sorted by number.
        QSet<QString> seen;
        for (TmainFrm *w : copies) {
            const QStringList hand = handOf(w);
            QCOMPARE(hand.size(), 13);
            for (const QString &c : hand)
                QVERIFY(isCardCode(c));
            seen.unite(QSet<QString>(hand.begin(), hand.end()));
            QStringList sorted = hand;
            std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return comesAfter(b, a, true); });
            QCOMPARE(hand, sorted);
            QVERIFY(!host->rules.hasFourTwos(hand) && !host->rules.isThirteenRun(hand));
        }
        QCOMPARE(seen.size(), 52);

        // The lowest card leads.
        TmainFrm *lowest = copies.first();
        for (TmainFrm *w : copies)
            if (lowestValue(w, handOf(w)) < lowestValue(lowest, handOf(lowest)))
                lowest = w;
        QCOMPARE(m, lowest);
        QCOMPARE(m->txtPassCntDwn->text(), QStringLiteral("60"));

        const QHash<QString, int> before = hostCredits();
        QString thrower;
        int passes = 0;
        TmainFrm *winner = nullptr;
        for (int move = 0; move < 400 && !winner; ++move) {
            m = waitMover();
            QVERIFY2(m, qPrintable(failure));
            if (passes == 3) {
                // Back at the thrower after three passes: the table is clear and the thrower leads.
                QCOMPARE(m->st.myNick, thrower);
                for (TmainFrm *v : copies) {
                    QVERIFY(tableOf(v).isEmpty());
                    for (int s = 1; s <= 4; ++s)
                        QVERIFY(v->passLabel(s)->isHidden());
                }
                passes = 0;
            }
            const QString pick = choose(m);
            if (pick.isEmpty()) {
                QTest::mouseClick(m->btnPass, Qt::LeftButton);
                ++passes;
                continue;
            }
            QStringList hand = handOf(m);
            QVERIFY(clickCards(m, {pick}));
            QTest::mouseClick(m->btnThrow, Qt::LeftButton);
            hand.removeOne(pick);
            QCOMPARE(handOf(m), hand); // compact, in the old order
            QVERIFY(raisedOf(m).isEmpty());
            for (int n = 1; n <= 13; ++n)
                QCOMPARE(m->handSlot(n)->isHidden(), n > hand.size());
            QCOMPARE(tableOf(m), QStringList{pick});
            thrower = m->st.myNick;
            passes = 0;
            if (hand.isEmpty())
                winner = m;
        }
        QVERIFY(winner);
        const QString w = winner->st.myNick;
        QVERIFY(TableFixture::waitFor([&] { return allOver(w); }, 5000));

        // Credits: the loss table for every loser, the pool to the winner, the same on every copy.
        QHash<QString, int> expected = before;
        int pool = 0;
        for (TmainFrm *p : copies) {
            const int loss = creditLoss(handOf(p).size());
            expected[p->st.myNick] -= loss;
            pool += loss;
        }
        expected[w] += pool;
        QVERIFY(pool > 0);
        QVERIFY(TableFixture::waitFor([&] { return creditsShown(expected); }, 5000));
        QCOMPARE(hostCredits(), expected);
        int sum = 0;
        for (int c : expected)
            sum += c;
        QCOMPARE(sum, 4000);

        // Only the winner may start the next deal, which the winner leads.
        for (TmainFrm *v : copies) {
            QCOMPARE(v->btnNew->isEnabled(), v == winner);
            QCOMPARE(v->st.startSeat, seatOf(v, w));
            QVERIFY(!v->btnThrow->isEnabled() && !v->btnPass->isEnabled() && !v->btnSortN->isEnabled());
            QVERIFY(v->txtPassCntDwn->isHidden());
        }
    }

    void stackedDealWithRefusalsFiveCardsAndAutomaticPass()
    {
        // The last winner leads; give that player a straight and the Spade 2.
        TmainFrm *w = nullptr;
        for (TmainFrm *v : copies)
            if (v->btnNew->isEnabled())
                w = v;
        QVERIFY(w);
        const QStringList hand{"13", "24", "35", "46", "17", "12", "18", "19", "110", "111", "28", "29", "210"};
        stackDeal({{w->st.myNick, hand}});
        QTest::mouseClick(w->btnNew, Qt::LeftButton);
        QCOMPARE(waitMover(), w);
        QCOMPARE(handOf(w).size(), 13);
        QVERIFY(w->btnSortF->isEnabled());
        QTest::mouseClick(w->btnSortF, Qt::LeftButton);
        QStringList byFlower = hand;
        sortCodes(byFlower, false);
        QCOMPARE(handOf(w), byFlower);
        fx.clearTraffic();

        // Four cards: refused with a beep, nothing leaves.
        QVERIFY(clickCards(w, {"13", "24", "35", "46"}));
        int beeps = w->beepCount();
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        QCOMPARE(w->beepCount(), beeps + 1);
        QCOMPARE(raisedOf(w).size(), 4);
        // A sixth card: refused with a beep.
        QVERIFY(clickCards(w, {"17", "12"}));
        QCOMPARE(w->beepCount(), beeps + 2);
        QCOMPARE(w->st.selectedCount, 5);
        TableFixture::settle(300);
        for (TmainFrm *v : copies) {
            QVERIFY(tableOf(v).isEmpty());
            QVERIFY(!fx.clientTags(v).contains(Tag::THROW));
            if (v != w)
                QCOMPARE(backsShown(v, seatOf(v, w->st.myNick)), 13);
        }
        for (const Delivered &d : fx.hostReceived(host))
            QVERIFY(d.tag() != Tag::THROW);

        // The straight, thrown in suit order, lies sorted by number on every copy.
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        const QStringList straight{"13", "24", "35", "46", "17"};
        QCOMPARE(tableOf(w), straight);
        QCOMPARE(handOf(w).size(), 8);
        for (int i = 0; i < 3; ++i) {
            TmainFrm *m = waitMover();
            QVERIFY2(m, qPrintable(failure));
            QVERIFY(m != w);
            QCOMPARE(tableOf(m), straight);
            QCOMPARE(m->txtPassCntDwn->text(), QStringLiteral("60"));
            QTest::mouseClick(m->btnPass, Qt::LeftButton);
        }
        // Three passes: the thrower leads anything on a clear table.
        QCOMPARE(waitMover(), w);
        for (TmainFrm *v : copies)
            QVERIFY(tableOf(v).isEmpty());
        QCOMPARE(w->txtPassCntDwn->text(), QStringLiteral("60"));

        // Nothing beats the Spade 2: the next player gets three seconds and passes automatically.
        QVERIFY(clickCards(w, {"12"}));
        QTest::mouseClick(w->btnThrow, Qt::LeftButton);
        TmainFrm *next = waitMover();
        QVERIFY2(next, qPrintable(failure));
        QVERIFY(next->txtPassCntDwn->text().toInt() <= 3 && !next->txtPassCntDwn->isHidden());
        const QString nextNick = next->st.myNick;
        QVERIFY(TableFixture::waitFor([&] {
            for (TmainFrm *v : copies)
                if (v->passLabel(seatOf(v, nextNick))->isHidden())
                    return false;
            return true;
        }, 6000));
        QVERIFY(next->txtPassCntDwn->isHidden());
        QVERIFY(!next->btnPass->isEnabled());
        TmainFrm *after = waitMover();
        QVERIFY2(after, qPrintable(failure));
        QVERIFY(after != next && after != w);
        stopGame();
    }

    void fourTwosWinAtOnce()
    {
        TmainFrm *cid = copyOf("Cid");
        const QStringList hand{"12", "22", "32", "42", "15", "26", "37", "48", "19", "210", "311", "412", "113"};
        const QHash<QString, int> before = hostCredits();
        stackDeal({{"Cid", hand}});
        QVERIFY(host->btnNew->isEnabled());
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([this] { return allOver("Cid"); }, 5000));

        // Every seat still held 13 cards: 39 each into the pool, the whole pool to Cid.
        QHash<QString, int> expected = before;
        for (auto it = expected.begin(); it != expected.end(); ++it)
            it.value() -= 39;
        expected["Cid"] += 4 * 39;
        QVERIFY(TableFixture::waitFor([&] { return creditsShown(expected); }, 5000));
        QCOMPARE(hostCredits(), expected);
        for (TmainFrm *v : copies) {
            QCOMPARE(v->btnNew->isEnabled(), v == cid);
            QCOMPARE(handOf(v).size(), 13);
        }

        // Cid's "New Game" has the host deal, and Cid leads.
        QTest::mouseClick(cid->btnNew, Qt::LeftButton);
        TmainFrm *m = waitMover();
        QVERIFY2(m, qPrintable(failure));
        QCOMPARE(m, cid);
        stopGame();
    }

    // A quick winner (a computer player, say) asks for the next deal while the host still shows the
    // end of the last one: the others learn that deal is over before the next one is dealt, and the
    // late news does not end the new deal anywhere.
    void nextDealAskedWhileTheLastEnds()
    {
        TmainFrm *cid = copyOf("Cid");
        TmainFrm *bob = copyOf("Bob");
        stackDeal({{"Cid", {"12", "22", "32", "42", "15", "26", "37", "48", "19", "210", "311", "412", "113"}}});
        // Cid asks as soon as the host has taken the deal for over (the host's pause is still running).
        QTimer quick;
        bool dealSeen = false;
        bool asked = false;
        connect(&quick, &QTimer::timeout, this, [&] {
            dealSeen |= host->st.gameOn;
            if (dealSeen && !host->st.gameOn && !asked) {
                asked = true;
                cid->gClient->Send(Tag::NEXTGAME, {}, {}, {});
            }
        });
        quick.start(2);
        fx.clearTraffic();
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        TmainFrm *m = waitMover();
        quick.stop();
        QVERIFY(asked);
        QVERIFY2(m, qPrintable(failure));
        QCOMPARE(m, cid);
        QVERIFY(TableFixture::waitFor([this] {
            for (TmainFrm *v : copies)
                if (!v->st.gameOn || handOf(v).size() != 13)
                    return false;
            return true;
        }));
        const QStringList tags = fx.clientTags(bob);
        QCOMPARE(tags.count(Tag::NEWGAME), 2);
        QVERIFY(tags.indexOf(Tag::GAMEOVER) >= 0);
        QVERIFY(tags.indexOf(Tag::GAMEOVER) < tags.lastIndexOf(Tag::NEWGAME));
        // The new deal stays on everywhere.
        TableFixture::settle(300);
        for (TmainFrm *v : copies)
            QVERIFY2(v->st.gameOn, qPrintable(v->st.myNick));
        stopGame();
    }

    // A guest's copy that throws out of turn, or claims the lead without having won, changes nothing
    // at the table: the host neither applies nor passes on what it sends.
    void movesOutOfTurnAreRefused()
    {
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        TmainFrm *m = waitMover();
        QVERIFY2(m, qPrintable(failure));
        TmainFrm *rogue = nullptr;
        for (TmainFrm *v : copies)
            if (v != host && v != m && !rogue)
                rogue = v;
        const QString nick = rogue->st.myNick;
        const QString port = QString::number(rogue->st.myPort);
        const int turn = host->st.turnSeat;
        const int leader = host->st.startSeat;
        fx.clearTraffic();
        rogue->gClient->Send(Tag::THROW, port, nick, QStringLiteral("1"), handOf(rogue).first() + QLatin1Char('#'), {}, {});
        rogue->gClient->Send(Tag::THROW, port, nick, QStringLiteral("0"), {}, {}, {});
        rogue->gClient->Send(Tag::iSTART, port, nick, {});
        QVERIFY(TableFixture::waitFor([&] { return fx.hostReceived(host).size() == 3; }));
        TableFixture::settle(200);
        QCOMPARE(host->st.turnSeat, turn);
        QCOMPARE(host->st.startSeat, leader);
        for (TmainFrm *v : copies) {
            QVERIFY2(fx.clientTags(v).isEmpty(), qPrintable(v->st.myNick + ": " + fx.clientTags(v).join(',')));
            if (v != rogue)
                QCOMPARE(backsShown(v, seatOf(v, nick)), 13);
        }
        QVERIFY2(steady(), qPrintable(failure));
        QCOMPARE(waitMover(), m);
        stopGame();
    }

    void chatOnEveryCopy()
    {
        TmainFrm *bob = copyOf("Bob");
        TmainFrm *cid = copyOf("Cid");
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
        }, 5000));
    }

    void departureWhileDealing()
    {
        TmainFrm *dan = copyOf("Dan");
        fx.clearTraffic();
        QVERIFY(host->btnNew->isEnabled());
        QTimer::singleShot(20, host, [this, dan] {
            copies.removeAll(dan);
            fx.closeWindow(dan);
        });
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        QVERIFY(!host->flow->dealing());
        QVERIFY(TableFixture::waitFor([this] { return host->roster.seatCount() == 3 && allWaiting(); }, 5000));
        TableFixture::settle(300);
        for (TmainFrm *v : copies) {
            QVERIFY(!fx.clientTags(v).contains(Tag::NEWGAME));
            QVERIFY(!v->st.gameOn);
        }
        // The table is ready for a new deal with the three left.
        QVERIFY(host->btnNew->isEnabled());
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        TmainFrm *m = waitMover();
        QVERIFY2(m, qPrintable(failure));
        for (TmainFrm *v : copies)
            QCOMPARE(handOf(v).size(), 13);
    }

    void bankruptcies()
    {
        stopGame(); // the deal the three began above
        TmainFrm *bob = copyOf("Bob");
        TmainFrm *cid = copyOf("Cid");
        const QStringList fourTwos{"12", "22", "32", "42", "15", "26", "37", "48", "19", "210", "311", "412", "113"};

        // Bob cannot pay 39: his copy says so and leaves; the others are told.
        host->roster.user(host->roster.seatOfNick("Bob")).credit = 5;
        fx.clearMessages();
        stackDeal({{"Cid", fourTwos}});
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([&] {
            return fx.messageTextsOf(bob).contains(" YOU ARE BANKRUPT !") && !bob->gClient->Active()
                && host->roster.seatOfNick("Bob") == -1;
        }, 5000));
        QVERIFY(fx.messageTextsOf(host).contains(" Bob BANKRUPT !"));
        QVERIFY(TableFixture::waitFor([&] { return fx.messageTextsOf(cid).contains(" Bob BANKRUPT !"); }, 3000));
        copies.removeAll(bob);
        QVERIFY(TableFixture::waitFor([this] { return allWaiting(); }, 5000));

        // The host's own player goes bankrupt: hosting ends and the guest loses the table.
        host->roster.user(1).credit = 10;
        stackDeal({{"Cid", fourTwos}});
        QVERIFY(host->btnNew->isEnabled());
        QTest::mouseClick(host->btnNew, Qt::LeftButton);
        QVERIFY(TableFixture::waitFor([&] {
            return fx.messageTextsOf(host).contains(" YOU ARE BANKRUPT !") && !host->gHost->Active()
                && !host->st.hosting && !cid->gClient->Active();
        }, 5000));
        QVERIFY(!fx.messageTextsOf(host).contains(" Ann BANKRUPT !"));
    }
};

QTEST_MAIN(TestDeal)
#include "tst_deal_gui.moc"
