#pragma once
// The end of a deal: the winner, the host's credit settlement, bankruptcy, the next leader.
#include <QString>

class TGameContext;

class TDealEnd
{
public:
    explicit TDealEnd(TGameContext &w) : w(w) {}

    void endDeal(int winnerPort, const QString &winnerNick);
    void settleCredits(const QString &winnerNick);
    void onCredit(const QString &port, const QString &nick, const QString &credit); // "[CREDIT]"
    bool onIStart(const QString &nick);                                            // "[iSTART]": false when not seated

    // True during the pause at the end of a deal, before the winner leads the next one.
    bool ending() const { return m_ending; }

    static constexpr int kEndPauseMs = 200;

private:
    void announceCredit(int port, const QString &nick, int credit);
    TGameContext &w;
    bool m_ending = false;
};
