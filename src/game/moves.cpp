#include "game/moves.h"
#include "cards/cardcode.h"
#include "game/protocol.h"

std::optional<TThrowClaim> parseThrowClaim(const QString &port, const QString &nick, const QString &count,
                                           const QString &list)
{
    TThrowClaim claim;
    if (!strictToInt(count, &claim.count))
        return std::nullopt;
    claim.port = lenientToInt(port);
    claim.nick = nick;
    claim.cards = splitCardList(list);
    claim.wellFormed = joinCardList(claim.cards) == list;
    for (const QString &code : claim.cards)
        claim.wellFormed = claim.wellFormed && isCardCode(code);
    return claim;
}
