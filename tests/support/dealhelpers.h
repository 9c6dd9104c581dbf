#pragma once
// Helpers for tests that play with the hand, the table and the turn of one or more windows.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class TmainFrm;
class TPlayCard;

namespace DealHelpers {

// Seats players on one window's own roster and screen, without any network: each pair is a nick and
// its roster seat; the port is 0 for seat 1 and 5000 + seat otherwise. myNick is this copy's player.
void seatLocally(TmainFrm *w, const QString &myNick, const QList<QPair<QString, int>> &seats);
// Port the helper above gives a seat.
int localPort(int seat);

// A deal in play on this window alone: every other seated hand holds 13 unseen cards, the own hand
// and the table are what the window shows.
void playLocally(TmainFrm *w);

// Puts the codes face up and lowered into the own slots 1.., hides the others, nothing raised.
void giveHand(TmainFrm *w, const QStringList &codes);
// Shows the codes on the table from "outC1" on and hides the other table slots.
void putOnTable(TmainFrm *w, const QStringList &codes);

QStringList handOf(const TmainFrm *w);      // codes of the visible own slots, in slot order
QStringList raisedOf(const TmainFrm *w);    // codes of the visible raised own slots
QStringList tableOf(const TmainFrm *w);     // codes of the visible table slots, in slot order
int backsShown(const TmainFrm *w, int seat); // visible slots of a screen seat
TPlayCard *slotHolding(const TmainFrm *w, const QString &code); // visible own slot with that card

// A left click on a card control, as the mouse gives it.
void clickCard(TPlayCard *card);
// Clicks the own cards with these codes; false when one is not in the hand.
bool clickCards(TmainFrm *w, const QStringList &codes);

// The lowest game value in a list of codes (the deck engine's game weights).
int lowestValue(TmainFrm *w, const QStringList &codes);

} // namespace DealHelpers
