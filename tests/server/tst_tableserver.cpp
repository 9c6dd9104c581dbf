// A server of many tables over real sockets: guests come from several loopback addresses, so that
// the limit per address is only tested where it is meant to be.
#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/hubdialer.h"
#include "server/servercommands.h"
#include "server/servercontrol.h"
#include "server/serverstatus.h"
#include "server/serverbots.h"
#include "server/serverconfig.h"
#include "server/servertables.h"
#include "server/tableserver.h"
#include "support/scriptedguest.h"
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <sys/stat.h>
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

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

void quickTables(TableServer &server)
{
    server.tables()->configure = [](TableHost *host) { host->setFirstDealDelayMs(50); };
}

// A guest from 127.0.0.<lastByte> that sits at the named table.
std::unique_ptr<RawPeer> seatAt(int port, int lastByte, const QString &table, const QString &nick)
{
    auto peer = std::make_unique<RawPeer>();
    if (!bindTo(*peer, lastByte))
        return nullptr;
    answerInfo(*peer, {{Tag::PICKTABLE, {table}}, {Tag::REQJOIN, {nick}}});
    if (!peer->connectTo(port) || !peer->waitTag(Tag::SEATKEY))
        return nullptr;
    return peer;
}

QJsonObject statusOf(TableServer &server)
{
    const ControlAnswer answer = runControlLine(server, QStringLiteral("status"));
    return answer.ok ? QJsonDocument::fromJson(answer.text.toUtf8()).object() : QJsonObject();
}

QJsonArray seatsAt(const QJsonObject &status, const QString &table)
{
    for (const QJsonValue t : status[QStringLiteral("tables")].toArray())
        if (t[QStringLiteral("name")].toString() == table)
            return t[QStringLiteral("seats")].toArray();
    return {};
}

// The nicks of a table in the status, sorted, "*" marking a computer player.
QStringList nicksAt(const QJsonObject &status, const QString &table)
{
    QStringList nicks;
    for (const QJsonValue seat : seatsAt(status, table))
        nicks << seat[QStringLiteral("nick")].toString() +
                     (seat[QStringLiteral("player")].toString() == QLatin1String("computer") ? "*" : "");
    nicks.sort();
    return nicks;
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
        server.setGreeting(QStringLiteral("Welcome, play fair"));
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
            QTRY_VERIFY_WITH_TIMEOUT(g->peer.count(Tag::THROW) > 0, 20000); // a first turn may run to its deadline
        }
        // Each newcomer heard the message of the day once seated.
        const QList<HubMessage> &heard = guests.front()->peer.got;
        const auto greeting = std::find_if(heard.begin(), heard.end(), [](const HubMessage &m) { return m.Protocol == Tag::SYSTEM; });
        QVERIFY(greeting != heard.end());
        QCOMPARE(greeting->value[0], QStringLiteral("[*] Welcome, play fair"));
        QVERIFY(std::find_if(heard.begin(), greeting, [](const HubMessage &m) { return m.Protocol == Tag::SEATKEY; }) != greeting);

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
        // The server says it has table names.
        const auto caps = std::find_if(back.got.cbegin(), back.got.cend(), [](const HubMessage &m) { return m.Protocol == Tag::CAPS; });
        QVERIFY(caps != back.got.cend() && splitFeatureWords(caps->value[0]).contains(Feature::Tables));
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
        TableServer server(64, 8);
        server.setMaxPerAddress(2);
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

    void theOperatorSeesTheTablesSpeaksAndKicks()
    {
        TableServer server;
        QVERIFY(server.listen(0));
        std::vector<std::unique_ptr<RawPeer>> guests;
        for (const auto &[last, table, nick] : {std::tuple{20, "a", "A1"}, {21, "a", "A2"}, {22, "b", "B1"}}) {
            guests.push_back(seatAt(server.port(), last, QString::fromLatin1(table), QString::fromLatin1(nick)));
            QVERIFY(guests.back());
        }
        QJsonObject status = statusOf(server);
        QCOMPARE(nicksAt(status, "a"), QStringList({"A1", "A2"}));
        QCOMPARE(nicksAt(status, "b"), QStringList({"B1"}));
        const QJsonObject seat = seatsAt(status, "b")[0].toObject();
        QCOMPARE(seat["address"].toString(), QStringLiteral("127.0.0.22"));
        QCOMPARE(seat["credits"].toInt(), 1000);
        QCOMPARE(seat["away"].toBool(), false);
        QCOMPARE(status["tables"][0]["phase"].toString(), QStringLiteral("waiting"));
        QCOMPARE(status["connections"].toInt(), 3);

        QVERIFY(runControlLine(server, QStringLiteral("say Back in five")).ok);
        for (const auto &g : guests) {
            QVERIFY(g->waitTag(Tag::SYSTEM));
            QCOMPARE(g->got.last().value[0], QStringLiteral("[*] Back in five"));
        }

        // A kick is final: the player is told, its seat freed, and it cannot sit down again at once.
        QVERIFY(runControlLine(server, QStringLiteral("kick A A1")).ok);
        QTRY_VERIFY(guests[0]->closed());
        QCOMPARE(guests[0]->got.last().Protocol, Tag::SYSTEM);
        QVERIFY(guests[1]->waitTag(Tag::USER));
        QTRY_COMPARE(statusOf(server)["connections"].toInt(), 2);
        status = statusOf(server);
        QCOMPARE(nicksAt(status, "a"), QStringList({"A2"}));
        const QJsonObject peaks = status["peaks"].toObject();
        QCOMPARE(peaks["connections"].toInt(), 3);
        QCOMPARE(peaks["tables"].toInt(), 2);
        RawPeer again;
        QVERIFY(bindTo(again, 20));
        answerInfo(again, {{Tag::PICKTABLE, {QStringLiteral("b")}}, {Tag::REQJOIN, {QStringLiteral("A1")}}});
        QVERIFY(again.connectTo(server.port()));
        QVERIFY(again.waitTag(Tag::FULL));
        QTRY_VERIFY(again.closed());

        for (const char *bad : {"kick a A1", "kick zz A2", "kick a", "say ", "status now", "frob", ""})
            QVERIFY2(!runControlLine(server, QString::fromLatin1(bad)).ok, bad);
        QCOMPARE(nicksAt(statusOf(server), "a"), QStringList({"A2"}));
    }

    void drainEndsTheServerOnceTheDealIsOver()
    {
        // Seat 1 (the fourth to sit down) is dealt the four 2s; nobody claims, so the host ends the deal itself.
        QStringList deck;
        for (int suit = 1; suit <= 4; ++suit)
            for (int rank = 1; rank <= 13; ++rank)
                deck << QStringLiteral("%1%2").arg(suit).arg(rank);
        for (int suit = 1; suit <= 4; ++suit)
            deck.swapItemsAt((suit - 1) * 4, deck.indexOf(QString::number(suit) + QLatin1Char('2')));
        TableServer server;
        server.tables()->configure = [deck](TableHost *host) {
            host->setFirstDealDelayMs(10);
            host->setNextDealDelayMs(10);
            host->setClaimWaitMs(1000);
            host->setNextDeck(deck);
        };
        QVERIFY(server.listen(0));
        QSignalSpy done(&server, &TableServer::done);
        std::vector<std::unique_ptr<RawPeer>> guests;
        for (int i = 0; i < 4; ++i) {
            guests.push_back(std::make_unique<RawPeer>());
            QVERIFY(bindTo(*guests.back(), 30 + i));
            guests.back()->joinAs(QStringLiteral("D%1").arg(i));
            QVERIFY(guests.back()->connectTo(server.port()));
            QVERIFY(guests.back()->waitTag(Tag::SEATKEY));
        }
        TableHost *host = server.tables()->find(QStringLiteral("public-1"));
        QVERIFY(host);
        QTRY_COMPARE(host->phase(), TableHost::Phase::Playing);
        QVERIFY(runControlLine(server, QStringLiteral("drain")).ok);
        QVERIFY(statusOf(server)["draining"].toBool());

        RawPeer late;
        QVERIFY(bindTo(late, 34));
        late.joinAs(QStringLiteral("Late"));
        QVERIFY(late.connectTo(server.port()));
        QVERIFY(late.waitTag(Tag::FULL));
        QCOMPARE(done.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 4000);
        // The table may be gone with its players: what they heard tells that one deal was dealt, no more.
        for (const auto &g : guests) {
            QVERIFY(g->count(Tag::GAMEOVER) == 1 && g->count(Tag::NEWGAME) == 1);
            QTRY_VERIFY(g->closed());
        }
    }

    void theControlSocketIsTheUsersOnly()
    {
        TableServer server;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ServerControl control(&server);
        QVERIFY2(control.listen(dir.filePath(QStringLiteral("s.sock"))), qPrintable(control.errorText()));
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(control.path()).constData(), &st), 0);
        QVERIFY(S_ISSOCK(st.st_mode));
        QCOMPARE(st.st_mode & 0777, 0600u);
        // Another server's live socket stays; a folder others may write to is refused.
        ServerControl second(&server);
        QVERIFY(!second.listen(control.path()));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7777)));
        ServerControl open(&server);
        QVERIFY(!open.listen(dir.filePath(QStringLiteral("t.sock"))));
        QVERIFY(open.errorText().contains(QStringLiteral("others may write")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("t.sock"))));
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
        QCOMPARE(nicksAt(statusOf(server), QStringLiteral("public-1")).filter(QStringLiteral("*")).size(), 3);
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

    void aServerBoundToOneAddressIsReachedOnlyThere()
    {
        TableServer server;
        QVERIFY(server.listen(0, QHostAddress(QStringLiteral("127.0.0.2"))));
        QTcpSocket elsewhere;
        elsewhere.connectToHost(QHostAddress::LocalHost, quint16(server.port()));
        QVERIFY(!elsewhere.waitForConnected(2000));
        QTcpSocket there;
        there.connectToHost(QHostAddress(QStringLiteral("127.0.0.2")), quint16(server.port()));
        QVERIFY(there.waitForConnected(2000));
    }

    void settingsRefuseBadValuesAndTheCommandLineWins()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("server.ini"));
        writeFile(file, "[server]\nport = 4000\ntables = 3\nmotd = Hello, friends\nchat-limit = 4/2\nlog-level = Debug\n");
        ServerConfig config;
        QVERIFY2(config.load(file, {{QStringLiteral("port"), QStringLiteral("4001")}, {QStringLiteral("bind"), QStringLiteral("::1")}}),
                 qPrintable(config.error()));
        QCOMPARE(config.port, 4001);
        QCOMPARE(config.tables, 3);
        QCOMPARE(config.maxPerAddress, 8);
        QCOMPARE(config.motd, QStringLiteral("Hello, friends"));
        QCOMPARE(config.chatLines, 4);
        QCOMPARE(config.chatWindowS, 2);
        QCOMPARE(config.logLevel, LogLevel::Debug);
        QCOMPARE(config.bindAddress(), QHostAddress(QHostAddress::LocalHostIPv6));
        QCOMPARE(config.controlSocketCandidates().last(), QStringLiteral("/run/quadrix/quadrix-server-4001.sock"));

        // Each refusal names the key, the value and why.
        const QList<std::pair<QByteArray, QString>> bad{
            {"bot-level = 5", QStringLiteral("bot-level = \"5\": wants a whole number from 1 to 4")},
            {"bind = 300.1.1.1", QStringLiteral("bind = \"300.1.1.1\": wants an IPv4 or IPv6 address")},
            {"log-level = noisy", QStringLiteral("log-level = \"noisy\": wants error, warning, info or debug")},
            {"chat-limit = 10", QStringLiteral("chat-limit = \"10\": wants LINES/SECONDS")},
            {"prot = 1", QStringLiteral("server/prot: not a known key")},
        };
        // Lines of different lengths: the settings library takes a file of the same size and time as unchanged.
        for (const auto &[line, why] : bad) {
            writeFile(file, "[server]\n" + line + "\n");
            ServerConfig refused;
            QVERIFY(!refused.load(file, {}));
            QVERIFY2(refused.error().startsWith(file + QStringLiteral(": ") + why), qPrintable(refused.error()));
        }
        ServerConfig fromCommandLine;
        QVERIFY(!fromCommandLine.load({}, {{QStringLiteral("port"), QStringLiteral("70000")}}));
        QCOMPARE(fromCommandLine.error(), QStringLiteral("command line: port = \"70000\": wants a whole number from 0 to 65535"));
    }

    void readingTheSettingsAgainKeepsWhatNeedsARestart()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("server.ini"));
        writeFile(file, "[server]\nport = 4000\nbot-level = 2\nmax-per-address = 3\n");
        ServerConfig config;
        QVERIFY(config.load(file, {{QStringLiteral("bot-delay"), QStringLiteral("50")}}));
        writeFile(file, "[server]\nport = 4100\ntables = 9\nbot-level = 3\nbot-delay = 700\nmotd = New rules\n");
        QStringList ignored;
        QVERIFY(config.reload(&ignored));
        QCOMPARE(ignored, (QStringList{QStringLiteral("port"), QStringLiteral("tables")}));
        QCOMPARE(config.port, 4000);
        QCOMPARE(config.tables, 64);
        QCOMPARE(config.botLevel, 3);
        QCOMPARE(config.maxPerAddress, 8);
        QCOMPARE(config.botDelayMs, 50);
        QCOMPARE(config.motd, QStringLiteral("New rules"));
        // A bad value changes nothing.
        writeFile(file, "[server]\nbot-level = 0\n");
        QVERIFY(!config.reload(&ignored));
        QVERIFY(config.error().contains(QStringLiteral("bot-level = \"0\"")));
        QCOMPARE(config.botLevel, 3);
    }

    void sigtermTellsEveryTableAndEnds()
    {
        // The settings file gives the port; SIGHUP reads it again and keeps the port.
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("ctl.sock"));
        const QString file = dir.filePath(QStringLiteral("server.ini"));
        writeFile(file, "[server]\nport = 0\n");
        QProcess program;
        program.start(QStringLiteral(QUADRIX_SERVER_PATH),
                      {QStringLiteral("--config"), file, QStringLiteral("--control-socket"), socket});
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
        // The operator's command line: a command, and one that does not exist.
        const auto ctl = [&socket](const QStringList &words) {
            auto *p = new QProcess;
            p->start(QStringLiteral(QUADRIX_SERVER_PATH),
                     QStringList{QStringLiteral("--control-socket"), socket, QStringLiteral("--ctl")} + words);
            p->waitForFinished(5000);
            return std::unique_ptr<QProcess>(p);
        };
        const auto status = ctl({QStringLiteral("status")});
        QCOMPARE(status->exitCode(), 0);
        const QJsonObject json = QJsonDocument::fromJson(status->readAllStandardOutput()).object();
        QCOMPARE(nicksAt(json, "north"), QStringList({"north-guest"}));
        const auto bad = ctl({QStringLiteral("frob")});
        QVERIFY(bad->exitCode() != 0);
        QCOMPARE(bad->readAllStandardError().count('\n'), 1);
        writeFile(file, "[server]\nport = 1\n");
        ::kill(pid_t(program.processId()), SIGHUP);
        QByteArray log;
        QTRY_VERIFY2((log += program.readAllStandardOutput()).contains("a restart is needed for port"), log.constData());

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
        log += program.readAllStandardOutput();
        QVERIFY(log.contains("north: north-guest sat down") && log.contains("south: south-guest sat down"));
        QVERIFY(!QFile::exists(socket));
    }
};

QTEST_GUILESS_MAIN(TstTableServer)
#include "tst_tableserver.moc"
