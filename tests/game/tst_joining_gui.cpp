// Sitting down at one table: hosting, joining, refusals, departures, the ping check, Stop Game,
// and the host's checks on who may say what.
#include "game/gameflow.h"
#include "game/messagerouter.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "hub/wire.h"
#include "support/tablefixture.h"
#include "ui/frmsetting.h"
#include "ui/mainfrm.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <sys/socket.h>

using Stress::RawPeer;

namespace {

const QString kHank = QStringLiteral("Hank");
const QString kAnn = QStringLiteral("Ann");
const QString kBob = QStringLiteral("Bob");

QList<Delivered> ofTag(const QList<Delivered> &all, const QString &tag)
{
    QList<Delivered> out;
    for (const Delivered &d : all)
        if (d.tag() == tag)
            out.append(d);
    return out;
}

ShownMessage boxWithText(const QList<ShownMessage> &boxes, const QString &text)
{
    for (const ShownMessage &m : boxes)
        if (m.text == text)
            return m;
    return ShownMessage{QMessageBox::NoIcon, {}, {}, true};
}

bool chatShows(TmainFrm *w, const QString &line)
{
    return w->chatLog->toPlainText().split(QLatin1Char('\n')).contains(line);
}

// The host deals; every copy knows whose turn it is, and nobody's countdown runs (so nobody moves).
bool dealAndHold(TmainFrm *h, const QList<TmainFrm *> &guests)
{
    h->btnNew->click();
    const bool dealt = TableFixture::waitFor([&] {
        if (!h->st.gameOn || h->flow->dealing() || h->st.turnSeat == 0)
            return false;
        for (TmainFrm *g : guests)
            if (!g->st.gameOn || g->st.turnSeat == 0)
                return false;
        return true;
    });
    h->autoPass->stop();
    for (TmainFrm *g : guests)
        g->autoPass->stop();
    return dealt;
}

} // namespace

class TestJoining : public QObject
{
    Q_OBJECT
private slots:
    void guestsTakeSeatsThreeTwoFour();
    void newcomerLearnsOwnSeatFirstThenEveryOther();
    void departureFreesSeatForNextGuest();
    void nickCollisionIsRefused();
    void runningDealRefusesNewcomer();
    void versionMismatchAtTheHost();
    void clientShowsEachRefusal_data();
    void clientShowsEachRefusal();
    void pingCheckDropsSilentGuestOnly();
    void stopGameAsksFirst();
    void hostIgnoresHostOnlyTagsFromClients();
    void hostIgnoresImpersonation();
    void clientWinEndsDealOnEveryCopy();
    void secondJoinFromSeatedConnectionIgnored();
    void barePeersDoNotDisturbTable();
    void lateJoinRequestsAreRefused();
    void malformedMessagesIgnored();
    void clientLinesAreRelayed();
};

void TestJoining::guestsTakeSeatsThreeTwoFour()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    QCOMPARE(TableFixture::shownNick(h, 1), kHank);
    QVERIFY(h->statusText().startsWith(QStringLiteral(" Hosting as ")));
    QVERIFY(h->statusText().endsWith(QStringLiteral(" @ ") + QString::number(t.hostPort()) + QStringLiteral(" ...")));
    QVERIFY(!h->mnuSetting->isEnabled());
    QVERIFY(h->mnuDisconn->isEnabled());
    QVERIFY(!h->btnNew->isEnabled()); // nobody to play with yet

    const QStringList nicks{kAnn, kBob, QStringLiteral("Cy")};
    const int seats[] = {3, 2, 4};
    QList<TmainFrm *> guests;
    for (int i = 0; i < nicks.size(); ++i) {
        TmainFrm *g = t.join(nicks[i]);
        QVERIFY2(g, qPrintable(nicks[i] + QStringLiteral(" was not seated")));
        guests.append(g);
        QCOMPARE(h->roster.seatOfNick(nicks[i]), seats[i]);
        QVERIFY(h->btnNew->isEnabled());
        for (TmainFrm *w : t.seatedWindows())
            QVERIFY2(t.tableProblem(w).isEmpty(), qPrintable(t.tableProblem(w)));
    }
    QVERIFY(h->roster.isFull());
    // Each copy sees itself at the bottom and the others in turn order: left, top, right.
    for (TmainFrm *g : guests) {
        QCOMPARE(TableFixture::shownNick(g, 1), g->st.myNick);
        QCOMPARE(g->pointLabel(1)->text(), QStringLiteral("1000"));
        QVERIFY(!g->mnuSetting->isEnabled());
    }
    QCOMPARE(TableFixture::shownNick(guests[0], 2), QStringLiteral("Cy"));
    QCOMPARE(TableFixture::shownNick(guests[0], 3), kHank);
    QCOMPARE(TableFixture::shownNick(guests[0], 4), kBob);
    QCOMPARE(TableFixture::shownNick(guests[1], 2), kAnn);
    QCOMPARE(TableFixture::shownNick(guests[1], 4), kHank);
    QCOMPARE(TableFixture::shownNick(h, 2), kBob);
    QCOMPARE(TableFixture::shownNick(h, 3), kAnn);
    QCOMPARE(TableFixture::shownNick(h, 4), QStringLiteral("Cy"));
    for (TmainFrm *w : t.windows())
        QVERIFY2(t.messagesOf(w).isEmpty(), qPrintable(t.messageTextsOf(w).join(QLatin1Char('|'))));
}

void TestJoining::newcomerLearnsOwnSeatFirstThenEveryOther()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    QVERIFY(ann);
    // The host's current credit is what the newcomer is told, not a fresh 1000.
    h->roster.user(1).credit = 1234;
    const int annPort = ann->gClient->LocalPort();
    t.clearTraffic();

    TmainFrm *bob = t.join(kBob);
    QVERIFY(bob);
    QVERIFY(t.waitFor([&] { return t.clientReceived(bob).size() >= 8; }));
    QList<Delivered> in = t.clientReceived(bob);
    QCOMPARE(t.clientTags(bob), QStringList({Tag::REQVER, Tag::REQINFO, Tag::SEATKEY, Tag::USER, Tag::USER, Tag::CREDIT,
                                             Tag::USER, Tag::CREDIT}));
    in.removeAt(2);
    const QString bobPort = QString::number(bob->gClient->LocalPort());
    auto values = [](const Delivered &d) {
        return QStringList{d.value(1), d.value(2), d.value(3), d.value(4), d.value(5)};
    };
    QCOMPARE(values(in[2]), QStringList({Tag::JOIN, kBob, QStringLiteral("127.0.0.1"), bobPort, QStringLiteral("2")}));
    QCOMPARE(values(in[3]), QStringList({Tag::JOIN, kHank, h->gHost->LocalIP(), QStringLiteral("0"), QStringLiteral("1")}));
    QCOMPARE(values(in[4]), QStringList({QStringLiteral("0"), kHank, QStringLiteral("1234"), {}, {}}));
    QCOMPARE(values(in[5]), QStringList({Tag::JOIN, kAnn, QStringLiteral("127.0.0.1"), QString::number(annPort),
                                         QStringLiteral("3")}));
    QCOMPARE(values(in[6]), QStringList({QString::number(annPort), kAnn, QStringLiteral("1000"), {}, {}}));
    QCOMPARE(bob->st.myPort, bob->gClient->LocalPort());
    QCOMPARE(t.expectedScreenSeat(bob, kHank), 4);
    QCOMPARE(bob->pointLabel(4)->text(), QStringLiteral("1234"));

    // The guest already seated learns only the newcomer.
    const QList<Delivered> annIn = t.clientReceived(ann);
    QCOMPARE(t.clientTags(ann), QStringList({Tag::USER}));
    QCOMPARE(values(annIn[0]), values(in[2]));
}

void TestJoining::departureFreesSeatForNextGuest()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    TmainFrm *bob = t.join(kBob);
    TmainFrm *cy = t.join(QStringLiteral("Cy"));
    QVERIFY(ann && bob && cy);
    QCOMPARE(h->roster.seatOfNick(kBob), 2);
    const int bobPort = bob->gClient->LocalPort();
    t.clearTraffic();

    bob->mnuDisconn->trigger();
    QVERIFY(t.waitFor([&] { return h->roster.seatOfNick(kBob) == -1; }));
    QVERIFY(t.waitTableShown());
    QVERIFY(!bob->gClient->Active());
    QVERIFY(bob->mnuSetting->isEnabled());
    QVERIFY(!bob->mnuDisconn->isEnabled());
    QCOMPARE(TableFixture::shownNick(bob, 1), QString());
    QCOMPARE(t.messageTextsOf(bob),
             QStringList(QStringLiteral(" Disconnected from 127.0.0.1 : ") + QString::number(bobPort)));
    QCOMPARE(h->nickLabel(2)->text(), kEmptySeatText);
    QVERIFY(!h->pointLabel(2)->isVisible());

    for (TmainFrm *w : {ann, cy}) {
        QVERIFY(t.waitFor([&] { return t.clientTags(w).contains(Tag::WAITMODE); }));
        const QList<Delivered> in = t.clientReceived(w);
        QCOMPARE(t.clientTags(w), QStringList({Tag::USER, Tag::WAITMODE}));
        QCOMPARE(in[0].value(1), Tag::QUIT);
        QCOMPARE(in[0].value(2), kBob);
        QCOMPARE(in[0].value(4), QString::number(bobPort));
        QCOMPARE(in[0].value(5), QStringLiteral("2"));
        QVERIFY(w->txtWait->isVisible());
    }
    QVERIFY(h->btnPing->isEnabled());

    TmainFrm *dee = t.join(QStringLiteral("Dee"));
    QVERIFY(dee);
    QCOMPARE(h->roster.seatOfNick(QStringLiteral("Dee")), 2);
}

void TestJoining::nickCollisionIsRefused()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    QVERIFY(ann);
    const int annPort = ann->gClient->LocalPort();

    for (const QString &nick : {kAnn, kHank}) {
        TmainFrm *late = t.newWindow();
        t.connectGuest(late, nick);
        QVERIFY(t.waitFor([&] { return t.messagesOf(late).size() >= 2; }));
        // The closing of the connection tells the host name, the refusal its reason.
        const ShownMessage refusal = boxWithText(t.messagesOf(late), QStringLiteral(" Nick Collision ! Please change your nick !"));
        QCOMPARE(refusal.icon, QMessageBox::Critical);
        QVERIFY(!refusal.connected);
        QCOMPARE(t.messagesOf(late).size(), 2);
        QVERIFY(!boxWithText(t.messagesOf(late), QStringLiteral(" Disconnected from 127.0.0.1 : ")
                                                   + QString::number(late->st.myPort)).text.isEmpty());
        QVERIFY(!late->gClient->Active());
        QVERIFY(late->mnuSetting->isEnabled());
        t.closeWindow(late);
    }
    // The host has seen both refused connections go, and Ann has everything it sent her until now.
    QVERIFY(t.waitFor([&] { return h->gHost->ClientCount() == 1; }));
    QVERIFY(t.roundTrip(ann));
    QCOMPARE(h->roster.seatCount(), 2);
    QCOMPARE(h->roster.user(3).port, annPort);
    QVERIFY(ann->gClient->Active());
    QVERIFY(t.tableShown());
    QVERIFY(t.messagesOf(ann).isEmpty());
}

void TestJoining::runningDealRefusesNewcomer()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    QVERIFY(ann);
    QVERIFY(h->btnNew->isEnabled());
    h->btnNew->click();
    QVERIFY(t.waitFor([&] { return h->st.gameOn && ann->st.gameOn && !h->flow->dealing(); }));

    TmainFrm *late = t.newWindow();
    t.connectGuest(late, kBob);
    QVERIFY(t.waitFor([&] { return t.messageTextsOf(late).contains(QStringLiteral(" Game is started, try later !")); }));
    const ShownMessage refusal = boxWithText(t.messagesOf(late), QStringLiteral(" Game is started, try later !"));
    QCOMPARE(refusal.icon, QMessageBox::Information);
    QVERIFY(!late->gClient->Active());
    QVERIFY(t.waitFor([&] { return h->gHost->ClientCount() == 1; }));

    QVERIFY(t.roundTrip(ann));
    QVERIFY(h->st.gameOn);
    QVERIFY(ann->st.gameOn);
    QCOMPARE(h->roster.seatCount(), 2);
    QVERIFY(t.tableShown());
    QVERIFY(!t.clientTags(ann).contains(Tag::WAITMODE));
}

void TestJoining::versionMismatchAtTheHost()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    QVERIFY(ann);

    // The same version text gets no answer at all.
    RawPeer same;
    same.joinAs(QStringLiteral("Same"));
    QVERIFY(same.connectTo(t.hostPort()));
    QVERIFY(t.waitFor([&] { return h->roster.seatOfNick(QStringLiteral("Same")) > 0; }));
    QVERIFY(t.waitTableShown());
    t.clearTraffic();
    same.socket()->disconnectFromHost();
    QVERIFY(t.waitFor([&] { return h->roster.seatCount() == 2; }));
    QVERIFY(t.waitFor([&] { return t.clientTags(ann).contains(Tag::WAITMODE); }));
    QCOMPARE(same.count(Tag::DIFFVER), 0);
    t.clearTraffic();

    RawPeer old;
    old.joinAs(QStringLiteral("Old"), QStringLiteral("Quadrix v1.10"));
    QVERIFY(old.connectTo(t.hostPort()));
    QVERIFY(old.waitTag(Tag::DIFFVER));
    const HubMessage diff = old.got.last();
    QCOMPARE(diff.Protocol, Tag::DIFFVER);
    QCOMPARE(diff.value[0], kVersionText);
    // A guest of another version leaves when told; until then it may be seated.
    old.socket()->disconnectFromHost();
    QVERIFY(t.waitFor([&] { return h->roster.seatOfNick(QStringLiteral("Old")) == -1; }));
    QVERIFY(t.waitTableShown());
    QCOMPARE(h->roster.seatCount(), 2);
    QCOMPARE(h->roster.seatOfNick(kAnn), 3);
    QVERIFY(t.waitFor([&] { return t.clientTags(ann).contains(Tag::WAITMODE); }));
    QCOMPARE(t.clientTags(ann), QStringList({Tag::USER, Tag::USER, Tag::WAITMODE}));
    const QList<Delivered> users = ofTag(t.clientReceived(ann), Tag::USER);
    QCOMPARE(users.size(), 2);
    QCOMPARE(users[0].value(1), Tag::JOIN);
    QCOMPARE(users[1].value(1), Tag::QUIT);
    QCOMPARE(users[1].value(2), QStringLiteral("Old"));
}

void TestJoining::clientShowsEachRefusal_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    QTest::newRow("ongame") << Tag::ONGAME << QStringLiteral(" Game is started, try later !")
                            << int(QMessageBox::Information);
    QTest::newRow("full") << Tag::FULL << QStringLiteral(" Game is Full, try later !") << int(QMessageBox::Information);
    QTest::newRow("diffver") << Tag::DIFFVER
                             << QStringLiteral(" Different version between server and client detected ! ")
                             << int(QMessageBox::Critical);
    QTest::newRow("chnick") << Tag::CHNICK << QStringLiteral(" Nick Collision ! Please change your nick !")
                            << int(QMessageBox::Critical);
}

void TestJoining::clientShowsEachRefusal()
{
    QFETCH(QString, tag);
    QFETCH(QString, text);
    QFETCH(int, icon);

    // A host that answers the handshake and then refuses.
    QTcpServer fakeHost;
    QVERIFY(fakeHost.listen(QHostAddress::LocalHost, 0));
    RawPeer *conn = nullptr;
    connect(&fakeHost, &QTcpServer::newConnection, &fakeHost, [&] {
        conn = new RawPeer(fakeHost.nextPendingConnection());
        conn->setParent(&fakeHost);
        conn->send(Tag::REQVER);
        conn->send(Tag::REQINFO);
    });

    TableFixture t;
    TmainFrm *g = t.newWindow();
    g->frmSetting->txtNick->setText(kAnn);
    g->frmSetting->txtHOST->setText(QStringLiteral("127.0.0.1"));
    g->frmSetting->txtPort->setText(QString::number(fakeHost.serverPort()));
    g->frmSetting->btnConnect->click();
    QVERIFY(t.waitFor([&] { return conn && conn->count(Tag::REQJOIN) > 0; }));
    QCOMPARE(conn->got.size(), 2);
    QCOMPARE(conn->got[0].Protocol, Tag::CHKVER);
    QCOMPARE(conn->got[0].value[0], kVersionText);
    QCOMPARE(conn->got[1].value[0], kAnn);
    QVERIFY(g->txtWait->isVisible());

    conn->send(tag, tag == Tag::DIFFVER ? QStringLiteral("Quadrix v2.00") : QString());
    QVERIFY(t.waitFor([&] { return t.messageTextsOf(g).contains(text); }));
    const ShownMessage refusal = boxWithText(t.messagesOf(g), text);
    QCOMPARE(refusal.text, text);
    QCOMPARE(int(refusal.icon), icon);
    QCOMPARE(refusal.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!refusal.connected); // closed before the player is told
    QVERIFY(!g->gClient->Active());
    QVERIFY(g->mnuSetting->isEnabled());
    QVERIFY(t.waitFor([&] { return conn->closed(); }));
}

void TestJoining::pingCheckDropsSilentGuestOnly()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    QVERIFY(ann);
    // A hung program: seated, then silent.
    RawPeer mute;
    mute.joinAs(QStringLiteral("Mute"));
    QVERIFY(mute.connectTo(t.hostPort()));
    // A guest that answers for itself and also tries to answer for the silent one.
    RawPeer helper;
    helper.joinAs(QStringLiteral("Helper"));
    QVERIFY(helper.connectTo(t.hostPort()));
    QVERIFY(t.waitFor([&] { return h->roster.isFull(); }));
    QVERIFY(t.waitTableShown());
    helper.onMessage = [&helper](const HubMessage &m) {
        if (m.Protocol == Tag::PING)
            helper.send(Tag::PONG, QStringLiteral("Mute")); // after its own answer
    };
    mute.setAnswerPings(false);
    t.clearTraffic();

    h->Timer1->setInterval(1500);
    QVERIFY(h->btnPing->isEnabled());
    h->btnPing->click();
    QVERIFY(!h->btnPing->isEnabled());
    QVERIFY(t.waitFor([&] { return mute.closed(); }, 4000));
    QVERIFY(t.waitFor([&] { return h->roster.seatOfNick(QStringLiteral("Mute")) == -1; }));
    QVERIFY(h->btnPing->isEnabled());
    QVERIFY(!helper.closed());
    QVERIFY(ann->gClient->Active());
    QCOMPARE(h->roster.seatOfNick(kAnn), 3);
    QVERIFY(h->roster.seatOfNick(QStringLiteral("Helper")) > 0);
    QVERIFY(t.waitTableShown());
    QVERIFY(t.waitFor([&] { return t.clientTags(ann).contains(Tag::WAITMODE); }));
    QCOMPARE(t.clientTags(ann), QStringList({Tag::PING, Tag::USER, Tag::WAITMODE}));
    QCOMPARE(t.clientReceived(ann)[1].value(2), QStringLiteral("Mute"));
}

void TestJoining::stopGameAsksFirst()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    QVERIFY(ann);
    h->btnNew->click();
    QVERIFY(t.waitFor([&] { return h->st.gameOn && ann->st.gameOn && !h->flow->dealing(); }));
    QVERIFY(t.waitFor([&] { return h->st.turnSeat > 0; }));
    QVERIFY(h->btnStop->isEnabled());
    const int turn = h->st.turnSeat;
    t.clearTraffic();

    t.setAnswer(QMessageBox::No);
    h->btnStop->click();
    QCOMPARE(t.messagesOf(h).size(), 1);
    QCOMPARE(t.messagesOf(h)[0].text, QStringLiteral("Are you sure , you want to STOP current game ?"));
    QCOMPARE(t.messagesOf(h)[0].icon, QMessageBox::Warning);
    QCOMPARE(t.messagesOf(h)[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(t.roundTrip(ann));
    QVERIFY(h->st.gameOn);
    QCOMPARE(h->st.turnSeat, turn);
    QVERIFY(!h->txtWait->isVisible());
    QVERIFY(h->btnStop->isEnabled());
    QVERIFY(ann->st.gameOn);
    QVERIFY(!t.clientTags(ann).contains(Tag::WAITMODE));

    t.setAnswer(QMessageBox::Yes);
    h->btnStop->click();
    QVERIFY(!h->st.gameOn);
    QVERIFY(h->txtWait->isVisible());
    QVERIFY(t.waitFor([&] { return !ann->st.gameOn && ann->txtWait->isVisible(); }));
    QVERIFY(t.clientTags(ann).contains(Tag::WAITMODE));
    QVERIFY(t.tableShown());
}

void TestJoining::hostIgnoresHostOnlyTagsFromClients()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    TmainFrm *bob = t.join(kBob);
    QVERIFY(ann && bob);
    t.clearTraffic();

    // Ann's program sends what only a host may say.
    TwsHUBcli *c = ann->gClient;
    const QString bobPort = QString::number(bob->gClient->LocalPort());
    c->Send(Tag::CREDIT, QStringLiteral("0"), kHank, QStringLiteral("0"));
    c->Send(Tag::CREDIT, bobPort, kBob, QStringLiteral("-5"));
    c->Send(Tag::USER, Tag::JOIN, QStringLiteral("Ghost"), QStringLiteral("10.0.0.9"), QStringLiteral("999"),
            QStringLiteral("4"), {});
    c->Send(Tag::USER, Tag::QUIT, kBob, QStringLiteral("127.0.0.1"), bobPort, QStringLiteral("2"), {});
    c->Send(Tag::NEWGAME, {}, {}, {});
    c->Send(Tag::WHOSETURN, QStringLiteral("0"), kHank, {});
    c->Send(Tag::CARD, QStringLiteral("0"), kHank, QStringLiteral("1"), QStringLiteral("11"), {}, {});
    c->Send(Tag::WAITMODE, {}, {}, {});
    c->Send(Tag::CHNICK, {}, {}, {});
    c->Send(Tag::CHAT, kAnn, QStringLiteral("done"), {});
    QVERIFY(t.waitFor([&] { return chatShows(bob, QStringLiteral("<Ann> done")); }));
    QVERIFY(chatShows(h, QStringLiteral("<Ann> done")));

    QVERIFY(h->gHost->Active());
    QVERIFY(bob->gClient->Active());
    for (TmainFrm *w : {h, ann, bob})
        QVERIFY2(t.messagesOf(w).isEmpty(), qPrintable(t.messageTextsOf(w).join(QLatin1Char('|'))));
    QCOMPARE(h->roster.seatCount(), 3);
    QCOMPARE(h->roster.seatOfNick(QStringLiteral("Ghost")), -1);
    QCOMPARE(h->roster.user(1).credit, 1000);
    QVERIFY(t.tableShown());
    for (TmainFrm *w : {h, ann, bob}) {
        QVERIFY(!w->st.gameOn);
        QCOMPARE(w->st.turnSeat, 0);
        QVERIFY(!w->imgTurn->isVisible());
        for (int s = 1; s <= 3; ++s)
            if (!TableFixture::shownNick(w, s).isEmpty())
                QCOMPARE(w->pointLabel(s)->text(), QStringLiteral("1000"));
    }
    // Nothing of it was passed on: Bob heard only the genuine line.
    QCOMPARE(t.clientTags(bob), QStringList({Tag::CHAT}));

    // The host's own announcements to its own screen still work.
    h->router->dispatchGameMessage(QStringLiteral("127.0.0.1"), 0, Tag::CREDIT, QStringLiteral("0"), kHank,
                                   QStringLiteral("1234"), {}, {}, {});
    QCOMPARE(h->pointLabel(1)->text(), QStringLiteral("1234"));
}

void TestJoining::hostIgnoresImpersonation()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    TmainFrm *bob = t.join(kBob);
    QVERIFY(ann && bob);
    QVERIFY(dealAndHold(h, {ann, bob}));
    const int turn = h->st.turnSeat;
    const int start = h->st.startSeat;
    t.clearTraffic();

    TwsHUBcli *c = ann->gClient;
    const QString annPort = QString::number(ann->gClient->LocalPort());
    c->Send(Tag::CHAT, kBob, QStringLiteral("I am Bob"), {});
    c->Send(Tag::THROW, QStringLiteral("0"), kHank, QStringLiteral("0"), {}, {}, {});
    c->Send(Tag::iSTART, QStringLiteral("0"), kHank, {});
    c->Send(Tag::GAMEOVER, QStringLiteral("0"), kHank, {});
    c->Send(Tag::GAMEOVER, annPort, kBob, {});
    c->Send(Tag::CHAT, kAnn, QStringLiteral("done"), {});
    QVERIFY(t.waitFor([&] { return chatShows(bob, QStringLiteral("<Ann> done")); }));

    for (TmainFrm *w : {h, ann, bob}) {
        QVERIFY(!chatShows(w, QStringLiteral("<Bob> I am Bob")));
        QVERIFY(w->st.gameOn);
        QVERIFY(!w->txtWhoThrow->text().contains(QStringLiteral("WIN")));
        for (int s = 1; s <= 4; ++s)
            QVERIFY(!w->passLabel(s)->isVisible());
        QVERIFY2(t.messagesOf(w).isEmpty(), qPrintable(t.messageTextsOf(w).join(QLatin1Char('|'))));
    }
    QCOMPARE(h->st.turnSeat, turn);
    QCOMPARE(h->st.startSeat, start);
    QCOMPARE(t.clientTags(bob), QStringList({Tag::CHAT}));
}

void TestJoining::clientWinEndsDealOnEveryCopy()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    TmainFrm *bob = t.join(kBob);
    QVERIFY(ann && bob);
    QVERIFY(dealAndHold(h, {ann, bob}));
    t.clearTraffic();

    // Ann has thrown her last card, as the host's table knows; her copy announces the win.
    h->table.setHand(h->roster.seatOfNick(kAnn), {});
    ann->router->sendToTable(Tag::GAMEOVER, QString::number(ann->st.myPort), kAnn);
    QVERIFY(t.waitFor([&] { return !h->st.gameOn && !bob->st.gameOn; }));
    const QString winLine = QStringLiteral(" Ann WIN !");
    QVERIFY(t.waitFor([&] { return bob->txtWhoThrow->text() == winLine; }));
    QCOMPARE(h->txtWhoThrow->text(), winLine);
    const QList<Delivered> relayed = ofTag(t.clientReceived(bob), Tag::GAMEOVER);
    QCOMPARE(relayed.size(), 1);
    QCOMPARE(relayed[0].value(1), QString::number(ann->gClient->LocalPort()));
    QCOMPARE(relayed[0].value(2), kAnn);
    QCOMPARE(ofTag(t.clientReceived(ann), Tag::GAMEOVER).size(), 0);
    // Bob, who did not win, is not offered the next deal.
    QVERIFY(!bob->btnNew->isEnabled());

    // A second claim after the end settles nothing more.
    QVERIFY(t.waitFor([&] { return ofTag(t.clientReceived(bob), Tag::CREDIT).size() == 4; }));
    const int hankCredit = h->roster.user(1).credit;
    bob->router->sendToTable(Tag::GAMEOVER, QString::number(bob->st.myPort), kBob);
    bob->router->sendToTable(Tag::CHAT, kBob, QStringLiteral("done"));
    QVERIFY(t.waitFor([&] { return chatShows(h, QStringLiteral("<Bob> done")); }));
    QCOMPARE(h->roster.user(1).credit, hankCredit);
    QCOMPARE(h->txtWhoThrow->text(), winLine);
}

void TestJoining::secondJoinFromSeatedConnectionIgnored()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    TmainFrm *bob = t.join(kBob);
    QVERIFY(ann && bob);
    t.clearTraffic();

    ann->gClient->Send(Tag::REQJOIN, QStringLiteral("Ann2"), {}, {});
    ann->gClient->Send(Tag::REQJOIN, kAnn, {}, {});
    ann->gClient->Send(Tag::CHAT, kAnn, QStringLiteral("done"), {});
    QVERIFY(t.waitFor([&] { return chatShows(bob, QStringLiteral("<Ann> done")); }));
    // Whatever the host answered Ann's requests is in before the answer to its ping.
    QVERIFY(t.roundTrip(ann));

    QCOMPARE(h->roster.seatCount(), 3);
    QCOMPARE(h->roster.seatOfNick(QStringLiteral("Ann2")), -1);
    QCOMPARE(h->roster.seatOfNick(kAnn), 3);
    QVERIFY(ann->gClient->Active());
    QCOMPARE(t.clientTags(ann), QStringList({Tag::PING}));
    QCOMPARE(t.clientTags(bob), QStringList({Tag::CHAT}));
    QVERIFY(t.tableShown());
}

void TestJoining::barePeersDoNotDisturbTable()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    QVERIFY(ann);
    t.clearTraffic();

    RawPeer silent;
    QVERIFY(silent.connectTo(t.hostPort()));
    RawPeer noisy;
    QVERIFY(noisy.connectTo(t.hostPort()));
    QVERIFY(t.waitFor([&] { return h->gHost->ClientCount() == 3; }));
    QVERIFY(noisy.waitTag(Tag::REQINFO));
    const QString noisyPort = QString::number(noisy.socket()->localPort());
    noisy.socket()->write(QByteArray("GET / HTTP/1.0\r\n\r\n\x00\xff\x01\x02\x02", 24));
    noisy.send(QStringLiteral("[NOSUCHTAG]"), QStringLiteral("x"));
    noisy.send(Tag::NEXTGAME);
    noisy.send(Tag::SMALLESTCARD, QStringLiteral("31"));
    noisy.send(Tag::THROW, noisyPort, kHank, QStringLiteral("1"), QStringLiteral("11#"));
    noisy.send(Tag::SYSTEM, QStringLiteral("[*] Hank leave chat"));
    noisy.send(Tag::PASS);
    noisy.send(Tag::REQJOIN, {});
    noisy.send(Tag::PONG, kAnn);
    noisy.send(Tag::CHKVER, kVersionText);
    noisy.socket()->write(QByteArray(3000, '\x03'));
    noisy.socket()->write(QByteArray("\x01\x02[CHAT]\x02\x04", 10)); // cut in the middle
    // Noisy stops sending but keeps listening: the host reads all of it before the end of the stream,
    // closes its side then, and noisy hears whatever the host said to it before.
    noisy.socket()->flush();
    QCOMPARE(::shutdown(int(noisy.socket()->socketDescriptor()), SHUT_WR), 0);
    QVERIFY(t.waitFor([&] { return noisy.closed(); }));
    QVERIFY(t.roundTrip(ann));

    QVERIFY(h->gHost->Active());
    QVERIFY(ann->gClient->Active());
    QVERIFY(!h->st.gameOn);
    QVERIFY(!h->flow->dealing());
    QCOMPARE(h->roster.seatCount(), 2);
    QVERIFY(h->chatLog->toPlainText().isEmpty());
    QVERIFY(ann->chatLog->toPlainText().isEmpty());
    QVERIFY(!h->passLabel(1)->isVisible());
    QVERIFY(t.tableShown());
    QCOMPARE(t.clientTags(ann), QStringList({Tag::PING}));
    for (TmainFrm *w : {h, ann})
        QVERIFY2(t.messagesOf(w).isEmpty(), qPrintable(t.messageTextsOf(w).join(QLatin1Char('|'))));
    QCOMPARE(noisy.got.size(), 2); // only the handshake it was offered on connecting

    // Once the silent one goes too, a real guest still gets the next seat.
    silent.socket()->disconnectFromHost();
    QVERIFY(t.waitFor([&] { return h->gHost->ClientCount() == 1; }));
    QVERIFY(!t.clientTags(ann).contains(Tag::WAITMODE)); // no seat was freed, so no deal was called off
    TmainFrm *bob = t.join(kBob);
    QVERIFY(bob);
    QCOMPARE(h->roster.seatOfNick(kBob), 2);
}

void TestJoining::lateJoinRequestsAreRefused()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    h->gHost->setMaxClient(4); // room for one connection more than there are free seats
    TmainFrm *ann = t.join(kAnn);
    TmainFrm *bob = t.join(kBob);
    QVERIFY(ann && bob);

    // Offered a seat, but slower to ask than the next guest.
    RawPeer slow;
    QVERIFY(slow.connectTo(t.hostPort()));
    QVERIFY(slow.waitTag(Tag::REQINFO));
    TmainFrm *cy = t.join(QStringLiteral("Cy"));
    QVERIFY(cy);
    QVERIFY(h->roster.isFull());
    t.clearTraffic();
    slow.send(Tag::REQJOIN, QStringLiteral("Slow"));
    QVERIFY(slow.waitTag(Tag::FULL));
    QCOMPARE(h->roster.seatOfNick(QStringLiteral("Slow")), -1);

    // A seat frees and a deal starts before the request comes: nobody sits down in a running deal.
    cy->mnuDisconn->trigger();
    QVERIFY(t.waitFor([&] { return !h->roster.isFull(); }));
    QVERIFY(t.waitTableShown());
    QVERIFY(dealAndHold(h, {ann, bob}));
    t.clearTraffic();
    slow.send(Tag::REQJOIN, QStringLiteral("Slow"));
    QVERIFY(slow.waitTag(Tag::ONGAME));
    QVERIFY(t.roundTrip(ann));
    QCOMPARE(h->roster.seatOfNick(QStringLiteral("Slow")), -1);
    QCOMPARE(h->roster.seatCount(), 3);
    QVERIFY(h->st.gameOn && ann->st.gameOn && bob->st.gameOn);
    QVERIFY(!t.clientTags(ann).contains(Tag::USER));
    QVERIFY(t.tableShown());
}

void TestJoining::malformedMessagesIgnored()
{
    // A client's copy, seated by hand: the host's word is applied only when it makes sense.
    TableFixture t;
    TmainFrm *w = t.newWindow();
    w->st.myNick = kAnn;
    QVERIFY(w->flow->seatPlayer(kAnn, QStringLiteral("127.0.0.1"), 5001, 3));
    QVERIFY(w->flow->seatPlayer(kHank, QStringLiteral("127.0.0.1"), 0, 1));
    QVERIFY(w->flow->seatPlayer(kBob, QStringLiteral("127.0.0.1"), 5002, 2));
    auto arrive = [w](const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
                      const QString &v4 = {}, const QString &v5 = {}) {
        w->router->gClientDataArrived(QStringLiteral("127.0.0.1"), 110, tag, v1, v2, v3, v4, v5, {});
    };
    const QString ip = QStringLiteral("127.0.0.1");

    arrive(Tag::USER, Tag::JOIN, QStringLiteral("Zed"), ip, QStringLiteral("abc"), QStringLiteral("4"));
    arrive(Tag::USER, Tag::JOIN, QStringLiteral("Zed"), ip, QStringLiteral("5003"), QStringLiteral("4x"));
    arrive(Tag::USER, Tag::JOIN, QStringLiteral("Zed"), ip, QStringLiteral("5003"), {});
    arrive(Tag::USER, QStringLiteral("[KICK]"), kBob, ip, QStringLiteral("5002"), QStringLiteral("2"));
    QCOMPARE(w->roster.seatOfNick(QStringLiteral("Zed")), -1);
    QCOMPARE(w->roster.seatCount(), 3);

    arrive(Tag::CARD, QStringLiteral("5001"), kAnn, QStringLiteral("one"), QStringLiteral("11"));
    arrive(Tag::GAMEOVER, QStringLiteral("x"), kHank);
    arrive(Tag::GAMEOVER, QStringLiteral("0"), QStringLiteral("Nobody"));
    arrive(Tag::WHOSETURN, QStringLiteral("0"), QStringLiteral("Nobody"));
    arrive(Tag::THROW, QStringLiteral("0"), kHank, QStringLiteral("many"), {});
    arrive(Tag::THROW, QStringLiteral("0"), QStringLiteral("Nobody"), QStringLiteral("0"), {});
    arrive(Tag::iSTART, QStringLiteral("0"), QStringLiteral("Nobody"));
    arrive(Tag::CREDIT, QStringLiteral("0"), QStringLiteral("Nobody"), QStringLiteral("0"));
    arrive(QStringLiteral("[NOSUCHTAG]"), kHank);
    arrive(QString());
    QCOMPARE(w->txtWhoThrow->text().contains(QStringLiteral("WIN")), false);
    QCOMPARE(w->st.turnSeat, 0);
    QCOMPARE(w->st.startSeat, 0);
    for (int s = 1; s <= 4; ++s)
        QVERIFY(!w->passLabel(s)->isVisible());
    QVERIFY(t.messagesOf(w).isEmpty());

    // A departure is found by its nick alone: broken numbers do not keep a player at the table.
    arrive(Tag::USER, Tag::QUIT, kBob, ip, QStringLiteral("junk"), QStringLiteral("junk"));
    QCOMPARE(w->roster.seatOfNick(kBob), -1);
    QCOMPARE(w->nickLabel(4)->text(), kEmptySeatText);
    // A well-formed join still seats.
    arrive(Tag::USER, Tag::JOIN, QStringLiteral("Zed"), ip, QStringLiteral("5003"), QStringLiteral("4"));
    QCOMPARE(w->roster.seatOfNick(QStringLiteral("Zed")), 4);
    QCOMPARE(TableFixture::shownNick(w, 2), QStringLiteral("Zed"));
}

void TestJoining::clientLinesAreRelayed()
{
    TableFixture t;
    TmainFrm *h = t.newWindow();
    QVERIFY(t.host(h, kHank));
    TmainFrm *ann = t.join(kAnn);
    TmainFrm *bob = t.join(kBob);
    QVERIFY(ann && bob);
    t.clearTraffic();

    ann->router->sendToTable(Tag::SYSTEM, QStringLiteral("[*] Ann enter chat"));
    ann->router->sendToTable(Tag::PASS, QStringLiteral("x"));
    ann->router->sendToTable(Tag::CHAT, kAnn, QStringLiteral(" hello & <b>"));
    QVERIFY(t.waitFor([&] { return chatShows(bob, QStringLiteral("<Ann>  hello & <b>")); }));
    QVERIFY(chatShows(h, QStringLiteral("[*] Ann enter chat")));
    QVERIFY(chatShows(bob, QStringLiteral("[*] Ann enter chat")));
    QCOMPARE(t.clientTags(bob), QStringList({Tag::SYSTEM, Tag::PASS, Tag::CHAT}));
    QCOMPARE(t.clientReceived(bob)[1].value(1), QStringLiteral("x"));
    QVERIFY(t.clientTags(ann).isEmpty()); // nothing comes back to the sender

    // The host's own line goes to every client.
    h->router->sendToTable(Tag::CHAT, kHank, QStringLiteral("hi"));
    QVERIFY(t.waitFor([&] { return chatShows(ann, QStringLiteral("<Hank> hi")) && chatShows(bob, QStringLiteral("<Hank> hi")); }));
}

QTEST_MAIN(TestJoining)
#include "tst_joining_gui.moc"
