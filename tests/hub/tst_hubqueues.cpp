// The host's hub under load, on real loopback sockets: a queue per connection, chat behind the
// game, the chat limit per sender, the cap on what waits for a connection.
#include "hub/chatlimit.h"
#include "hub/hubserver.h"

#include <QSignalSpy>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <QTest>
#include <memory>

namespace {

// A bare TCP peer that collects the messages the hub sends it.
struct Peer
{
    QTcpSocket socket;
    FrameReader reader;
    QList<HubMessage> got;

    explicit Peer(int port)
    {
        QObject::connect(&socket, &QIODevice::readyRead, &socket, [this] {
            got += reader.feed(socket.readAll(), false, 0, false);
        });
        socket.connectToHost(QHostAddress::LocalHost, quint16(port));
        socket.waitForConnected(3000);
    }
    int port() const { return socket.localPort(); }
    QStringList tags() const
    {
        QStringList out;
        for (const HubMessage &m : got)
            out << m.Protocol + (m.value[0].isEmpty() ? QString() : ":" + m.value[0]);
        return out;
    }
    void send(const QString &tag, const QString &v1 = {}, const QString &v2 = {})
    {
        socket.write(BuildFrame(tag, v1, v2, {}, {}, {}, {}, false, 0));
    }
};

void host(TwsHUBsvr &svr)
{
    svr.setPort(0);
    svr.setActive(true);
}

} // namespace

class tst_hubqueues : public QObject
{
    Q_OBJECT
private slots:
    void connectionsDoNotWaitForEachOther();
    void tableMessagesPassWaitingChat();
    void chatLimitSlidesOverItsWindow();
    void chatFloodIsCutAndTheSenderTold();
    void connectionPastTheCapLeaves();
    void peerThatStopsReadingLeavesAtTheByteCap();
    void unseatedConnectionsAreClosed();
    void unpacedConnectionSendsAtOnceAndStillLeavesWhenItStopsReading();
};

void tst_hubqueues::connectionsDoNotWaitForEachOther()
{
    TwsHUBsvr svr;
    host(svr);
    Peer a(svr.listeningPort()), b(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    for (int i = 0; i < 20; ++i)
        svr.SendToClient(a.port(), "[M]", QString::number(i), "", "");
    svr.SendToClient(b.port(), "[B]", "", "", "");
    // b's one message leaves with a's first, not behind all twenty.
    QTRY_COMPARE(b.tags(), QStringList{"[B]"});
    QVERIFY2(a.got.size() < 5, qPrintable(QString::number(a.got.size())));
    QTRY_COMPARE(a.got.size(), 20);
    QCOMPARE(a.got.last().value[0], QString("19"));
}

void tst_hubqueues::tableMessagesPassWaitingChat()
{
    TwsHUBsvr svr;
    host(svr);
    Peer a(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 1);
    svr.SendToAll("[CHAT]", "Ann", "1", "");
    svr.SendToAll("[SYSTEM]", "2", "", "");
    svr.SendToAll("[THROW]", "0", "Ann", "1");
    svr.SendToAll("[CHAT]", "Ann", "3", "");
    svr.SendToAll("[PING]", "", "", "");
    QTRY_COMPARE(a.tags(), (QStringList{"[THROW]:0", "[PING]", "[CHAT]:Ann", "[SYSTEM]:2", "[CHAT]:Ann"}));
    QCOMPARE(a.got.at(4).value[1], QString("3"));
}

void tst_hubqueues::chatLimitSlidesOverItsWindow()
{
    using V = TChatLimit::Verdict;
    TChatLimit limit;
    for (int t = 0; t < 3; ++t)
        QCOMPARE(limit.admit(t * 100, 3, 1000), V::Pass);
    QCOMPARE(limit.admit(500, 3, 1000), V::DropAndTell);
    QCOMPARE(limit.admit(600, 3, 1000), V::Drop);
    // The first line leaves the window: one more passes, and a new run of drops is told again.
    QCOMPARE(limit.admit(1000, 3, 1000), V::Pass);
    QCOMPARE(limit.admit(1001, 3, 1000), V::DropAndTell);
    QCOMPARE(limit.admit(1002, 0, 1000), V::Pass);
}

void tst_hubqueues::chatFloodIsCutAndTheSenderTold()
{
    TwsHUBsvr svr;
    QCOMPARE(svr.chatLimitLines(), 10);
    QCOMPARE(svr.chatLimitWindowMs(), 10000);
    host(svr);
    Peer flooder(svr.listeningPort()), other(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    QHash<int, QStringList> delivered;
    connect(&svr, &TwsHUBsvr::OnDataArrived, this,
            [&](const QString &, int port, const QString &tag, const QString &, const QString &v2) {
                delivered[port] << tag + v2;
            });
    QStringList expected;
    for (int n = 0; n < 15; ++n) {
        const QString tag = n % 5 ? "[CHAT]" : "[SYSTEM]";
        flooder.send(tag, "Dan", QString::number(n));
        if (n < 10)
            expected << tag + QString::number(n);
    }
    flooder.send("[THROW]", "0", "Dan");
    expected << "[THROW]Dan";
    other.send("[CHAT]", "Bob", "hi");
    QTRY_COMPARE(delivered.value(flooder.port()), expected);
    QTRY_COMPARE(delivered.value(other.port()), QStringList{"[CHAT]hi"});
    // Told once: a line queued behind the notice arrives right after it.
    svr.SendToAll("[CHAT]", "Ann", "end", "");
    QTRY_COMPARE(flooder.got.size(), 2);
    QCOMPARE(flooder.got.at(0).Protocol, QString("[SYSTEM]"));
    QVERIFY(flooder.got.at(0).value[0].contains("drops your lines"));
    QCOMPARE(flooder.got.at(1).value[1], QString("end"));
}

void tst_hubqueues::connectionPastTheCapLeaves()
{
    TwsHUBsvr svr;
    host(svr);
    Peer a(svr.listeningPort()), b(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    QSignalSpy left(&svr, &TwsHUBsvr::OnClientDisconnect);
    // 2000 messages may wait for a connection; the next one is too many.
    for (int i = 0; i < 2000; ++i)
        svr.SendToClient(a.port(), "[M]", "", "", "");
    QCOMPARE(svr.queuedMessages(), 2000);
    svr.SendToAll("[LAST]", "", "", "");
    QCOMPARE(svr.queuedMessages(), 1);
    // Not inside the send: the departure comes once the caller is done.
    QCOMPARE(left.count(), 0);
    QVERIFY(left.wait());
    QCOMPARE(left.at(0).at(1).toInt(), a.port());
    QTRY_COMPARE(b.tags(), QStringList{"[LAST]"});
    QCOMPARE(svr.ClientCount(), 1);
    QTRY_COMPARE(a.socket.state(), QAbstractSocket::UnconnectedState);
}

void tst_hubqueues::peerThatStopsReadingLeavesAtTheByteCap()
{
    TwsHUBsvr svr;
    host(svr);
    Peer reader(svr.listeningPort()), stopped(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    stopped.socket.disconnect();
    stopped.socket.setReadBufferSize(1);
    QSignalSpy left(&svr, &TwsHUBsvr::OnClientDisconnect);
    // Big messages at the pace the reading peer takes them: only the stopped one falls behind.
    const QString bulk(64 * 1024, QChar('x'));
    int answered = 0;
    connect(&reader.socket, &QIODevice::readyRead, this, [&] {
        for (; answered < reader.got.size(); ++answered)
            svr.SendToAll("[BULK]", bulk, "", "");
    });
    svr.SendToAll("[BULK]", bulk, "", "");
    QVERIFY(left.wait(30000));
    QCOMPARE(left.at(0).at(1).toInt(), stopped.port());
    const int before = int(reader.got.size());
    QTRY_VERIFY(reader.got.size() > before + 3);
    QCOMPARE(svr.ClientCount(), 1);
}

void tst_hubqueues::unpacedConnectionSendsAtOnceAndStillLeavesWhenItStopsReading()
{
    TwsHUBsvr svr;
    host(svr);
    Peer fast(svr.listeningPort()), paced(svr.listeningPort()), stopped(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 3);
    QVERIFY(svr.setUnpaced(fast.port()));
    QVERIFY(svr.setUnpaced(stopped.port()));
    QVERIFY(!svr.setUnpaced(1));
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 40; ++i) {
        svr.SendToClient(fast.port(), "[M]", QString::number(i), "", "");
        svr.SendToClient(paced.port(), "[M]", QString::number(i), "", "");
    }
    QTRY_COMPARE(fast.got.size(), 40);
    QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(fast.got.last().value[0], QString("39"));
    // The paced one next to it still gets one message a tick.
    QVERIFY2(paced.got.size() < 20, qPrintable(QString::number(paced.got.size())));

    // What the socket holds counts against the cap: a reader that stops is still found.
    stopped.socket.disconnect();
    stopped.socket.setReadBufferSize(1);
    QSignalSpy left(&svr, &TwsHUBsvr::OnClientDisconnect);
    const QString bulk(64 * 1024, QChar('x'));
    QTimer feed;
    connect(&feed, &QTimer::timeout, this, [&] { svr.SendToClient(stopped.port(), "[BULK]", bulk, "", ""); });
    feed.start(1);
    QVERIFY(left.wait(30000));
    QCOMPARE(left.at(0).at(1).toInt(), stopped.port());
}

void tst_hubqueues::unseatedConnectionsAreClosed()
{
    TwsHUBsvr svr;
    QCOMPARE(svr.seatTimeoutMs(), 15000);
    svr.setSeatTimeoutMs(300);
    host(svr);
    Peer stranger(svr.listeningPort()), guest(svr.listeningPort());
    QTRY_COMPARE(svr.ClientCount(), 2);
    QVERIFY(svr.markSeated(guest.port()));
    QSignalSpy left(&svr, &TwsHUBsvr::OnClientDisconnect);
    QVERIFY(left.wait());
    QCOMPARE(left.at(0).at(1).toInt(), stranger.port());
    // A later stranger's time runs out well after the guest's would have.
    Peer late(svr.listeningPort());
    QVERIFY(left.wait());
    QCOMPARE(left.at(1).at(1).toInt(), late.port());
    QCOMPARE(svr.ClientCount(), 1);
    QCOMPARE(guest.socket.state(), QAbstractSocket::ConnectedState);
}

QTEST_GUILESS_MAIN(tst_hubqueues)
#include "tst_hubqueues.moc"
