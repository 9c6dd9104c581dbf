#pragma once
// A TCP proxy between one guest and a host that misbehaves on request, as real links do: latency
// with jitter, a slow link, data cut into small pieces, stalls in one or both directions, resets,
// half-closes, a cut in the middle of a message, and a while in which reconnecting is refused. Its
// own choices (jitter, piece sizes, where a message is cut) come from a seed, so a schedule of
// faults replays the same way.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRandomGenerator>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace Stress {

class FaultProxy : public QObject
{
public:
    enum Direction { ToHost = 1, ToGuest = 2, BothWays = 3 };

    FaultProxy(int hostPort, quint64 seed, QObject *parent = nullptr);
    ~FaultProxy() override;
    // Listens on 127.0.0.1, a port of the system's choice.
    bool listen();
    int port() const;

    // Faults in force for a while
    void addLatency(int jitterMs, int forMs);
    void slowLink(int bytesPerSecond, int forMs);
    void cutIntoPieces(int largestPiece, int forMs);
    void stall(Direction d, int forMs);
    // Faults that end the connection at once, or at the next bytes that cross it
    void reset();
    // An orderly end (FIN) towards one side only; the other side stays open until the first one closes.
    void halfClose(Direction towards);
    void cutMidMessage(Direction d);
    // The current connection is reset and new ones are reset as soon as they arrive, for a while.
    void refuseFor(int ms);

    // Nothing held back, no timed fault in force: what one side sent has reached the other.
    bool idle() const;
    // The last moment (on its own clock) it was not idle.
    qint64 lastBusyMs() const { return m_lastBusy; }
    qint64 nowMs() const { return m_clock.elapsed(); }
    int accepted() const { return m_accepted; }

private:
    struct Pipe
    {
        QList<QPair<QByteArray, qint64>> chunks; // bytes and when they may leave
        qint64 lastDue = 0;
        qint64 stallUntil = 0;
        bool cutNext = false;
        bool shut = false; // ended towards its side: nothing more goes that way
        double budget = 0; // bytes the slow link lets through
        bool empty() const { return chunks.isEmpty(); }
    };
    struct Link
    {
        QTcpSocket *guest = nullptr;
        QTcpSocket *host = nullptr;
        Pipe toHost;
        Pipe toGuest;
        bool hostUp = false;
        bool closing = false;
    };

    void onNewConnection();
    void onRead(Link *link, bool fromGuest);
    void pump();
    void pumpPipe(Link *link, Pipe &pipe, QTcpSocket *to, Direction d);
    void endLink(Link *link, bool hard);
    void onSideClosed(Link *link, bool guestSide);
    bool timedFault() const;

    QTcpServer *m_server;
    QTimer *m_pump;
    QElapsedTimer m_clock;
    QRandomGenerator m_rng;
    int m_hostPort;
    QList<Link *> m_links;
    qint64 m_latencyUntil = 0;
    int m_jitterMs = 0;
    qint64 m_slowUntil = 0;
    int m_bytesPerSecond = 0;
    qint64 m_piecesUntil = 0;
    int m_largestPiece = 1;
    qint64 m_refuseUntil = 0;
    qint64 m_lastPump = 0;
    qint64 m_lastBusy = 0;
    int m_accepted = 0;
};

} // namespace Stress
