#pragma once
// A "[THROW]" as it arrives, parsed once into typed values.
#include <QString>
#include <QStringList>
#include <optional>

struct TThrowClaim
{
    int port = 0;
    QString nick;
    int count = 0;        // the card count the sender gave
    QStringList cards;    // the card list, in the sender's order
    bool wellFormed = false; // every piece a card, nothing else in the list
    // What a receiver shows and applies: the list cut at each "#", at most count pieces (and at most
    // five), pieces that are not cards left out. A list without "#" is a pass.
    QStringList shown;
    bool pass = true;
};

// Empty when the count is not a number: such a message is dropped as it stands.
// The claim of one's own move, made from the cards thrown (none for a pass).
TThrowClaim ownThrowClaim(int port, const QString &nick, const QStringList &cards);
std::optional<TThrowClaim> parseThrowClaim(const QString &port, const QString &nick, const QString &count,
                                           const QString &list);
