#include "support/faultproxy.h"
#include "support/rawpeer.h"
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <limits>
#include <sys/socket.h>

namespace Stress {

FaultProxy::FaultProxy(int hostPort, quint64 seed, QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_pump(new QTimer(this)), m_rng(seed), m_hostPort(hostPort)
{
    m_clock.start();
    m_pump->setTimerType(Qt::PreciseTimer);
    m_pump->setInterval(5);
    connect(m_pump, &QTimer::timeout, this, &FaultProxy::pump);
    connect(m_server, &QTcpServer::newConnection, this, &FaultProxy::onNewConnection);
    m_pump->start();
}

FaultProxy::~FaultProxy()
{
    while (!m_links.isEmpty())
        endLink(m_links.first(), true);
}

bool FaultProxy::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

int FaultProxy::port() const
{
    return m_server->serverPort();
}

void FaultProxy::addLatency(int jitterMs, int forMs)
{
    m_jitterMs = jitterMs;
    m_latencyUntil = nowMs() + forMs;
}

void FaultProxy::slowLink(int bytesPerSecond, int forMs)
{
    m_bytesPerSecond = bytesPerSecond;
    m_slowUntil = nowMs() + forMs;
    for (Link *link : std::as_const(m_links))
        link->toHost.budget = link->toGuest.budget = 0;
}

void FaultProxy::cutIntoPieces(int largestPiece, int forMs)
{
    m_largestPiece = qMax(1, largestPiece);
    m_piecesUntil = nowMs() + forMs;
}

void FaultProxy::stall(Direction d, int forMs)
{
    for (Link *link : std::as_const(m_links)) {
        if (d & ToHost)
            link->toHost.stallUntil = nowMs() + forMs;
        if (d & ToGuest)
            link->toGuest.stallUntil = nowMs() + forMs;
    }
}

void FaultProxy::reset()
{
    while (!m_links.isEmpty())
        endLink(m_links.first(), true);
}

void FaultProxy::halfClose(Direction towards)
{
    for (Link *link : std::as_const(m_links)) {
        Pipe &pipe = towards == ToHost ? link->toHost : link->toGuest;
        QTcpSocket *to = towards == ToHost ? link->host : link->guest;
        if (towards == ToHost && !link->hostUp)
            continue;
        // What was on its way still arrives, then the end of the stream.
        for (const auto &chunk : std::as_const(pipe.chunks))
            to->write(chunk.first);
        pipe.chunks.clear();
        pipe.shut = true;
        to->flush();
        ::shutdown(int(to->socketDescriptor()), SHUT_WR);
    }
}

void FaultProxy::cutMidMessage(Direction d)
{
    for (Link *link : std::as_const(m_links)) {
        link->toHost.cutNext = (d & ToHost) != 0;
        link->toGuest.cutNext = (d & ToGuest) != 0;
    }
}

void FaultProxy::refuseFor(int ms)
{
    m_refuseUntil = nowMs() + ms;
    reset();
}

bool FaultProxy::timedFault() const
{
    const qint64 now = nowMs();
    if (now < m_latencyUntil || now < m_slowUntil || now < m_piecesUntil || now < m_refuseUntil)
        return true;
    for (const Link *link : m_links)
        if (now < link->toHost.stallUntil || now < link->toGuest.stallUntil || link->toHost.cutNext
            || link->toGuest.cutNext)
            return true;
    return false;
}

bool FaultProxy::idle() const
{
    for (const Link *link : m_links)
        if (!link->toHost.empty() || !link->toGuest.empty() || !link->hostUp)
            return false;
    return !timedFault();
}

void FaultProxy::onNewConnection()
{
    while (QTcpSocket *guest = m_server->nextPendingConnection()) {
        if (nowMs() < m_refuseUntil) {
            resetSocket(guest);
            guest->deleteLater();
            continue;
        }
        ++m_accepted;
        auto *link = new Link;
        link->guest = guest;
        link->host = new QTcpSocket(this);
        m_links.append(link);
        connect(guest, &QTcpSocket::readyRead, this, [this, link] { onRead(link, true); });
        connect(link->host, &QTcpSocket::readyRead, this, [this, link] { onRead(link, false); });
        connect(guest, &QTcpSocket::disconnected, this, [this, link] { onSideClosed(link, true); });
        connect(link->host, &QTcpSocket::disconnected, this, [this, link] { onSideClosed(link, false); });
        connect(guest, &QTcpSocket::errorOccurred, this, [this, link] { onSideClosed(link, true); });
        connect(link->host, &QTcpSocket::errorOccurred, this, [this, link] { onSideClosed(link, false); });
        connect(link->host, &QTcpSocket::connected, this, [this, link] {
            link->hostUp = true;
            pump();
        });
        link->host->connectToHost(QHostAddress::LocalHost, quint16(m_hostPort));
    }
}

void FaultProxy::onRead(Link *link, bool fromGuest)
{
    if (!m_links.contains(link))
        return;
    QTcpSocket *from = fromGuest ? link->guest : link->host;
    Pipe &pipe = fromGuest ? link->toHost : link->toGuest;
    const QByteArray bytes = from->readAll();
    if (bytes.isEmpty() || pipe.shut)
        return;
    const qint64 now = nowMs();
    qint64 due = now + (now < m_latencyUntil ? qint64(m_rng.bounded(m_jitterMs + 1)) : 0);
    // Latency never reorders: bytes leave in the order they came.
    due = qMax(due, pipe.lastDue);
    pipe.lastDue = due;
    pipe.chunks.append({bytes, due});
    pump();
}

void FaultProxy::pump()
{
    const qint64 now = nowMs();
    const qint64 elapsed = now - m_lastPump;
    m_lastPump = now;
    // Copied: a cut ends a link while the list is walked.
    const QList<Link *> links = m_links;
    for (Link *link : links) {
        if (now < m_slowUntil) {
            for (Pipe *p : {&link->toHost, &link->toGuest})
                p->budget = qMin(p->budget + double(m_bytesPerSecond) * double(elapsed) / 1000.0,
                                 double(qMax(1, m_bytesPerSecond)));
        }
        pumpPipe(link, link->toHost, link->host, ToHost);
        if (m_links.contains(link))
            pumpPipe(link, link->toGuest, link->guest, ToGuest);
    }
    if (!idle())
        m_lastBusy = now;
}

void FaultProxy::pumpPipe(Link *link, Pipe &pipe, QTcpSocket *to, Direction d)
{
    const qint64 now = nowMs();
    if (pipe.empty() || (d == ToHost && !link->hostUp) || now < pipe.stallUntil)
        return;
    const bool slow = now < m_slowUntil;
    qint64 allowed = now < m_piecesUntil ? 1 + m_rng.bounded(m_largestPiece) : std::numeric_limits<qint64>::max();
    if (slow)
        allowed = qMin(allowed, qint64(pipe.budget));
    while (!pipe.chunks.isEmpty() && pipe.chunks.first().second <= now && allowed > 0) {
        QByteArray &chunk = pipe.chunks.first().first;
        if (pipe.cutNext) {
            // Part of what was sent arrives, then the line is gone.
            const int keep = chunk.size() > 1 ? int(m_rng.bounded(1, int(chunk.size()))) : 0;
            to->write(chunk.left(keep));
            to->flush();
            endLink(link, true);
            return;
        }
        const qint64 n = qMin<qint64>(allowed, chunk.size());
        to->write(chunk.left(n));
        chunk.remove(0, n);
        allowed -= n;
        if (slow)
            pipe.budget -= double(n);
        if (chunk.isEmpty())
            pipe.chunks.removeFirst();
    }
}

void FaultProxy::endLink(Link *link, bool hard)
{
    if (!m_links.removeOne(link))
        return;
    for (QTcpSocket *s : {link->guest, link->host}) {
        s->disconnect(this);
        if (hard)
            resetSocket(s);
        else
            s->disconnectFromHost();
        s->deleteLater();
    }
    delete link;
}

void FaultProxy::onSideClosed(Link *link, bool guestSide)
{
    if (!m_links.contains(link))
        return;
    // The other side gets what was on its way, then an orderly end.
    Pipe &pipe = guestSide ? link->toHost : link->toGuest;
    QTcpSocket *to = guestSide ? link->host : link->guest;
    if (!pipe.shut && (!guestSide || link->hostUp))
        for (const auto &chunk : std::as_const(pipe.chunks))
            to->write(chunk.first);
    pipe.chunks.clear();
    endLink(link, false);
}

} // namespace Stress
