#pragma once
// NAT-PMP (RFC 6886) over UDP: asks the gateway for its external address, then for a TCP mapping.
// Only answers of the exact size, from the gateway's address and port, to the request sent are read;
// everything else is dropped, and a gateway that does not answer costs at most the deadline.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QUdpSocket;

class NatPmpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kGatewayPort = 5351;
    NatPmpClient(const QHostAddress &gateway, quint16 gatewayPort, QObject *parent = nullptr);

    // Asks for the external address, then maps TCP internalPort for lifetime seconds (also to renew).
    void map(quint16 internalPort, quint32 lifetime, int deadlineMs);
    // Asks the gateway to remove the mapping; nothing waits for the answer.
    void unmap(quint16 internalPort);

signals:
    void mapped(const QString &externalAddress, quint16 externalPort, quint32 lifetime);
    // answered: the gateway spoke NAT-PMP and said no; otherwise nothing usable came back.
    void failed(bool answered, const QString &reason);

private:
    enum class Step { Idle, Address, Mapping };
    void send();
    void readAnswers();
    void answer(const QByteArray &a);
    void finish();
    QByteArray request() const;

    QHostAddress m_gateway;
    quint16 m_gatewayPort;
    QUdpSocket *m_socket;
    QTimer m_resend;
    QTimer m_deadline;
    Step m_step = Step::Idle;
    quint16 m_internalPort = 0;
    quint32 m_lifetime = 0;
    QString m_external;
};
