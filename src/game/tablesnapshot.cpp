#include "game/tablesnapshot.h"
#include "cards/cardcode.h"
#include "game/protocol.h"
#include "game/table.h"

QStringList tableSnapshotValues(const TTable &table)
{
    const TuserInfo &roster = table.roster();
    QStringList passed;
    QStringList counts;
    for (int seat = 1; seat <= 4; ++seat) {
        if (table.seated(seat) && table.passed(seat))
            passed << roster.user(seat).nick;
        counts << QString::number(table.seated(seat) ? table.cardCount(seat) : 0);
    }
    const QStringList cards = table.tableCards();
    const QString thrower = cards.isEmpty() ? QString() : roster.user(table.thrower()).nick;
    return {joinCardList(cards), thrower, passed.join(QLatin1Char('#')), counts.join(QLatin1Char('#'))};
}

std::optional<TTableSnapshot> parseTableSnapshot(const QString &cards, const QString &thrower, const QString &passed,
                                                 const QString &counts)
{
    TTableSnapshot snapshot;
    snapshot.tableCards = splitCardList(cards);
    if (joinCardList(snapshot.tableCards) != cards || snapshot.tableCards.size() > 5)
        return std::nullopt;
    for (const QString &code : std::as_const(snapshot.tableCards))
        if (!isCardCode(code))
            return std::nullopt;
    snapshot.thrower = snapshot.tableCards.isEmpty() ? QString() : thrower;
    snapshot.passed = passed.split(QLatin1Char('#'), Qt::SkipEmptyParts);
    const QStringList pieces = counts.split(QLatin1Char('#'));
    if (pieces.size() != 4)
        return std::nullopt;
    for (int seat = 1; seat <= 4; ++seat) {
        int n = 0;
        if (!strictToInt(pieces.at(seat - 1), &n) || n < 0 || n > 13)
            return std::nullopt;
        snapshot.counts[size_t(seat)] = n;
    }
    return snapshot;
}
