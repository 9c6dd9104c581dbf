#include "hub/hubclient.h"
#include "hub/hubtiming.h"

#include "hub/hublog.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <utility>

namespace {

using HubTiming::kTickMs;
constexpr int kSendPauseMs = 100;
using HubTiming::kReadPiece;
// Received bytes waiting for the parser; beyond this the socket is left to hold them,
// which slows a flooding peer down instead of filling the memory.
constexpr qint64 kMaxQueuedBytes = 1024 * 1024;

// Four dot-separated decimal parts 0..255; fills the address when it holds.
bool parseNumericAddress(const QString &host, quint32 *address)
{
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    quint32 value = 0;
    for (const QString &part : parts) {
        if (part.isEmpty())
            return false;
        uint n = 0;
        for (QChar ch : part) {
            if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
                return false;
            n = n * 10 + uint(ch.unicode() - '0');
            if (n > 255)
                return false;
        }
        value = (value << 8) | n;
    }
    if (address)
        *address = value;
    return true;
}

} // namespace

bool IsNumericAddress(const QString &host) { return parseNumericAddress(host, nullptr); }

TwsHUBcli::TwsHUBcli(const QString &name, QObject *parent)
    : QObject(parent), m_name(name), m_socket(new QTcpSocket(this)), m_sendTimer(new QTimer(this)),
      m_receiveTimer(new QTimer(this))
{
    for (QTimer *t : {m_sendTimer, m_receiveTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        t->setInterval(kTickMs);
    }
    m_socket->setReadBufferSize(kMaxQueuedBytes);
    connect(m_sendTimer, &QTimer::timeout, this, &TwsHUBcli::pumpSendQueue);
    connect(m_receiveTimer, &QTimer::timeout, this, &TwsHUBcli::receiveTick);
    connect(m_socket, &QAbstractSocket::connected, this, &TwsHUBcli::socketConnected);
    connect(m_socket, &QAbstractSocket::disconnected, this, &TwsHUBcli::socketClosed);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &TwsHUBcli::socketError);
    connect(m_socket, &QIODevice::readyRead, this, &TwsHUBcli::readSocket);
}

TwsHUBcli::~TwsHUBcli()
{
    m_sendTimer->stop();
    m_receiveTimer->stop();
    m_socket->disconnect(this);
    m_socket->abort();
}

void TwsHUBcli::setActive(bool on)
{
    m_active = on;
    if (on) {
        // A connection already under way is left alone.
        if (m_opened || m_socket->state() != QAbstractSocket::UnconnectedState)
            return;
        m_opened = true;
        m_connected = false;
        m_reader.clear();
        m_socketHost = m_host;
        m_socketPort = m_port;
        quint32 numeric = 0;
        if (m_host.trimmed().isEmpty()) {
            QTimer::singleShot(0, this, &TwsHUBcli::failLookup);
        } else if (m_port < 0 || m_port > 65535) {
            QTimer::singleShot(0, this, [this] { socketError(QAbstractSocket::ConnectionRefusedError); });
        } else if (parseNumericAddress(m_host, &numeric)) {
            m_socket->connectToHost(QHostAddress(numeric), quint16(m_port));
        } else if (const QHostAddress v6(m_host.trimmed()); v6.protocol() == QAbstractSocket::IPv6Protocol) {
            m_socket->connectToHost(v6, quint16(m_port));
        } else {
            m_socket->connectToHost(m_host, quint16(m_port), QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
        }
        return;
    }
    if (!m_opened) {
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            m_socket->abort();
        return;
    }
    const QString ip = m_connected ? m_peerIP : QString();
    const int port = m_connected ? m_peerPort : 0;
    m_opened = false;
    m_connected = false;
    m_peerIP.clear();
    m_peerPort = 0;
    m_sendQueue.clear(); // meant for this connection, never for the next one
    if (m_socket->bytesAvailable() > 0)
        readSocket();
    m_socket->abort();
    emit OnDisconnect(ip, port);
}

bool TwsHUBcli::setPort(int p)
{
    m_port = p;
    if ((m_opened || m_socket->state() != QAbstractSocket::UnconnectedState) && p != m_socketPort)
        return false;
    m_socketPort = p;
    return true;
}

bool TwsHUBcli::setHost(const QString &h)
{
    m_host = h;
    if ((m_opened || m_socket->state() != QAbstractSocket::UnconnectedState) && h != m_socketHost)
        return false;
    m_socketHost = h;
    return true;
}

QString TwsHUBcli::Author() const { return QStringLiteral("Quadrix"); }
QString TwsHUBcli::Email() const { return QStringLiteral("quadrix@localhost"); }
QString TwsHUBcli::Url() const { return QStringLiteral("http://localhost/quadrix"); }
QString TwsHUBcli::Version() const { return QStringLiteral("0.90"); }
void TwsHUBcli::setVersion(const QString &) {}

void TwsHUBcli::Send(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3)
{
    if (!isConnected())
        return;
    if (m_logEnabled)
        AppendLog(logName(), LogLine("[S] ", {Protocol, v1, v2, v3}));
    m_sendQueue.append(BuildFrame(Protocol, v1, v2, v3, QString(), QString(), QString(), m_encrypt, m_key));
    startPump();
}

void TwsHUBcli::Send(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                     const QString &v4, const QString &v5, const QString &v6)
{
    if (!isConnected())
        return;
    if (m_logEnabled)
        AppendLog(logName(), LogLine("[S] ", {Protocol, v1, v2, v3, v4, v5, v6}));
    m_sendQueue.append(BuildFrame(Protocol, v1, v2, v3, v4, v5, v6, m_encrypt, m_key));
    startPump();
}

QString TwsHUBcli::LocalIP() const
{
    if (isConnected())
        return m_socket->localAddress().toString();
    return PreferredLocalAddress();
}

int TwsHUBcli::LocalPort() const
{
    if (!m_opened && m_socket->state() == QAbstractSocket::UnconnectedState)
        return 0;
    const int port = m_socket->localPort();
    return port > 0 ? port : -1;
}

bool TwsHUBcli::isConnected() const { return m_socket->state() == QAbstractSocket::ConnectedState; }

void TwsHUBcli::setUnpaced(bool on)
{
    m_unpaced = on;
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, on ? 1 : 0);
    if (!on)
        return;
    // What waits for its tick goes now.
    m_sendTimer->stop();
    sendNow();
    if (!m_receiving && !m_receiveQueue.isEmpty()) {
        m_receiveTimer->stop();
        receiveTick();
    }
}

void TwsHUBcli::sendNow()
{
    if (m_sendQueue.isEmpty())
        return;
    const QList<QByteArray> messages = std::exchange(m_sendQueue, {});
    if (!m_opened || !isConnected())
        return;
    // Written from the event loop, which also reports a failure, never inside the sender's call.
    for (const QByteArray &message : messages)
        m_socket->write(message);
    m_busy.post();
}

void TwsHUBcli::startPump()
{
    if (m_unpaced)
        return sendNow();
    if (m_pumping || m_sendTimer->isActive())
        return;
    m_sendTimer->start(kTickMs + int(m_quietUntil.remainingTime()));
}

void TwsHUBcli::pumpSendQueue()
{
    m_pumping = true;
    bool sent = false;
    if (!m_sendQueue.isEmpty()) {
        // Off the queue before OnBusy, whose handler may queue more; a message whose
        // connection has gone is dropped here without notice.
        const QByteArray message = m_sendQueue.takeFirst();
        if (m_opened && isConnected()) {
            m_socket->write(message);
            m_socket->flush();
            sent = true;
            QPointer<TwsHUBcli> self(this);
            emit OnBusy(this);
            if (!self)
                return;
        }
    }
    m_pumping = false;
    const int pause = sent ? kSendPauseMs : 0;
    m_quietUntil = QDeadlineTimer(pause, Qt::PreciseTimer);
    if (!m_sendQueue.isEmpty())
        m_sendTimer->start(kTickMs + pause);
}

void TwsHUBcli::readSocket()
{
    qint64 queued = 0;
    for (const QByteArray &chunk : std::as_const(m_receiveQueue))
        queued += chunk.size();
    while (queued < kMaxQueuedBytes && m_socket->bytesAvailable() > 0) {
        const QByteArray chunk = m_socket->read(kReadPiece);
        if (chunk.isEmpty())
            break;
        queued += chunk.size();
        // Small reads join the last waiting chunk: the reader does not care where reads end.
        if (!m_receiveQueue.isEmpty() && m_receiveQueue.last().size() < kReadPiece)
            m_receiveQueue.last().append(chunk);
        else
            m_receiveQueue.append(chunk);
    }
    if (m_receiving || m_receiveTimer->isActive() || m_receiveQueue.isEmpty())
        return;
    if (m_unpaced)
        receiveTick();
    else
        m_receiveTimer->start(kTickMs);
}

void TwsHUBcli::receiveTick()
{
    m_receiving = true;
    // Paced, one chunk a tick; unpaced, everything that has come.
    do {
        if (!m_receiveQueue.isEmpty()) {
            const QByteArray chunk = m_receiveQueue.takeFirst();
            const QString ip = m_connected ? m_peerIP : QString();
            const int port = m_connected ? m_peerPort : 0;
            const QList<HubMessage> messages = m_reader.feed(chunk, m_encrypt, m_key, false, [this](const HubMessage &m) {
                if (m_logEnabled) {
                    QStringList fields{m.Protocol};
                    for (const QString &v : m.value)
                        fields << v;
                    AppendLog(logName(), LogLine("[R] ", fields));
                }
            });
            QPointer<TwsHUBcli> self(this);
            for (const HubMessage &m : messages) {
                emit OnDataArrived(ip, port, m.Protocol, m.value[0], m.value[1], m.value[2], m.value[3], m.value[4],
                                   m.value[5]);
                if (!self)
                    return;
            }
        }
        if (m_socket->bytesAvailable() > 0)
            readSocket(); // what the queue limit left in the socket
    } while (m_unpaced && !m_receiveQueue.isEmpty());
    m_receiving = false;
    if (!m_receiveQueue.isEmpty() && !m_receiveTimer->isActive())
        m_receiveTimer->start(kTickMs);
}

void TwsHUBcli::socketConnected()
{
    if (!m_opened)
        return;
    m_connected = true;
    setUnpaced(false); // agreed anew on every connection
    m_peerIP = m_socket->peerAddress().toString();
    m_peerPort = m_socket->peerPort();
    QPointer<TwsHUBcli> self(this);
    emit OnConnect(m_peerIP, m_peerPort);
    if (self && m_opened)
        m_active = true;
}

void TwsHUBcli::socketClosed()
{
    if (!m_opened)
        return;
    if (m_socket->bytesAvailable() > 0)
        readSocket();
    const QString ip = m_connected ? m_peerIP : QString();
    const int port = m_connected ? m_peerPort : 0;
    m_opened = false;
    m_connected = false;
    m_peerIP.clear();
    m_peerPort = 0;
    m_sendQueue.clear(); // meant for this connection, never for the next one
    QPointer<TwsHUBcli> self(this);
    emit OnDisconnect(ip, port);
    if (self && !m_opened)
        m_active = false;
}

void TwsHUBcli::socketError(QAbstractSocket::SocketError error)
{
    const int kind = SocketErrorKindOf(error, m_connected);
    if (kind < 0) {
        // The server closed the connection: an ordinary end, reported by the closing alone.
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            socketClosed();
        return;
    }
    if (!m_opened)
        return;
    QPointer<TwsHUBcli> self(this);
    setActive(false);
    if (self)
        emit OnSockError(SocketErrorText(kind));
}

void TwsHUBcli::failLookup()
{
    if (!m_opened || m_socket->state() != QAbstractSocket::UnconnectedState)
        return;
    QPointer<TwsHUBcli> self(this);
    setActive(false);
    if (self)
        emit OnSockError(SocketErrorText(eeLookup));
}
