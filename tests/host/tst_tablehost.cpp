// The table host without a window: whole deals over TCP, the referee, the deadline, rejoining, and
// the server program itself.
#include "cards/cardcode.h"
#include "client/clienttable.h"
#include "game/fairdeal.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "hub/hubserver.h"
#include "net/hubdialer.h"
#include "net/hublistener.h"
#include "net/localpipe.h"
#include "support/localtable.h"
#include "support/scriptedguest.h"
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <csignal>
#include <memory>

using namespace Stress;

namespace {

// A player's end of an in-process pair that keeps what it hears.
struct LocalGuest
{
    LocalConnection *end = nullptr;
    QList<HubMessage> got;
    int count(const QString &tag) const
    {
        return int(std::count_if(got.begin(), got.end(), [&](const HubMessage &m) { return m.Protocol == tag; }));
    }
    QStringList tags() const
    {
        QStringList t;
        for (const HubMessage &m : got)
            t << m.Protocol;
        return t;
    }
};


// Seat 1 gets the four 2s; the rest of the deck goes round in suit order.
std::array<QStringList, 5> handsWithFourTwos()
{
    std::array<QStringList, 5> hands;
    hands[1] = {QStringLiteral("12"), QStringLiteral("22"), QStringLiteral("32"), QStringLiteral("42")};
    int next = 2;
    for (int suit = 1; suit <= 4; ++suit)
        for (int rank = 1; rank <= 13; ++rank) {
            if (rank == 2)
                continue;
            while (hands[size_t(next)].size() == 13)
                next = next % 4 + 1;
            hands[size_t(next)] << QString::number(suit) + QString::number(rank);
            next = next % 4 + 1;
        }
    return hands;
}

// A guest that checks the deal by hand: it announces the feature and recomputes the deck from the wire.
struct CheckingGuest
{
    RawPeer peer;
    QString nick;
    QString capsSent = QStringLiteral("dealcheck#");
    explicit CheckingGuest(const QString &n) : nick(n)
    {
        peer.onMessage = [this](const HubMessage &m) {
            if (m.Protocol == Tag::REQVER)
                peer.send(Tag::CHKVER, kVersionText);
            else if (m.Protocol == Tag::PING)
                peer.send(Tag::PONG, nick);
        };
    }
    // The first message with the tag and value1 from index from on, or nothing.
    const HubMessage *find(const QString &tag, const QString &v1 = {}, int from = 0) const
    {
        for (int i = from; i < peer.got.size(); ++i)
            if (peer.got.at(i).Protocol == tag && (v1.isEmpty() || peer.got.at(i).value[0] == v1))
                return &peer.got.at(i);
        return nullptr;
    }
    int indexOf(const QString &tag, const QString &v1 = {}) const
    {
        const HubMessage *m = find(tag, v1);
        return m ? int(m - peer.got.constData()) : -1;
    }
    // This deal's own cards by hand position, as the host sent them.
    QStringList cards(int from) const
    {
        QStringList hand(13);
        for (int i = from; i < peer.got.size(); ++i)
            if (peer.got.at(i).Protocol == Tag::CARD)
                hand[peer.got.at(i).value[2].toInt() - 1] = peer.got.at(i).value[3];
        return hand;
    }
};

} // namespace

class TstTableHost : public QObject
{
    Q_OBJECT

    // Four in-process guests seated at an ownerless table, in the order they join.
    std::array<LocalGuest, 4> seatLocals(TableHost &host)
    {
        std::array<LocalGuest, 4> guests;
        for (int i = 0; i < 4; ++i) {
            auto [hostEnd, playerEnd] = LocalConnection::createPair(&host, this);
            guests[size_t(i)].end = playerEnd;
            connect(playerEnd, &Connection::message, this,
                    [g = &guests[size_t(i)]](const HubMessage &m) { g->got << m; });
            host.addConnection(hostEnd);
            playerEnd->send(Tag::REQJOIN, QStringLiteral("P%1").arg(i));
        }
        return guests;
    }

private slots:
    void fourGuestsPlayWholeDealsOverTcp()
    {
        HubListener listener;
        TableHost host;
        host.setFirstDealDelayMs(50);
        QSignalSpy refusals(&host, &TableHost::refused);
        connect(&listener, &HubListener::newConnection, &host, &TableHost::addConnection);
        QVERIFY(listener.listen(0));
        std::vector<std::unique_ptr<ScriptedGuest>> guests;
        for (const char *nick : {"Ann", "Bob", "Cy", "Di"}) {
            guests.push_back(std::make_unique<ScriptedGuest>(QString::fromLatin1(nick)));
            QVERIFY(guests.back()->join(listener.port()));
            QTRY_COMPARE(host.seatedCount(), int(guests.size()));
        }
        // Guests take the seats opposite first, then the gaps; seat 1 last.
        QCOMPARE(host.roster().seatOfNick(QStringLiteral("Ann")), 3);
        QCOMPARE(host.roster().seatOfNick(QStringLiteral("Di")), 1);

        // The first deal starts by itself; each winner asks for the next one.
        QTRY_VERIFY_WITH_TIMEOUT(host.dealsStarted() >= 3, 60000);
        QCOMPARE(refusals.count(), 0);
        int total = 0;
        for (int s = 1; s <= 4; ++s)
            total += host.roster().user(s).credit;
        QCOMPARE(total, 4000);
        for (const auto &g : guests) {
            QCOMPARE(g->turnsBeforeMove, 0);
            QTRY_VERIFY(g->winners.size() >= 2); // the host is ahead of what its queues have delivered
            QCOMPARE(g->winners.mid(0, 2), guests.front()->winners.mid(0, 2));
        }
    }

    void clientModelsAgreeWithTheHostAfterEveryMove()
    {
        LocalTable t({QStringLiteral("Own"), QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")}, true);
        t.setAutoPlay(true);
        QSignalSpy refusals(&t.host, &TableHost::refused);
        QTRY_VERIFY(t.allSeated());
        QCOMPARE(t.player(QStringLiteral("Own"))->mySeat(), 1);
        QCOMPARE(t.player(QStringLiteral("Ann"))->mySeat(), 3);
        // Each time the last copy has taken a move and the turn after it, every copy shows what the host holds.
        int checked = 0;
        const auto probe = [&] {
            const auto settled = std::all_of(t.players.begin(), t.players.end(), [&](const auto &p) {
                return p->table().moves().size() == t.host.table().moves().size()
                       && p->turnSeat() == t.host.table().toMove();
            });
            if (!settled || t.host.phase() != TableHost::Phase::Playing)
                return;
            QCOMPARE(t.disagreement(), QString());
            ++checked;
        };
        for (const auto &p : t.players) {
            connect(p.get(), &ClientTable::moved, this, probe);
            connect(p.get(), &ClientTable::turnChanged, this, probe);
        }
        QVERIFY(t.host.deal());
        QTRY_VERIFY_WITH_TIMEOUT(t.host.dealsStarted() >= 3, 20000);
        QVERIFY(checked > 50);
        QVERIFY2(refusals.count() <= t.dealtWins(), qPrintable(refusals.value(0).value(0).toString()));
        int total = 0;
        for (int s = 1; s <= 4; ++s) {
            total += t.host.roster().user(s).credit;
            QTRY_COMPARE(t.playerAt(1)->credit(s), t.host.roster().user(s).credit);
        }
        QCOMPARE(total, 4000);
    }

    void refereeRefusesFalseClaimsAndRelaysMovesBeforeTheTurn()
    {
        TableHost host;
        host.setNextDealDelayMs(60000);
        QSignalSpy refusals(&host, &TableHost::refused);
        std::array<LocalGuest, 4> g = seatLocals(host);
        QTRY_COMPARE(host.seatedCount(), 4);
        host.setClaimWaitMs(60000); // a hand that wins as dealt is left unclaimed here
        QVERIFY(host.deal());
        QVERIFY(!host.deal()); // one deal at a time
        const int leader = host.table().toMove();
        QVERIFY(leader != 0);
        LocalGuest &mover = g[size_t(host.roster().user(leader).nick.mid(1).toInt())];
        LocalGuest &other = g[size_t(host.roster().user(host.table().seatAfter(leader)).nick.mid(1).toInt())];
        const QString moverNick = host.roster().user(leader).nick;
        const QString otherNick = host.roster().user(host.table().seatAfter(leader)).nick;
        const QString card = host.table().hand(leader).first();
        const QString notHeld = host.table().hand(host.table().seatAfter(leader)).first();

        other.end->send(Tag::THROW, QStringLiteral("0"), otherNick, QStringLiteral("1"), notHeld + '#');
        mover.end->send(Tag::THROW, QStringLiteral("0"), moverNick, QStringLiteral("1"), notHeld + '#');
        mover.end->send(Tag::THROW, QStringLiteral("0"), moverNick, QStringLiteral("2"), card + '#');
        mover.end->send(Tag::THROW, QStringLiteral("0"), otherNick, QStringLiteral("0"), QString());
        mover.end->send(Tag::GAMEOVER, QStringLiteral("0"), moverNick);
        mover.end->send(Tag::iSTART, QStringLiteral("0"), moverNick);
        mover.end->send(Tag::NEXTGAME);
        mover.end->send(Tag::CARD, QStringLiteral("0"), moverNick, QStringLiteral("1"), QStringLiteral("11"));
        // The honest move, then a chat line as a sentinel: whatever was relayed has come before it.
        mover.end->send(Tag::THROW, QStringLiteral("0"), moverNick, QStringLiteral("1"), card + '#');
        mover.end->send(Tag::CHAT, moverNick, QStringLiteral("sentinel"));
        QTRY_COMPARE(other.count(Tag::CHAT), 1);
        QCOMPARE(refusals.count(), 7);
        QCOMPARE(other.count(Tag::THROW), 1);
        QCOMPARE(other.count(Tag::GAMEOVER) + other.count(Tag::iSTART) + other.count(Tag::NEWGAME), 1);
        const QStringList tags = other.tags();
        QCOMPARE(tags.mid(tags.lastIndexOf(Tag::THROW), 3), (QStringList{Tag::THROW, Tag::WHOSETURN, Tag::CHAT}));
        QCOMPARE(host.table().cardCount(leader), 12);

        // The player who stalls is passed for; the hand that won as dealt is claimed in its name.
        host.setTurnDeadlineMs(30);
        host.setClaimWaitMs(30);
        host.stopDeal();
        QTRY_COMPARE(other.count(Tag::WAITMODE), 1);
        host.setNextDeck(stackedDeck(handsWithFourTwos()));
        QVERIFY(host.deal());
        QTRY_COMPARE(host.phase(), TableHost::Phase::DealOver);
        const HubMessage over = other.got.at(other.tags().lastIndexOf(Tag::GAMEOVER));
        QCOMPARE(over.value[1], host.roster().user(1).nick);
        QCOMPARE(host.roster().user(1).credit, 1000 - 39 + 4 * 39);
        QCOMPARE(host.roster().user(2).credit, 1000 - 39);
    }

    void deadlinePassesForAStalledPlayer()
    {
        TableHost host;
        host.setTurnDeadlineMs(30);
        std::array<LocalGuest, 4> g = seatLocals(host);
        QTRY_COMPARE(host.seatedCount(), 4);
        host.setNextDeck(stackedDeck(handsWithFourTwos()));
        host.setClaimWaitMs(60000); // the claim is left to nobody: the deal runs on passes
        QVERIFY(host.deal());
        const int first = host.table().toMove();
        QTRY_VERIFY(host.table().toMove() != first);
        QTRY_VERIFY(g[0].count(Tag::THROW) >= 1);
        const HubMessage pass = g[0].got.at(g[0].tags().indexOf(Tag::THROW));
        QCOMPARE(pass.value[1], host.roster().user(first).nick);
        QCOMPARE(pass.value[2], QStringLiteral("0"));
    }

    void aDroppedGuestTakesItsSeatBackWithItsKey()
    {
        HubListener listener;
        TableHost host;
        host.setFirstDealDelayMs(20);
        connect(&listener, &HubListener::newConnection, &host, &TableHost::addConnection);
        QVERIFY(listener.listen(0));
        std::vector<std::unique_ptr<ScriptedGuest>> guests;
        for (const char *nick : {"Ann", "Bob", "Cy", "Di"}) {
            guests.push_back(std::make_unique<ScriptedGuest>(QString::fromLatin1(nick)));
            guests.back()->askNextDeal = false;
            QVERIFY(guests.back()->join(listener.port()));
        }
        QTRY_COMPARE(host.phase(), TableHost::Phase::Playing);
        // Nobody plays on: the deal stands still while Ann is away.
        host.setTurnDeadlineMs(60000);
        for (auto &guest : guests)
            guest->peer.onMessage = {};
        RawPeer &ann = guests[0]->peer;
        QTRY_VERIFY(ann.count(Tag::SEATKEY) == 1);
        const QString key = ann.got.at(int(std::find_if(ann.got.begin(), ann.got.end(), [](const HubMessage &m) {
                                               return m.Protocol == Tag::SEATKEY;
                                           }) - ann.got.begin()))
                                .value[0];
        ann.reset();
        QVERIFY(guests[1]->peer.waitTag(Tag::AWAY));

        RawPeer impostor;
        QVERIFY(impostor.connectTo(listener.port()));
        QVERIFY(impostor.waitTag(Tag::REQINFO));
        impostor.send(Tag::REJOIN, QStringLiteral("Ann"), QString(key).replace(0, 1, key.at(0) == '0' ? "1" : "0"));
        QVERIFY(impostor.waitTag(Tag::CHNICK));
        QTRY_VERIFY(impostor.closed());

        RawPeer back;
        QVERIFY(back.connectTo(listener.port()));
        QVERIFY(back.waitTag(Tag::REQINFO));
        back.send(Tag::REJOIN, QStringLiteral("Ann"), key);
        QVERIFY(back.waitTag(Tag::TABLE, 5000));
        QCOMPARE(back.count(Tag::CARD), host.table().cardCount(3));
        QCOMPARE(back.count(Tag::SEATKEY), 1);
        QVERIFY(back.waitTag(Tag::WHOSETURN));
        QCOMPARE(host.phase(), TableHost::Phase::Playing);
        QVERIFY(!host.roster().user(3).away);

        // The new key may be lost with the connection that brought it: the key Ann came back with
        // still opens the seat.
        back.reset();
        QTRY_VERIFY(host.roster().user(3).away);
        RawPeer again;
        QVERIFY(again.connectTo(listener.port()));
        QVERIFY(again.waitTag(Tag::REQINFO));
        again.send(Tag::REJOIN, QStringLiteral("Ann"), key);
        QVERIFY(again.waitTag(Tag::SEATKEY));
        QVERIFY(!host.roster().user(3).away);
    }

    void guestsCheckEachDealAndCopiesWithoutTheFeatureSeeNothingNew()
    {
        HubListener listener;
        TableHost host;
        host.setFirstDealDelayMs(20);
        host.setNextDealDelayMs(20);
        host.setSeedWaitMs(400);
        host.setTurnDeadlineMs(60000);
        connect(&listener, &HubListener::newConnection, &host, &TableHost::addConnection);
        QVERIFY(listener.listen(0));

        CheckingGuest cy(QStringLiteral("Cy"));
        cy.peer.onMessage = [&cy, base = cy.peer.onMessage](const HubMessage &m) {
            base(m);
            if (m.Protocol == Tag::REQINFO) {
                cy.peer.send(Tag::CAPS, QStringLiteral("dealcheck#nonsense#"));
                cy.peer.send(Tag::REQJOIN, cy.nick);
                cy.peer.send(Tag::CAPS, QString()); // once seated, features are not taken back
            }
        };
        QVERIFY(cy.peer.connectTo(listener.port()));
        QTRY_COMPARE(host.seatedCount(), 1);
        ScriptedGuest di(QStringLiteral("Di")); // a copy that sends no features
        di.askNextDeal = false;
        QVERIFY(di.join(listener.port()));
        QTRY_COMPARE(host.seatedCount(), 2);
        std::vector<std::unique_ptr<ClientTable>> models;
        std::vector<std::unique_ptr<QSignalSpy>> checks;
        for (const char *nick : {"Ann", "Bob"}) {
            auto *dialer = new HubDialer(QStringLiteral("127.0.0.1"), listener.port(), this);
            models.push_back(std::make_unique<ClientTable>(dialer, QString::fromLatin1(nick)));
            dialer->setParent(models.back().get());
            checks.push_back(std::make_unique<QSignalSpy>(models.back().get(), &ClientTable::dealChecked));
            models.back()->start();
            QTRY_COMPARE(host.seatedCount(), int(models.size()) + 2);
        }
        QCOMPARE(host.roster().seatOfNick(QStringLiteral("Cy")), 3);
        QVERIFY(cy.find(Tag::CAPS));
        QCOMPARE(cy.find(Tag::CAPS)->value[0], QStringLiteral("dealcheck#unpaced#resync#"));

        // Deal 1: Cy's ill-formed seed is dropped, its good one counts, a second one and a seed from a
        // copy without the feature change nothing.
        QTRY_VERIFY(cy.find(Tag::DEALHASH, QStringLiteral("1")));
        const QString seed = FairDeal::newSeed();
        cy.peer.send(Tag::DEALSEED, QStringLiteral("1"), QStringLiteral("xyz"));
        cy.peer.send(Tag::DEALSEED, QStringLiteral("1"), seed);
        cy.peer.send(Tag::DEALSEED, QStringLiteral("1"), FairDeal::newSeed());
        di.peer.send(Tag::DEALSEED, QStringLiteral("1"), FairDeal::newSeed());
        QTRY_VERIFY(cy.find(Tag::DEALSEEDS, QStringLiteral("1")));
        const QString seeds = cy.find(Tag::DEALSEEDS)->value[1];
        const std::array<QString, 5> bySeat = *FairDeal::parseSeeds(seeds);
        QCOMPARE(bySeat[3], seed);
        QCOMPARE(bySeat[2], QString());
        QVERIFY(FairDeal::isSeed(bySeat[1]) && FairDeal::isSeed(bySeat[4]));
        QTRY_COMPARE(cy.peer.count(Tag::CARD), 13);
        QVERIFY(cy.indexOf(Tag::DEALSEEDS) < cy.indexOf(Tag::CARD));
        QTRY_COMPARE(host.phase(), TableHost::Phase::Playing);
        host.stopDeal();
        host.setNextDeck(FairDeal::deck(QByteArray(32, '\x01'))); // the next deal starts by itself
        const int before = int(cy.peer.got.size());
        QTRY_VERIFY(cy.find(Tag::DEALKEY, QStringLiteral("1")));
        const std::optional<QByteArray> secret = FairDeal::fromHex(cy.find(Tag::DEALKEY)->value[1], 32);
        QVERIFY(secret);
        QCOMPARE(FairDeal::commitment(*secret), cy.find(Tag::DEALHASH)->value[1]);
        const QStringList deck = FairDeal::deck(FairDeal::dealKey(*secret, 1, seeds));
        QCOMPARE(cy.cards(0), FairDeal::seatCards(deck, 3));
        for (const auto &spy : checks)
            QTRY_COMPARE(spy->value(0).value(0).toString(), QStringLiteral("Deal 1 checked: dealt as committed."));

        // Deal 2, stacked against the commitment; Cy sends no seed, so the host waits its while, and
        // comes back into the deal, where it hears the commitment and the seeds again before its cards.
        QTRY_VERIFY(cy.find(Tag::DEALHASH, QStringLiteral("2"), before));
        QTRY_VERIFY(cy.find(Tag::DEALSEEDS, QStringLiteral("2"), before));
        QCOMPARE((*FairDeal::parseSeeds(cy.find(Tag::DEALSEEDS, QStringLiteral("2"), before)->value[1]))[3], QString());
        QTRY_COMPARE(cy.peer.count(Tag::CARD), 26);
        QTRY_VERIFY(cy.find(Tag::SEATKEY));
        const QString key = cy.find(Tag::SEATKEY)->value[0];
        cy.peer.reset();
        QTRY_VERIFY(host.roster().user(3).away);
        const auto rejoin = [&listener](CheckingGuest &g, const QString &key) {
            g.peer.onMessage = [&g, key, base = g.peer.onMessage](const HubMessage &m) {
                base(m);
                if (m.Protocol == Tag::REQINFO) {
                    g.peer.send(Tag::CAPS, g.capsSent);
                    g.peer.send(Tag::REJOIN, g.nick, key);
                }
            };
            return g.peer.connectTo(listener.port());
        };
        CheckingGuest back(QStringLiteral("Cy"));
        QVERIFY(rejoin(back, key));
        QVERIFY(back.peer.waitTag(Tag::TABLE, 5000));
        QCOMPARE(back.find(Tag::DEALHASH)->value[0], QStringLiteral("2"));
        QVERIFY(back.indexOf(Tag::DEALHASH) < back.indexOf(Tag::DEALSEEDS, QStringLiteral("2")));
        QVERIFY(back.indexOf(Tag::DEALSEEDS, QStringLiteral("2")) < back.indexOf(Tag::CARD));
        host.stopDeal();
        QTRY_VERIFY(back.find(Tag::DEALKEY, QStringLiteral("2")));
        // Away over a whole deal's end, a copy may still owe an earlier one: it hears the last secrets.
        QTRY_COMPARE(host.phase(), TableHost::Phase::Playing);
        back.peer.reset();
        QTRY_VERIFY(host.roster().user(3).away);
        CheckingGuest again(QStringLiteral("Cy"));
        QVERIFY(rejoin(again, key));
        QTRY_VERIFY(again.find(Tag::DEALKEY, QStringLiteral("2")));
        QCOMPARE(again.find(Tag::DEALKEY)->value[0], QStringLiteral("1"));
        QCOMPARE(again.find(Tag::DEALSEEDS)->value[0], QStringLiteral("1"));
        QVERIFY(again.indexOf(Tag::DEALSEEDS) < again.indexOf(Tag::DEALKEY));
        // The planted stack is caught by every checking copy.
        for (const auto &spy : checks)
            QTRY_COMPARE(spy->value(1).value(0).toString(),
                         QStringLiteral("Deal 2 check failed: you were dealt cards that are not your seat's cards of "
                                        "the deck."));
        // The copy without the feature heard none of it.
        for (const HubMessage &m : di.peer.got)
            QVERIFY2(!m.Protocol.startsWith(QStringLiteral("[DEAL")) && m.Protocol != Tag::CAPS, qPrintable(m.Protocol));
    }

    void theServerProgramRunsHeadlessAndEndsOnSigterm()
    {
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {QStringLiteral(QUADRIX_SERVER_PATH)});
        QVERIFY(ldd.waitForFinished());
        const QByteArray libs = ldd.readAllStandardOutput();
        QVERIFY(libs.contains("libQt6Core"));
        QVERIFY(!libs.contains("libQt6Gui") && !libs.contains("libQt6Widgets"));

        QProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        server.setProcessEnvironment(env);
        server.start(QStringLiteral(QUADRIX_SERVER_PATH), {QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY(server.canReadLine());
        const QByteArray first = server.readLine();
        const int port = first.mid(first.lastIndexOf(' ') + 1).trimmed().toInt();
        QVERIFY2(port > 0, first.constData());
        RawPeer guest;
        guest.joinAs(QStringLiteral("Ann"));
        QVERIFY(guest.connectTo(port));
        QVERIFY(guest.waitTag(Tag::USER));
        ::kill(pid_t(server.processId()), SIGTERM);
        QVERIFY(guest.waitTag(Tag::SYSTEM));
        QVERIFY(server.waitForFinished(2000));
        QCOMPARE(server.exitCode(), 0);
        QVERIFY(server.readAllStandardOutput().contains("Ann sat down in seat 3"));
    }
};

QTEST_GUILESS_MAIN(TstTableHost)
#include "tst_tablehost.moc"
