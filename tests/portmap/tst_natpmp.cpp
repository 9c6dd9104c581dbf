// NAT-PMP against a gateway played by a UDP socket on 127.0.0.1: the requests it gets, the answers
// the mapper takes, the ones it drops, renewal at half the lease and removal at the end.
#include "portmap/portmapper.h"
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

namespace {

// An answer: version 0, opcode + 128, result, epoch, then the opcode's fields.
QByteArray answer(quint8 op, quint16 result, const QList<quint32> &fields)
{
    QByteArray a(op == 0 ? 12 : 16, '\0');
    a[1] = char(128 + op);
    qToBigEndian<quint16>(result, a.data() + 2);
    if (op == 0)
        qToBigEndian<quint32>(fields.value(0), a.data() + 8);
    else
        for (int i = 0; i < 3; ++i)
            i < 2 ? qToBigEndian<quint16>(quint16(fields.value(i)), a.data() + 8 + 2 * i)
                  : qToBigEndian<quint32>(fields.value(i), a.data() + 12);
    return a;
}
const quint32 kTestNet3 = 0xCB007107; // 203.0.113.7

struct Gateway
{
    QUdpSocket socket;
    QList<QByteArray> requests;
    quint16 clientPort = 0;
    std::function<QList<QByteArray>(const QByteArray &)> reply;
    Gateway()
    {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                QHostAddress from;
                QByteArray r(64, '\0');
                r.truncate(socket.readDatagram(r.data(), r.size(), &from, &clientPort));
                requests << r;
                for (const QByteArray &a : reply(r))
                    socket.writeDatagram(a, from, clientPort);
            }
        });
    }
    PortMapper::Options options() const
    {
        PortMapper::Options o;
        o.gateway = QHostAddress::LocalHost;
        o.natPmpPort = socket.localPort();
        o.upnp = false; // nothing but loopback here
        o.natPmpMs = 600;
        return o;
    }
    PortMapResult mapOnce()
    {
        PortMapper mapper(options());
        QSignalSpy done(&mapper, &PortMapper::finished);
        mapper.open(5000);
        return done.wait(3000) ? mapper.result() : PortMapResult{};
    }
};

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
                return {answer(0, 0, {kTestNet3})};
            return {answer(2, 0, {qFromBigEndian<quint16>(r.constData() + 4), 40001, qFromBigEndian<quint32>(r.constData() + 8)})};
        };
        const PortMapResult r = g.mapOnce();
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
            return {r.size() == 2 ? answer(0, 0, {kTestNet3}) : answer(2, 0, {5000, 5000, 2})}; // 2 s of the hour
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
        g.reply = [](const QByteArray &) -> QList<QByteArray> { return {answer(0, 2, {})}; };
        PortMapResult r = g.mapOnce();
        QCOMPARE(int(r.outcome), int(PortMapResult::Outcome::Refused));
        QCOMPARE(r.reason, QStringLiteral("it is not allowed to open ports"));

        g.reply = [](const QByteArray &r) -> QList<QByteArray> {
            return {r.size() == 2 ? answer(0, 0, {0x64400001}) : answer(2, 0, {5000, 5000, 3600})}; // 100.64.0.1
        };
        QCOMPARE(int(g.mapOnce().outcome), int(PortMapResult::Outcome::BehindAnotherRouter));
    }

    void badAnswersEndInNoGatewayWithinTheDeadline()
    {
        Gateway g;
        QUdpSocket stranger; // right answers, from an address that is not the gateway
        stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0);
        g.reply = [&](const QByteArray &) -> QList<QByteArray> {
            stranger.writeDatagram(answer(0, 0, {kTestNet3}), QHostAddress::LocalHost, g.clientPort);
            QByteArray wrongOp = answer(0, 0, {kTestNet3});
            wrongOp[1] = char(129);
            return {answer(0, 0, {kTestNet3}) + QByteArray(4000, 'x'), wrongOp, answer(0, 0, {kTestNet3}).left(11),
                    QByteArray(1, '\0')};
        };
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(g.mapOnce().outcome), int(PortMapResult::Outcome::NoGateway));
        QVERIFY(clock.elapsed() < 1500);
        QVERIFY(g.requests.size() >= 2); // sent again while nothing usable came
    }
};

QTEST_GUILESS_MAIN(TestNatPmp)
#include "tst_natpmp.moc"
