#pragma once
// Opens the listening port on the home router: NAT-PMP first, then UPnP IGD. The asking never blocks
// the caller's thread; the outcome comes once by finished(), the mapping is renewed at half of the
// lease the gateway granted, and it is removed by close() or when the mapper is destroyed.
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class NatPmpClient;
class UpnpWorker;
class QThread;

struct PortMapResult
{
    enum class Outcome { Pending, Opened, NoGateway, Refused, BehindAnotherRouter };
    Outcome outcome = Outcome::Pending;
    QString externalAddress;  // when the gateway told it
    quint16 externalPort = 0;
    QString reason;           // the gateway's refusal, in plain words
    quint32 leaseSeconds = 0; // granted; 0 for a lasting mapping
};

class PortMapper : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QHostAddress gateway; // null: the default route's gateway
        quint16 natPmpPort = 5351;
        bool natPmp = true;
        bool upnp = true;
        int natPmpMs = 1000; // together with upnpMs: discovery stays within two seconds
        int upnpMs = 1000;
        quint32 leaseSeconds = 3600;
    };
    explicit PortMapper(QObject *parent = nullptr);
    PortMapper(const Options &options, QObject *parent = nullptr);
    ~PortMapper() override;

    void open(quint16 port);
    void close();
    // Closes and deletes itself once the removal is done, without waiting for the gateway here.
    void release();
    PortMapResult result() const { return m_result; }

signals:
    void finished(const PortMapResult &result);
    void renewed(quint32 leaseSeconds);

private:
    void tryUpnp();
    void stopWorker();
    void opened(const QString &external, quint16 externalPort, quint32 lease);
    void failed(bool answered, const QString &reason);
    void scheduleRenewal(quint32 lease);

    Options m_options;
    quint16 m_port = 0;
    PortMapResult m_result;
    NatPmpClient *m_natPmp = nullptr;
    QThread *m_thread = nullptr;
    UpnpWorker *m_upnp = nullptr;
    enum class Via { None, NatPmp, Upnp } m_via = Via::None, m_asking = Via::None;
    QString m_refusal; // kept while the next way is tried
    QTimer m_renew;
    bool m_closed = false;
};
