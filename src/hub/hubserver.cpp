#include "hub/hubserver.h"
#include "hub/hubtiming.h"
#include "hub/hubserverconn.h"

#include "hub/chatlimit.h"
#include "hub/hublog.h"
#include "hub/sendqueue.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace {

using HubTiming::kTickMs;
constexpr int kAttemptPauseMs = 20;
constexpr int kMaxAttempts = 5;
using HubTiming::kReadPiece;
constexpr int kListenBacklog = 1024;
constexpr int kLingerMs = 3000; // how long a closed connection may take to hand over its last bytes
// Messages waiting for one connection beyond either cap: that copy has stopped reading.
constexpr int kQueueCapMessages = 2000;
constexpr qint64 kQueueCapBytes = 1024 * 1024;

const QString kChatDroppedNotice = QStringLiteral("[*] Too many lines at once: the host drops your lines for now.");

// An IPv4 peer of the dual-stack listener shows its plain dotted address, as everywhere else.
QString plainAddress(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4).toString() : address.toString();
}

QString sentLine(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                 const QString &v4, const QString &v5, const QString &v6)
{
    return LogLine("[S] ", {Protocol, v1, v2, v3, v4, v5, v6});
}

QString receivedLine(const HubMessage &m)
{
    QStringList fields{m.Protocol};
    for (const QString &v : m.value)
        fields << v;
    return LogLine("[R] ", fields);
}

// Lets a connection the hub no longer tracks finish sending what it holds, then frees it.
void releaseSocket(QTcpSocket *socket, QObject *hub)
{
    if (!socket)
        return;
    socket->disconnect(hub);
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    QTimer::singleShot(kLingerMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

} // namespace


QString HostingErrorText(int port, QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::SocketAccessError)
        return QStringLiteral("Port ") + QString::number(port)
               + QStringLiteral(" needs administrator rights, choose a port above 1023 !");
    return QStringLiteral("Port ") + QString::number(port) + QStringLiteral(" used by another application !");
}

TwsHUBsvr::TwsHUBsvr(const QString &name, QObject *parent)
    : QObject(parent), m_name(name), m_server(new QTcpServer(this)), m_sendTimer(new QTimer(this))
{
    m_sendTimer->setSingleShot(true);
    m_sendTimer->setTimerType(Qt::PreciseTimer);
    m_sendTimer->setInterval(kTickMs);
    connect(m_sendTimer, &QTimer::timeout, this, &TwsHUBsvr::pumpSendQueues);
    connect(m_server, &QTcpServer::newConnection, this, &TwsHUBsvr::acceptConnections);
}

TwsHUBsvr::~TwsHUBsvr()
{
    m_sendTimer->stop();
    dropAllConnections();
    m_server->close();
}

bool TwsHUBsvr::Active() const { return m_active; }

void TwsHUBsvr::setActive(bool on)
{
    m_active = on;
    if (!on) {
        // Nothing of the dropped connections travels on, either way, once hosting stopped.
        m_inbound.clear();
        m_sendTimer->stop();
        dropAllConnections();
        m_server->close();
        m_boundPort = -1;
        emit OnCloseConnection(this);
        return;
    }
    if (!m_server->isListening()) {
        // Players of many tables may come at once (a server restarted): Qt's queue of 50 would drop some.
        m_server->setListenBacklogSize(kListenBacklog);
        const bool valid = m_port >= 0 && m_port <= 65535;
        // Both families where the system has IPv6, else IPv4 alone; or the one address asked for.
        const bool listening = valid
                               && (m_listenAddress.isNull()
                                       ? m_server->listen(QHostAddress::Any, quint16(m_port))
                                             || m_server->listen(QHostAddress::AnyIPv4, quint16(m_port))
                                       : m_server->listen(m_listenAddress, quint16(m_port)));
        if (!listening) {
            const auto error = valid ? m_server->serverError() : QAbstractSocket::UnsupportedSocketOperationError;
            m_lastError = valid ? m_server->errorString() : QStringLiteral("Port out of range");
            const QString text = HostingErrorText(m_port, error);
            QPointer<TwsHUBsvr> self(this);
            setActive(false);
            if (self)
                emit OnHostingError(text);
            return;
        }
        m_boundPort = m_port;
        m_lastError.clear();
    }
    m_localAddress = m_server->serverAddress().toString();
    emit OnHosting(this);
}

int TwsHUBsvr::Port() const { return m_port; }

bool TwsHUBsvr::setPort(int port)
{
    // The value is kept either way; a running listener cannot move to another port.
    m_port = port;
    return !(m_server->isListening() && port != m_boundPort);
}

QString TwsHUBsvr::Author() const { return QStringLiteral("Quadrix"); }
QString TwsHUBsvr::Email() const { return QStringLiteral("quadrix@localhost"); }
QString TwsHUBsvr::Url() const { return QStringLiteral("http://localhost/quadrix"); }
QString TwsHUBsvr::Version() const { return QStringLiteral("0.90"); }
void TwsHUBsvr::setVersion(const QString &) {}

int TwsHUBsvr::listeningPort() const { return m_server->isListening() ? int(m_server->serverPort()) : 0; }

QString TwsHUBsvr::lastErrorText() const { return m_lastError; }

void TwsHUBsvr::SendToAll(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3)
{
    queueForClients(Pick::All, 0, Protocol, v1, v2, v3, QString(), QString(), QString());
}

void TwsHUBsvr::SendToAll(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                          const QString &v4, const QString &v5, const QString &v6)
{
    queueForClients(Pick::All, 0, Protocol, v1, v2, v3, v4, v5, v6);
}

void TwsHUBsvr::SendToAllExcept(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                                const QString &v4, const QString &v5, const QString &v6, int exceptPort)
{
    queueForClients(Pick::AllExcept, exceptPort, Protocol, v1, v2, v3, v4, v5, v6);
}

bool TwsHUBsvr::SendToClient(int port, const QString &Protocol, const QString &v1, const QString &v2,
                             const QString &v3)
{
    return queueForClients(Pick::One, port, Protocol, v1, v2, v3, QString(), QString(), QString());
}

bool TwsHUBsvr::SendToClient(int port, const QString &Protocol, const QString &v1, const QString &v2,
                             const QString &v3, const QString &v4, const QString &v5, const QString &v6)
{
    return queueForClients(Pick::One, port, Protocol, v1, v2, v3, v4, v5, v6);
}

bool TwsHUBsvr::queueForClients(Pick pick, int port, const QString &Protocol, const QString &v1,
                                const QString &v2, const QString &v3, const QString &v4, const QString &v5,
                                const QString &v6)
{
    QByteArray frame;
    bool queued = false;
    for (Conn *c : pick == Pick::One ? connsOnPort(port) : m_conns) {
        if (c->overflowed || !c->socket || c->socket->state() != QAbstractSocket::ConnectedState)
            continue;
        const bool picked = pick == Pick::All || (pick == Pick::AllExcept ? c->port != port : c->port == port);
        if (!picked)
            continue;
        // One addressee is one port: should two connections share it, both get the message, logged once.
        if (m_logEnabled && !(pick == Pick::One && queued))
            AppendLog(logName(), sentLine(Protocol, v1, v2, v3, v4, v5, v6));
        if (frame.isEmpty())
            frame = BuildFrame(Protocol, v1, v2, v3, v4, v5, v6, m_encrypt, m_key);
        queueFrame(c, frame, IsChatTag(Protocol));
        queued = true;
        if (!m_sending && !c->overflowed)
            armPumpFor(c);
    }
    return queued;
}

void TwsHUBsvr::queueFrame(Conn *c, const QByteArray &frame, bool chat)
{
    if (c->overflowed)
        return;
    if (c->queue.isEmpty()) {
        // A tick after queueing, or after the pause of the connection's last message.
        c->sendAt = QDeadlineTimer(kTickMs + std::max<qint64>(0, c->quietUntil.remainingTime()), Qt::PreciseTimer);
    }
    c->queue.push(frame, chat);
    if (c->queue.count() <= kQueueCapMessages && c->queue.bytes() + heldBySocket(c) <= kQueueCapBytes) {
        if (c->unpaced)
            sendUnpaced(c);
        return;
    }
    // It leaves, the others go on.
    c->overflowed = true;
    c->queue.clear();
    closeSoon(c);
}

void TwsHUBsvr::closeSoon(Conn *c)
{
    QTimer::singleShot(0, c->socket, [this, socket = c->socket] {
        if (findConn(socket))
            closeConnection(socket);
    });
}

void TwsHUBsvr::tellChatDropped(Conn *c)
{
    if (m_logEnabled)
        AppendLog(logName(), sentLine(QStringLiteral("[SYSTEM]"), kChatDroppedNotice, {}, {}, {}, {}, {}));
    queueFrame(c, BuildFrame(QStringLiteral("[SYSTEM]"), kChatDroppedNotice, {}, {}, {}, {}, {}, m_encrypt, m_key),
               true);
    if (!m_sending)
        schedulePump();
}

void TwsHUBsvr::armPumpFor(const Conn *c)
{
    if (c->unpaced || c->queue.isEmpty())
        return;
    const int wait = int(std::max<qint64>(0, c->sendAt.remainingTime()));
    if (!m_sendTimer->isActive() || m_sendTimer->remainingTime() > wait)
        m_sendTimer->start(wait);
}

void TwsHUBsvr::schedulePump()
{
    qint64 earliest = -1;
    for (const Conn *c : std::as_const(m_conns)) {
        if (c->queue.isEmpty() || c->unpaced)
            continue;
        const qint64 wait = std::max<qint64>(0, c->sendAt.remainingTime());
        earliest = earliest < 0 ? wait : std::min(earliest, wait);
    }
    if (earliest < 0)
        m_sendTimer->stop();
    else
        m_sendTimer->start(int(earliest));
}

void TwsHUBsvr::pumpSendQueues()
{
    // Every connection whose next message is due sends it now; each keeps its own pace.
    m_sending = true;
    QList<QPointer<QTcpSocket>> due;
    for (const Conn *c : std::as_const(m_conns)) {
        if (!c->unpaced && !c->queue.isEmpty() && c->sendAt.hasExpired())
            due.append(c->socket);
    }
    for (const QPointer<QTcpSocket> &socket : std::as_const(due)) {
        // Connections can go away while OnBusy lets other events run.
        Conn *c = findConn(socket);
        if (c && !c->queue.isEmpty() && !sendHead(c))
            return;
    }
    m_sending = false;
    schedulePump();
}

bool TwsHUBsvr::sendHead(Conn *c)
{
    const QPointer<QTcpSocket> socket = c->socket;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
        c->queue.clear();
        return true;
    }
    // Bytes the system did not take yet mean a peer that does not read: the message waits here,
    // where it counts against the cap.
    if (socket->bytesToWrite() > 0)
        socket->flush();
    if (socket->bytesToWrite() > 0) {
        c->sendAt = QDeadlineTimer(kTickMs + kAttemptPauseMs, Qt::PreciseTimer);
        return true;
    }
    // Taken off the queue first: handlers of OnBusy may queue more behind it.
    const QByteArray message = c->queue.takeNext();
    const QString ip = c->ip;
    const int port = c->port;
    QPointer<TwsHUBsvr> self(this);
    qint64 result = 0;
    int tries = 0;
    while (result == 0 && m_server->isListening() && socket && findConn(socket)
           && socket->state() == QAbstractSocket::ConnectedState) {
        result = socket->write(message);
        if (result > 0)
            socket->flush();
        ++tries;
        emit OnBusy(this);
        if (!self)
            return false;
        if (result == 0 && tries == kMaxAttempts) {
            emit OnClientSendFail(ip, port);
            if (!self)
                return false;
            break;
        }
    }
    if (Conn *after = findConn(socket)) {
        const int pause = tries * kAttemptPauseMs;
        after->quietUntil = QDeadlineTimer(pause, Qt::PreciseTimer);
        after->sendAt = QDeadlineTimer(kTickMs + pause, Qt::PreciseTimer);
        if (after->closeWhenSent && after->queue.isEmpty())
            closeSoon(after);
    }
    return true;
}

bool TwsHUBsvr::DropClientWhenSent(int port)
{
    for (Conn *c : connsOnPort(port)) {
        if (c->port != port || !c->socket)
            continue;
        c->closeWhenSent = true;
        if (c->queue.isEmpty())
            closeSoon(c);
        return true;
    }
    return false;
}

bool TwsHUBsvr::DropClient(int port)
{
    for (const Conn *c : connsOnPort(port)) {
        if (c->port == port && c->socket && c->socket->state() == QAbstractSocket::ConnectedState) {
            closeConnection(c->socket);
            return true;
        }
    }
    return false;
}

QString TwsHUBsvr::LocalHostName()
{
    m_computerName = QSysInfo::machineHostName();
    return m_computerName;
}

bool TwsHUBsvr::markSeated(int port)
{
    for (Conn *c : connsOnPort(port)) {
        if (c->port == port && c->socket && c->socket->state() == QAbstractSocket::ConnectedState) {
            c->seated = true;
            return true;
        }
    }
    return false;
}

void TwsHUBsvr::setChatLimit(int lines, int windowMs)
{
    m_chatLines = lines;
    m_chatWindowMs = windowMs;
}

int TwsHUBsvr::queuedMessages() const
{
    int n = 0;
    for (const Conn *c : m_conns)
        n += c->queue.count() + (heldBySocket(c) > 0 ? 1 : 0);
    return n;
}

QString TwsHUBsvr::LocalIP()
{
    // Listening on every address of both families reads "::" or "0.0.0.0": nothing to show.
    if (m_localAddress.isEmpty() || m_localAddress == QLatin1String("0.0.0.0") || m_localAddress == QLatin1String("::"))
        m_localAddress = PreferredLocalAddress();
    return m_localAddress;
}

TwsHUBsvr::Conn *TwsHUBsvr::findConn(const QTcpSocket *socket) const
{
    if (!socket)
        return nullptr;
    // A socket deleted behind the hub's back must not lend its address to a newer one.
    Conn *c = m_bySocket.value(socket, nullptr);
    return c && c->socket == socket ? c : nullptr;
}

QList<TwsHUBsvr::Conn *> TwsHUBsvr::connsOnPort(int port) const
{
    QList<Conn *> found = m_byPort.values(port);
    if (found.size() > 1)
        std::sort(found.begin(), found.end(),
                  [this](const Conn *a, const Conn *b) { return m_conns.indexOf(a) < m_conns.indexOf(b); });
    return found;
}

void TwsHUBsvr::acceptConnections()
{
    QPointer<TwsHUBsvr> self(this);
    while (m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (!socket)
            break;
        auto *c = new Conn;
        c->socket = socket;
        c->ip = plainAddress(socket->peerAddress());
        c->port = socket->peerPort();
        connect(socket, &QIODevice::readyRead, this, [this, socket] { readConnection(socket); });
        connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { connectionClosed(socket); });
        connect(socket, &QAbstractSocket::errorOccurred, this,
                [this, socket](QAbstractSocket::SocketError e) { connectionError(socket, e); });
        c->id = socket;
        m_conns.append(c);
        m_bySocket.insert(socket, c);
        m_byPort.insert(c->port, c);
        const QString ip = c->ip;
        const int port = c->port;
        if (m_maxClient > 0 && m_conns.size() > m_maxClient) {
            emit OnClientReject(ip, port);
            if (!self)
                return;
            closeConnection(socket);
            if (!self)
                return;
            continue;
        }
        m_clientCount = int(m_conns.size());
        // Strangers must not hold the seats: a connection that is not seated in time is closed.
        if (m_seatTimeoutMs > 0) {
            QTimer::singleShot(m_seatTimeoutMs, socket, [this, socket] {
                const Conn *c = findConn(socket);
                if (c && !c->seated)
                    closeConnection(socket);
            });
        }
        emit OnClientConnect(ip, port);
        if (!self)
            return;
    }
}

void TwsHUBsvr::readConnection(QTcpSocket *socket)
{
    Conn *c = findConn(socket);
    if (!c)
        return;
    const std::function<void(const HubMessage &)> log = [this](const HubMessage &m) {
        if (m_logEnabled)
            AppendLog(logName(), receivedLine(m));
    };
    while (socket->bytesAvailable() > 0) {
        const QByteArray chunk = socket->read(kReadPiece);
        if (chunk.isEmpty())
            break;
        const QList<HubMessage> messages = c->reader.feed(chunk, m_encrypt, m_key, true, log);
        for (const HubMessage &m : messages) {
            if (IsChatTag(m.Protocol)) {
                const auto verdict = c->chat.admit(QDeadlineTimer::current().deadline(), m_chatLines, m_chatWindowMs);
                if (verdict == TChatLimit::Verdict::DropAndTell)
                    tellChatDropped(c);
                if (verdict != TChatLimit::Verdict::Pass)
                    continue;
            }
            m_inbound.append({c->ip, c->port, m});
        }
    }
    deliverInbound();
}

void TwsHUBsvr::deliverInbound()
{
    // A handler that lets events run may bring more data; it joins the queue so order holds.
    if (m_delivering)
        return;
    m_delivering = true;
    QPointer<TwsHUBsvr> self(this);
    while (!m_inbound.isEmpty()) {
        const Inbound in = m_inbound.takeFirst();
        const HubMessage &m = in.msg;
        emit OnDataArrived(in.ip, in.port, m.Protocol, m.value[0], m.value[1], m.value[2], m.value[3], m.value[4],
                           m.value[5]);
        if (!self)
            return;
    }
    m_delivering = false;
}

void TwsHUBsvr::connectionClosed(QTcpSocket *socket)
{
    if (!findConn(socket))
        return;
    if (socket->bytesAvailable() > 0)
        readConnection(socket);
    closeConnection(socket);
}

void TwsHUBsvr::connectionError(QTcpSocket *socket, QAbstractSocket::SocketError error)
{
    QPointer<QTcpSocket> guard(socket);
    QPointer<TwsHUBsvr> self(this);
    const int kind = SocketErrorKindOf(error, true);
    if (kind >= 0) {
        emit OnClientError(SocketErrorText(kind));
        if (!self)
            return;
    }
    // A failed connection is over even if the socket layer does not say so itself.
    if (guard && guard->state() == QAbstractSocket::UnconnectedState && findConn(guard))
        closeConnection(guard);
}

void TwsHUBsvr::closeConnection(QTcpSocket *socket)
{
    Conn *c = findConn(socket);
    if (!c)
        return;
    m_conns.removeOne(c);
    m_bySocket.remove(c->id);
    m_byPort.remove(c->port, c);
    m_clientCount = int(m_conns.size());
    const QString ip = c->ip;
    const int port = c->port;
    releaseSocket(c->socket, this);
    delete c;
    emit OnClientDisconnect(ip, port);
}

void TwsHUBsvr::dropAllConnections()
{
    const QList<Conn *> conns = std::exchange(m_conns, {});
    m_bySocket.clear();
    m_byPort.clear();
    for (Conn *c : conns) {
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
            c->socket->deleteLater();
        }
        delete c;
    }
}

void TwsHUBsvr::logNote(const QString &line)
{
    if (m_logEnabled)
        AppendLog(logName(), line);
}
