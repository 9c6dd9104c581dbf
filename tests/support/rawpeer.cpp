#include "support/rawpeer.h"

#include "game/protocol.h"
#include "hub/hubclient.h"
#include "support/tablefixture.h"
#include "ui/mainfrm.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <sys/socket.h>

namespace Stress {

RawPeer::RawPeer() : m_sock(new QTcpSocket(this))
{
    connect(m_sock, &QTcpSocket::readyRead, this, [this] {
        const QList<HubMessage> msgs = m_reader.feed(m_sock->readAll(), false, 0, false);
        for (const HubMessage &m : msgs) {
            got.append(m);
            if (m.Protocol == Tag::REQVER && !m_nick.isEmpty())
                send(Tag::CHKVER, kVersionText);
            else if (m.Protocol == Tag::REQINFO && !m_nick.isEmpty())
                send(Tag::REQJOIN, m_nick);
            else if (m.Protocol == Tag::PING && !m_nick.isEmpty() && m_answerPings)
                send(Tag::PONG, m_nick);
        }
    });
}

bool RawPeer::connectTo(int port, int ms)
{
    startConnect(port);
    return TableFixture::waitFor([this] { return connected(); }, ms);
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

void RawPeer::joinAs(const QString &nick)
{
    m_nick = nick;
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
    return TableFixture::waitFor([this, tag] { return count(tag) > 0; }, ms);
}

bool RawPeer::connected() const
{
    return m_sock->state() == QAbstractSocket::ConnectedState;
}

bool RawPeer::closed() const
{
    return m_sock->state() == QAbstractSocket::UnconnectedState;
}

QTcpSocket *clientSocketOf(TmainFrm *w)
{
    return w->gClient->findChild<QTcpSocket *>();
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

void freezeClient(TmainFrm *w, bool frozen)
{
    for (QObject *child : w->gClient->children())
        child->blockSignals(frozen);
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
