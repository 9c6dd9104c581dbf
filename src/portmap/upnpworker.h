#pragma once
// UPnP IGD through miniupnpc. Every library call blocks, so the worker lives on a thread of its own
// and reports by signals; it keeps the gateway it found for renewing and removing the mapping.
#include <QObject>
#include <QString>
#include <memory>

class UpnpWorker : public QObject
{
    Q_OBJECT
public:
    UpnpWorker();
    ~UpnpWorker() override;

public slots:
    // Finds the gateway (waiting discoveryMs for answers), maps TCP port to this machine, reads the
    // mapping back and reports opened or failed.
    void open(quint16 port, int discoveryMs, quint32 leaseSeconds);
    void renew();
    void remove();

signals:
    void opened(const QString &externalAddress, quint16 externalPort, quint32 leaseSeconds);
    void failed(bool answered, const QString &reason);

private:
    bool add(QString *why);
    struct Gateway;
    std::unique_ptr<Gateway> m_gw;
    quint16 m_port = 0;
    quint32 m_lease = 0;
    bool m_mapped = false;
};
