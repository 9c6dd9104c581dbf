// A server of many tables over real sockets: guests come from several loopback addresses, so that
// the limit per address is only tested where it is meant to be.
#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/hubdialer.h"
#include "server/serverbots.h"
#include "server/servertables.h"
#include "server/tableserver.h"
#include "support/scriptedguest.h"
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QSet>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <memory>
#include <vector>

using namespace Stress;

namespace {
// A source address of the loopback net other than 127.0.0.1.
bool bindTo(RawPeer &peer, int lastByte)
{
    return peer.socket()->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(lastByte)), 0);
}

// Answers "[REQINFO]" with these messages.
void answerInfo(RawPeer &peer, const QList<HubMessage> &answer)
{
    peer.onMessage = [&peer, answer](const HubMessage &m) {
        if (m.Protocol == Tag::REQINFO)
            for (const HubMessage &a : answer)
                peer.send(a.Protocol, a.value[0], a.value[1]);
    };
}

void quickTables(TableServer &server)
{
    server.tables()->configure = [](TableHost *host) { host->setFirstDealDelayMs(50); };
}

// Computer players that come soon and move at once.
void quickBots(ServerBots &bots)
{
    bots.setWaitMs(100);
    bots.setLevel(1);
    bots.setMoveDelayMs(0);
}
} // namespace

class TstTableServer : public QObject
{
    Q_OBJECT

private slots:
    void twelveGuestsPlayAtThreeTablesAndARejoinFindsItsTable()
    {
        TableServer server;
        quickTables(server);
        QVERIFY(server.listen(0));
        std::vector<std::unique_ptr<ScriptedGuest>> guests;
        for (int i = 0; i < 12; ++i) {
            guests.push_back(std::make_unique<ScriptedGuest>(QStringLiteral("G%1").arg(i)));
            QVERIFY(bindTo(guests.back()->peer, 2 + i));
            QVERIFY(guests.back()->join(server.port()));
            QVERIFY(guests.back()->peer.waitTag(Tag::SEATKEY));
        }
        QCOMPARE(server.tables()->count(), 3);
        for (TableHost *host : server.tables()->hosts())
            QCOMPARE(host->seatedCount(), 4);
        // Every guest is dealt its thirteen cards, and every table sees moves.
        for (const auto &g : guests) {
            QTRY_VERIFY(g->peer.count(Tag::CARD) >= 13);
            QTRY_VERIFY(g->peer.count(Tag::THROW) > 0);
        }

        // A guest of the second table loses its line and comes back with its key from elsewhere.
        TableHost *second = server.tables()->find(QStringLiteral("public-2"));
        QVERIFY(second);
        ScriptedGuest *lost = nullptr;
        for (const auto &g : guests)
            if (TuserInfo::validSeat(second->roster().seatOfNick(g->nick)))
                lost = g.get();
        QVERIFY(lost);
        QString key;
        for (const HubMessage &m : lost->peer.got)
            if (m.Protocol == Tag::SEATKEY)
                key = m.value[0];
        lost->peer.reset();
        QTRY_VERIFY(second->holdsSeats());
        RawPeer back;
        QVERIFY(bindTo(back, 40));
        answerInfo(back, {{Tag::CAPS, {joinFeatureWords({Feature::Tables})}}, {Tag::REJOIN, {lost->nick, key}}});
        QVERIFY(back.connectTo(server.port()));
        QVERIFY(back.waitTag(Tag::TABLENAME));
        QCOMPARE(back.got.last().value[0], QStringLiteral("public-2"));
        QVERIFY(!second->holdsSeats());
        QCOMPARE(server.tables()->count(), 3);
    }

    void friendsNamingATableSitTogether()
    {
        TableServer server;
        quickTables(server);
        QVERIFY(server.listen(0));
        std::vector<std::unique_ptr<ClientTable>> copies;
        const QStringList asks{"Club", "Club", "other", "club", "club"};
        for (int i = 0; i < asks.size(); ++i) {
            auto *dialer = new HubDialer(QStringLiteral("127.0.0.1"), server.port());
            copies.push_back(std::make_unique<ClientTable>(dialer, QStringLiteral("P%1").arg(i)));
            dialer->setParent(copies.back().get());
            copies.back()->setTableRequest(asks.at(i));
            copies.back()->start();
            QTRY_VERIFY(!copies.back()->tableName().isEmpty());
        }
        for (int i = 0; i < asks.size(); ++i)
            QCOMPARE(copies.at(size_t(i))->tableName(), i == 2 ? QStringLiteral("other") : QStringLiteral("Club"));
        QCOMPARE(server.tables()->count(), 2);
        QCOMPARE(server.tables()->find(QStringLiteral("club"))->seatedCount(), 4);
        QTRY_VERIFY(copies.front()->inDeal());

        // A full table, then one in a deal, refuse as a table of its own does.
        RawPeer late;
        QVERIFY(bindTo(late, 2));
        answerInfo(late, {{Tag::PICKTABLE, {QStringLiteral("club")}}, {Tag::REQJOIN, {QStringLiteral("Late")}}});
        QVERIFY(late.connectTo(server.port()));
        QVERIFY(late.waitTag(Tag::FULL));
        QVERIFY(late.connected());
    }

    void aTableNameIsCheckedOnce()
    {
        TableServer server;
        QVERIFY(server.listen(0));
        RawPeer bad;
        QVERIFY(bindTo(bad, 3));
        QVERIFY(bad.connectTo(server.port()));
        QVERIFY(bad.waitTag(Tag::REQINFO));
        bad.send(Tag::PICKTABLE, QStringLiteral("no spaces"));
        QVERIFY(bad.waitTag(Tag::CHNICK));
        QCOMPARE(bad.got.at(bad.got.size() - 2).value[0], kTableNameRule);
        QTRY_VERIFY(bad.closed());
        QCOMPARE(server.tables()->count(), 0);

        // The first name counts; a second one changes nothing.
        RawPeer twice;
        QVERIFY(bindTo(twice, 4));
        QVERIFY(twice.connectTo(server.port()));
        QVERIFY(twice.waitTag(Tag::REQINFO));
        twice.send(Tag::PICKTABLE, QStringLiteral("first"));
        twice.send(Tag::PICKTABLE, QStringLiteral("second"));
        twice.send(Tag::REQJOIN, QStringLiteral("Tom"));
        QVERIFY(twice.waitTag(Tag::SEATKEY));
        QCOMPARE(server.tables()->count(), 1);
        QVERIFY(server.tables()->find(QStringLiteral("first")));
    }

    void connectionsBeyondTheLimitOfAnAddressAreClosed()
    {
        TableServer server(64, 2);
        QVERIFY(server.listen(0));
        std::vector<std::unique_ptr<RawPeer>> peers;
        for (int last : {5, 5, 5, 6}) {
            peers.push_back(std::make_unique<RawPeer>());
            QVERIFY(bindTo(*peers.back(), last));
            peers.back()->startConnect(server.port());
        }
        QVERIFY(peers.at(0)->waitTag(Tag::REQVER));
        QVERIFY(peers.at(1)->waitTag(Tag::REQVER));
        QVERIFY(peers.at(3)->waitTag(Tag::REQVER));
        QTRY_VERIFY(peers.at(2)->closed());
        QCOMPARE(peers.at(2)->got.size(), 0);
        // A place freed is a place again.
        peers.at(0)->close();
        QTRY_VERIFY(peers.at(0)->closed());
        QTest::qWait(50);
        RawPeer again;
        QVERIFY(bindTo(again, 5));
        QVERIFY(again.connectTo(server.port()));
        QVERIFY(again.waitTag(Tag::REQVER));
    }

    void computerPlayersFillATableAfterTheWaitAndLeaveWithItsLastPerson()
    {
        TableServer server;
        server.tables()->configure = [](TableHost *host) {
            host->setFirstDealDelayMs(50);
            host->setHoldMs(100);
        };
        ServerBots bots(server.tables());
        quickBots(bots);
        QVERIFY(server.listen(0));
        ScriptedGuest ann(QStringLiteral("Ann"));
        QVERIFY(bindTo(ann.peer, 2));
        QElapsedTimer clock; // started before the wait can start
        clock.start();
        QVERIFY(ann.join(server.port()));
        QVERIFY(ann.peer.waitTag(Tag::SEATKEY));
        TableHost *host = server.tables()->find(QStringLiteral("public-1"));
        QVERIFY(host);
        QCOMPARE(host->seatedCount(), 1);
        QTRY_COMPARE(host->seatedCount(), 4);
        QVERIFY2(clock.elapsed() >= 100, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(bots.computerNicks(host).size(), 3);
        QVERIFY(!bots.isComputer(host, host->roster().seatOfNick(ann.nick)));
        // The table deals by itself and the computer players play.
        QTRY_VERIFY(ann.peer.count(Tag::CARD) >= 13);
        QTRY_VERIFY(ann.peer.count(Tag::THROW) >= 4);

        // Its person gone (the seat held a moment, as in any deal), the table closes.
        ann.peer.close();
        QTRY_COMPARE(server.tables()->count(), 0);
    }

    void aPersonTakesAComputerPlayersSeatOnlyBetweenDeals()
    {
        TableServer server;
        // No deal until the test starts one.
        server.tables()->configure = [](TableHost *host) { host->setFirstDealDelayMs(60000); };
        ServerBots bots(server.tables());
        quickBots(bots);
        QVERIFY(server.listen(0));
        ScriptedGuest ann(QStringLiteral("Ann"));
        QVERIFY(bindTo(ann.peer, 2));
        QVERIFY(ann.join(server.port()));
        TableHost *host = nullptr;
        QTRY_VERIFY((host = server.tables()->find(QStringLiteral("public-1"))) && host->seatedCount() == 4);

        ScriptedGuest bob(QStringLiteral("Bob"));
        QVERIFY(bindTo(bob.peer, 3));
        QVERIFY(bob.join(server.port()));
        QVERIFY(bob.peer.waitTag(Tag::SEATKEY));
        QCOMPARE(server.tables()->count(), 1);
        QCOMPARE(host->seatedCount(), 4);
        QVERIFY(TuserInfo::validSeat(host->roster().seatOfNick(bob.nick)));
        QCOMPARE(bots.computerNicks(host).size(), 2);

        // In a deal nobody gives up a seat: the next person opens a table of its own.
        QVERIFY(host->deal());
        ScriptedGuest cid(QStringLiteral("Cid"));
        QVERIFY(bindTo(cid.peer, 4));
        QVERIFY(cid.join(server.port()));
        QVERIFY(cid.peer.waitTag(Tag::SEATKEY));
        QCOMPARE(server.tables()->count(), 2);
        QCOMPARE(bots.computerNicks(host).size(), 2);
        QVERIFY(TuserInfo::validSeat(server.tables()->find(QStringLiteral("public-2"))->roster().seatOfNick(cid.nick)));

        // A named table full of computer players has room for a person as well.
        RawPeer eve, fay;
        QVERIFY(bindTo(eve, 5) && bindTo(fay, 6));
        answerInfo(eve, {{Tag::PICKTABLE, {QStringLiteral("club")}}, {Tag::REQJOIN, {QStringLiteral("Eve")}}});
        answerInfo(fay, {{Tag::PICKTABLE, {QStringLiteral("club")}}, {Tag::REQJOIN, {QStringLiteral("Fay")}}});
        QVERIFY(eve.connectTo(server.port()));
        TableHost *club = nullptr;
        QTRY_VERIFY((club = server.tables()->find(QStringLiteral("club"))) && club->seatedCount() == 4);
        QVERIFY(fay.connectTo(server.port()));
        QVERIFY(fay.waitTag(Tag::SEATKEY));
        QVERIFY(TuserInfo::validSeat(club->roster().seatOfNick(QStringLiteral("Fay"))));
        QCOMPARE(bots.computerNicks(club).size(), 2);
    }

    void sigtermTellsEveryTableAndEnds()
    {
        QProcess program;
        program.start(QStringLiteral(QUADRIX_SERVER_PATH), {QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY(program.canReadLine());
        const QByteArray first = program.readLine();
        const int port = first.mid(first.lastIndexOf(' ') + 1).trimmed().toInt();
        QVERIFY2(port > 0, first.constData());
        std::vector<std::unique_ptr<RawPeer>> guests;
        for (const char *table : {"north", "south"}) {
            guests.push_back(std::make_unique<RawPeer>());
            RawPeer *g = guests.back().get();
            QVERIFY(bindTo(*g, 7 + int(guests.size())));
            const QString name = QString::fromLatin1(table);
            answerInfo(*g, {{Tag::PICKTABLE, {name}}, {Tag::REQJOIN, {name + QStringLiteral("-guest")}}});
            QVERIFY(g->connectTo(port));
            QVERIFY(g->waitTag(Tag::SEATKEY));
        }
        QElapsedTimer clock;
        qint64 endedAfter = -1;
        connect(&program, &QProcess::finished, this, [&] { endedAfter = clock.elapsed(); });
        clock.start();
        ::kill(pid_t(program.processId()), SIGTERM);
        for (const auto &g : guests) {
            QVERIFY(g->waitTag(Tag::SYSTEM));
            QTRY_VERIFY(g->closed());
        }
        QTRY_VERIFY_WITH_TIMEOUT(endedAfter >= 0, 3000);
        QVERIFY2(endedAfter < 2000, qPrintable(QString::number(endedAfter)));
        QCOMPARE(program.exitCode(), 0);
        const QByteArray log = program.readAllStandardOutput();
        QVERIFY(log.contains("north: north-guest sat down") && log.contains("south: south-guest sat down"));
    }
};

QTEST_GUILESS_MAIN(TstTableServer)
#include "tst_tableserver.moc"
