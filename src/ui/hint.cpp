#include "ui/hint.h"
#include "bot/botview.h"
#include "bot/strategy.h"
#include "cards/playcard.h"
#include "game/table.h"
#include "rules/handhandling.h"
#include "ui/mainfrm.h"
#include <QRandomGenerator>

using namespace BotCards;

THint::THint(TmainFrm &w) : w(w)
{
    m_search.seed(QRandomGenerator::global()->generate64());
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
    const TBotView view = botViewOf(w.table, mine);
    TMoveGenerator moves(w.rules);
    const QList<TCombo> throws = moves.legalThrows(view.hand, w.table.tableCards());
    const TCombo pick = m_search.choose(view, throws);
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
