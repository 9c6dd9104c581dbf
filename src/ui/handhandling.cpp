#include "ui/handhandling.h"
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "rules/handorder.h"
#include "ui/mainfrm.h"
#include "ui/playcard.h"
#include "ui/tablescale.h"
#include <QLabel>
#include <QPushButton>

namespace {
const char *const kMarkProperty = "mark";
const QString kUp = QStringLiteral("UP");

bool holdsCard(const QWidget *slot)
{
    return slot && !slot->isHidden();
}
} // namespace

bool THandHandling::isRaised(const TPlayCard *slot)
{
    return slot && slot->property(kMarkProperty).toString() == kUp;
}

void THandHandling::setRaised(TPlayCard *slot, bool up)
{
    if (!slot)
        return;
    slot->setProperty(kMarkProperty, up ? kUp : QString());
    slot->refreshAccessibleName();
    TTableScale::moveDesign(slot, QPoint(TTableScale::designRect(slot).x(), up ? kRaisedTop : kLoweredTop));
}

void THandHandling::cardControl(TPlayCard *slot)
{
    if (!slot || !holdsCard(slot))
        return;
    const QString code = slot->GetCardCode();
    if (isRaised(slot)) {
        setRaised(slot, false);
        m_raised.remove(code);
        return;
    }
    if (m_raised.size() >= 5) {
        w.beep();
        return;
    }
    if (slot->cardStatus() != _Open)
        return;
    setRaised(slot, true);
    m_raised.insert(code);
}

void THandHandling::btnCardDownClick()
{
    for (int n = 1; n <= 13; ++n)
        setRaised(w.handSlot(n), false);
    m_raised.clear();
}

void THandHandling::btnSortNClick()
{
    sortHand(true);
}

void THandHandling::btnSortFClick()
{
    sortHand(false);
}

void THandHandling::sortHand(bool byNumber)
{
    sortCodes(m_order, byNumber);
    w.showTable();
}

void THandHandling::newHand(const QStringList &codes)
{
    m_order = codes;
    sortCodes(m_order, true);
    m_raised.clear();
}

void THandHandling::showHand(const QStringList &codes, bool faceUp)
{
    if (faceUp) {
        QStringList kept;
        for (const QString &c : std::as_const(m_order))
            if (codes.contains(c))
                kept << c;
        for (const QString &c : codes)
            if (!kept.contains(c))
                kept << c;
        m_order = kept;
        for (auto it = m_raised.begin(); it != m_raised.end();)
            it = m_order.contains(*it) ? std::next(it) : m_raised.erase(it);
    } else {
        m_raised.clear();
    }
    for (int n = 1; n <= 13; ++n) {
        TPlayCard *slot = w.handSlot(n);
        if (!slot)
            continue;
        if (!faceUp) {
            // Between deals the hand lies face down.
            setRaised(slot, false);
            slot->CloseCard();
            continue;
        }
        const bool held = n <= m_order.size();
        slot->setVisible(held);
        if (!held)
            continue;
        slot->SetCardCode(m_order.at(n - 1));
        slot->OpenCard();
        setRaised(slot, m_raised.contains(m_order.at(n - 1)));
    }
    if (w.imgCarpet)
        w.imgCarpet->update();
}

void THandHandling::btnThrowClick()
{
    ClientTable *c = w.client();
    const QStringList selection = selectionCodes();
    if (!c || !c->play(selection)) {
        w.beep();
        return;
    }
    m_raised.clear();
    w.showTable();
}

void THandHandling::btnPassClick()
{
    if (ClientTable *c = w.client())
        c->pass();
}

void THandHandling::btnNewClick()
{
    ClientTable *c = w.client();
    if (TableHost *host = w.tableHost(); host && !(c && c->isLastWinner()))
        host->deal();
    else if (c)
        c->nextDeal();
    w.showTable();
}

void THandHandling::btnStopClick()
{
    TableHost *host = w.tableHost();
    if (!host || !w.askYesNo(QStringLiteral("Are you sure , you want to STOP current game ?")))
        return;
    // The window may have left the table while the box was open.
    if ((host = w.tableHost()))
        host->stopDeal();
}

void THandHandling::btnPingClick()
{
    if (TableHost *host = w.tableHost())
        host->pingPlayers();
    w.showTable();
}

int THandHandling::countPlayerCards(int seat) const
{
    if (seat < 1 || seat > 4)
        return 0;
    int count = 0;
    for (int n = 1; n <= 13; ++n)
        if (holdsCard(w.seatSlot(seat, n)))
            ++count;
    return count;
}

QStringList THandHandling::handCodes() const
{
    QStringList codes;
    for (int n = 1; n <= 13; ++n) {
        const TPlayCard *slot = w.handSlot(n);
        if (holdsCard(slot))
            codes << slot->GetCardCode();
    }
    return codes;
}

QStringList THandHandling::selectionCodes() const
{
    QStringList codes;
    for (int n = 1; n <= 13; ++n) {
        const TPlayCard *slot = w.handSlot(n);
        if (holdsCard(slot) && isRaised(slot))
            codes << slot->GetCardCode();
    }
    return codes;
}
