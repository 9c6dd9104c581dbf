#include "net/localpipe.h"
#include <QTimer>

std::pair<LocalConnection *, LocalConnection *> LocalConnection::createPair(QObject *hostSide, QObject *playerSide)
{
    auto *a = new LocalConnection(hostSide);
    auto *b = new LocalConnection(playerSide);
    a->m_peer = b;
    b->m_peer = a;
    return {a, b};
}

void LocalConnection::send(const HubMessage &message)
{
    if (m_open && m_peer)
        m_peer->post({false, message});
}

void LocalConnection::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_inbox.clear();
    if (m_peer)
        m_peer->post({true, {}});
    // Told from the event loop, as a socket tells it: the caller is not re-entered.
    QTimer::singleShot(0, this, [this] { emit closed(QString()); });
}

void LocalConnection::post(const Item &item)
{
    if (!m_open)
        return;
    m_inbox.append(item);
    if (m_scheduled || m_delivering)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, &LocalConnection::deliver);
}

void LocalConnection::deliver()
{
    m_scheduled = false;
    m_delivering = true;
    const QPointer<LocalConnection> self(this);
    while (self && m_open && !m_inbox.isEmpty()) {
        const Item item = m_inbox.takeFirst();
        if (item.end) {
            finish();
            return;
        }
        emit message(item.message);
    }
    if (self)
        m_delivering = false;
}

void LocalConnection::finish()
{
    m_delivering = false;
    m_open = false;
    m_inbox.clear();
    emit closed(QString());
}
