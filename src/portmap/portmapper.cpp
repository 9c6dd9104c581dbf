#include "portmap/portmapper.h"
#include "portmap/gateway.h"
#include "portmap/natpmpclient.h"
#include "portmap/upnpworker.h"
#include <QThread>

PortMapper::PortMapper(QObject *parent) : PortMapper(Options{}, parent) {}

PortMapper::PortMapper(const Options &options, QObject *parent) : QObject(parent), m_options(options)
{
    m_renew.setSingleShot(true);
    connect(&m_renew, &QTimer::timeout, this, [this] {
        if (m_via == Via::NatPmp)
            m_natPmp->map(m_port, m_options.leaseSeconds, m_options.natPmpMs);
        else if (m_via == Via::Upnp)
            QMetaObject::invokeMethod(m_upnp, &UpnpWorker::renew, Qt::QueuedConnection);
    });
}

PortMapper::~PortMapper()
{
    close();
    if (m_thread) {
        // The removal queued by close() runs before the thread ends; the library's own time-outs bound it.
        stopWorker();
        m_thread->wait();
        delete m_upnp;
    }
}

void PortMapper::stopWorker()
{
    // Through the worker's own queue, so that it ends after the removal queued before.
    QMetaObject::invokeMethod(m_upnp, [t = m_thread] { t->quit(); }, Qt::QueuedConnection);
}

void PortMapper::release()
{
    close();
    if (!m_thread) {
        deleteLater();
        return;
    }
    connect(m_thread, &QThread::finished, this, &QObject::deleteLater);
    stopWorker();
}

void PortMapper::open(quint16 port)
{
    m_port = port;
    m_closed = false;
    m_result = {};
    m_refusal.clear();
    QHostAddress gateway = m_options.gateway.isNull() ? defaultGateway() : m_options.gateway;
    if (m_options.natPmp && !gateway.isNull()) {
        m_natPmp = new NatPmpClient(gateway, m_options.natPmpPort, this);
        connect(m_natPmp, &NatPmpClient::mapped, this, &PortMapper::opened);
        connect(m_natPmp, &NatPmpClient::failed, this, &PortMapper::failed);
        m_asking = Via::NatPmp;
        m_natPmp->map(port, m_options.leaseSeconds, m_options.natPmpMs);
        return;
    }
    tryUpnp();
}

void PortMapper::tryUpnp()
{
    m_asking = Via::Upnp;
    if (!m_options.upnp) {
        failed(false, QStringLiteral("no router answered"));
        return;
    }
    if (!m_thread) {
        m_thread = new QThread(this);
        m_upnp = new UpnpWorker;
        m_upnp->moveToThread(m_thread);
        connect(m_upnp, &UpnpWorker::opened, this, &PortMapper::opened);
        connect(m_upnp, &UpnpWorker::failed, this, &PortMapper::failed);
        m_thread->start();
    }
    QMetaObject::invokeMethod(m_upnp, [w = m_upnp, p = m_port, ms = m_options.upnpMs, lease = m_options.leaseSeconds] {
        w->open(p, ms, lease);
    });
}

void PortMapper::opened(const QString &external, quint16 externalPort, quint32 lease)
{
    if (m_closed)
        return;
    if (m_result.outcome != PortMapResult::Outcome::Pending) { // a renewal
        scheduleRenewal(lease);
        emit renewed(lease);
        return;
    }
    m_via = m_asking;
    m_result.externalAddress = external;
    m_result.externalPort = externalPort;
    m_result.leaseSeconds = lease;
    const QHostAddress outside(external);
    m_result.outcome = isPrivateOrShared(outside) || outside.isNull() ? PortMapResult::Outcome::BehindAnotherRouter
                                                                      : PortMapResult::Outcome::Opened;
    scheduleRenewal(lease);
    emit finished(m_result);
}

void PortMapper::failed(bool answered, const QString &reason)
{
    if (m_closed)
        return;
    if (m_result.outcome != PortMapResult::Outcome::Pending) {
        m_renew.start(std::chrono::seconds(60)); // a renewal failed: try again before the lease runs out
        return;
    }
    if (answered)
        m_refusal = reason;
    if (m_asking == Via::NatPmp) {
        tryUpnp();
        return;
    }
    m_asking = Via::None;
    m_result.outcome = m_refusal.isEmpty() ? PortMapResult::Outcome::NoGateway : PortMapResult::Outcome::Refused;
    m_result.reason = m_refusal.isEmpty() ? reason : m_refusal;
    emit finished(m_result);
}

void PortMapper::scheduleRenewal(quint32 lease)
{
    if (lease > 0)
        m_renew.start(std::chrono::milliseconds(qint64(lease) * 500));
}

void PortMapper::close()
{
    m_renew.stop();
    m_closed = true;
    // Also while still asking: a mapping made after this moment is removed as soon as it is made.
    if (m_natPmp && (m_via == Via::NatPmp || m_asking == Via::NatPmp))
        m_natPmp->unmap(m_port);
    if (m_upnp)
        QMetaObject::invokeMethod(m_upnp, &UpnpWorker::remove, Qt::QueuedConnection);
    m_via = m_asking = Via::None;
}
