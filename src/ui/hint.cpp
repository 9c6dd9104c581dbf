#include "ui/hint.h"
#include "bot/botview.h"
#include "bot/strategy.h"
#include "client/clienttable.h"
#include "ui/handhandling.h"
#include "ui/playcard.h"
#include "ui/mainfrm.h"
#include <QRandomGenerator>

using namespace BotCards;

THint::THint(TmainFrm &w) : w(w)
{
    m_search.seed(QRandomGenerator::global()->generate64());
    m_rules.useGameWeights();
}

bool THint::available() const
{
    const ClientTable *c = w.client();
    return c && c->inDeal() && c->myTurn() && c->table().cardCount(c->mySeat()) > 0;
}

bool THint::give()
{
    if (!available())
        return false;
    const ClientTable *c = w.client();
    const TBotView view = botViewOf(c->table(), c->mySeat());
    const QList<TCombo> throws = m_moves.legalThrows(view.hand, c->table().tableCards());
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
