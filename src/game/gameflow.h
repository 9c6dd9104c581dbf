#pragma once
// A deal from "New Game" to the last throw: dealing, the leader, the turn, throws and passes, seating.
#include <QList>
#include <QString>
#include <functional>

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
    // True while startDeal lets messages run; game messages that arrive then wait in a queue.
    bool startingDeal() const { return m_startingDeal; }
    // Runs the action now, or after startDeal has finished when it is under way.
    void whenDealStarted(std::function<void()> action);
    // Counts deals begun on this copy (dealing on the host, startDeal everywhere).
    int dealSerial() const { return m_dealSerial; }

private:
    void runDeferred();
    void takeTurn(int seat);
    void releaseHeldTurn();
    TmainFrm &w;
    bool m_dealing = false;
    bool m_startingDeal = false;
    int m_dealSerial = 0;
    QList<std::function<void()>> m_deferred;
    // A client gets the turn notice a guest's move caused before the relay of that move: the notice
    // waits for the move, so that every copy shows the same sequence as the host.
    bool m_moveSeen = true;
    bool m_turnHeld = false;
    QString m_heldTurnNick;
};
