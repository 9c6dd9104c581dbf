// The host as referee over real loopback sockets: a seated guest that speaks the protocol but not
// the rules (a bare connection) makes false claims on its turn; none is relayed to the honest guest,
// none moves the turn or a credit, and the honest move after them goes through. A guest that stops
// moving is passed for once its time is up.
#include "game/gameflow.h"
#include "game/protocol.h"
#include "support/dealhelpers.h"
#include "support/rawpeer.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QPushButton>
#include <QTest>
#include <QTextEdit>

using Stress::RawPeer;

namespace {
QStringList suitFrom3(int suit, const QStringList &extra)
{
    QStringList cards;
    for (int rank = 3; rank <= 13; ++rank)
        cards << QStringLiteral("%1%2").arg(suit).arg(rank);
    return cards + extra;
}

// "[THROW]"s from the nick that a copy's hub client delivered.
int throwsFrom(const TableFixture &fx, TmainFrm *w, const QString &nick)
{
    int n = 0;
    for (const Delivered &d : fx.clientReceived(w))
        n += d.tag() == Tag::THROW && d.value(2) == nick ? 1 : 0;
    return n;
}
} // namespace

class TestReferee : public QObject
{
    Q_OBJECT

private slots:
    void falseClaimsAreRefused()
    {
        TableFixture fx;
        const QList<TmainFrm *> copies = fx.seatTable({"Hank", "Ann"});
        QCOMPARE(copies.size(), 2);
        TmainFrm *host = copies.at(0);
        TmainFrm *ann = copies.at(1);
        RawPeer cid;
        cid.joinAs("Cid");
        QVERIFY(cid.connectTo(fx.hostPort()));
        QVERIFY(fx.waitFor([&] { return host->roster.seatOfNick("Cid") == 2; }));
        QVERIFY(fx.waitFor([&] { return ann->roster.seatOfNick("Cid") == 2; }));

        // Ann (seat 3) holds the Diamonds and leads with the 3; Cid holds the Spades 3 to K.
        Stress::stackHands(host, {{"Hank", suitFrom3(2, {"35", "22"})},
                                  {"Cid", suitFrom3(1, {"37", "38"})},
                                  {"Ann", suitFrom3(4, {"33", "34"})}});
        host->btnNew->click();
        QVERIFY(fx.waitFor([&] { return ann->st.gameOn && ann->table.cardCount(3) == 13; }));
        QCOMPARE(host->table.toMove(), 3);

        // A lowest-card report and a move out of turn change nothing.
        cid.send(Tag::SMALLESTCARD, "1");
        cid.send(Tag::THROW, "0", "Cid", "1", "13#");
        QVERIFY(fx.waitFor([&] { return ann->btnThrow->isEnabled(); }));
        QVERIFY(DealHelpers::clickCards(ann, {"43"}));
        ann->btnThrow->click();
        QVERIFY(fx.waitFor([&] { return host->btnThrow->isEnabled(); }));
        QVERIFY(DealHelpers::clickCards(host, {"24"}));
        host->btnThrow->click();
        QVERIFY(fx.waitFor([&] { return host->table.toMove() == 2; }));
        fx.clearTraffic();

        // Cid's turn, the Heart 4 on the table: every false claim, then an honest move.
        cid.send(Tag::THROW, "0", "Cid", "1", "12#");     // a card Cid does not hold
        cid.send(Tag::THROW, "0", "Cid", "2", "14#15#");  // a pair of two ranks
        cid.send(Tag::THROW, "0", "Cid", "2", "15#");     // a count that disagrees
        cid.send(Tag::THROW, "0", "Cid", "1", "13#");     // lower than the table
        cid.send(Tag::THROW, "0", "Ann", "1", "15#");     // in another player's name
        cid.send(Tag::GAMEOVER, "0", "Cid");              // twelve cards still in the hand
        cid.send(Tag::iSTART, "0", "Cid");
        cid.send(Tag::NEXTGAME);
        cid.send(Tag::THROW, "0", "Cid", "1", "15#");     // honest at last
        QVERIFY(fx.waitFor([&] { return throwsFrom(fx, ann, "Cid") == 1; }));
        QVERIFY(fx.waitFor([&] { return ann->table.tableCards() == QStringList{"15"}; }));
        QCOMPARE(host->table.toMove(), 3);
        QCOMPARE(ann->table.cardCount(2), 12);
        QVERIFY(host->st.gameOn && ann->st.gameOn);
        for (int s = 1; s <= 3; ++s)
            QCOMPARE(host->roster.user(s).credit, 1000);
        const QString log = host->chatLog->toPlainText();
        for (const char *reason : {"Cid's move was refused: not the player to move",
                                   "Cid's move was refused: cards not in the hand",
                                   "Cid's move was refused: not a combination the rules allow",
                                   "Cid's move was refused: the card count disagrees with the cards",
                                   "Cid's move was refused: does not beat the table",
                                   "Cid's move was refused: sent in another player's name",
                                   "Cid's claim of the deal was refused: cards still in the hand",
                                   "Cid's lead claim was refused: not the last deal's winner",
                                   "Cid's request for a new deal was refused"})
            QVERIFY2(log.contains(QLatin1String(reason)), reason);
        QVERIFY(!ann->chatLog->toPlainText().contains(QStringLiteral("refused")));

        // Ann and the host pass; Cid, back on a clear table, never moves: the host passes for him.
        QVERIFY(fx.waitFor([&] { return ann->btnPass->isEnabled(); }));
        ann->btnPass->click();
        QVERIFY(fx.waitFor([&] { return host->table.toMove() == 1; }));
        host->flow->setTurnDeadlineMs(300);
        host->btnPass->click();
        QVERIFY(fx.waitFor([&] { return throwsFrom(fx, ann, "Cid") == 2; }));
        QVERIFY(fx.waitFor([&] { return ann->table.toMove() == 3 && ann->btnPass->isEnabled(); }));
        QVERIFY(ann->table.passed(2));
        // Cid's own copy hears the pass made for it.
        QVERIFY(fx.waitFor([&] {
            for (const HubMessage &m : cid.got)
                if (m.Protocol == Tag::THROW && m.value[1] == "Cid" && m.value[2] == "0")
                    return true;
            return false;
        }));
    }
};

QTEST_MAIN(TestReferee)
#include "tst_referee_gui.moc"
