#include "hub/sendqueue.h"

bool IsChatTag(const QString &Protocol)
{
    return Protocol == QLatin1String("[CHAT]") || Protocol == QLatin1String("[SYSTEM]");
}

void TSendQueue::push(const QByteArray &frame, bool chat)
{
    (chat ? m_chat : m_table).append(frame);
    m_bytes += frame.size();
}

QByteArray TSendQueue::takeNext()
{
    QList<QByteArray> &from = m_table.isEmpty() ? m_chat : m_table;
    if (from.isEmpty())
        return {};
    const QByteArray frame = from.takeFirst();
    m_bytes -= frame.size();
    return frame;
}

void TSendQueue::clear()
{
    m_table.clear();
    m_chat.clear();
    m_bytes = 0;
}
