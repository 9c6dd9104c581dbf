#pragma once
// A deal from "New Game" to the last throw: dealing, the leader, the turn, throws and passes, seating.
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class QTimer;
struct TThrowClaim;
class TGameContext;

class TGameFlow
{
public:
    explicit TGameFlow(TGameContext &w);
    ~TGameFlow();

    void btnNewClick();
    void startDeal();
    void onWhoseTurn(const QString &nick);                        // "[WHOSETURN]"
    void onCard(const QString &nick, int position, const QString &code); // "[CARD]"
    void onUser(const QString &what, const QString &nick, const QString &ip, int port, int seat); // "[USER]"
    void showTurn(int seat);
    // A throw or pass of any player, as parsed where it arrived.
    void applyThrow(const TThrowClaim &move);
    // The same from the four values of a "[THROW]".
    void applyThrow(int port, const QString &nick, int count, const QString &cardList);
    void btnPassClick();
    // The local player's turn is over without a move of its own (the host passed for it).
    void endOwnTurn();
    // Seats a newcomer; the nick already in that seat is a player who came back on a new connection.
    bool seatPlayer(const QString &nick, const QString &ip, int port, int seat);
    bool unseatPlayer(const QString &nick);
    // A seat's connection dropped and the host holds it ("[AWAY]" on a client), or its player is back.
    void seatAway(int seat);
    void onAway(const QString &nick);
    void seatBack(int seat);
    // A client that came back in the middle of a deal: its hand came as "[CARD]"s, the rest is here.
    void resumeDeal(const QString &cards, const QString &thrower, const QString &passed, const QString &counts);
    // A client about to take its held seat back forgets the table it knew: the host's word rebuilds it.
    void forgetTable();

    bool dealing() const { return m_dealing; }
    // A client: cards of a new deal have come, the deal has not started here yet.
    bool receivingDeal() const;
    void dropDealtCards() { m_dealt = {}; }
    // True while startDeal lets messages run; game messages that arrive then wait in a queue.
    bool startingDeal() const { return m_startingDeal; }
    // Runs the action now, or after startDeal has finished when it is under way.
    void whenDealStarted(std::function<void()> action);
    // Counts deals begun on this copy (dealing on the host, startDeal everywhere).
    int dealSerial() const { return m_dealSerial; }

    // Host: a remote player who has not moved this long after the turn reached it is passed for.
    // 0 (the default) takes the player's countdown plus a grace of five seconds.
    void setTurnDeadlineMs(int ms) { m_deadlineOverrideMs = ms; }
    bool deadlineRunning() const;
    // Absolute roster seat of a screen seat, and back; 0 when not seated.
    int absoluteSeat(int screenSeat) const;
    int screenSeat(int absoluteSeat) const;

private:
    void runDeferred();
    void takeTurn(int seat);
    void releaseHeldTurn();
    void armDeadline(int seat);
    void deadlinePassed();
    TGameContext &w;
    bool m_dealing = false;
    bool m_startingDeal = false;
    int m_dealSerial = 0;
    QList<std::function<void()>> m_deferred;
    // A client gets the turn notice a guest's move caused before the relay of that move: the notice
    // waits for the move, so that every copy shows the same sequence as the host.
    bool m_moveSeen = true;
    bool m_turnHeld = false;
    QString m_heldTurnNick;
    std::array<QString, 14> m_dealt; // a client's dealt cards by hand position, until the deal starts
    QTimer *m_deadline = nullptr;
    int m_deadlineSeat = 0;
    int m_deadlineSerial = 0;
    int m_deadlineOverrideMs = 0;
    static constexpr int kAwayDeadlineMs = 3000;
};
