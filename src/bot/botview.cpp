#include "bot/botview.h"
#include "game/table.h"

using namespace BotCards;

TBotView botViewOf(const TTable &table, int seat)
{
    // the turn goes 1, 2, 3, 4, 1
    auto relative = [seat](int absolute) { return (absolute - seat + 4) % 4; };
    TBotView view;
    view.hand = maskOf(table.hand(seat));
    view.played = maskOf(table.playedCards()) & ~view.hand;
    const QStringList onTable = table.tableCards();
    if (!onTable.isEmpty()) {
        view.table = BotCombos::tableCombo(onTable);
        view.tableOwner = TuserInfo::validSeat(table.thrower()) ? relative(table.thrower()) : -1;
    }
    for (int absolute = 1; absolute <= 4; ++absolute) {
        const size_t r = size_t(relative(absolute));
        view.cards[r] = table.seated(absolute) ? table.cardCount(absolute) : -1;
        view.passed[r] = table.seated(absolute) && table.passed(absolute);
    }
    for (const TMoveRecord &m : table.moves()) {
        if (!TuserInfo::validSeat(m.move.seat))
            continue;
        const TCombo over = m.over.isEmpty() ? TCombo{} : BotCombos::tableCombo(m.over);
        view.history.push_back({relative(m.move.seat), m.move.isPass() ? TCombo{} : BotCombos::tableCombo(m.move.cards), over});
    }
    return view;
}
