// A player's hub against the host's hub and bare sockets, on loopback with port 0.
#include "hub/hubclient.h"
#include "hub/hublog.h"
#include "hub/hubserver.h"
#include "support/rawpeer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

// A port on which nobody listens: taken from the system, then given back.
int closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const int port = probe.serverPort();
    probe.close();
    return port;
}

struct Table
{
    TwsHUBsvr host;
    TwsHUBcli player;
    int joinedPort = 0; // the player's port as the host saw it

    bool open()
    {
        host.setPort(0);
        host.setActive(true);
        QObject::connect(&host, &TwsHUBsvr::OnClientConnect, &host, [this](const QString &, int p) { joinedPort = p; });
        player.setHost("127.0.0.1");
        player.setPort(host.listeningPort());
        player.setActive(true);
        return QTest::qWaitFor([this] { return player.isConnected() && joinedPort != 0; }, 3000);
    }
};

} // namespace

class tst_hubclient : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void numericAddress_data();
    void numericAddress();
    void connectsAndKnowsItsPort();
    void refusedConnection();
    void unresolvableOrEmptyHost_data();
    void unresolvableOrEmptyHost();
    void serverClosingIsOrdinaryDisconnect();
    void deactivatingByHand();
    void sendWhileNotConnectedDoesNothing();
    void spacingOfConsecutiveSends();
    void receivesAcrossReadsInOrder();
    void dataArrivesOutsideReadNotification();
    void chunksQueuedAtCloseStillParsed();
    void scrambledConversation();
    void logShortAndLongForms();
    void logFailureNeverStopsMessages();
    void hostAndPortLockedWhileConnected();
    void busyHandlerMayRunEventsAndSend();
    void floodingHostIsHeldBack();
    void queuedMessagesNeverReachTheNextConnection();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

void tst_hubclient::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void tst_hubclient::cleanup()
{
    QDir::setCurrent(m_oldDir);
    m_dir.reset();
    setLocalAddressProvider({});
}

void tst_hubclient::numericAddress_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("zeros") << "0.0.0.0" << true;
    QTest::newRow("top") << "255.255.255.255" << true;
    QTest::newRow("leading zero") << "010.001.0.9" << true;
    QTest::newRow("three parts") << "10.0.1" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;
    QTest::newRow("over 255") << "1.2.3.256" << false;
    QTest::newRow("long digits") << "1.2.3.0000000000000000000001" << true;
    QTest::newRow("huge") << "1.2.3.99999999999999999999" << false;
    QTest::newRow("empty part") << "1..2.3" << false;
    QTest::newRow("leading dot") << ".1.2.3" << false;
    QTest::newRow("trailing dot") << "1.2.3." << false;
    QTest::newRow("sign") << "1.2.3.+4" << false;
    QTest::newRow("letter") << "1.2.3.4a" << false;
    QTest::newRow("name") << "localhost" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank inside") << "1.2. 3.4" << false;
}

void tst_hubclient::numericAddress()
{
    QFETCH(QString, host);
    QFETCH(bool, numeric);
    QCOMPARE(IsNumericAddress(host), numeric);
}

void tst_hubclient::connectsAndKnowsItsPort()
{
    Table t;
    QSignalSpy connects(&t.player, &TwsHUBcli::OnConnect);
    QCOMPARE(t.player.LocalPort(), 0);
    QVERIFY(t.open());
    QTRY_COMPARE(connects.count(), 1);
    QCOMPARE(connects.at(0).at(0).toString(), QString("127.0.0.1"));
    QCOMPARE(connects.at(0).at(1).toInt(), t.host.listeningPort());
    QVERIFY(t.player.Active());
    QCOMPARE(t.player.LocalPort(), t.joinedPort);
    QCOMPARE(t.player.LocalIP(), QString("127.0.0.1"));
    // Both ways.
    QSignalSpy atHost(&t.host, &TwsHUBsvr::OnDataArrived);
    QSignalSpy atPlayer(&t.player, &TwsHUBcli::OnDataArrived);
    t.player.Send("[JOIN]", "Ann", "Quadrix v1.11", "");
    QVERIFY(t.host.SendToClient(t.joinedPort, "[WELCOME]", "2", "", ""));
    QTRY_COMPARE(atHost.count(), 1);
    QTRY_COMPARE(atPlayer.count(), 1);
    QCOMPARE(atHost.at(0).at(1).toInt(), t.joinedPort);
    QCOMPARE(atHost.at(0).at(4).toString(), QString("Quadrix v1.11"));
    QCOMPARE(atPlayer.at(0).at(0).toString(), QString("127.0.0.1"));
    QCOMPARE(atPlayer.at(0).at(1).toInt(), t.host.listeningPort());
    QCOMPARE(atPlayer.at(0).at(2).toString(), QString("[WELCOME]"));
    QCOMPARE(atPlayer.at(0).at(3).toString(), QString("2"));
}

void tst_hubclient::refusedConnection()
{
    setLocalAddressProvider([] { return QStringList{"10.0.0.2", "192.168.1.5"}; });
    TwsHUBcli cli;
    QStringList events;
    connect(&cli, &TwsHUBcli::OnConnect, this, [&](const QString &ip, int p) { events << QString("connect %1 %2").arg(ip).arg(p); });
    connect(&cli, &TwsHUBcli::OnDisconnect, this,
            [&](const QString &ip, int p) { events << QString("disconnect '%1' %2").arg(ip).arg(p); });
    connect(&cli, &TwsHUBcli::OnSockError, this, [&](const QString &e) {
        events << QString("error active=%1 ").arg(cli.Active()) + e;
    });
    cli.setPort(closedPort());
    cli.setActive(true);
    QVERIFY(cli.Active());
    QTRY_COMPARE(events.size(), 2);
    QCOMPARE(events, (QStringList{"disconnect '' 0",
                                  "error active=0 A connection request that was already accepted could not be completed."}));
    QVERIFY(!cli.Active());
    QCOMPARE(cli.LocalPort(), 0);
    QCOMPARE(cli.LocalIP(), QString("192.168.1.5"));
    // The component can try again afterwards.
    events.clear();
    cli.setActive(true);
    QTRY_COMPARE(events.size(), 2);
}

void tst_hubclient::unresolvableOrEmptyHost_data()
{
    QTest::addColumn<QString>("host");
    QTest::newRow("unknown name") << "no-such-host.invalid";
    QTest::newRow("empty") << "";
}

void tst_hubclient::unresolvableOrEmptyHost()
{
    QFETCH(QString, host);
    TwsHUBcli cli;
    QSignalSpy disconnects(&cli, &TwsHUBcli::OnDisconnect);
    QStringList errors;
    bool activeAtError = true;
    connect(&cli, &TwsHUBcli::OnSockError, this, [&](const QString &e) {
        errors << e;
        activeAtError = cli.Active();
    });
    cli.setHost(host);
    cli.setPort(closedPort());
    cli.setActive(true);
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 10000);
    QCOMPARE(errors.first(), QString());
    QVERIFY(!activeAtError);
    QCOMPARE(disconnects.count(), 1);
    QCOMPARE(disconnects.at(0).at(0).toString(), QString());
    QCOMPARE(disconnects.at(0).at(1).toInt(), 0);
    Stress::drainEvents();
    QCOMPARE(errors.size(), 1);
}

void tst_hubclient::serverClosingIsOrdinaryDisconnect()
{
    Table t;
    QVERIFY(t.open());
    QSignalSpy disconnects(&t.player, &TwsHUBcli::OnDisconnect);
    QSignalSpy errors(&t.player, &TwsHUBcli::OnSockError);
    QVERIFY(t.host.DropClient(t.joinedPort));
    QTRY_COMPARE(disconnects.count(), 1);
    QCOMPARE(disconnects.at(0).at(0).toString(), QString("127.0.0.1"));
    QCOMPARE(disconnects.at(0).at(1).toInt(), t.host.listeningPort());
    QVERIFY(!t.player.Active());
    QCOMPARE(t.player.LocalPort(), 0);
    Stress::drainEvents();
    QCOMPARE(errors.count(), 0);
    QCOMPARE(disconnects.count(), 1);
}

void tst_hubclient::deactivatingByHand()
{
    Table t;
    QVERIFY(t.open());
    QSignalSpy disconnects(&t.player, &TwsHUBcli::OnDisconnect);
    QSignalSpy errors(&t.player, &TwsHUBcli::OnSockError);
    QSignalSpy gone(&t.host, &TwsHUBsvr::OnClientDisconnect);
    t.player.setActive(false);
    QCOMPARE(disconnects.count(), 1);
    QCOMPARE(disconnects.at(0).at(1).toInt(), t.host.listeningPort());
    QVERIFY(!t.player.Active());
    QTRY_COMPARE(gone.count(), 1);
    // A second deactivation of an idle component says nothing.
    t.player.setActive(false);
    Stress::drainEvents();
    QCOMPARE(disconnects.count(), 1);
    QCOMPARE(errors.count(), 0);
}

void tst_hubclient::sendWhileNotConnectedDoesNothing()
{
    TwsHUBcli cli("gClient");
    cli.setLogEnabled(true);
    QSignalSpy busy(&cli, &TwsHUBcli::OnBusy);
    cli.Send("[A]", "1", "2", "3");
    cli.Send("[A]", "1", "2", "3", "4", "5", "6");
    QVERIFY(!QFile::exists("gClient.log"));
    // Nor while the connection is still being made.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    cli.setPort(server.serverPort());
    cli.setActive(true);
    cli.Send("[EARLY]", "", "", "");
    QTRY_VERIFY(cli.isConnected());
    QTRY_VERIFY(server.hasPendingConnections());
    Stress::RawPeer host(server.nextPendingConnection());
    // Once connected, the next message is the first to go out: nothing was kept from before.
    cli.Send("[LATER]", "", "", "");
    QTRY_COMPARE(host.got.size(), 1);
    QCOMPARE(host.got.first().Protocol, QString("[LATER]"));
    QCOMPARE(busy.count(), 1);
}

void tst_hubclient::spacingOfConsecutiveSends()
{
    Table t;
    QVERIFY(t.open());
    QElapsedTimer clock;
    clock.start();
    QList<qint64> sent;
    QList<qint64> arrived;
    connect(&t.player, &TwsHUBcli::OnBusy, this, [&] {
        sent << clock.elapsed();
        // Queued right after the last one left: still waits out its pause.
        if (sent.size() == 3)
            QTimer::singleShot(0, &t.player, [&] { t.player.Send("[D]", "", "", ""); });
    });
    connect(&t.host, &TwsHUBsvr::OnDataArrived, this, [&] { arrived << clock.elapsed(); });
    t.player.Send("[A]", "", "", "");
    t.player.Send("[B]", "", "", "");
    t.player.Send("[C]", "", "", "");
    QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 4, 3000);
    QCOMPARE(sent.size(), 4);
    for (int i = 1; i < sent.size(); ++i)
        QVERIFY2(sent[i] - sent[i - 1] >= 100, qPrintable(QString("gap %1 ms").arg(sent[i] - sent[i - 1])));
    QVERIFY(arrived.last() - arrived.first() >= 250); // on the wire, less what reading may delay
}

void tst_hubclient::receivesAcrossReadsInOrder()
{
    QTcpServer raw;
    QVERIFY(raw.listen(QHostAddress::LocalHost, 0));
    TwsHUBcli cli;
    QStringList got;
    connect(&cli, &TwsHUBcli::OnDataArrived, this,
            [&](const QString &, int, const QString &tag, const QString &v1) { got << tag + v1; });
    cli.setPort(raw.serverPort());
    cli.setActive(true);
    QVERIFY(raw.waitForNewConnection(3000));
    QTcpSocket *peer = raw.nextPendingConnection();
    QTRY_VERIFY(cli.isConnected());
    const QByteArray stream = BuildFrame("[ONE]", "a", "", "", "", "", "", false, 0)
                              + BuildFrame("[TWO]", "b", "", "", "", "", "", false, 0)
                              + BuildFrame("[THREE]", "c", "", "", "", "", "", false, 0);
    QStringList want;
    for (int cut = 0; cut <= stream.size(); ++cut) {
        peer->write(stream.left(cut));
        peer->flush();
        QTest::qWait(1); // a moment apart, so the two pieces mostly arrive in separate reads
        peer->write(stream.mid(cut));
        peer->flush();
        want << "[ONE]a" << "[TWO]b" << "[THREE]c";
    }
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), want.size(), 10000);
    QCOMPARE(got, want);
}

void tst_hubclient::dataArrivesOutsideReadNotification()
{
    Table t;
    QVERIFY(t.open());
    // Each delivery comes from a timer tick, never from inside the socket's read handling:
    // a handler that lets events run meets no nested delivery.
    int depth = 0;
    int deepest = 0;
    QStringList got;
    connect(&t.player, &TwsHUBcli::OnDataArrived, this, [&](const QString &, int, const QString &tag) {
        deepest = qMax(deepest, ++depth);
        got << tag;
        QTest::qWait(40); // real time in the handler: ticks fall due and other events run meanwhile
        --depth;
    });
    for (int i = 0; i < 4; ++i)
        t.host.SendToClient(t.joinedPort, "[M" + QString::number(i) + "]", "", "", "");
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 4, 5000);
    QCOMPARE(got, (QStringList{"[M0]", "[M1]", "[M2]", "[M3]"}));
    QCOMPARE(deepest, 1);
}

void tst_hubclient::chunksQueuedAtCloseStillParsed()
{
    QTcpServer raw;
    QVERIFY(raw.listen(QHostAddress::LocalHost, 0));
    TwsHUBcli cli;
    QStringList events;
    connect(&cli, &TwsHUBcli::OnDataArrived, this,
            [&](const QString &ip, int port, const QString &tag) { events << QString("%1 '%2' %3").arg(tag, ip).arg(port); });
    connect(&cli, &TwsHUBcli::OnDisconnect, this, [&](const QString &, int) { events << "disconnect"; });
    cli.setPort(raw.serverPort());
    cli.setActive(true);
    QVERIFY(raw.waitForNewConnection(3000));
    QTcpSocket *peer = raw.nextPendingConnection();
    QTRY_VERIFY(cli.isConnected());
    peer->write(BuildFrame("[LAST]", "", "", "", "", "", "", false, 0));
    peer->disconnectFromHost();
    QTRY_COMPARE(events.size(), 2);
    QCOMPARE(events, (QStringList{"disconnect", "[LAST] '' 0"}));
}

void tst_hubclient::scrambledConversation()
{
    Table t;
    t.host.setEncrypt(true);
    t.player.setEncrypt(true);
    QCOMPARE(t.host.EncryptKey(), t.player.EncryptKey());
    QVERIFY(t.open());
    QSignalSpy atHost(&t.host, &TwsHUBsvr::OnDataArrived);
    QSignalSpy atPlayer(&t.player, &TwsHUBcli::OnDataArrived);
    const QString chat = "Hello, table! 100% {fun} ~";
    t.player.Send("[CHAT]", "Ann", chat, "", "", "", "0");
    t.host.SendToAll("[CHAT]", "Bob", chat, "");
    QTRY_COMPARE(atHost.count(), 1);
    QTRY_COMPARE(atPlayer.count(), 1);
    QCOMPARE(atHost.at(0).at(4).toString(), chat);
    QCOMPARE(atHost.at(0).at(8).toString(), QString("0"));
    QCOMPARE(atPlayer.at(0).at(3).toString(), QString("Bob"));
    QCOMPARE(atPlayer.at(0).at(4).toString(), chat);
    // A different key on one side turns the text into something else.
    t.player.setEncryptKey(t.host.EncryptKey() + 1);
    t.player.Send("[CHAT]", "Ann", chat, "");
    QTRY_COMPARE(atHost.count(), 2);
    QVERIFY(atHost.at(1).at(2).toString() != "[CHAT]");
}

void tst_hubclient::logShortAndLongForms()
{
    Table t;
    QVERIFY(t.open());
    t.player.setLogEnabled(true);
    QSignalSpy atHost(&t.host, &TwsHUBsvr::OnDataArrived);
    QSignalSpy atPlayer(&t.player, &TwsHUBcli::OnDataArrived);
    t.player.Send("[PASS]", "1", "Ann", "");
    t.player.Send("[THROW]", "1", "Ann", "2", "310#311#", "", "");
    t.host.SendToAll("[PONG]", "Bob", "", "");
    QTRY_COMPARE(atHost.count(), 2);
    QTRY_COMPARE(atPlayer.count(), 1);
    QFile log("gClient.log");
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList entries;
    for (const QString &line : QString::fromLatin1(log.readAll()).split('\n', Qt::SkipEmptyParts))
        entries << line.mid(11);
    QCOMPARE(entries, (QStringList{"[S] [PASS],1,Ann,", "[S] [THROW],1,Ann,2,310#311#,,", "[R] [PONG],Bob,,,,,"}));
}

void tst_hubclient::logFailureNeverStopsMessages()
{
    QVERIFY(QDir().mkdir("gClient.log"));
    Table t;
    t.player.setLogEnabled(true);
    QVERIFY(t.open());
    QSignalSpy atHost(&t.host, &TwsHUBsvr::OnDataArrived);
    QSignalSpy atPlayer(&t.player, &TwsHUBcli::OnDataArrived);
    t.player.Send("[OUT]", "", "", "");
    t.host.SendToAll("[IN]", "", "", "");
    QTRY_COMPARE(atHost.count(), 1);
    QTRY_COMPARE(atPlayer.count(), 1);
}

void tst_hubclient::hostAndPortLockedWhileConnected()
{
    Table t;
    QVERIFY(t.open());
    const int port = t.player.Port();
    QVERIFY(t.player.setPort(port));
    QVERIFY(t.player.setHost("127.0.0.1"));
    QVERIFY(!t.player.setPort(port + 1));
    QCOMPARE(t.player.Port(), port + 1);
    QVERIFY(!t.player.setHost("example.invalid"));
    QCOMPARE(t.player.Host(), QString("example.invalid"));
    QVERIFY(t.player.isConnected());
    t.player.setActive(false);
    QVERIFY(t.player.setPort(port));
    QVERIFY(t.player.setHost("127.0.0.1"));
}

void tst_hubclient::busyHandlerMayRunEventsAndSend()
{
    Table t;
    QVERIFY(t.open());
    QStringList got;
    connect(&t.host, &TwsHUBsvr::OnDataArrived, this, [&](const QString &, int, const QString &tag) { got << tag; });
    int busy = 0;
    int depth = 0;
    int deepest = 0;
    connect(&t.player, &TwsHUBcli::OnBusy, this, [&] {
        ++busy;
        deepest = qMax(deepest, ++depth);
        QTest::qWait(20); // real time in the handler: ticks fall due and other events run meanwhile
        if (busy == 1)
            t.player.Send("[THIRD]", "", "", "");
        --depth;
    });
    t.player.Send("[FIRST]", "", "", "");
    t.player.Send("[SECOND]", "", "", "");
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 3, 3000);
    QCOMPARE(got, (QStringList{"[FIRST]", "[SECOND]", "[THIRD]"}));
    QCOMPARE(deepest, 1);
}

void tst_hubclient::floodingHostIsHeldBack()
{
    QTcpServer raw;
    QVERIFY(raw.listen(QHostAddress::LocalHost, 0));
    TwsHUBcli cli;
    int count = 0;
    connect(&cli, &TwsHUBcli::OnDataArrived, this, [&] { ++count; });
    cli.setPort(raw.serverPort());
    cli.setActive(true);
    QVERIFY(raw.waitForNewConnection(3000));
    QTcpSocket *peer = raw.nextPendingConnection();
    QTRY_VERIFY(cli.isConnected());
    // More in one go than the hub queues at a time: all arrive, in order, without a crash.
    QStringList got;
    connect(&cli, &TwsHUBcli::OnDataArrived, this,
            [&](const QString &, int, const QString &, const QString &v1) { if (got.size() < 3) got << v1; });
    QByteArray stream;
    int total = 0;
    while (stream.size() < 3 * 1024 * 1024)
        stream += BuildFrame("[F]", QString::number(total++), QString(300, 'x'), "", "", "", "", false, 0);
    peer->write(stream);
    QTRY_COMPARE_WITH_TIMEOUT(count, total, 20000);
    QCOMPARE(got, (QStringList{"0", "1", "2"}));
}

void tst_hubclient::queuedMessagesNeverReachTheNextConnection()
{
    Table t;
    QVERIFY(t.open());
    QStringList got;
    connect(&t.host, &TwsHUBsvr::OnDataArrived, this, [&](const QString &, int, const QString &tag) { got << tag; });
    t.player.Send("[A]", "", "", "");
    t.player.Send("[B]", "", "", ""); // waits out the pause after [A]
    QTRY_COMPARE(got, QStringList{"[A]"});
    t.player.setActive(false);
    t.player.setActive(true);
    QTRY_VERIFY(t.player.isConnected());
    // [B] would come before [C] on the new connection.
    t.player.Send("[C]", "", "", "");
    QTRY_COMPARE(got, (QStringList{"[A]", "[C]"}));
}

QTEST_GUILESS_MAIN(tst_hubclient)
#include "tst_hubclient.moc"
