#pragma once
// A deal from "New Game" to the last throw: dealing, the leader, the turn, throws and passes, seating.
#include <QString>

class TmainFrm;

class TGameFlow
{
public:
    explicit TGameFlow(TmainFrm &w) : w(w) {}

    void btnNewClick();
    void startDeal();
    void onSmallestCard(int fromPort, int value);                 // host, "[SMALLESTCARD]"
    void onWhoseTurn(const QString &nick);                        // "[WHOSETURN]"
    void onCard(const QString &nick, int position, const QString &code); // "[CARD]"
    void onUser(const QString &what, const QString &nick, const QString &ip, int port, int seat); // "[USER]"
    void showTurn(int seat);
    void applyThrow(int port, const QString &nick, int count, const QString &cardList);
    void btnPassClick();
    bool seatPlayer(const QString &nick, const QString &ip, int port, int seat);
    bool unseatPlayer(const QString &nick);

    bool dealing() const { return m_dealing; }

private:
    TmainFrm &w;
    bool m_dealing = false;
    bool m_startingDeal = false;
};
