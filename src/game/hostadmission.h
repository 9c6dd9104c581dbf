#pragma once
// The host's side of a table's membership: hosting, admission, departure, ping check, Stop Game.
#include "game/heldseats.h"
#include <QSet>
#include <QString>

class TGameContext;

class THostAdmission
{
public:
    explicit THostAdmission(TGameContext &w);

    void gHostHosting();
    void gHostClientConnect(const QString &ClientIP, int atPort);
    void onCheckVersion(int fromPort, const QString &version);                          // "[CHKVER]"
    void onRequestJoin(const QString &fromIP, int fromPort, const QString &nick);      // "[REQJOIN]"
    // "[REJOIN]": a player whose connection dropped takes its held seat back with its key.
    void onRejoin(const QString &fromIP, int fromPort, const QString &nick, const QString &key);
    void onPong(int fromPort, const QString &nick);                                     // "[PONG]"
    void gHostClientDisconnect(const QString &ClientIP, int atPort);
    void btnPingClick();
    void Timer1Timer();
    void btnStopClick();

    // The seat a join takes: opposite the host first, then the lowest free one; -1 when full.
    static int chooseSeat(int seatCount, int firstFreeSeat);

    THeldSeats &heldSeats() { return m_held; }

private:
    void updateNewGameButton();
    bool dealUnderWay() const;
    void holdSeat(int seat);
    // The seat's player has left: everybody is told, the seat is freed and the table waits.
    void depart(int seat, const QString &ip, int port, int exceptPort);
    // The seated players and credits as a newcomer gets them, all but its own seat; who is away.
    void sendSeatsTo(int port, int ownSeat);
    // What a player who comes back needs of the deal: its hand, the table, the turn.
    void sendDealTo(int port, int seat);
    TGameContext &w;
    THeldSeats m_held;
    QSet<int> m_dropping; // connections the ping check is closing
};
