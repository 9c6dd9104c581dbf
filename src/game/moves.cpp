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

    claim.pass = !list.contains(QLatin1Char('#'));
    if (!claim.pass) {
        QString rest = list;
        for (int j = 1; j <= qMin(claim.count, 5); ++j) {
            const qsizetype cut = rest.indexOf(QLatin1Char('#'));
            if (cut < 1)
                continue;
            const QString code = rest.left(cut);
            rest.remove(0, cut + 1);
            if (isCardCode(code))
                claim.shown << code;
        }
    }
    return claim;
}

TThrowClaim ownThrowClaim(int port, const QString &nick, const QStringList &cards)
{
    TThrowClaim claim;
    claim.port = port;
    claim.nick = nick;
    claim.count = int(cards.size());
    claim.cards = cards;
    claim.shown = cards.mid(0, 5);
    claim.wellFormed = true;
    claim.pass = cards.isEmpty();
    return claim;
}
