#include "support/rawpeer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <sys/socket.h>

namespace Stress {

bool waitUntil(const std::function<bool()> &condition, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QTest::qWait(10); // polling: events, the hubs' timers among them, run meanwhile
    }
    return true;
}

void drainEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

RawPeer::RawPeer(QTcpSocket *accepted) : m_sock(accepted ? accepted : new QTcpSocket(this))
{
    m_sock->setParent(this);
    connect(m_sock, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = m_sock->readAll();
        raw += bytes;
        const QList<HubMessage> msgs = m_reader.feed(bytes, false, 0, false);
        for (const HubMessage &m : msgs) {
            got.append(m);
            if (!m_nick.isEmpty()) {
                if (m.Protocol == Tag::REQVER)
                    send(Tag::CHKVER, m_version);
                else if (m.Protocol == Tag::REQINFO)
                    send(Tag::REQJOIN, m_nick);
                else if (m.Protocol == Tag::PING && m_answerPings)
                    send(Tag::PONG, m_nick);
            }
            if (onMessage)
                onMessage(m);
        }
    });
}

bool RawPeer::connectTo(int port, int ms)
{
    startConnect(port);
    return waitUntil([this] { return connected(); }, ms);
}

void RawPeer::startConnect(int port)
{
    m_sock->connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
}

void RawPeer::send(const QString &tag, const QString &v1, const QString &v2, const QString &v3, const QString &v4,
                   const QString &v5, const QString &v6)
{
    write(BuildFrame(tag, v1, v2, v3, v4, v5, v6, false, 0));
}

void RawPeer::write(const QByteArray &bytes)
{
    m_sock->write(bytes);
    m_sock->flush();
}

void RawPeer::joinAs(const QString &nick, const QString &version)
{
    m_nick = nick;
    m_version = version;
}

void RawPeer::stopReading()
{
    m_sock->disconnect(this);
    m_sock->setReadBufferSize(1);
}

void RawPeer::reset()
{
    resetSocket(m_sock);
}

void RawPeer::close()
{
    m_sock->disconnectFromHost();
}

int RawPeer::count(const QString &tag) const
{
    int n = 0;
    for (const HubMessage &m : got)
        n += m.Protocol == tag ? 1 : 0;
    return n;
}

bool RawPeer::waitTag(const QString &tag, int ms) const
{
    return waitUntil([this, tag] { return count(tag) > 0; }, ms);
}

bool RawPeer::connected() const
{
    return m_sock->state() == QAbstractSocket::ConnectedState;
}

bool RawPeer::closed() const
{
    return m_sock->state() == QAbstractSocket::UnconnectedState;
}

int RawPeer::localPort() const
{
    return m_sock->localPort();
}

void resetSocket(QTcpSocket *socket)
{
    if (!socket)
        return;
    // A zero linger time makes the close send a reset.
    const linger hard{1, 0};
    if (socket->socketDescriptor() >= 0)
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

LoopWatch::LoopWatch()
{
    auto *timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(1);
    m_clock.start();
    connect(timer, &QTimer::timeout, this, [this] {
        const qint64 now = m_clock.elapsed();
        if (m_last >= 0)
            m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    });
    timer->start();
}

void LoopWatch::start()
{
    m_last = -1;
    m_longest = 0;
}

} // namespace Stress
