#include "ui/hint.h"
#include "bot/strategy.h"
#include "cards/playcard.h"
#include "game/table.h"
#include "rules/handhandling.h"
#include "ui/mainfrm.h"

using namespace BotCards;

TBotView THint::viewOf(const TTable &table, int seat)
{
    TBotView view;
    view.hand = maskOf(table.hand(seat));
    view.played = maskOf(table.playedCards()) & ~view.hand;
    const QStringList onTable = table.tableCards();
    if (!onTable.isEmpty()) {
        view.table = BotCombos::tableCombo(onTable);
        view.tableOwner = TuserInfo::validSeat(table.thrower()) ? (table.thrower() - seat + 4) % 4 : -1;
    }
    for (int r = 0; r < 4; ++r) {
        const int abs = (seat - 1 + r) % 4 + 1; // the turn goes 1, 2, 3, 4, 1
        view.cards[size_t(r)] = table.seated(abs) ? table.cardCount(abs) : -1;
        view.passed[size_t(r)] = table.seated(abs) && table.passed(abs);
    }
    return view;
}

bool THint::available() const
{
    const int mine = w.roster.seatOfNick(w.st.myNick);
    return w.st.gameOn && w.st.turnSeat == 1 && w.table.inDeal() && TuserInfo::validSeat(mine) &&
           w.table.toMove() == mine && w.table.knowsHand(mine) && w.table.cardCount(mine) > 0;
}

bool THint::give()
{
    if (!available())
        return false;
    const int mine = w.roster.seatOfNick(w.st.myNick);
    const TBotView view = viewOf(w.table, mine);
    TMoveGenerator moves(w.rules);
    const QList<TCombo> throws = moves.legalThrows(view.hand, w.table.tableCards());
    // The strongest level as measured in the arena (level 4 does not yet beat it).
    TSmartStrategy strongest(3);
    strongest.seed(++m_asked);
    const TCombo pick = strongest.choose(view, throws);
    w.hand->btnCardDownClick();
    if (pick.isPass()) {
        w.setStatusText(QStringLiteral("Pass"));
        return true;
    }
    for (int n = 1; n <= 13; ++n) {
        TPlayCard *slot = w.handSlot(n);
        if (!slot || slot->isHidden())
            continue;
        const int card = indexOfCode(slot->GetCardCode());
        if (card >= 0 && (pick.mask & bit(card)))
            w.hand->cardControl(slot);
    }
    return true;
}
