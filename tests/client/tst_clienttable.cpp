// One player's view of a table, with the test playing the host on the other end of an in-process pair.
#include "client/clienttable.h"
#include "game/protocol.h"
#include "net/localpipe.h"
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

namespace {
struct Table
{
    QObject hostSide;
    QObject playerSide;
    LocalConnection *host = nullptr;
    LocalConnection *player = nullptr;
    ClientTable *client = nullptr;
    QList<HubMessage> heard; // what the client sent to the host
    QStringList events;      // turns and moves in the order the client told them

    Table()
    {
        std::tie(host, player) = LocalConnection::createPair(&hostSide, &playerSide);
        client = new ClientTable(player, QStringLiteral("Bob"), &playerSide);
        QObject::connect(host, &Connection::message, &hostSide, [this](const HubMessage &m) { heard << m; });
        QObject::connect(client, &ClientTable::turnChanged, &hostSide,
                         [this](int seat) { events << QStringLiteral("turn %1").arg(seat); });
        QObject::connect(client, &ClientTable::moved, &hostSide,
                         [this](int seat) { events << QStringLiteral("move %1").arg(seat); });
        client->setCountdownTickMs(5);
        client->start();
    }
    void say(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
             const QString &v4 = {}, const QString &v5 = {})
    {
        host->send(tag, v1, v2, v3, v4, v5);
    }
    // The values of the first message of that tag the client sent; empty when none came.
    QStringList sent(const QString &tag) const
    {
        for (const HubMessage &m : heard)
            if (m.Protocol == tag)
                return QStringList(std::begin(m.value), std::end(m.value));
        return {};
    }
    // Ann (the host's player, port 0) in seat 1, Bob in 2, Cid in 3.
    void seat()
    {
        say(Tag::USER, Tag::JOIN, "Bob", "127.0.0.1", "5002", "2");
        say(Tag::USER, Tag::JOIN, "Ann", "127.0.0.1", "0", "1");
        say(Tag::USER, Tag::JOIN, "Cid", "127.0.0.1", "5003", "3");
        QTRY_COMPARE(client->roster().seatCount(), 3);
    }
    void deal(const QStringList &hand)
    {
        for (int k = 1; k <= hand.size(); ++k)
            say(Tag::CARD, "5002", "Bob", QString::number(k), hand.at(k - 1));
        say(Tag::NEWGAME);
        QTRY_VERIFY(client->inDeal());
    }
    // Bob to move, holding that hand.
    void turnWith(const QStringList &hand)
    {
        deal(hand);
        say(Tag::WHOSETURN, "5002", "Bob");
        QTRY_VERIFY(client->myTurn());
    }
};
const QStringList kHand{"44", "35", "36", "37", "38", "39", "310", "311", "312", "313", "21", "25", "26"};
const QStringList kPass{"0", "Bob", "0", "", "", ""};
} // namespace

class TstClientTable : public QObject
{
    Q_OBJECT

private slots:
    void answersTheHandshake()
    {
        Table t;
        QSignalSpy waiting(t.client, &ClientTable::waitMode);
        t.say(Tag::PING);
        t.say(Tag::REQVER);
        t.say(Tag::REQINFO);
        QTRY_COMPARE(t.heard.size(), 4);
        QCOMPARE(t.sent(Tag::PONG).value(0), QStringLiteral("Bob"));
        QCOMPARE(t.sent(Tag::CHKVER).value(0), kVersionText);
        // The features go before the request to sit down, so the host knows them when it seats us.
        QCOMPARE(t.heard.at(2).Protocol, Tag::CAPS);
        QCOMPARE(t.heard.at(2).value[0], QStringLiteral("dealcheck#unpaced#resync#tables#"));
        QCOMPARE(t.sent(Tag::REQJOIN).value(0), QStringLiteral("Bob"));
        QCOMPARE(waiting.count(), 1);
        QVERIFY(t.sent(Tag::PICKTABLE).isEmpty());
    }

    void asksForItsTableAndLearnsWhereItSits()
    {
        Table t;
        t.client->setTableRequest(QStringLiteral("club-7"));
        t.say(Tag::REQINFO);
        QTRY_COMPARE(t.heard.size(), 3);
        QCOMPARE(t.heard.at(0).Protocol, Tag::CAPS);
        QCOMPARE(t.heard.at(1).Protocol, Tag::PICKTABLE);
        QCOMPARE(t.heard.at(1).value[0], QStringLiteral("club-7"));
        QCOMPARE(t.heard.at(2).Protocol, Tag::REQJOIN);
        t.say(Tag::TABLENAME, QStringLiteral("club-7"));
        QTRY_COMPARE(t.client->tableName(), QStringLiteral("club-7"));
    }

    void refusalClosesWithItsText()
    {
        Table t;
        QSignalSpy refused(t.client, &ClientTable::refused);
        QSignalSpy over(t.client, &ClientTable::disconnected);
        t.say(Tag::CHNICK);
        QTRY_COMPARE(refused.count(), 1);
        QCOMPARE(refused.at(0).at(0).toString(), QStringLiteral(" Nick Collision ! Please change your nick !"));
        QCOMPARE(refused.at(0).at(1).toBool(), true);
        QTRY_COMPARE(over.count(), 1);
        QVERIFY(!t.host->isOpen());
    }

    void comesBackWithItsSeatKey()
    {
        Table t;
        t.seat();
        t.say(Tag::SEATKEY, "k1");
        t.deal(kHand);
        QSignalSpy lost(t.client, &ClientTable::connectionLost);
        t.host->close();
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(t.client->reconnecting());
        QCOMPARE(t.client->seatKey(), QStringLiteral("k1"));

        // The host's word rebuilds the table: the seat, the own cards, then the running deal.
        Table back;
        back.client->setSeatKey(QStringLiteral("k1"));
        QSignalSpy rejoined(back.client, &ClientTable::reconnected);
        back.say(Tag::REQINFO);
        QTRY_COMPARE(back.sent(Tag::REJOIN).mid(0, 2), QStringList({"Bob", "k1"}));
        back.seat();
        back.say(Tag::CARD, "5002", "Bob", "1", "44");
        back.say(Tag::CARD, "5002", "Bob", "2", "35");
        back.say(Tag::CARD, "5002", "Bob", "3", "36");
        back.say(Tag::TABLE, "48#", "Ann", "Cid", "5#3#13#0");
        QTRY_VERIFY(back.client->inDeal());
        QCOMPARE(rejoined.count(), 1);
        QCOMPARE(back.client->hand(), QStringList({"44", "35", "36"}));
        QCOMPARE(back.client->table().tableCards(), QStringList{"48"});
        QCOMPARE(back.client->table().cardCount(1), 5);
        QVERIFY(back.client->table().passed(3));
        t.client->leave();
        QVERIFY(!t.client->reconnecting());
    }

    // A copy whose own win the host has not settled yet may still be in the host's deal: lost, it comes
    // back; once the host has announced the credits, a loss between deals ends the table as before.
    void anUnsettledOwnWinComesBackASettledOneLeaves()
    {
        for (const bool settled : {false, true}) {
            Table t;
            t.seat();
            t.say(Tag::SEATKEY, "k1");
            t.turnWith({"44"});
            QVERIFY(t.client->play({"44"}));
            if (settled)
                t.say(Tag::CREDIT, "5002", "Bob", "1030");
            QTest::qWait(ClientTable::kEndPauseMs + 50);
            QSignalSpy lost(t.client, &ClientTable::connectionLost);
            QSignalSpy gone(t.client, &ClientTable::disconnected);
            t.host->close();
            QTRY_COMPARE(lost.count() + gone.count(), 1);
            QCOMPARE(t.client->reconnecting(), !settled);
            t.client->leave();
        }
    }

    void aRejoinRefused()
    {
        Table t;
        t.client->setSeatKey(QStringLiteral("k1"));
        QSignalSpy refused(t.client, &ClientTable::refused);
        t.say(Tag::REQINFO);
        t.say(Tag::CHNICK);
        QTRY_COMPARE(refused.count(), 1);
        QCOMPARE(refused.at(0).at(0).toString(), QStringLiteral(" The host no longer holds your seat !"));
        QVERIFY(t.client->seatKey().isEmpty());
    }

    void seatsAndCredits()
    {
        Table t;
        t.seat();
        QCOMPARE(t.client->mySeat(), 2);
        QSignalSpy credits(t.client, &ClientTable::creditChanged);
        t.say(Tag::CREDIT, "0", "Ann", "1040x");
        t.say(Tag::CREDIT, "0", "Nobody", "5");
        t.say(Tag::AWAY, "Cid");
        QTRY_VERIFY(t.client->away(3));
        QCOMPARE(credits.count(), 1);
        QCOMPARE(t.client->credit(1), 1040);
        QCOMPARE(t.client->creditText(1), QStringLiteral("1040x"));
        t.say(Tag::USER, Tag::QUIT, "Cid");
        QTRY_COMPARE(t.client->roster().seatCount(), 2);
    }

    void playsADeal()
    {
        Table t;
        t.seat();
        t.deal(kHand);
        // No leader known: the lowest card value is reported (the Diamond 4).
        QTRY_COMPARE(t.sent(Tag::SMALLESTCARD).value(0), QStringLiteral("41"));
        QCOMPARE(t.client->hand().size(), 13);
        QCOMPARE(t.client->table().cardCount(3), 13);

        t.say(Tag::WHOSETURN, "0", "Ann");
        QTRY_COMPARE(t.client->turnSeat(), 1);
        QVERIFY(!t.client->play({"39"}));
        t.say(Tag::THROW, "0", "Ann", "1", "48#");
        t.say(Tag::WHOSETURN, "5002", "Bob");
        QTRY_VERIFY(t.client->myTurn());
        QVERIFY(t.client->countdownRunning());
        QVERIFY(!t.client->play({"44"}));       // does not beat the Diamond 8
        QVERIFY(!t.client->play({"39", "12"})); // not held
        QVERIFY(t.client->play({"39"}));
        QVERIFY(!t.client->myTurn());
        QTRY_COMPARE(t.sent(Tag::THROW), QStringList({"0", "Bob", "1", "39#", "", ""}));
        QCOMPARE(t.client->hand().size(), 12);

        // The old order: the turn notice a guest's move caused comes before that move.
        t.say(Tag::WHOSETURN, "5003", "Cid");
        t.say(Tag::WHOSETURN, "0", "Ann");
        t.say(Tag::THROW, "5003", "Cid", "1", "410#");
        QTRY_COMPARE(t.client->turnSeat(), 1);
        QCOMPARE(t.events.mid(t.events.size() - 3), QStringList({"turn 3", "move 3", "turn 1"}));
        QCOMPARE(t.client->table().cardCount(3), 12);

        // The countdown passes for a player who does not move.
        const qsizetype before = t.heard.size();
        t.say(Tag::THROW, "0", "Ann", "0", "");
        t.say(Tag::WHOSETURN, "5002", "Bob");
        QTRY_COMPARE(t.heard.size(), before + 1);
        QCOMPARE(t.heard.last().Protocol, Tag::THROW);
        QCOMPARE(QStringList(std::begin(t.heard.last().value), std::end(t.heard.last().value)), kPass);
        QVERIFY(!t.client->myTurn());
    }

    void anEmptiedHandWinsAndLeadsNext()
    {
        Table t;
        t.seat();
        QSignalSpy ended(t.client, &ClientTable::dealEnded);
        t.turnWith({"44"});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(t.client->play({"44"}));
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.at(0).at(0).toInt(), 2);
        QTRY_COMPARE(t.sent(Tag::GAMEOVER).mid(0, 2), QStringList({"0", "Bob"}));
        QTRY_COMPARE(t.sent(Tag::iSTART).mid(0, 2), QStringList({"0", "Bob"}));
        QVERIFY(clock.elapsed() >= ClientTable::kEndPauseMs - 10);
        QVERIFY(t.client->isLastWinner());
        QVERIFY(t.client->nextDeal());
        QTRY_VERIFY(!t.sent(Tag::NEXTGAME).isEmpty());
        QVERIFY(!t.client->nextDeal());
    }

    void anOwnWinTheHostOverrulesGivesWayToTheHostsWinner()
    {
        Table t;
        t.seat();
        QSignalSpy ended(t.client, &ClientTable::dealEnded);
        t.turnWith({"44"});
        QVERIFY(t.client->play({"44"}));
        // The host had passed for Bob already, and Ann won meanwhile.
        t.say(Tag::THROW, "5002", "Bob", "0", "");
        t.say(Tag::GAMEOVER, "0", "Ann");
        QTRY_COMPARE(ended.count(), 2);
        QCOMPARE(ended.at(1).at(0).toInt(), 1);
        QCOMPARE(t.client->table().lastWinner(), 1);
        QVERIFY(!t.client->mayAskNextDeal());
        // A later word of the same end changes nothing.
        t.say(Tag::GAMEOVER, "5003", "Cid");
        QTest::qWait(20);
        QCOMPARE(ended.count(), 2);
    }

    // A computer player's copy: its turn comes without a countdown to tick or pass.
    void aCopyThatDoesNotCountDownRunsNoCountdown()
    {
        Table t;
        t.client->setCountsDown(false);
        t.seat();
        t.turnWith(kHand);
        QVERIFY(!t.client->countdownRunning());
    }

    // A resend of the deal that crossed the last card undoes it here; the host took it and says so.
    void anOwnLastCardUndoneByAResendEndsTheDealWhenItComesBack()
    {
        Table t;
        t.seat();
        QSignalSpy ended(t.client, &ClientTable::dealEnded);
        t.turnWith({"44"});
        QVERIFY(t.client->play({"44"}));
        t.say(Tag::CARD, "5002", "Bob", "1", "44");
        t.say(Tag::TABLE, "", "", "", "13#1#13#0");
        t.say(Tag::WHOSETURN, "5002", "Bob");
        QTRY_VERIFY(t.client->myTurn());
        QCOMPARE(t.client->hand(), QStringList({"44"}));
        t.say(Tag::THROW, "5002", "Bob", "1", "44#");
        QTRY_COMPARE(ended.count(), 2);
        QVERIFY(!t.client->inDeal());
        QVERIFY(t.client->hand().isEmpty());
        QCOMPARE(ended.at(1).at(0).toInt(), 2);
    }

    void badInputChangesNothing()
    {
        Table t;
        t.seat();
        t.deal(kHand);
        t.say(Tag::WHOSETURN, "5003", "Cid");
        t.say(Tag::THROW, "0", "Ann", "1", "48#");     // out of turn
        t.say(Tag::THROW, "5003", "Cid", "x", "48#");  // no count
        t.say(Tag::CARD, "5002", "Bob", "1x", "11");
        t.say(Tag::WHOSETURN, "0", "Nobody");
        t.say(Tag::CARD, "5002", "Bob", "13", "11");
        t.say(Tag::TABLE, "99#", "Ann", "", "1#2#3");
        t.say(Tag::PING);
        QTRY_VERIFY(!t.sent(Tag::PONG).isEmpty());
        QVERIFY(t.client->table().tableCards().isEmpty());
        QCOMPARE(t.client->table().cardCount(1), 13);
        QCOMPARE(t.client->turnSeat(), 3);
        // The cards of a resend whose table was ill-formed go with it.
        t.say(Tag::CARD, "5002", "Bob", "1", "44");
        t.say(Tag::TABLE, "", "", "", "13#1#13#0");
        QTRY_COMPARE(t.client->hand(), QStringList({"44"}));
    }

    void bankruptcy()
    {
        Table t;
        t.seat();
        QSignalSpy broke(t.client, &ClientTable::bankrupt);
        QSignalSpy over(t.client, &ClientTable::disconnected);
        t.say(Tag::CREDIT, "0", "Ann", "-5");
        QTRY_COMPARE(broke.count(), 1);
        QCOMPARE(broke.at(0).at(0).toInt(), 1);
        QVERIFY(t.player->isOpen());
        t.say(Tag::CREDIT, "5002", "Bob", "0");
        QTRY_COMPARE(broke.count(), 2);
        QCOMPARE(broke.at(1).at(0).toInt(), 2);
        QTRY_COMPARE(over.count(), 1);
        QVERIFY(!t.host->isOpen());
    }
};

QTEST_GUILESS_MAIN(TstClientTable)
#include "tst_clienttable.moc"
