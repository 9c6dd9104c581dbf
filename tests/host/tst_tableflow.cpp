// The game's flow on a table host and the players' client models: seating and its refusals,
// departures, the leader and the turn, passes, the end of a deal and its credits, bankruptcy, the
// next deal, stopping and the ping check.
#include "client/clienttable.h"
#include "game/credits.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/hublistener.h"
#include "net/localpipe.h"
#include "support/localtable.h"
#include "support/rawpeer.h"
#include <QSignalSpy>
#include <QtTest>
#include <map>

using namespace Stress;
using Phase = TableHost::Phase;

namespace {

const QStringList kFourTwos{"12", "22", "32", "42", "15", "26", "37", "48", "19", "210", "311", "412", "113"};

// What one end of a connection heard, in order.
struct Ear
{
    QList<HubMessage> got;
    void listen(Connection *end)
    {
        QObject::connect(end, &Connection::message, end, [this](const HubMessage &m) { got << m; });
    }
    QStringList tags() const
    {
        QStringList t;
        for (const HubMessage &m : got)
            t << m.Protocol;
        return t;
    }
    QStringList values(int i) const { return QStringList(std::begin(got.at(i).value), std::end(got.at(i).value)); }
};

// A stacked deck: the hands given, each seat's first 2 handed round singly so that nobody holds four
// by chance, the rest in rank order so that no hand runs through all thirteen ranks.
QStringList deck(const std::map<int, QStringList> &fixed = {})
{
    std::array<QStringList, 5> hands;
    QStringList used;
    for (const auto &[seat, cards] : fixed) {
        hands[size_t(seat)] = cards;
        used << cards;
    }
    int seat = 1;
    for (int suit = 1; suit <= 4; ++suit) {
        const QString two = QString::number(suit) + QLatin1Char('2');
        if (used.contains(two))
            continue;
        while (hands[size_t(seat)].size() == 13)
            seat = seat % 4 + 1;
        hands[size_t(seat)] << two;
        seat = seat % 4 + 1;
    }
    QStringList pool;
    for (int rank : {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 1})
        for (int suit = 1; suit <= 4; ++suit)
            if (const QString c = QString::number(suit) + QString::number(rank); !used.contains(c))
                pool << c;
    for (int s = 1; s <= 4; ++s)
        while (hands[size_t(s)].size() < 13)
            hands[size_t(s)] << pool.takeFirst();
    QStringList codes;
    for (int k = 0; k < 13; ++k)
        for (int s = 1; s <= 4; ++s)
            codes << hands[size_t(s)].at(k);
    return codes;
}

// The seated player whose turn every copy shows makes the move (no cards: a pass).
bool move(const LocalTable &t, int seat, const QStringList &cards)
{
    ClientTable *p = t.playerAt(seat);
    if (!waitUntil([&] { return p->myTurn() && t.disagreement().isEmpty(); }))
        return false;
    return cards.isEmpty() ? p->pass() : p->play(cards);
}

int creditsSum(const TableHost &host)
{
    int sum = 0;
    for (int s = 1; s <= 4; ++s)
        sum += host.roster().user(s).credit;
    return sum;
}

} // namespace

class TstTableFlow : public QObject
{
    Q_OBJECT

private slots:
    void seatingAnnouncementsAndDepartures()
    {
        LocalTable t({"Own", "Ann", "Bob"}, true);
        QTRY_VERIFY(t.allSeated());
        // The owner keeps seat 1; the first guest sits opposite, the next one fills the gap on the left.
        QCOMPARE(t.player("Own")->mySeat(), 1);
        QCOMPARE(t.player("Ann")->mySeat(), 3);
        QCOMPARE(t.player("Bob")->mySeat(), 2);

        // Ann wins a deal as dealt, so the credits a newcomer is told are not a fresh table's.
        t.host.setNextDeck(deck({{3, kFourTwos}}));
        QVERIFY(t.host.deal());
        QTRY_VERIFY(t.player("Ann")->mayAskNextDeal());
        QTRY_COMPARE(t.host.phase(), Phase::Waiting);
        Ear ann;
        ann.listen(t.player("Ann")->connection());
        ClientTable *cy = t.join("Cy");
        Ear heard;
        heard.listen(cy->connection());
        QTRY_COMPARE(heard.got.size(), 11);
        // Its own seat first, then every other seat with its current credit. An in-process player is
        // offered neither the checkable deal (its seed would come from beside the secret) nor the unpaced
        // mode (it has no pacing).
        QCOMPARE(heard.tags(), QStringList({Tag::REQVER, Tag::REQINFO, Tag::CAPS, Tag::SEATKEY, Tag::USER, Tag::USER,
                                            Tag::CREDIT, Tag::USER, Tag::CREDIT, Tag::USER, Tag::CREDIT}));
        QCOMPARE(heard.values(2).value(0), QStringLiteral("resync#"));
        QCOMPARE(heard.values(4).mid(0, 5), QStringList({Tag::JOIN, "Cy", "127.0.0.1", "0", "4"}));
        QCOMPARE(heard.values(5).mid(0, 5), QStringList({Tag::JOIN, "Own", "127.0.0.1", "0", "1"}));
        QCOMPARE(cy->mySeat(), 4);
        QCOMPARE(cy->credit(3), 1000 + 2 * 39);
        QCOMPARE(cy->credit(1), 961);
        // A player already seated learns only the newcomer.
        QCOMPARE(ann.tags(), QStringList{Tag::USER});

        // A departure between deals: the others learn who left which seat, and wait.
        ann.got.clear();
        QSignalSpy annWaits(t.player("Ann"), &ClientTable::waitMode);
        QSignalSpy gone(t.player("Bob"), &ClientTable::disconnected);
        t.player("Bob")->leave();
        QTRY_COMPARE(ann.got.size(), 2);
        QCOMPARE(gone.count(), 1);
        QCOMPARE(gone.at(0).at(0).toString(), QStringLiteral(" Disconnected from 127.0.0.1 : 0"));
        QCOMPARE(ann.tags(), QStringList({Tag::USER, Tag::WAITMODE}));
        QCOMPARE(ann.values(0).mid(0, 5), QStringList({Tag::QUIT, "Bob", "127.0.0.1", "0", "2"}));
        QCOMPARE(annWaits.count(), 1);
        QCOMPARE(t.player("Ann")->roster().seatCount(), 3);
        // The freed seat is the next guest's.
        ClientTable *dee = t.join("Dee");
        QTRY_COMPARE(dee->mySeat(), 2);
    }

    void refusalsAndTheirTexts()
    {
        LocalTable t({"Own", "Ann"}, true);
        QTRY_VERIFY(t.allSeated());
        const auto refusedWith = [&t](const QString &nick) {
            ClientTable *p = t.join(nick);
            auto *spy = new QSignalSpy(p, &ClientTable::refused);
            spy->setParent(p);
            return spy;
        };
        // A nick already seated, the owner's included, is refused and the connection ends.
        for (const QString nick : {"Ann", "Own"}) {
            QSignalSpy *refused = refusedWith(nick);
            QTRY_COMPARE(refused->count(), 1);
            QCOMPARE(refused->at(0), QVariantList({" Nick Collision ! Please change your nick !", true}));
        }
        QTRY_COMPARE(t.host.connectionCount(), 2);
        QCOMPARE(t.host.seatedCount(), 2);

        // A program that is offered a seat but asks late; on the way it checks its version.
        QObject side;
        auto [hostEnd, slow] = LocalConnection::createPair(&t.host, &side);
        Ear slowEar;
        slowEar.listen(slow);
        t.host.addConnection(hostEnd);
        slow->send(Tag::CHKVER, kVersionText);
        slow->send(Tag::CHKVER, QStringLiteral("Quadrix v1.10"));
        QTRY_COMPARE(slowEar.got.size(), 3);
        QCOMPARE(slowEar.tags(), QStringList({Tag::REQVER, Tag::REQINFO, Tag::DIFFVER}));
        QCOMPARE(slowEar.values(2).at(0), kVersionText);

        t.join("Bob");
        t.join("Cy");
        QTRY_COMPARE(t.host.seatedCount(), 4);
        QSignalSpy *full = refusedWith("Eve");
        QTRY_COMPARE(full->count(), 1);
        QCOMPARE(full->at(0), QVariantList({" Game is Full, try later !", false}));
        slow->send(Tag::REQJOIN, QStringLiteral("Slow"));
        QTRY_COMPARE(slowEar.tags().last(), Tag::FULL);

        // A seat frees and a deal starts before the late request: nobody sits down in a running deal.
        t.player("Cy")->leave();
        QTRY_COMPARE(t.host.seatedCount(), 3);
        t.host.setNextDeck(deck()); // no hand that wins as dealt and ends the deal at once
        QVERIFY(t.host.deal());
        Ear ann;
        ann.listen(t.player("Ann")->connection());
        slow->send(Tag::REQJOIN, QStringLiteral("Slow"));
        QTRY_COMPARE(slowEar.tags().last(), Tag::ONGAME);
        QSignalSpy *late = refusedWith("Fay");
        QTRY_COMPARE(late->count(), 1);
        QCOMPARE(late->at(0), QVariantList({" Game is started, try later !", false}));
        QCOMPARE(t.host.seatedCount(), 3);
        QVERIFY(!ann.tags().contains(Tag::USER));

        // A host of another version: the player reads why and the connection ends.
        auto [fakeHost, player] = LocalConnection::createPair(&side, &side);
        ClientTable versioned(player, QStringLiteral("Gus"));
        QSignalSpy refused(&versioned, &ClientTable::refused);
        versioned.start();
        fakeHost->send(Tag::DIFFVER, QStringLiteral("Quadrix v2.00"));
        QTRY_COMPARE(refused.count(), 1);
        QCOMPARE(refused.at(0), QVariantList({" Different version between server and client detected ! ", true}));
        QVERIFY(!player->isOpen());
    }

    void relaysOnlyWhatASeatedPlayerMaySay()
    {
        LocalTable t({"Own", "Ann", "Bob"}, true);
        QTRY_VERIFY(t.allSeated());
        QSignalSpy refusals(&t.host, &TableHost::refused);
        Ear ann;
        Ear bob;
        ann.listen(t.player("Ann")->connection());
        bob.listen(t.player("Bob")->connection());
        // A connection without a seat has no say at all.
        QObject side;
        auto [hostEnd, stranger] = LocalConnection::createPair(&t.host, &side);
        t.host.addConnection(hostEnd);
        stranger->send(Tag::CHAT, QStringLiteral("Own"), QStringLiteral("hi"));
        stranger->send(Tag::SYSTEM, QStringLiteral("[*] Own leave chat"));
        stranger->send(Tag::PASS);
        stranger->send(Tag::NEXTGAME);

        // Ann's program says what only the host may say, asks for a second seat, and speaks for Bob.
        Connection *c = t.player("Ann")->connection();
        c->send(Tag::REQJOIN, QStringLiteral("Ann2"));
        c->send(Tag::REQJOIN, QStringLiteral("Ann"));
        c->send(Tag::CHAT, QStringLiteral("Bob"), QStringLiteral("I am Bob"));
        c->send(Tag::CREDIT, QStringLiteral("0"), QStringLiteral("Own"), QStringLiteral("0"));
        c->send(Tag::USER, Tag::JOIN, QStringLiteral("Ghost"), QStringLiteral("10.0.0.9"), QStringLiteral("999"),
                QStringLiteral("4"));
        c->send(Tag::USER, Tag::QUIT, QStringLiteral("Bob"), QStringLiteral("127.0.0.1"), QStringLiteral("0"),
                QStringLiteral("2"));
        c->send(Tag::NEWGAME);
        c->send(Tag::WHOSETURN, QStringLiteral("0"), QStringLiteral("Own"));
        c->send(Tag::CARD, QStringLiteral("0"), QStringLiteral("Own"), QStringLiteral("1"), QStringLiteral("11"));
        c->send(Tag::WAITMODE);
        c->send(Tag::CHNICK);
        // What a seated player may say reaches every other copy, never back to its sender.
        c->send(Tag::SYSTEM, QStringLiteral("[*] Ann enter chat"));
        c->send(Tag::PASS, QStringLiteral("x"));
        QSignalSpy lines(t.player("Bob"), &ClientTable::chatLine);
        QVERIFY(t.player("Ann")->say(QStringLiteral(" hello & <b>")));
        QTRY_COMPARE(lines.count(), 1);
        QCOMPARE(lines.at(0), QVariantList({"Ann", " hello & <b>"}));
        QCOMPARE(bob.tags(), QStringList({Tag::SYSTEM, Tag::PASS, Tag::CHAT}));
        QCOMPARE(bob.values(1).at(0), QStringLiteral("x"));
        QVERIFY(ann.got.isEmpty());
        QCOMPARE(refusals.count(), 0);
        QCOMPARE(t.host.seatedCount(), 3);
        QCOMPARE(t.host.roster().seatOfNick("Ann"), 3);
        QCOMPARE(t.host.phase(), Phase::Waiting);
        QCOMPARE(creditsSum(t.host), 3000);
    }

    void leaderTurnsPassesAndTheCountdown()
    {
        LocalTable t({"Own", "Ann", "Bob"}, true); // seat 4 stays free
        QTRY_VERIFY(t.allSeated());
        ClientTable *bob = t.player("Bob");
        ClientTable *ann = t.player("Ann");
        QCOMPARE(ann->mySeat(), 3);
        // Ann holds the lowest card and leads; the turn goes on to seat 1, past the free seat.
        t.host.setNextDeck(deck({{3, {"43", "45", "46"}}, {1, {"12", "13"}}}));
        QVERIFY(t.host.deal());
        QTRY_COMPARE(ann->turnSeat(), 3);
        QVERIFY(ann->myTurn());
        QVERIFY(move(t, 3, {"43"}));
        QTRY_COMPARE(bob->turnSeat(), 1);

        // Nothing beats the Spade 2: each of the others gets three seconds, and the countdown passes.
        bob->setCountdownTickMs(5);
        ann->setCountdownTickMs(5);
        QVERIFY(move(t, 1, {"12"}));
        QTRY_COMPARE(bob->turnSeat(), 2);
        QVERIFY(bob->countdownLeft() <= 3);
        // Back at the thrower: the table is clear on every copy, no passes stand, and the leader has
        // the full time for anything.
        QTRY_COMPARE(t.player("Own")->turnSeat(), 1);
        const QList<TMoveRecord> &moves = t.host.table().moves();
        QCOMPARE(moves.size(), 4);
        QVERIFY(moves.at(2).move.isPass() && moves.at(3).move.isPass());
        QCOMPARE(moves.at(3).move.seat, 3);
        QTRY_COMPARE(t.disagreement(), QString());
        for (const auto &p : t.players) {
            QVERIFY(p->table().tableCards().isEmpty());
            for (int s = 1; s <= 4; ++s)
                QVERIFY(!p->table().passed(s));
        }
        QCOMPARE(t.player("Own")->countdownLeft(), 60);
        QVERIFY(move(t, 1, {"13"}));
        QTRY_COMPARE(t.disagreement(), QString());
    }

    void aPlayedOutDealAndItsCredits()
    {
        LocalTable t({"Own", "Ann", "Bob", "Cy"}, true);
        QTRY_VERIFY(t.allSeated());
        Ear cyEar;
        cyEar.listen(t.player("Cy")->connection());
        // Own empties the hand: the lowest card, the Spade 2, a straight, four 9s, a last single.
        t.host.setNextDeck(deck({{1, {"43", "12", "24", "35", "16", "17", "18", "19", "29", "39", "49", "110", "111"}},
                                 {2, {"45"}},
                                 {3, {"46"}}}));
        QVERIFY(t.host.deal());
        QVERIFY(move(t, 1, {"43"}));
        QVERIFY(move(t, 2, {"45"}));
        QVERIFY(move(t, 3, {"46"}));
        QVERIFY(move(t, 4, {}));
        QVERIFY(move(t, 1, {"12"}));
        for (const QStringList &lead : {QStringList{"24", "35", "16", "17", "18"}, QStringList{"19", "29", "39", "49", "110"}}) {
            for (int s : {2, 3, 4})
                QVERIFY(move(t, s, {}));
            QVERIFY(move(t, 1, lead));
        }
        for (int s : {2, 3, 4})
            QVERIFY(move(t, s, {}));
        QSignalSpy ended(t.player("Cy"), &ClientTable::dealEnded);
        QVERIFY(move(t, 1, {"111"}));
        QTRY_COMPARE(t.host.phase(), Phase::DealOver);
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(ended.at(0).at(0).toInt(), 1);

        // Losses by the cards left (12, 12, 13), the pool to the winner, the same on every copy.
        const std::array<int, 5> expected{0, 1000 + 24 + 24 + 39, 976, 976, 961};
        for (int s = 1; s <= 4; ++s) {
            QCOMPARE(t.host.roster().user(s).credit, expected[size_t(s)]);
            for (const auto &p : t.players)
                QTRY_COMPARE(p->credit(s), expected[size_t(s)]);
        }
        // The owner's own win is announced before the credits; the winner's credit comes before the
        // pool, then with it.
        const QStringList tags = cyEar.tags();
        const int over = int(tags.indexOf(Tag::GAMEOVER));
        QCOMPARE(tags.mid(over, 6), QStringList({Tag::GAMEOVER, Tag::CREDIT, Tag::CREDIT, Tag::CREDIT, Tag::CREDIT, Tag::CREDIT}));
        QCOMPARE(cyEar.values(over + 1).mid(1, 2), QStringList({"Own", "1000"}));
        QCOMPARE(cyEar.values(over + 5).mid(1, 2), QStringList({"Own", "1087"}));

        // The loss for each number of cards left.
        for (auto [cards, loss] : std::initializer_list<std::pair<int, int>>{{0, 0}, {1, 1}, {9, 9}, {10, 20}, {12, 24}, {13, 39}})
            QCOMPARE(creditLoss(cards), loss);
    }

    void fourTwosAndTheNextDealByItsWinner()
    {
        LocalTable t({"Own", "Ann", "Bob", "Cy"}, true);
        QTRY_VERIFY(t.allSeated());
        ClientTable *bob = t.player("Bob");
        ClientTable *ann = t.player("Ann");
        Ear annEar;
        annEar.listen(ann->connection());
        QSignalSpy refusals(&t.host, &TableHost::refused);
        t.host.setEndPauseMs(60000); // the host still shows the end when the winner asks again
        t.host.setNextDeck(deck({{2, kFourTwos}}));
        QVERIFY(t.host.deal());
        QTRY_COMPARE(t.host.phase(), Phase::DealOver);
        // Thirteen cards each into the pool, the whole pool to Bob.
        QCOMPARE(t.host.roster().user(2).credit, 1000 + 3 * 39);
        QCOMPARE(t.host.roster().user(3).credit, 961);
        QTRY_COMPARE(ann->credit(2), 1000 + 3 * 39);
        QCOMPARE(ann->hand().size(), 13);
        // A guest's claim is passed on after the credits, once, and not back to the claimant.
        QTRY_COMPARE(annEar.tags().count(Tag::GAMEOVER), 1);
        QCOMPARE(annEar.tags().indexOf(Tag::GAMEOVER), annEar.tags().lastIndexOf(Tag::CREDIT) + 1);
        QCOMPARE(annEar.values(int(annEar.tags().indexOf(Tag::GAMEOVER))).mid(0, 2), QStringList({"0", "Bob"}));

        // A second claim settles nothing more; a loser may not ask for the next deal.
        bob->connection()->send(Tag::GAMEOVER, QStringLiteral("0"), QStringLiteral("Bob"));
        ann->connection()->send(Tag::NEXTGAME);
        QTRY_COMPARE(refusals.count(), 2);
        QCOMPARE(creditsSum(t.host), 4000);
        QCOMPARE(t.host.roster().user(2).credit, 1117);
        QCOMPARE(t.host.phase(), Phase::DealOver);
        QTRY_VERIFY(bob->mayAskNextDeal());
        t.host.setNextDeck(deck());
        for (const auto &p : t.players) {
            QCOMPARE(p->leader(), 2);
            QCOMPARE(p->nextDeal(), p.get() == bob);
        }
        // Bob leads the next deal although another seat holds the lowest card; the late end did
        // not end it anywhere.
        QTRY_COMPARE(t.host.phase(), Phase::Playing);
        QCOMPARE(t.host.table().toMove(), 2);
        QTRY_VERIFY(std::all_of(t.players.begin(), t.players.end(), [](const auto &p) { return p->turnSeat() == 2; }));
        QVERIFY(std::all_of(t.players.begin(), t.players.end(), [](const auto &p) { return p->inDeal(); }));
        QVERIFY(annEar.tags().indexOf(Tag::GAMEOVER) < annEar.tags().lastIndexOf(Tag::NEWGAME));
        QCOMPARE(t.host.table().lowestCardSeat(), 1);
    }

    void departureInADealAndStop()
    {
        LocalTable t({"Own", "Ann", "Bob", "Cy"}, true);
        QTRY_VERIFY(t.allSeated());
        t.host.setHoldMs(50);
        t.host.setNextDeck(deck());
        QVERIFY(t.host.deal());
        QTRY_VERIFY(t.player("Cy")->inDeal());
        QSignalSpy away(t.player("Ann"), &ClientTable::awayChanged);
        QSignalSpy waits(t.player("Ann"), &ClientTable::waitMode);
        // The seat of a player gone during a deal is held a moment, then freed: the deal is off.
        t.player("Cy")->leave();
        QTRY_COMPARE(away.count(), 1);
        QCOMPARE(away.at(0), QVariantList({4, true}));
        QTRY_COMPARE(t.host.seatedCount(), 3);
        QCOMPARE(t.host.phase(), Phase::Waiting);
        QTRY_COMPARE(waits.count(), 1);
        for (const auto &p : t.players)
            QVERIFY(!p->inDeal());

        // Three play on; the owner stops the deal and every copy waits. A stacked deck: a random one may
        // hold a hand that wins as dealt, and that deal would be over before it could be stopped.
        t.host.setNextDeck(deck());
        QVERIFY(t.host.deal());
        QTRY_VERIFY(t.player("Ann")->inDeal());
        QCOMPARE(t.player("Ann")->hand().size(), 13);
        QCOMPARE(t.player("Ann")->table().cardCount(4), 0);
        t.host.stopDeal();
        QCOMPARE(t.host.phase(), Phase::Waiting);
        QTRY_COMPARE(waits.count(), 2);
        QVERIFY(!t.player("Own")->inDeal() && !t.player("Bob")->inDeal());
        QCOMPARE(t.host.seatedCount(), 3);
    }

    void bankruptGuestsLeave()
    {
        LocalTable t({"Own", "Ann", "Bob"}, true);
        QTRY_VERIFY(t.allSeated());
        ClientTable *own = t.player("Own");
        ClientTable *bob = t.player("Bob");
        QSignalSpy ownSees(own, &ClientTable::bankrupt);
        QSignalSpy bobSees(bob, &ClientTable::bankrupt);
        QSignalSpy bobGone(bob, &ClientTable::disconnected);
        QSignalSpy ends(own, &ClientTable::dealEnded);
        // Own wins every deal as dealt; at 39 a deal, the others' 1000 last 25 deals.
        for (int n = 1; n <= 26; ++n) {
            t.host.setNextDeck(deck({{1, kFourTwos}}));
            QVERIFY(t.host.deal());
            QTRY_COMPARE(ends.count(), n);
            QTRY_COMPARE(ownSees.count(), n < 26 ? 0 : 2);
        }
        QCOMPARE(ownSees.at(0).at(0).toInt() + ownSees.at(1).at(0).toInt(), 2 + 3);
        // A bankrupt guest's copy says so and leaves; the host frees the seats, not holds them.
        QTRY_COMPARE(bobGone.count(), 1);
        QCOMPARE(bobSees.last().at(0).toInt(), 2);
        // A bankrupt player's seat is freed, not held for a comeback.
        QTRY_COMPARE(own->roster().seatCount(), 1);
        QVERIFY(!own->away(2));
        QCOMPARE(t.host.seatedCount(), 1);
    }

    void pingDropsASilentPlayerOnly()
    {
        // In-process players cannot go silent: the rule is about guests over TCP.
        LocalTable t({"Own", "Ann"}, true);
        QTRY_VERIFY(t.allSeated());
        HubListener listener;
        connect(&listener, &HubListener::newConnection, &t.host, &TableHost::addConnection);
        QVERIFY(listener.listen(0));
        // A hung program, and a guest that answers for itself and for it too.
        RawPeer mute;
        mute.joinAs(QStringLiteral("Mute"));
        RawPeer helper;
        helper.joinAs(QStringLiteral("Helper"));
        QVERIFY(mute.connectTo(listener.port()));
        QVERIFY(helper.connectTo(listener.port()));
        QTRY_COMPARE(t.host.seatedCount(), 4);
        QTRY_COMPARE(helper.count(Tag::CREDIT), 3); // caught up: its answer is not queued behind its seating
        mute.setAnswerPings(false);
        helper.onMessage = [&helper](const HubMessage &m) {
            if (m.Protocol == Tag::PING)
                helper.send(Tag::PONG, QStringLiteral("Mute"));
        };
        Ear ann;
        ann.listen(t.player("Ann")->connection());
        t.host.setPingWaitMs(1500);
        t.host.pingPlayers();
        QTRY_VERIFY(mute.closed());
        QTRY_COMPARE(t.host.roster().seatOfNick("Mute"), -1);
        QCOMPARE(t.host.seatedCount(), 3);
        QVERIFY(!helper.closed());
        QTRY_COMPARE(ann.tags(), QStringList({Tag::PING, Tag::USER, Tag::WAITMODE}));
        QCOMPARE(ann.values(1).mid(0, 2), QStringList({Tag::QUIT, "Mute"}));
    }
};

QTEST_GUILESS_MAIN(TstTableFlow)
#include "tst_tableflow.moc"
