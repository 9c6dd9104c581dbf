// The host's hub on real loopback sockets (port 0 everywhere).
#include "hub/hublog.h"
#include "hub/hubserver.h"
#include "support/rawpeer.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QRegularExpression>
#include <memory>
#include <unistd.h>

namespace {

using Stress::drainEvents;
using Stress::RawPeer;

std::unique_ptr<RawPeer> connectPeer(int port)
{
    auto p = std::make_unique<RawPeer>();
    return p->connectTo(port) ? std::move(p) : nullptr;
}

// The tags a peer got, each with its first value when it has one.
QStringList tagsOf(const RawPeer &p)
{
    QStringList out;
    for (const HubMessage &m : p.got)
        out << m.Protocol + (m.value[0].isEmpty() ? QString() : ":" + m.value[0]);
    return out;
}

// Starts listening on a system-chosen port.
void host(TwsHUBsvr &svr, int maxClient = 0)
{
    svr.setPort(0);
    svr.setMaxClient(maxClient);
    svr.setActive(true);
}

} // namespace

class tst_hubserver : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fourthConnectionRefusedUnderLimit();
    void noLimitAdmitsAll();
    void sendToAllWithoutClientsQueuesNothing();
    void sendToClientUnknownPortFalse();
    void sendToAllExceptSelects();
    void sendToClientShortAndLongForms();
    void usedPortActivationFails();
    void accessDeniedActivationText_data();
    void accessDeniedActivationText();
    void accessDeniedOnRealSocket();
    void deactivationDropsClientsQuietly();
    void dropClientRaisesDisconnect();
    void messagesToLeftClientDroppedSilently();
    void spacingOfConsecutiveSends();
    void receivesEverySplitWhole();
    void dataArrivedCarriesPeerAddress();
    void portChangeWhileListening();
    void localIpResolvesPreferred();
    void logWritesLinesPerAddressee();
    void logFailureNeverStopsMessages();
    void busyHandlerMayRunEventsAndQueue();
    void busyHandlerMayDeleteHub();
    void peerResetMidFrame();
    void deactivationInsideDeliveryStopsTheRest();
    void runawayPeerDoesNotStopOthers();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

void tst_hubserver::init()
{
    // Log files go to the working directory; keep them out of the tree.
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void tst_hubserver::cleanup()
{
    QDir::setCurrent(m_oldDir);
    m_dir.reset();
    setLocalAddressProvider({});
}

void tst_hubserver::fourthConnectionRefusedUnderLimit()
{
    TwsHUBsvr svr;
    QStringList events;
    connect(&svr, &TwsHUBsvr::OnClientConnect, this, [&](const QString &, int p) { events << "connect " + QString::number(p); });
    connect(&svr, &TwsHUBsvr::OnClientReject, this, [&](const QString &, int p) { events << "reject " + QString::number(p); });
    connect(&svr, &TwsHUBsvr::OnClientDisconnect, this,
            [&](const QString &, int p) { events << "disconnect " + QString::number(p); });
    host(svr, 3);
    QVERIFY(svr.listeningPort() > 0);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(connectPeer(svr.listeningPort()));
        QVERIFY(peers.back());
        QTRY_COMPARE(svr.ClientCount(), i + 1);
    }
    // The host closes it as soon as it has taken it: wait for the connection without running events.
    auto fourth = std::make_unique<RawPeer>();
    fourth->startConnect(svr.listeningPort());
    QVERIFY(fourth->socket()->waitForConnected(3000));
    const QString p4 = QString::number(fourth->localPort());
    QTRY_COMPARE(fourth->socket()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(events.mid(3), (QStringList{"reject " + p4, "disconnect " + p4}));
    QCOMPARE(svr.ClientCount(), 3);
    svr.SendToAll("[STILL]", "", "", "");
    for (auto &p : peers) {
        QTRY_COMPARE(tagsOf(*p), QStringList{"[STILL]"});
        QCOMPARE(p->socket()->state(), QAbstractSocket::ConnectedState);
    }
}

void tst_hubserver::noLimitAdmitsAll()
{
    TwsHUBsvr svr;
    host(svr, 0);
    QSignalSpy rejects(&svr, &TwsHUBsvr::OnClientReject);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 6; ++i)
        peers.push_back(connectPeer(svr.listeningPort()));
    QTRY_COMPARE(svr.ClientCount(), 6);
    QCOMPARE(rejects.count(), 0);
    peers[2]->socket()->disconnectFromHost();
    QTRY_COMPARE(svr.ClientCount(), 5);
}

void tst_hubserver::sendToAllWithoutClientsQueuesNothing()
{
    TwsHUBsvr svr;
    host(svr);
    QSignalSpy busy(&svr, &TwsHUBsvr::OnBusy);
    svr.SendToAll("[A]", "1", "2", "3");
    svr.SendToAll("[A]", "1", "2", "3", "4", "5", "6");
    svr.SendToAllExcept("[A]", "1", "2", "3", "4", "5", "6", 0);
    QCOMPARE(svr.queuedMessages(), 0);
    // Nothing was kept for later: a guest who comes next hears only what is said to it.
    auto peer = connectPeer(svr.listeningPort());
    QVERIFY(peer);
    QTRY_COMPARE(svr.ClientCount(), 1);
    QVERIFY(svr.SendToClient(peer->localPort(), "[B]", "", "", ""));
    QTRY_COMPARE(tagsOf(*peer), QStringList{"[B]"});
    QCOMPARE(busy.count(), 1);
}

void tst_hubserver::sendToClientUnknownPortFalse()
{
    TwsHUBsvr svr;
    host(svr);
    auto peer = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 1);
    const int unknown = peer->localPort() == 1 ? 2 : peer->localPort() - 1;
    QVERIFY(!svr.SendToClient(unknown, "[X]", "", "", ""));
    QVERIFY(!svr.SendToClient(0, "[X]", "", "", "", "", "", ""));
    QCOMPARE(svr.queuedMessages(), 0);
    QVERIFY(!svr.DropClient(unknown));
    QVERIFY(svr.SendToClient(peer->localPort(), "[Y]", "", "", ""));
    QTRY_COMPARE(tagsOf(*peer), QStringList{"[Y]"});
}

void tst_hubserver::sendToAllExceptSelects()
{
    TwsHUBsvr svr;
    host(svr);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 3; ++i)
        peers.push_back(connectPeer(svr.listeningPort()));
    QTRY_COMPARE(svr.ClientCount(), 3);
    svr.SendToAllExcept("[ALL]", "", "", "", "", "", "", 0);
    svr.SendToAllExcept("[NOT1]", "", "", "", "", "", "", peers[1]->localPort());
    QCOMPARE(svr.queuedMessages(), 5);
    QTRY_COMPARE(tagsOf(*peers[0]), (QStringList{"[ALL]", "[NOT1]"}));
    QTRY_COMPARE(tagsOf(*peers[2]), (QStringList{"[ALL]", "[NOT1]"}));
    // A last message to the one left out comes after anything else queued for it.
    QVERIFY(svr.SendToClient(peers[1]->localPort(), "[END]", "", "", ""));
    QTRY_COMPARE(tagsOf(*peers[1]), (QStringList{"[ALL]", "[END]"}));
}

void tst_hubserver::sendToClientShortAndLongForms()
{
    TwsHUBsvr svr;
    host(svr);
    auto peer = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 1);
    QVERIFY(svr.SendToClient(peer->localPort(), "[S]", "a", "b", "c"));
    QVERIFY(svr.SendToClient(peer->localPort(), "[L]", "a", "b", "c", "d", "e", "f"));
    const QByteArray want = BuildFrame("[S]", "a", "b", "c", "", "", "", false, 0)
                            + BuildFrame("[L]", "a", "b", "c", "d", "e", "f", false, 0);
    QTRY_COMPARE(peer->raw, want);
}

void tst_hubserver::usedPortActivationFails()
{
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::AnyIPv4, 0));
    const int port = other.serverPort();
    TwsHUBsvr svr;
    QStringList events;
    connect(&svr, &TwsHUBsvr::OnHosting, this, [&] { events << "hosting"; });
    connect(&svr, &TwsHUBsvr::OnCloseConnection, this, [&] { events << "close"; });
    connect(&svr, &TwsHUBsvr::OnHostingError, this, [&](const QString &e) { events << e; });
    svr.setPort(port);
    svr.setActive(true);
    QCOMPARE(events, (QStringList{"close", "Port " + QString::number(port) + " used by another application !"}));
    QVERIFY(!svr.Active());
    QCOMPARE(svr.listeningPort(), 0);
    QVERIFY(!svr.lastErrorText().isEmpty());
    // Once the port is free the same component hosts.
    other.close();
    events.clear();
    svr.setActive(true);
    QCOMPARE(events, QStringList{"hosting"});
    QCOMPARE(svr.listeningPort(), port);
}

void tst_hubserver::accessDeniedActivationText_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("rights");
    QTest::newRow("in use") << int(QAbstractSocket::AddressInUseError) << false;
    QTest::newRow("access") << int(QAbstractSocket::SocketAccessError) << true;
    QTest::newRow("other") << int(QAbstractSocket::UnknownSocketError) << false;
}

void tst_hubserver::accessDeniedActivationText()
{
    QFETCH(int, error);
    QFETCH(bool, rights);
    const QString text = HostingErrorText(110, QAbstractSocket::SocketError(error));
    QVERIFY(text.startsWith("Port 110 "));
    if (rights) {
        QVERIFY(text.contains("administrator rights"));
        QVERIFY(text.contains("above 1023"));
        QVERIFY(!text.contains("another application"));
    } else {
        QCOMPARE(text, QString("Port 110 used by another application !"));
    }
}

void tst_hubserver::accessDeniedOnRealSocket()
{
    QFile start("/proc/sys/net/ipv4/ip_unprivileged_port_start");
    QVERIFY(start.open(QIODevice::ReadOnly));
    if (start.readAll().trimmed().toInt() <= 1)
        QSKIP("this machine opens every port to every user: no refusal to see");
    if (geteuid() == 0) {
        // Root may listen anywhere: this test runs again in a child that has dropped to an ordinary user.
        QProcess child;
        child.setWorkingDirectory(QDir::rootPath());
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                QCoreApplication::applicationFilePath(), "accessDeniedOnRealSocket"});
        QVERIFY2(child.waitForFinished(30000), qPrintable(child.errorString()));
        const QByteArray out = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("PASS   : tst_hubserver::accessDeniedOnRealSocket()"), out.constData());
        return;
    }
    TwsHUBsvr svr;
    QSignalSpy errors(&svr, &TwsHUBsvr::OnHostingError);
    svr.setPort(1);
    svr.setActive(true);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), HostingErrorText(1, QAbstractSocket::SocketAccessError));
    QVERIFY(!svr.Active());
}

void tst_hubserver::deactivationDropsClientsQuietly()
{
    TwsHUBsvr svr;
    host(svr, 3);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 3; ++i)
        peers.push_back(connectPeer(svr.listeningPort()));
    QTRY_COMPARE(svr.ClientCount(), 3);
    QSignalSpy closes(&svr, &TwsHUBsvr::OnCloseConnection);
    QSignalSpy disconnects(&svr, &TwsHUBsvr::OnClientDisconnect);
    svr.SendToAll("[LATE]", "", "", "");
    QCOMPARE(svr.queuedMessages(), 3);
    svr.setActive(false);
    QCOMPARE(closes.count(), 1);
    QVERIFY(!svr.Active());
    // What was queued for them goes without a word, at once.
    QCOMPARE(svr.queuedMessages(), 0);
    for (auto &p : peers)
        QTRY_COMPARE(p->socket()->state(), QAbstractSocket::UnconnectedState);
    drainEvents();
    QCOMPARE(disconnects.count(), 0);
    QCOMPARE(svr.ClientCount(), 3);
    QVERIFY(!svr.SendToClient(peers[0]->localPort(), "[X]", "", "", ""));
    QCOMPARE(svr.queuedMessages(), 0);
    for (auto &p : peers)
        QVERIFY(tagsOf(*p).isEmpty());
}

void tst_hubserver::dropClientRaisesDisconnect()
{
    TwsHUBsvr svr;
    host(svr);
    auto a = connectPeer(svr.listeningPort());
    auto b = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    QSignalSpy disconnects(&svr, &TwsHUBsvr::OnClientDisconnect);
    QVERIFY(svr.DropClient(a->localPort()));
    QCOMPARE(disconnects.count(), 1);
    QCOMPARE(disconnects.at(0).at(0).toString(), QString("127.0.0.1"));
    QCOMPARE(disconnects.at(0).at(1).toInt(), a->localPort());
    QCOMPARE(svr.ClientCount(), 1);
    QTRY_COMPARE(a->socket()->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!svr.DropClient(a->localPort()));
    QCOMPARE(b->socket()->state(), QAbstractSocket::ConnectedState);
}

void tst_hubserver::messagesToLeftClientDroppedSilently()
{
    TwsHUBsvr svr;
    host(svr);
    auto a = connectPeer(svr.listeningPort());
    auto b = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    QSignalSpy fails(&svr, &TwsHUBsvr::OnClientSendFail);
    QSignalSpy errors(&svr, &TwsHUBsvr::OnClientError);
    const int portA = a->localPort();
    // Queued for a, then a is dropped; and queued for a peer that closes by itself.
    QVERIFY(svr.SendToClient(portA, "[GONE]", "", "", ""));
    svr.SendToAll("[BOTH]", "", "", "");
    QVERIFY(svr.DropClient(portA));
    QTRY_COMPARE(tagsOf(*b), QStringList{"[BOTH]"});
    QTRY_COMPARE(svr.queuedMessages(), 0);
    QVERIFY(tagsOf(*a).isEmpty());

    QVERIFY(svr.SendToClient(b->localPort(), "[BYE]", "", "", ""));
    b->socket()->abort();
    QTRY_COMPARE(svr.ClientCount(), 0);
    QTRY_COMPARE(svr.queuedMessages(), 0);
    QCOMPARE(fails.count(), 0);
    QCOMPARE(errors.count(), 0);
}

void tst_hubserver::spacingOfConsecutiveSends()
{
    TwsHUBsvr svr;
    host(svr);
    auto a = connectPeer(svr.listeningPort());
    auto b = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    // OnBusy follows each write at once, so its times are the times the bytes left.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> sent;
    connect(&svr, &TwsHUBsvr::OnBusy, this, [&] {
        sent << clock.elapsed();
        // Queued just after the last of the batch: it still waits out that message's pause.
        if (sent.size() == 6)
            QTimer::singleShot(0, &svr, [&] { svr.SendToClient(a->localPort(), "[N]", "", "", ""); });
    });
    for (int i = 0; i < 3; ++i)
        svr.SendToAll("[M]", QString::number(i), "", "");
    QTRY_COMPARE(tagsOf(*a), (QStringList{"[M]:0", "[M]:1", "[M]:2", "[N]"}));
    QTRY_COMPARE(tagsOf(*b), (QStringList{"[M]:0", "[M]:1", "[M]:2"}));
    QCOMPARE(sent.size(), 7);
    // Sends alternate a, b, a, b, ...: one message per 5 ms tick after the 20 ms pause of the one
    // before, per connection.
    for (int i = 2; i < sent.size(); ++i)
        QVERIFY2(sent[i] - sent[i - 2] >= 25, qPrintable(QString("gap %1 ms").arg(sent[i] - sent[i - 2])));
}

void tst_hubserver::receivesEverySplitWhole()
{
    TwsHUBsvr svr;
    host(svr);
    auto peer = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 1);
    QStringList got;
    connect(&svr, &TwsHUBsvr::OnDataArrived, this,
            [&](const QString &, int, const QString &tag, const QString &v1) { got << tag + v1; });
    const QByteArray stream = BuildFrame("[ONE]", "a", "", "", "", "", "", false, 0)
                              + BuildFrame("[TWO]", "b", "", "", "", "", "", false, 0)
                              + BuildFrame("[THREE]", "c", "", "", "", "", "", false, 0);
    QStringList want;
    for (int cut = 0; cut <= stream.size(); ++cut) {
        peer->socket()->write(stream.left(cut));
        peer->socket()->flush();
        QTest::qWait(1); // a moment apart, so the two pieces mostly arrive in separate reads
        peer->socket()->write(stream.mid(cut));
        peer->socket()->flush();
        want << "[ONE]a" << "[TWO]b" << "[THREE]c";
    }
    QTRY_COMPARE(got.size(), want.size());
    QCOMPARE(got, want);
}

void tst_hubserver::dataArrivedCarriesPeerAddress()
{
    TwsHUBsvr svr;
    host(svr);
    auto peer = connectPeer(svr.listeningPort());
    QSignalSpy data(&svr, &TwsHUBsvr::OnDataArrived);
    peer->socket()->write(BuildFrame("[JOIN]", "Ann", "Quadrix v1.11", "", "", "", "6", false, 0));
    QTRY_COMPARE(data.count(), 1);
    const QList<QVariant> args = data.at(0);
    QCOMPARE(args.at(0).toString(), QString("127.0.0.1"));
    QCOMPARE(args.at(1).toInt(), peer->localPort());
    QCOMPARE(args.at(2).toString(), QString("[JOIN]"));
    QCOMPARE(args.at(3).toString(), QString("Ann"));
    QCOMPARE(args.at(4).toString(), QString("Quadrix v1.11"));
    QCOMPARE(args.at(8).toString(), QString("6"));
}

void tst_hubserver::portChangeWhileListening()
{
    TwsHUBsvr svr;
    QCOMPARE(svr.Port(), 5000);
    host(svr);
    const int bound = svr.listeningPort();
    QVERIFY(svr.setPort(0)); // unchanged
    QVERIFY(!svr.setPort(bound == 65535 ? 65534 : bound + 1));
    QCOMPARE(svr.Port(), bound == 65535 ? 65534 : bound + 1);
    QCOMPARE(svr.listeningPort(), bound);
    QVERIFY(svr.Active());
    svr.setActive(false);
    QVERIFY(svr.setPort(0));
}

void tst_hubserver::localIpResolvesPreferred()
{
    setLocalAddressProvider([] { return QStringList{"192.168.1.5", "203.0.113.7"}; });
    TwsHUBsvr svr;
    host(svr);
    QCOMPARE(svr.LocalIP(), QString("203.0.113.7"));
    QVERIFY(!svr.LocalHostName().isEmpty());
}

void tst_hubserver::logWritesLinesPerAddressee()
{
    TwsHUBsvr svr("gHost");
    svr.setLogEnabled(true);
    host(svr);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 3; ++i)
        peers.push_back(connectPeer(svr.listeningPort()));
    QTRY_COMPARE(svr.ClientCount(), 3);
    svr.SendToAll("[CREDIT]", "1000", "990", "", "", "", "");
    peers[0]->socket()->write(BuildFrame("[PONG]", "Ann", "", "", "", "", "", false, 0));
    QSignalSpy data(&svr, &TwsHUBsvr::OnDataArrived);
    QTRY_COMPARE(data.count(), 1);
    for (auto &p : peers)
        QTRY_COMPARE(tagsOf(*p).size(), 1);
    QFile log("gHost.log");
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromLatin1(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const QRegularExpression stamp("^\\[\\d\\d:\\d\\d:\\d\\d\\] ");
    int sent = 0;
    for (const QString &line : lines) {
        QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        const QString entry = line.mid(11);
        if (entry.startsWith("[S] ")) {
            QCOMPARE(entry, QString("[S] [CREDIT],1000,990,,,,"));
            ++sent;
        } else {
            QCOMPARE(entry, QString("[R] [PONG],Ann,,,,,"));
        }
    }
    QCOMPARE(sent, 3);
}

void tst_hubserver::logFailureNeverStopsMessages()
{
    // A directory where the log file should be: every write of the log fails.
    QVERIFY(QDir().mkdir("gHost.log"));
    TwsHUBsvr svr("gHost");
    svr.setLogEnabled(true);
    host(svr);
    auto peer = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 1);
    QSignalSpy data(&svr, &TwsHUBsvr::OnDataArrived);
    QVERIFY(svr.SendToClient(peer->localPort(), "[OUT]", "", "", ""));
    peer->socket()->write(BuildFrame("[IN]", "", "", "", "", "", "", false, 0));
    QTRY_COMPARE(tagsOf(*peer), QStringList{"[OUT]"});
    QTRY_COMPARE(data.count(), 1);
    QCOMPARE(data.at(0).at(2).toString(), QString("[IN]"));
}

void tst_hubserver::busyHandlerMayRunEventsAndQueue()
{
    TwsHUBsvr svr;
    host(svr);
    auto a = connectPeer(svr.listeningPort());
    auto b = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    int busy = 0;
    int depth = 0;
    int deepest = 0;
    connect(&svr, &TwsHUBsvr::OnBusy, this, [&] {
        ++busy;
        deepest = qMax(deepest, ++depth);
        QTest::qWait(30); // ticks fall due and other events run while the handler waits
        if (busy == 1) {
            svr.SendToAll("[QUEUED]", "", "", "");
            svr.DropClient(b->localPort());
        }
        --depth;
    });
    svr.SendToAll("[FIRST]", "", "", "");
    QTRY_COMPARE(tagsOf(*a), (QStringList{"[FIRST]", "[QUEUED]"}));
    QTRY_COMPARE(svr.queuedMessages(), 0);
    // b went away inside the first OnBusy: its copies are dropped, and no pump ran inside another.
    QTRY_VERIFY(b->closed());
    QVERIFY(tagsOf(*b).isEmpty());
    QCOMPARE(busy, 2);
    // One more message: the pump sent nothing in between.
    QVERIFY(svr.SendToClient(a->localPort(), "[LAST]", "", "", ""));
    QTRY_COMPARE(tagsOf(*a), (QStringList{"[FIRST]", "[QUEUED]", "[LAST]"}));
    QCOMPARE(busy, 3);
    QCOMPARE(deepest, 1);
}

void tst_hubserver::busyHandlerMayDeleteHub()
{
    auto *svr = new TwsHUBsvr;
    host(*svr);
    auto a = connectPeer(svr->listeningPort());
    QTRY_COMPARE(svr->ClientCount(), 1);
    QPointer<TwsHUBsvr> guard(svr);
    connect(svr, &TwsHUBsvr::OnBusy, this, [svr] { delete svr; });
    svr->SendToAll("[ONE]", "", "", "");
    svr->SendToAll("[TWO]", "", "", "");
    QTRY_VERIFY(guard.isNull());
    QTRY_COMPARE(a->socket()->state(), QAbstractSocket::UnconnectedState);
}

void tst_hubserver::peerResetMidFrame()
{
    TwsHUBsvr svr;
    host(svr);
    auto a = connectPeer(svr.listeningPort());
    auto b = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    QStringList got;
    connect(&svr, &TwsHUBsvr::OnDataArrived, this,
            [&](const QString &, int port, const QString &tag) { got << tag + (port == a->localPort() ? "a" : "b"); });
    const QByteArray f = BuildFrame("[HALF]", "x", "", "", "", "", "", false, 0);
    a->write(f.left(9));
    // b's frame, sent after a's half, is delivered once the host has read what lay before it.
    b->write(f);
    QTRY_COMPARE(got, QStringList{"[HALF]b"});
    a->reset();
    QTRY_COMPARE(svr.ClientCount(), 1);
    b->write(f);
    QTRY_COMPARE(got, (QStringList{"[HALF]b", "[HALF]b"}));
}

void tst_hubserver::runawayPeerDoesNotStopOthers()
{
    TwsHUBsvr svr;
    host(svr);
    auto a = connectPeer(svr.listeningPort());
    auto b = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    QStringList got;
    connect(&svr, &TwsHUBsvr::OnDataArrived, this,
            [&](const QString &, int port, const QString &tag) { got << tag + (port == a->localPort() ? "a" : "b"); });
    // a opens a frame and never closes it: 512 KiB of one field.
    a->socket()->write(QByteArray("\x01\x02[RUN]\x02\x04"));
    const QByteArray filler(16 * 1024, 'r');
    for (int i = 0; i < 32; ++i)
        a->socket()->write(filler);
    b->socket()->write(BuildFrame("[OK]", "", "", "", "", "", "", false, 0));
    QTRY_COMPARE(got, QStringList{"[OK]b"});
    QTRY_COMPARE(a->socket()->bytesToWrite(), 0);
    // Once b's next frame is in, the host has read all of a's field that lay before it.
    b->write(BuildFrame("[OK]", "", "", "", "", "", "", false, 0));
    QTRY_COMPARE(got, (QStringList{"[OK]b", "[OK]b"}));
    // a keeps its connection and is understood again once it sends whole frames.
    a->socket()->write(QByteArray("\x04\x01") + BuildFrame("[BACK]", "", "", "", "", "", "", false, 0));
    QTRY_COMPARE(got, (QStringList{"[OK]b", "[OK]b", "[BACK]a"}));
    QCOMPARE(svr.ClientCount(), 2);
}

void tst_hubserver::deactivationInsideDeliveryStopsTheRest()
{
    TwsHUBsvr svr;
    host(svr);
    auto peer = connectPeer(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 1);
    QStringList got;
    connect(&svr, &TwsHUBsvr::OnDataArrived, this, [&](const QString &, int, const QString &tag) {
        got << tag;
        if (got.size() == 1)
            svr.setActive(false);
    });
    peer->socket()->write(BuildFrame("[ONE]", "", "", "", "", "", "", false, 0)
                        + BuildFrame("[TWO]", "", "", "", "", "", "", false, 0));
    QTRY_COMPARE(got, QStringList{"[ONE]"});
    QTRY_COMPARE(peer->socket()->state(), QAbstractSocket::UnconnectedState);
    drainEvents();
    QCOMPARE(got, QStringList{"[ONE]"});
}

QTEST_GUILESS_MAIN(tst_hubserver)
#include "tst_hubserver.moc"
