#pragma once
// Bare TCP peers that speak the hub's frames by hand: a guest program that can be made to misbehave
// (joins by hand, stops answering, stops reading, floods), a stranger that sends anything or nothing,
// or, on a connection a test server accepted, a host that says whatever the test wants.
#include "game/protocol.h"
#include "hub/wire.h"
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QTcpSocket;

namespace Stress {

// Runs events until the condition holds or ms milliseconds have passed; true when it holds.
bool waitUntil(const std::function<bool()> &condition, int ms = 5000);
// Runs what is posted so far, deferred deletions included: what a close or a signal left behind happens now.
void drainEvents();

class RawPeer : public QObject
{
public:
    // A connection of its own, or one that a test's server accepted (the peer takes it over).
    explicit RawPeer(QTcpSocket *accepted = nullptr);
    bool connectTo(int port, int ms = 3000);
    // Starts a connection without waiting for it.
    void startConnect(int port);
    void send(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
              const QString &v4 = {}, const QString &v5 = {}, const QString &v6 = {});
    void write(const QByteArray &bytes);
    // Answers the host's handshake as an honest guest of that version would, and its pings.
    void joinAs(const QString &nick, const QString &version = kVersionText);
    void setAnswerPings(bool on) { m_answerPings = on; }
    // Called with every message after the answers above.
    std::function<void(const HubMessage &)> onMessage;
    // From now on nothing more is taken from the connection: the host's messages pile up unread.
    void stopReading();
    // Ends the connection with a reset instead of an orderly close.
    void reset();
    void close();

    int count(const QString &tag) const;
    bool waitTag(const QString &tag, int ms = 3000) const;
    bool connected() const;
    bool closed() const;
    int localPort() const;
    QTcpSocket *socket() const { return m_sock; }

    QList<HubMessage> got; // every message, in order
    QByteArray raw;        // every byte, as it came

private:
    QTcpSocket *m_sock;
    FrameReader m_reader;
    QString m_nick;
    QString m_version;
    bool m_answerPings = true;
};

// Aborts a connected socket with a TCP reset (no orderly close), as a crash or a cut line would.
void resetSocket(QTcpSocket *socket);

// Watches the event loop with a 1 ms timer and keeps the longest gap between two ticks.
class LoopWatch : public QObject
{
public:
    LoopWatch();
    void start();
    qint64 longestGapMs() const { return m_longest; }

private:
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    qint64 m_longest = 0;
};

} // namespace Stress
