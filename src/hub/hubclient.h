#pragma once
// TwsHUBcli: a player's side of the message hub (gClient).
#include "hub/postedcall.h"
#include "hub/wire.h"
#include <QList>
#include <QAbstractSocket>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

bool IsNumericAddress(const QString &host);

class TwsHUBcli : public QObject
{
    Q_OBJECT
public:
    explicit TwsHUBcli(const QString &name = QStringLiteral("gClient"), QObject *parent = nullptr);
    ~TwsHUBcli() override;

    bool Active() const { return m_active; }
    void setActive(bool on);
    int Port() const { return m_port; }
    bool setPort(int port);           // false while connected ("Can't change value while socket is active")
    QString Host() const { return m_host; }
    bool setHost(const QString &host); // false while connected; the value is stored all the same
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
    void setVersion(const QString &);

    void Send(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3);
    void Send(const QString &Protocol, const QString &v1, const QString &v2, const QString &v3,
              const QString &v4, const QString &v5, const QString &v6);
    QString LocalIP() const;
    int LocalPort() const;
    bool isConnected() const;
    // Both ends take any number of messages in one read: this connection sends and parses at once,
    // with no tick and no pause. Every new connection starts paced.
    void setUnpaced(bool on);
    bool unpaced() const { return m_unpaced; }

signals:
    void OnConnect(const QString &HostIP, int atPort);
    void OnDisconnect(const QString &HostIP, int atPort);
    void OnSockError(const QString &ErrMsg);
    void OnDataArrived(const QString &fromIP, int fromPort, const QString &Protocol, const QString &value1,
                       const QString &value2, const QString &value3, const QString &value4,
                       const QString &value5, const QString &value6);
    void OnBusy(QObject *sender);

private:
    void startPump();
    void pumpSendQueue();
    void receiveTick();
    void sendNow();
    void socketConnected();
    void socketClosed();
    void socketError(QAbstractSocket::SocketError error);
    void readSocket();
    void failLookup();
    QString logName() const { return m_name + QStringLiteral(".log"); }

    QString m_name;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_sendTimer = nullptr;
    QTimer *m_receiveTimer = nullptr;
    QList<QByteArray> m_sendQueue;
    QList<QByteArray> m_receiveQueue;
    FrameReader m_reader;
    QDeadlineTimer m_quietUntil;     // the pause after the last send
    bool m_active = false;
    bool m_opened = false;           // a connection attempt or connection is under way
    bool m_connected = false;        // OnConnect was raised for the current connection
    bool m_pumping = false;
    bool m_receiving = false;
    bool m_unpaced = false;
    PostedCall m_busy{this, [this] { emit OnBusy(this); }};
    int m_port = 5000;
    int m_socketPort = 5000;         // Port given to the socket
    QString m_host = QStringLiteral("127.0.0.1");
    QString m_socketHost = QStringLiteral("127.0.0.1"); // Host given to the socket
    QString m_peerIP;                // server address while connected
    int m_peerPort = 0;
    bool m_logEnabled = false;
    bool m_encrypt = false;
    qint32 m_key = kDefaultEncryptKey;
};
