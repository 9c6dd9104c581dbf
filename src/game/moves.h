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
};

// Empty when the count is not a number: such a message is dropped as it stands.
std::optional<TThrowClaim> parseThrowClaim(const QString &port, const QString &nick, const QString &count,
                                           const QString &list);
