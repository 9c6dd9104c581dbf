// NAT-PMP against a gateway played by a UDP socket on 127.0.0.1: the requests it gets, the answers
// the mapper takes, the ones it drops, renewal at half the lease and removal at the end.
#include "portmap/hostingstatus.h"
#include "portmap/portmapper.h"
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

namespace {

QByteArray addressAnswer(quint32 external, quint16 result = 0)
{
    QByteArray a(12, '\0');
    a[1] = char(128);
    qToBigEndian<quint16>(result, a.data() + 2);
    qToBigEndian<quint32>(external, a.data() + 8);
    return a;
}

QByteArray mapAnswer(quint16 internal, quint16 external, quint32 lifetime)
{
    QByteArray a(16, '\0');
    a[1] = char(130);
    qToBigEndian<quint16>(internal, a.data() + 8);
    qToBigEndian<quint16>(external, a.data() + 10);
    qToBigEndian<quint32>(lifetime, a.data() + 12);
    return a;
}

// One gateway: answers every request with what the test queued for its opcode, and records the requests.
struct Gateway
{
    QUdpSocket socket;
    QList<QByteArray> requests;
    quint16 clientPort = 0; // the mapper's socket, as the last request came from
    std::function<QList<QByteArray>(const QByteArray &)> reply;
    Gateway()
    {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 port = 0;
                QByteArray r(64, '\0');
                r.truncate(socket.readDatagram(r.data(), r.size(), &from, &port));
                requests << r;
                clientPort = port;
                for (const QByteArray &a : reply(r))
                    socket.writeDatagram(a, from, port);
            }
        });
    }
    PortMapper::Options options(quint32 lease = 3600) const
    {
        PortMapper::Options o;
        o.gateway = QHostAddress::LocalHost;
        o.natPmpPort = socket.localPort();
        o.upnp = false; // nothing but loopback here
        o.natPmpMs = 600;
        o.leaseSeconds = lease;
        return o;
    }
};

PortMapResult mapOnce(Gateway &g, quint16 port, quint32 lease = 3600)
{
    PortMapper mapper(g.options(lease));
    QSignalSpy done(&mapper, &PortMapper::finished);
    mapper.open(port);
    if (!done.wait(3000))
        return {};
    return mapper.result();
}

} // namespace

class TestNatPmp : public QObject
{
    Q_OBJECT
private slots:
    void opensAndRemovesTheMapping()
    {
        Gateway g;
        g.reply = [](const QByteArray &r) -> QList<QByteArray> {
            if (r.size() == 2)
                return {addressAnswer(0xCB007107)}; // 203.0.113.7
            return {mapAnswer(qFromBigEndian<quint16>(r.constData() + 4), 40001, qFromBigEndian<quint32>(r.constData() + 8))};
        };
        const PortMapResult r = mapOnce(g, 5000);
        QCOMPARE(int(r.outcome), int(PortMapResult::Outcome::Opened));
        QCOMPARE(r.externalAddress, QStringLiteral("203.0.113.7"));
        QCOMPARE(r.externalPort, quint16(40001));
        QCOMPARE(r.leaseSeconds, 3600u);
        // Asked: the address, then TCP 5000 for an hour; at the end the same port with lifetime 0.
        QTRY_COMPARE(g.requests.size(), 3);
        QCOMPARE(g.requests[0], QByteArray(2, '\0'));
        QCOMPARE(g.requests[1].toHex(), QByteArray("000200001388138800000e10"));
        QCOMPARE(g.requests[2].toHex(), QByteArray("000200001388000000000000"));
    }

    void renewsAtHalfTheGrantedLease()
    {
        Gateway g;
        g.reply = [](const QByteArray &r) -> QList<QByteArray> {
            return {r.size() == 2 ? addressAnswer(0xCB007107) : mapAnswer(5000, 5000, 2)}; // grants 2 s of the hour
        };
        PortMapper mapper(g.options());
        QSignalSpy renewed(&mapper, &PortMapper::renewed);
        QElapsedTimer clock;
        clock.start();
        mapper.open(5000);
        QVERIFY(renewed.wait(3000));
        QVERIFY2(clock.elapsed() >= 900 && clock.elapsed() < 1800, qPrintable(QString::number(clock.elapsed())));
    }

    void refusalAndPrivateOutsideAddressCannotJoin()
    {
        Gateway g;
        g.reply = [](const QByteArray &) -> QList<QByteArray> { return {addressAnswer(0, 2)}; };
        PortMapResult r = mapOnce(g, 5000);
        QCOMPARE(int(r.outcome), int(PortMapResult::Outcome::Refused));
        QCOMPARE(r.reason, QStringLiteral("it is not allowed to open ports"));

        g.reply = [](const QByteArray &r) -> QList<QByteArray> {
            return {r.size() == 2 ? addressAnswer(0x64400001) : mapAnswer(5000, 5000, 3600)}; // 100.64.0.1
        };
        r = mapOnce(g, 5000);
        QCOMPARE(int(r.outcome), int(PortMapResult::Outcome::BehindAnotherRouter));
    }

    void badAnswersEndInNoGatewayWithinTheDeadline()
    {
        Gateway g;
        QUdpSocket stranger; // another address answering for the gateway
        stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0);
        g.reply = [&](const QByteArray &) -> QList<QByteArray> {
            stranger.writeDatagram(addressAnswer(0xCB007107), QHostAddress::LocalHost, g.clientPort);
            QByteArray wrongOp = addressAnswer(0xCB007107);
            wrongOp[1] = char(129);
            return {addressAnswer(0xCB007107) + QByteArray(4000, 'x'), wrongOp, addressAnswer(0xCB007107).left(11),
                    QByteArray(1, '\0')};
        };
        QElapsedTimer clock;
        clock.start();
        const PortMapResult r = mapOnce(g, 5000);
        QCOMPARE(int(r.outcome), int(PortMapResult::Outcome::NoGateway));
        QVERIFY(clock.elapsed() < 1500);
        QVERIFY(g.requests.size() >= 2); // sent again while nothing usable came
        QVERIFY(hostingText(QStringLiteral("192.168.1.20"), 5000, r).contains(QStringLiteral("cannot join: no router answered")));
    }
};

QTEST_GUILESS_MAIN(TestNatPmp)
#include "tst_natpmp.moc"
