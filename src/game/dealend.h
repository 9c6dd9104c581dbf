#pragma once
// The end of a deal: the winner, the host's credit settlement, bankruptcy, the next leader.
#include <QList>
#include <QString>
#include <functional>

class TmainFrm;

class TDealEnd
{
public:
    explicit TDealEnd(TmainFrm &w) : w(w) {}

    void endDeal(int winnerPort, const QString &winnerNick);
    // True while a deal's end is being shown (the pause after the winning move).
    bool ending() const { return m_ending > 0; }
    // Runs the action once the deal's end is over and the message that ended it has been handled
    // (a host relays that message after its handling); at once when no deal is ending.
    void afterEnding(std::function<void()> action);
    void settleCredits(const QString &winnerNick);
    void onCredit(const QString &port, const QString &nick, const QString &credit); // "[CREDIT]"
    bool onIStart(const QString &nick);                                            // "[iSTART]": false when not seated

    static constexpr int kEndPauseMs = 200;

private:
    void announceCredit(int port, const QString &nick, int credit);
    void runAfterEnding();
    TmainFrm &w;
    int m_ending = 0;
    QList<std::function<void()>> m_afterEnding;
};
