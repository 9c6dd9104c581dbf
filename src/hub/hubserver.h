#pragma once
// TwsHUBsvr: the host's side of the message hub (gHost).
#include "hub/postedcall.h"
#include "hub/wire.h"
#include <QHash>
#include <QList>
#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;
class QTimer;

// The text of a failed activation: a port that needs rights the user lacks says so,
// every other failure blames another application.
QString HostingErrorText(int port, QAbstractSocket::SocketError error);

class TwsHUBsvr : public QObject
{
    Q_OBJECT
public:
    explicit TwsHUBsvr(const QString &name = QStringLiteral("gHost"), QObject *parent = nullptr);
    ~TwsHUBsvr() override;

    bool Active() const;
    void setActive(bool on);
    int Port() const;
    bool setPort(int port); // false ("Can't change value while socket is active") while listening on another port
    // The one address to listen on from the next activation; null (the default): every address of both families.
    void setListenAddress(const QHostAddress &address) { m_listenAddress = address; }
    QHostAddress listenAddress() const { return m_listenAddress; }
    int MaxClient() const { return m_maxClient; }
    void setMaxClient(int n) { m_maxClient = n; }
    bool LogEnabled() const { return m_logEnabled; }
    void setLogEnabled(bool on) { m_logEnabled = on; }
    bool Encrypt() const { return m_encrypt; }
    void setEncrypt(bool on) { m_encrypt = on; }
    qint32 EncryptKey() const { return m_key; }
    void setEncryptKey(qint32 key) { m_key = key; }
    QString Author() const;
    QString Email() const;
    QString Url() const;
    QString Version() const;
    void setVersion(const QString &); // read-only texts: any write restores the built-in ones

    int ClientCount() const { return m_clientCount; }
    int listeningPort() const;        // the port actually bound (differs from Port() when Port is 0)
    QString lastErrorText() const;    // why the last activation failed

    void SendToAll(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3);
    void SendToAll(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                   const QString &v4, const QString &v5, const QString &v6);
    void SendToAllExcept(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                         const QString &v4, const QString &v5, const QString &v6, int exceptPort);
    bool SendToClient(int port, const QString &Protocol, const QString &v1, const QString &v2, const QString &v3);
    bool SendToClient(int port, const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
                      const QString &v4, const QString &v5, const QString &v6);
    bool DropClient(int port);
    // Closes the connection once everything queued for it has left (a refusal it should read).
    bool DropClientWhenSent(int port);
    QString LocalHostName();
    QString LocalIP();
    // A line of the host's own in the message log, when logging is on.
    void logNote(const QString &line);

    // Admission tells the hub that a connection holds a seat: it is no longer closed for
    // staying unseated. False when no connection has that port.
    bool markSeated(int port);
    // A connection not seated within this time is closed (0: never).
    void setSeatTimeoutMs(int ms) { m_seatTimeoutMs = ms; }
    int seatTimeoutMs() const { return m_seatTimeoutMs; }
    // Chat and system lines of one connection beyond this many in any such window are dropped
    // (lines 0: no limit); the sender is told so in a system line.
    void setChatLimit(int lines, int windowMs);
    int chatLimitLines() const { return m_chatLines; }
    int chatLimitWindowMs() const { return m_chatWindowMs; }

    int queuedMessages() const;
    // Both ends take any number of messages in one read: this connection's queue sends at once, with
    // no tick and no pause (order, game before chat, the caps and the chat limit stay). False when no
    // connection has that port.
    bool setUnpaced(int port);

signals:
    void OnHosting(QObject *sender);
    void OnCloseConnection(QObject *sender);
    void OnHostingError(const QString &ErrMsg);
    void OnClientConnect(const QString &ClientIP, int atPort);
    void OnClientReject(const QString &ClientIP, int atPort);
    void OnClientDisconnect(const QString &ClientIP, int atPort);
    void OnClientSendFail(const QString &ClientIP, int atPort);
    void OnClientError(const QString &ErrMsg);
    void OnDataArrived(const QString &fromIP, int fromPort, const QString &Protocol, const QString &value1,
                       const QString &value2, const QString &value3, const QString &value4,
                       const QString &value5, const QString &value6);
    void OnBusy(QObject *sender);

private:
    struct Conn;
    struct Inbound
    {
        QString ip;
        int port;
        HubMessage msg;
    };
    enum class Pick { All, AllExcept, One };
    bool queueForClients(Pick pick, int port, const QString &Protocol, const QString &v1, const QString &v2,
                         const QString &v3, const QString &v4, const QString &v5, const QString &v6);
    void queueFrame(Conn *c, const QByteArray &frame, bool chat);
    void closeSoon(Conn *c);
    void tellChatDropped(Conn *c);
    void schedulePump();
    void pumpSendQueues();
    bool sendHead(Conn *c);
    void sendUnpaced(Conn *c);
    qint64 heldBySocket(const Conn *c) const;
    void acceptConnections();
    void readConnection(QTcpSocket *socket);
    void connectionClosed(QTcpSocket *socket);
    void connectionError(QTcpSocket *socket, QAbstractSocket::SocketError error);
    void closeConnection(QTcpSocket *socket);
    void dropAllConnections();
    void deliverInbound();
    Conn *findConn(const QTcpSocket *socket) const;
    // The connections from that port, first accepted first (two peers may share a port number).
    QList<Conn *> connsOnPort(int port) const;
    // The pump is due no later than when this connection may send.
    void armPumpFor(const Conn *c);
    QString logName() const { return m_name + QStringLiteral(".log"); }

    QString m_name;
    QTcpServer *m_server = nullptr;
    QList<Conn *> m_conns;             // in accept order
    // Look-ups by socket and by port: a server of many tables holds thousands of connections.
    QHash<const QTcpSocket *, Conn *> m_bySocket;
    QMultiHash<int, Conn *> m_byPort;
    QList<Inbound> m_inbound;          // parsed, waiting for OnDataArrived
    bool m_delivering = false;
    QTimer *m_sendTimer = nullptr;     // due at the earliest time a connection may send again
    bool m_sending = false;
    PostedCall m_busy{this, [this] { emit OnBusy(this); }};
    int m_seatTimeoutMs = 15000;
    int m_chatLines = 10;
    int m_chatWindowMs = 10000;
    bool m_active = false;
    int m_port = 5000;
    QHostAddress m_listenAddress;
    int m_boundPort = -1;              // the Port value used by the running listener
    int m_maxClient = 0;
    bool m_logEnabled = false;
    bool m_encrypt = false;
    qint32 m_key = kDefaultEncryptKey;
    int m_clientCount = 0;
    QString m_localAddress;
    QString m_computerName;
    QString m_lastError;
};
