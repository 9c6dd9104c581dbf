#pragma once
// Bare TCP peers against a hosted table: a guest program that can be made to misbehave (joins by
// hand, stops answering, stops reading, floods), or a stranger that sends anything or nothing.
#include "hub/wire.h"
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QTcpSocket;
class TmainFrm;

namespace Stress {

class RawPeer : public QObject
{
public:
    RawPeer();
    bool connectTo(int port, int ms = 3000);
    // Starts a connection without waiting for it.
    void startConnect(int port);
    void send(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
              const QString &v4 = {}, const QString &v5 = {}, const QString &v6 = {});
    void write(const QByteArray &bytes);
    // Answers the host's handshake as an honest guest of this version would, and its pings.
    void joinAs(const QString &nick);
    void setAnswerPings(bool on) { m_answerPings = on; }
    // From now on nothing more is taken from the connection: the host's messages pile up unread.
    void stopReading();
    // Ends the connection with a reset instead of an orderly close.
    void reset();
    void close();

    int count(const QString &tag) const;
    bool waitTag(const QString &tag, int ms = 3000) const;
    bool connected() const;
    bool closed() const;
    QTcpSocket *socket() const { return m_sock; }

    QList<HubMessage> got;

private:
    QTcpSocket *m_sock;
    FrameReader m_reader;
    QString m_nick;
    bool m_answerPings = true;
};

// The socket of a window's hub client.
QTcpSocket *clientSocketOf(TmainFrm *w);
// Aborts a connected socket with a TCP reset (no orderly close), as a crash or a cut line would.
void resetSocket(QTcpSocket *socket);
// A window whose program hangs: its hub client no longer reacts to anything; false undoes it.
void freezeClient(TmainFrm *w, bool frozen);

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
