#pragma once
// What the game control asks of whatever shows the table: the window implements it. Screen seats
// throughout (1 the local player, then 2, 3, 4 in turn order). The game control never reads the
// game back from here: the state lives in the table model.
#include <QString>
#include <QStringList>

enum class TGameButton { NewGame, SortNumber, SortFlower, Throw, Pass, CardDown, Stop, Ping, ConnectItem, DisconnectItem };
enum class TBoxKind { Information, Warning, Error };

class TTableView
{
public:
    virtual ~TTableView() = default;

    virtual void setButtonEnabled(TGameButton button, bool on) = 0;
    // Wait mode on screen: no table, no turn, no countdown, the waiting panel.
    virtual void showWaitMode() = 0;
    virtual void hideWaitPanel() = 0;
    virtual void showSeatCards(int seat, bool visible) = 0;
    // The card backs from..to (counted from the left) of another seat disappear.
    virtual void hideSeatCards(int seat, int from, int to) = 0;
    virtual void placeDealtCard(const QString &nick, int slot, const QString &code) = 0;
    virtual void showTableCards(const QStringList &codes) = 0;
    virtual void setWhoThrow(const QString &text) = 0;
    virtual void setPassMarker(int seat, bool shown) = 0;
    // The nick label of a seat and its credit label (hidden for an empty seat).
    virtual void showSeat(int seat, const QString &nickText, const QString &credit, bool creditShown) = 0;
    virtual void setCreditText(int seat, const QString &text) = 0;
    // The seat's player lost its connection and the host holds the seat for it.
    virtual void setSeatAway(int seat, bool away) = 0;
    virtual void setTurnMarker(int seat) = 0;
    virtual void restoreIcon() = 0;
    virtual void redrawTable() = 0;
    virtual void setStatusText(const QString &text) = 0;
    virtual void showMessage(TBoxKind kind, const QString &text) = 0;
    virtual bool askYesNo(const QString &text) = 0;

    // The local player's hand
    virtual void showHand(bool faceUp) = 0;
    virtual void sortHandByNumber() = 0;
    virtual void lowerAllCards() = 0;
    virtual void startCountdown() = 0;
    virtual void stopCountdown() = 0;

    virtual void addChatSystemLine(const QString &line) = 0;
    virtual void addChatLine(const QString &nick, const QString &text) = 0;

    // Lets pending events run; the waiting form runs them for about ms milliseconds.
    virtual void processPending() = 0;
    virtual void waitProcessing(int ms) = 0;
    // The nick of the connection settings, taken when hosting starts.
    virtual QString settingsNick() const = 0;
};
