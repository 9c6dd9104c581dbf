// The host's connections that send at once: between two copies that both take any number of
// messages in one read, the pacing only costs time.
#include "hub/hubserverconn.h"

#include <QPointer>
#include <QTcpSocket>

namespace {
// What the socket may hold before messages wait in the queue again, where the game overtakes chat.
constexpr qint64 kSocketBufferBytes = 64 * 1024;
} // namespace

bool TwsHUBsvr::setUnpaced(int port)
{
    for (Conn *c : connsOnPort(port)) {
        if (c->port != port || !c->socket || c->socket->state() != QAbstractSocket::ConnectedState)
            continue;
        if (!c->unpaced) {
            c->unpaced = true;
            c->socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connect(c->socket, &QIODevice::bytesWritten, this, [this, socket = c->socket] {
                if (Conn *conn = findConn(socket))
                    sendUnpaced(conn);
            });
            sendUnpaced(c);
        }
        return true;
    }
    return false;
}

void TwsHUBsvr::sendUnpaced(Conn *c)
{
    QTcpSocket *socket = c->socket;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
        c->queue.clear();
        return;
    }
    bool wrote = false;
    while (!c->queue.isEmpty() && socket->bytesToWrite() < kSocketBufferBytes) {
        socket->write(c->queue.takeNext());
        wrote = true;
    }
    if (!wrote)
        return;
    // No flush here: the socket writes from the event loop, so no error can close this connection
    // while the caller walks the connections.
    m_busy.post();
    if (c->closeWhenSent && c->queue.isEmpty())
        closeSoon(c);
}

qint64 TwsHUBsvr::heldBySocket(const Conn *c) const
{
    // A paced connection never hands the socket more than one message; an unpaced one counts what
    // the socket still holds, so that a reader that stalls is still found by the caps.
    return c->unpaced && c->socket ? c->socket->bytesToWrite() : 0;
}
