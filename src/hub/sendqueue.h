#pragma once
// The messages waiting for one connection of the host: what keeps the table running leaves first.
#include <QByteArray>
#include <QList>
#include <QString>

// Chat and system lines may wait behind every other message; nothing else may.
bool IsChatTag(const QString &Protocol);

class TSendQueue
{
public:
    // Chat lines go behind the other messages already waiting; each kind keeps its own order.
    void push(const QByteArray &frame, bool chat);
    QByteArray takeNext();
    void clear();
    bool isEmpty() const { return m_table.isEmpty() && m_chat.isEmpty(); }
    int count() const { return int(m_table.size() + m_chat.size()); }
    qint64 bytes() const { return m_bytes; }

private:
    QList<QByteArray> m_table; // game, admission and housekeeping messages
    QList<QByteArray> m_chat;
    qint64 m_bytes = 0;
};
