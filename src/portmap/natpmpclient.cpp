#include "portmap/natpmpclient.h"
#include <QUdpSocket>
#include <QtEndian>

namespace {

constexpr quint8 kOpAddress = 0;
constexpr quint8 kOpMapTcp = 2;
constexpr int kFirstResendMs = 250; // doubled after every try

QString resultText(quint16 code)
{
    switch (code) {
    case 1: return QStringLiteral("it does not speak this version of NAT-PMP");
    case 2: return QStringLiteral("it is not allowed to open ports");
    case 3: return QStringLiteral("it has no working connection to the internet");
    case 4: return QStringLiteral("it has no free ports left");
    case 5: return QStringLiteral("it does not open ports by NAT-PMP");
    default: return QStringLiteral("it answered with error %1").arg(code);
    }
}

} // namespace

NatPmpClient::NatPmpClient(const QHostAddress &gateway, quint16 gatewayPort, QObject *parent)
    : QObject(parent), m_gateway(gateway), m_gatewayPort(gatewayPort), m_socket(new QUdpSocket(this))
{
    m_resend.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_resend, &QTimer::timeout, this, [this] {
        send();
        m_resend.start(m_resend.interval() * 2);
    });
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        finish();
        emit failed(false, QStringLiteral("no router answered"));
    });
    connect(m_socket, &QUdpSocket::readyRead, this, &NatPmpClient::readAnswers);
}

void NatPmpClient::map(quint16 internalPort, quint32 lifetime, int deadlineMs)
{
    if (m_socket->state() != QAbstractSocket::BoundState
        && !m_socket->bind(QHostAddress(m_gateway.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6
                                                                                              : QHostAddress::AnyIPv4), 0)) {
        emit failed(false, QStringLiteral("no network to ask on"));
        return;
    }
    m_internalPort = internalPort;
    m_lifetime = lifetime;
    m_step = Step::Address;
    send();
    m_resend.start(kFirstResendMs);
    m_deadline.start(deadlineMs);
}

void NatPmpClient::unmap(quint16 internalPort)
{
    finish();
    // Lifetime 0 and external port 0 remove the mapping of this internal port.
    QByteArray r(12, '\0');
    r[1] = char(kOpMapTcp);
    qToBigEndian<quint16>(internalPort, r.data() + 4);
    m_socket->writeDatagram(r, m_gateway, m_gatewayPort);
}

QByteArray NatPmpClient::request() const
{
    if (m_step == Step::Address)
        return QByteArray(2, '\0'); // version 0, opcode 0
    QByteArray r(12, '\0');
    r[1] = char(kOpMapTcp);
    qToBigEndian<quint16>(m_internalPort, r.data() + 4);
    qToBigEndian<quint16>(m_internalPort, r.data() + 6); // the same port outside, if the gateway can
    qToBigEndian<quint32>(m_lifetime, r.data() + 8);
    return r;
}

void NatPmpClient::send()
{
    if (m_step != Step::Idle)
        m_socket->writeDatagram(request(), m_gateway, m_gatewayPort);
}

void NatPmpClient::readAnswers()
{
    while (m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        QByteArray buf(16, '\0');
        QHostAddress from;
        quint16 fromPort = 0;
        // An oversized datagram is cut to 16 bytes here and then refused for its size.
        m_socket->readDatagram(buf.data(), buf.size(), &from, &fromPort);
        if (m_step == Step::Idle || size < 0 || size > 16 || !from.isEqual(m_gateway, QHostAddress::TolerantConversion)
            || fromPort != m_gatewayPort)
            continue;
        buf.truncate(size);
        answer(buf);
    }
}

void NatPmpClient::answer(const QByteArray &a)
{
    const quint8 op = m_step == Step::Address ? kOpAddress : kOpMapTcp;
    const int size = m_step == Step::Address ? 12 : 16;
    if (a.size() < 4 || a[0] != 0 || quint8(a[1]) != 128 + op)
        return;
    const quint16 result = qFromBigEndian<quint16>(a.constData() + 2);
    if (result != 0) {
        finish();
        emit failed(true, resultText(result));
        return;
    }
    if (a.size() != size)
        return;
    if (m_step == Step::Address) {
        m_external = QHostAddress(qFromBigEndian<quint32>(a.constData() + 8)).toString();
        m_step = Step::Mapping;
        send();
        m_resend.start(kFirstResendMs);
        return;
    }
    // The gateway's own answer for this port: the same internal port, some external port and a lease.
    const quint16 internal = qFromBigEndian<quint16>(a.constData() + 8);
    const quint16 external = qFromBigEndian<quint16>(a.constData() + 10);
    const quint32 lifetime = qFromBigEndian<quint32>(a.constData() + 12);
    if (internal != m_internalPort)
        return;
    finish();
    if (external == 0 || lifetime == 0) {
        emit failed(true, QStringLiteral("it answered without opening a port"));
        return;
    }
    emit mapped(m_external, external, lifetime);
}

void NatPmpClient::finish()
{
    m_step = Step::Idle;
    m_resend.stop();
    m_deadline.stop();
}
