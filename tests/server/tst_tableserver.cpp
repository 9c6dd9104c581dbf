// A server of many tables over real sockets: guests come from several loopback addresses, so that
// the limit per address is only tested where it is meant to be.
#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/hubdialer.h"
#include "server/serverconfig.h"
#include "server/servertables.h"
#include "server/tableserver.h"
#include "support/scriptedguest.h"
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
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
            QTRY_VERIFY(g->peer.count(Tag::THROW) > 0);
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
        const QString file = dir.filePath(QStringLiteral("server.ini"));
        writeFile(file, "[server]\nport = 0\n");
        QProcess program;
        program.start(QStringLiteral(QUADRIX_SERVER_PATH), {QStringLiteral("--config"), file});
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
    }
};

QTEST_GUILESS_MAIN(TstTableServer)
#include "tst_tableserver.moc"
