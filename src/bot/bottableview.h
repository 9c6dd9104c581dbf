#pragma once
// The table of a computer player: nothing is drawn. Of what the game control shows, a player
// without a screen needs little: that its countdown starts or stops (its turn), that "New Game"
// is its to press, the message boxes (why it must leave), the credit labels (a client learns the
// credits only from the host's announcements), and that the table changed at all.
#include "game/tableview.h"
#include <array>
#include <functional>

class TBotTableView final : public TTableView
{
public:
    std::function<void()> turnStarted;          // the countdown starts: this player is to move
    std::function<void()> turnEnded;            // the countdown stops, or the table goes to wait mode
    std::function<void(bool)> newGameEnabled;   // "New Game" offered to this player, or taken back
    std::function<void(const QString &)> messageShown;
    std::function<void()> changed;              // anything shown changed
    std::function<void()> pauseEnded;           // the outermost pause is over

    // The credit label of a screen seat as last shown; empty before any.
    QString creditText(int seat) const;
    // True while processPending or waitProcessing lets events run.
    bool pausing() const { return m_pauseDepth > 0; }

    void setButtonEnabled(TGameButton button, bool on) override;
    void showWaitMode() override;
    void hideWaitPanel() override { notify(); }
    void showSeatCards(int, bool) override { notify(); }
    void hideSeatCards(int, int, int) override { notify(); }
    void placeDealtCard(const QString &, int, const QString &) override {}
    void showTableCards(const QStringList &) override { notify(); }
    void setWhoThrow(const QString &) override { notify(); }
    void setPassMarker(int, bool) override { notify(); }
    void showSeat(int seat, const QString &nickText, const QString &credit, bool creditShown) override;
    void setCreditText(int seat, const QString &text) override;
    void setSeatAway(int, bool) override { notify(); }
    void setTurnMarker(int) override { notify(); }
    void restoreIcon() override {}
    void redrawTable() override { notify(); }
    void setStatusText(const QString &) override {}
    void showMessage(TBoxKind kind, const QString &text) override;
    bool askYesNo(const QString &) override { return false; }

    void showHand(bool) override {}
    void sortHandByNumber() override { notify(); }
    void lowerAllCards() override {}
    void startCountdown() override;
    void stopCountdown() override;

    void addChatSystemLine(const QString &) override {}
    void addChatLine(const QString &, const QString &) override {}

    void processPending() override;
    void waitProcessing(int ms) override;
    QString settingsNick() const override { return {}; }

private:
    void notify() const;
    void endPause();
    std::array<QString, 5> m_credit; // screen seats 1..4
    int m_pauseDepth = 0;
};
