#pragma once
// The host's side of a table's membership: hosting, admission, departure, ping check, Stop Game.
#include <QString>

class TGameContext;

class THostAdmission
{
public:
    explicit THostAdmission(TGameContext &w) : w(w) {}

    void gHostHosting();
    void gHostClientConnect(const QString &ClientIP, int atPort);
    void onCheckVersion(int fromPort, const QString &version);                          // "[CHKVER]"
    void onRequestJoin(const QString &fromIP, int fromPort, const QString &nick);      // "[REQJOIN]"
    void onPong(int fromPort, const QString &nick);                                     // "[PONG]"
    void gHostClientDisconnect(const QString &ClientIP, int atPort);
    void btnPingClick();
    void Timer1Timer();
    void btnStopClick();

    // The seat a join takes: opposite the host first, then the lowest free one; -1 when full.
    static int chooseSeat(int seatCount, int firstFreeSeat);

private:
    void updateNewGameButton();
    TGameContext &w;
};
