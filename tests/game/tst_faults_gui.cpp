// Faults at a live table of real copies over loopback: a guest's connection cut in the middle of a
// deal for good (the held seat expires), the host ending the table, a guest that hangs and is dropped by the ping check. Every time
// the table ends up as the game describes it, and the players left can deal and play on.
#include "game/clientside.h"
#include "game/hostadmission.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "support/rawpeer.h"
#include "support/tablecheck.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using Stress::TableCheck;

namespace {

const QStringList kNicks{QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cid"), QStringLiteral("Dan")};

// What a guest was told apart from the moves of the deal (a move made by a countdown that ran out
// while the fault was handled may still come in between).
QStringList tableNews(const TableFixture &fx, TmainFrm *w)
{
    QStringList out;
    for (const QString &tag : fx.clientTags(w))
        if (tag != Tag::THROW && tag != Tag::WHOSETURN)
            out << tag;
    return out;
}

bool allSeatsEmpty(TmainFrm *w)
{
    for (int s = 1; s <= 4; ++s)
        if (w->nickLabel(s)->text() != kEmptySeatText || !w->pointLabel(s)->isHidden())
            return false;
    return true;
}

QString boxes(const TableFixture &fx, TmainFrm *w)
{
    return fx.messageTextsOf(w).join(QLatin1Char('|'));
}

// The first deal of these copies dealt and three moves played, every copy checked after each. The
// deck is fixed so that nobody wins as dealt: the credits stay as they were until the fault.
bool dealUnderWay(TableCheck &check, const QList<TmainFrm *> &copies)
{
    copies.first()->CardEng1.seed(7);
    check.setCopies(copies);
    return check.startDeal() && check.playMoves(3);
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void guestConnectionCutMidDeal_data();
    void guestConnectionCutMidDeal();
    void hostEndsTableMidDeal();
    void silentGuestDroppedByPing_data();
    void silentGuestDroppedByPing();
    void passMarkersOfLastDealGoneAtNextDeal();
};

void TestFaults::guestConnectionCutMidDeal_data()
{
    QTest::addColumn<bool>("ownTurn");
    QTest::addColumn<bool>("reset");
    QTest::newRow("reset on its own turn") << true << true;
    QTest::newRow("reset on another's turn") << false << true;
    QTest::newRow("program closed on its own turn") << true << false;
    QTest::newRow("program closed on another's turn") << false << false;
}

void TestFaults::guestConnectionCutMidDeal()
{
    QFETCH(bool, ownTurn);
    QFETCH(bool, reset);
    TableFixture fx;
    TableCheck check;
    const QList<TmainFrm *> copies = fx.seatTable(kNicks);
    QCOMPARE(copies.size(), 4);
    TmainFrm *host = copies.first();
    QVERIFY2(dealUnderWay(check, copies), qPrintable(check.problem()));
    // Until a guest is to move, for a cut on the guest's own turn.
    for (int i = 0; ownTurn && check.mover() == host->st.myNick && i < 4; ++i)
        QVERIFY2(check.playMove(), qPrintable(check.problem()));
    QVERIFY2(check.waitAgreement(5000), qPrintable(check.problem()));
    TmainFrm *victim = nullptr;
    for (TmainFrm *g : copies.mid(1))
        if ((check.mover() == g->st.myNick) == ownTurn && !victim)
            victim = g;
    QVERIFY(victim);
    const QString victimNick = victim->st.myNick;
    const int victimPort = victim->st.myPort;
    QList<TmainFrm *> left = copies;
    left.removeAll(victim);
    fx.clearTraffic();
    fx.clearMessages();
    // The seat is held for a moment only, and the cut copy does not come back.
    host->admission->heldSeats().setHoldMs(300);

    if (reset) {
        victim->clientSide->stopReconnecting();
        Stress::resetSocket(TableFixture::clientSocketOf(victim));
    } else {
        fx.closeWindow(victim);
        victim = nullptr;
    }

    // Once the hold is over the host frees the seat, tells the others and calls the deal off
    // everywhere, scoring nothing.
    QVERIFY(TableFixture::waitFor([&] { return host->roster.seatOfNick(victimNick) == -1; }));
    check.setCopies(left);
    QVERIFY2(check.waitWaitMode(), qPrintable(check.problem()));
    QVERIFY(fx.waitTableShown());
    QCOMPARE(host->roster.seatCount(), 3);
    QCOMPARE(host->gHost->ClientCount(), 2);
    QVERIFY(host->btnPing->isEnabled());
    QCOMPARE(check.creditSum(), 3000);
    for (TmainFrm *g : left.mid(1)) {
        QVERIFY(TableFixture::waitFor([&] { return tableNews(fx, g).size() >= 3; }));
        QCOMPARE(tableNews(fx, g), QStringList({Tag::AWAY, Tag::USER, Tag::WAITMODE}));
        QCOMPARE(fx.clientTags(g).last(), Tag::WAITMODE);
        const Delivered quit = fx.clientReceived(g).at(fx.clientTags(g).indexOf(Tag::USER));
        QCOMPARE(quit.value(1), Tag::QUIT);
        QCOMPARE(quit.value(2), victimNick);
        QCOMPARE(quit.value(4), QString::number(victimPort));
        QVERIFY(g->gClient->Active());
    }
    for (TmainFrm *w : left)
        QVERIFY2(fx.messagesOf(w).isEmpty(), qPrintable(boxes(fx, w)));

    if (victim) {
        // The cut copy knows it is alone: the table is reset and the box names the host.
        const QString text = QStringLiteral(" Disconnected from 127.0.0.1 : ") + QString::number(victimPort);
        QVERIFY(TableFixture::waitFor([&] { return !fx.messagesOf(victim).isEmpty(); }));
        QCOMPARE(fx.messageTextsOf(victim), QStringList{text});
        QVERIFY(!victim->gClient->Active());
        QVERIFY(!victim->st.gameOn);
        QVERIFY(allSeatsEmpty(victim));
        QCOMPARE(victim->statusText(), QStringLiteral(" ") + text);
    }

    // The three left deal and play on.
    QVERIFY2(check.startDeal(), qPrintable(check.problem()));
    QVERIFY2(check.playMoves(4), qPrintable(check.problem()));
    QVERIFY2(check.stopDeal(), qPrintable(check.problem()));
}

void TestFaults::hostEndsTableMidDeal()
{
    TableFixture fx;
    TableCheck check;
    const QList<TmainFrm *> copies = fx.seatTable(kNicks);
    QCOMPARE(copies.size(), 4);
    TmainFrm *host = copies.first();
    QVERIFY2(dealUnderWay(check, copies), qPrintable(check.problem()));
    QVERIFY2(check.waitAgreement(5000), qPrintable(check.problem()));
    QHash<TmainFrm *, int> ports;
    for (TmainFrm *g : copies.mid(1))
        ports.insert(g, g->st.myPort);
    fx.clearMessages();
    // The guests try to get back for a moment only.
    for (TmainFrm *g : copies.mid(1))
        g->clientSide->reconnector().setWindowMs(1500);

    QVERIFY(host->mnuDisconn->isEnabled());
    host->mnuDisconn->trigger();

    QVERIFY(!host->gHost->Active());
    QVERIFY(!host->st.hosting);
    QCOMPARE(host->statusText(), QStringLiteral(" Connection closed."));
    QVERIFY(host->mnuSetting->isEnabled());
    QVERIFY(allSeatsEmpty(host));
    for (TmainFrm *g : copies.mid(1)) {
        const QString text = QStringLiteral(" Disconnected from 127.0.0.1 : ") + QString::number(ports.value(g));
        QVERIFY2(TableFixture::waitFor([&] { return !fx.messagesOf(g).isEmpty(); }), qPrintable(g->st.myNick));
        QCOMPARE(fx.messageTextsOf(g), QStringList{text});
        QCOMPARE(fx.messagesOf(g).first().icon, QMessageBox::Critical);
        QCOMPARE(g->statusText(), QStringLiteral(" ") + text);
        QVERIFY(!g->gClient->Active());
        QVERIFY(!g->st.gameOn);
        QCOMPARE(g->st.turnSeat, 0);
        QVERIFY(!g->btnThrow->isEnabled() && !g->btnPass->isEnabled() && !g->btnNew->isEnabled());
        QVERIFY(g->txtPassCntDwn->isHidden());
        QVERIFY(g->mnuSetting->isEnabled());
        QVERIFY(!g->mnuDisconn->isEnabled());
        QVERIFY(allSeatsEmpty(g));
    }
    QVERIFY(fx.messagesOf(host).isEmpty());

    // The same players sit down again at a new table and deal.
    QVERIFY(fx.host(host, kNicks.first()));
    for (TmainFrm *g : copies.mid(1)) {
        fx.connectGuest(g, g->st.myNick);
        QVERIFY(TableFixture::waitFor([&] { return host->roster.seatOfNick(g->st.myNick) > 0 && fx.tableShown(); }));
    }
    check.setCopies(copies);
    QCOMPARE(check.creditSum(), 4000);
    QVERIFY2(check.startDeal(), qPrintable(check.problem()));
    QVERIFY2(check.playMoves(4), qPrintable(check.problem()));
    QVERIFY2(check.stopDeal(), qPrintable(check.problem()));
}

void TestFaults::silentGuestDroppedByPing_data()
{
    QTest::addColumn<bool>("window");
    QTest::newRow("a copy that hangs in a deal") << true;
    QTest::newRow("a guest that stops reading") << false;
}

void TestFaults::silentGuestDroppedByPing()
{
    QFETCH(bool, window);
    TableFixture fx;
    QList<TmainFrm *> copies = fx.seatTable(window ? kNicks : kNicks.mid(0, 3));
    QVERIFY(!copies.isEmpty());
    TmainFrm *host = copies.first();
    TableCheck check;
    TmainFrm *hung = nullptr;
    Stress::RawPeer rex;
    QString silentNick;
    if (window) {
        check.setCopies(copies);
        QVERIFY2(check.startDeal(), qPrintable(check.problem()));
        QVERIFY2(check.playMoves(2), qPrintable(check.problem()));
        QVERIFY2(check.waitAgreement(5000), qPrintable(check.problem()));
        hung = copies.at(2);
        silentNick = hung->st.myNick;
        TableFixture::freezeClient(hung, true);
        copies.removeAll(hung);
    } else {
        silentNick = QStringLiteral("Rex");
        rex.joinAs(silentNick);
        QVERIFY(rex.connectTo(fx.hostPort()));
        QVERIFY(TableFixture::waitFor([&] { return host->roster.seatOfNick(silentNick) == 4 && fx.tableShown(); }));
        rex.setAnswerPings(false);
        rex.stopReading();
    }
    fx.clearTraffic();
    fx.clearMessages();

    host->Timer1->setInterval(1500);
    QVERIFY(host->btnPing->isEnabled());
    QTest::mouseClick(host->btnPing, Qt::LeftButton);
    QVERIFY(!host->btnPing->isEnabled());
    QVERIFY(TableFixture::waitFor([&] { return host->roster.seatOfNick(silentNick) == -1; }, 5000));
    QVERIFY(host->btnPing->isEnabled());

    // The players who answered stay; the table waits for a new deal without the silent one.
    check.setCopies(copies);
    QVERIFY2(check.waitWaitMode(), qPrintable(check.problem()));
    QVERIFY(fx.waitTableShown());
    QCOMPARE(host->roster.seatCount(), 3);
    QCOMPARE(host->gHost->ClientCount(), 2);
    for (TmainFrm *g : copies.mid(1)) {
        QVERIFY(TableFixture::waitFor([&] { return tableNews(fx, g).size() >= 3; }));
        QCOMPARE(tableNews(fx, g), QStringList({Tag::PING, Tag::USER, Tag::WAITMODE}));
        QCOMPARE(fx.clientTags(g).last(), Tag::WAITMODE);
        QCOMPARE(fx.clientReceived(g).at(fx.clientTags(g).indexOf(Tag::USER)).value(2), silentNick);
        QVERIFY(g->gClient->Active());
    }
    for (TmainFrm *w : copies)
        QVERIFY2(fx.messagesOf(w).isEmpty(), qPrintable(boxes(fx, w)));
    // Both players who were still there answered, and nobody answered for the silent one.
    QStringList answered;
    for (const Delivered &d : fx.hostReceived(host)) {
        QVERIFY(d.tag() == Tag::PONG || d.tag() == Tag::THROW);
        if (d.tag() == Tag::PONG)
            answered << d.value(1);
    }
    answered.sort();
    QCOMPARE(answered, QStringList({copies.at(1)->st.myNick, copies.at(2)->st.myNick}));

    QVERIFY2(check.startDeal(), qPrintable(check.problem()));
    QVERIFY2(check.playMoves(4), qPrintable(check.problem()));
    QVERIFY2(check.stopDeal(), qPrintable(check.problem()));

    if (hung) {
        TableFixture::freezeClient(hung, false);
        fx.closeWindow(hung);
    }
}

void TestFaults::passMarkersOfLastDealGoneAtNextDeal()
{
    // Seats: Ann 1 (host), Cid 2, Bob 3; the turn goes Ann, Cid, Bob.
    TableFixture fx;
    const QList<TmainFrm *> copies = fx.seatTable(kNicks.mid(0, 3));
    QCOMPARE(copies.size(), 3);
    TmainFrm *host = copies.first();
    QCOMPARE(host->roster.seatOfNick("Cid"), 2);
    QCOMPARE(host->roster.seatOfNick("Bob"), 3);
    const QStringList threes{"23", "33", "43"};
    const QStringList lowStraight{"44", "35", "46", "37", "48"};
    const QStringList fourKings{"113", "213", "313", "413", "45"};
    const QStringList highStraight{"18", "29", "110", "211", "112"};
    Stress::stackHands(host, {{"Bob", threes + lowStraight + fourKings},
                              {"Cid", highStraight + QStringList{"11", "21", "17", "27", "15", "16", "19", "210"}}});
    TableCheck check;
    check.setCopies(copies);
    QVERIFY2(check.startDeal(), qPrintable(check.problem()));
    QCOMPARE(check.mover(), QStringLiteral("Bob")); // the diamond 3 leads

    for (const QStringList &move : {threes, QStringList{}, QStringList{}, lowStraight, QStringList{}, highStraight})
        QVERIFY2(check.playThrow(move), qPrintable(check.problem()));
    // Ann's pass still shows when Bob goes out.
    QVERIFY(!host->passLabel(1)->isHidden());
    QVERIFY2(check.playThrow(fourKings), qPrintable(check.problem()));
    QVERIFY(check.dealOver());
    QCOMPARE(check.winner(), QStringLiteral("Bob"));

    // The next deal starts with no pass marker on any copy.
    QVERIFY2(check.startDeal(), qPrintable(check.problem()));
    QCOMPARE(check.mover(), QStringLiteral("Bob"));
    for (TmainFrm *v : copies)
        for (int s = 1; s <= 4; ++s)
            QVERIFY2(v->passLabel(s)->isHidden(), qPrintable(v->st.myNick));
}

QTEST_MAIN(TestFaults)
#include "tst_faults_gui.moc"
