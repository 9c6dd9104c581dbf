#pragma once
// Helpers for tests that play with the hand, the table and the turn of one or more windows.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <QHash>

class ClientTable;
class TmainFrm;
class TPlayCard;

namespace DealHelpers {

// At the table the window hosts, players that never move by themselves sit beside its own player:
// client models over in-process pairs, in the order given (seats 3, 2, 4). They stay until the
// window leaves the table or the returned list's owner deletes them.
QList<ClientTable *> seatQuietPlayers(TmainFrm *host, const QStringList &nicks);
// The next deal of the window's table gives seat s the codes hands[s] (up to 13 each; the rest of the
// deck fills the hands so that nobody wins as dealt), and starts it; true once the window shows it.
bool dealHands(TmainFrm *host, const QHash<int, QStringList> &hands);
// A quiet player throws these cards (or passes, when empty) once its turn has come; true once the
// window shows the move.
bool throwFor(TmainFrm *host, ClientTable *player, const QStringList &cards);

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
