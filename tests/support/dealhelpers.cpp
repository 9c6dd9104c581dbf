#include "support/dealhelpers.h"
#include "cards/playcard.h"
#include "game/gameflow.h"
#include "rules/handhandling.h"
#include "ui/mainfrm.h"
#include <QTest>

namespace DealHelpers {

int localPort(int seat)
{
    return seat == 1 ? 0 : 5000 + seat;
}

void seatLocally(TmainFrm *w, const QString &myNick, const QList<QPair<QString, int>> &seats)
{
    w->st.myNick = myNick;
    for (const auto &seat : seats)
        w->flow->seatPlayer(seat.first, QStringLiteral("127.0.0.1"), localPort(seat.second), seat.second);
}

void playLocally(TmainFrm *w)
{
    const int mine = w->roster.seatOfNick(w->st.myNick);
    for (int s = 1; s <= 4; ++s)
        if (s != mine)
            w->table.setHiddenHand(s, w->table.seated(s) ? 13 : 0);
    w->table.setHand(mine, handOf(w));
    const QStringList onTable = tableOf(w);
    w->table.startPlay();
    w->table.setTableCards(onTable, 0);
    w->st.gameOn = true;
}

void giveHand(TmainFrm *w, const QStringList &codes)
{
    for (int n = 1; n <= 13; ++n) {
        TPlayCard *slot = w->handSlot(n);
        THandHandling::setRaised(slot, false);
        if (n <= codes.size()) {
            slot->SetCardCode(codes.at(n - 1));
            slot->OpenCard();
            slot->show();
        } else {
            slot->hide();
        }
    }
    w->st.selectedCount = 0;
    w->table.setHand(w->roster.seatOfNick(w->st.myNick), codes.mid(0, 13));
}

void putOnTable(TmainFrm *w, const QStringList &codes)
{
    w->table.setTableCards(codes, w->table.thrower());
    w->showTableCards(codes);
}

QStringList handOf(const TmainFrm *w)
{
    QStringList codes;
    for (int n = 1; n <= 13; ++n)
        if (const TPlayCard *slot = w->handSlot(n); slot && !slot->isHidden())
            codes << slot->GetCardCode();
    return codes;
}

QStringList raisedOf(const TmainFrm *w)
{
    QStringList codes;
    for (int n = 1; n <= 13; ++n)
        if (const TPlayCard *slot = w->handSlot(n); slot && !slot->isHidden() && THandHandling::isRaised(slot))
            codes << slot->GetCardCode();
    return codes;
}

QStringList tableOf(const TmainFrm *w)
{
    QStringList codes;
    for (int n = 1; n <= 5; ++n)
        if (const TPlayCard *slot = w->tableSlot(n); slot && !slot->isHidden())
            codes << slot->GetCardCode();
    return codes;
}

int backsShown(const TmainFrm *w, int seat)
{
    int count = 0;
    for (int n = 1; n <= 13; ++n)
        if (const QWidget *slot = w->seatSlot(seat, n); slot && !slot->isHidden())
            ++count;
    return count;
}

TPlayCard *slotHolding(const TmainFrm *w, const QString &code)
{
    for (int n = 1; n <= 13; ++n)
        if (TPlayCard *slot = w->handSlot(n); slot && !slot->isHidden() && slot->GetCardCode() == code)
            return slot;
    return nullptr;
}

void clickCard(TPlayCard *card)
{
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
}

bool clickCards(TmainFrm *w, const QStringList &codes)
{
    for (const QString &code : codes) {
        TPlayCard *slot = slotHolding(w, code);
        if (!slot)
            return false;
        clickCard(slot);
    }
    return true;
}

int lowestValue(TmainFrm *w, const QStringList &codes)
{
    return w->rules.nthLowestValue(codes, 1);
}

} // namespace DealHelpers
