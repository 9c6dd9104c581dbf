#include "rules/handhandling.h"
#include "cards/playcard.h"
#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/messagerouter.h"
#include "game/protocol.h"
#include "rules/handorder.h"
#include "ui/countdown.h"
#include "ui/mainfrm.h"
#include <QLabel>
#include <QPushButton>
#include <QTimer>

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
    slot->move(slot->x(), up ? kRaisedTop : kLoweredTop);
}

void THandHandling::cardControl(TPlayCard *slot)
{
    if (!slot)
        return;
    if (!isRaised(slot)) {
        if (w.st.selectedCount < 5 && slot->cardStatus() == _Open) {
            setRaised(slot, true);
            ++w.st.selectedCount;
        } else if (w.st.selectedCount > 4) {
            w.beep();
        }
        return;
    }
    setRaised(slot, false);
    if (w.st.selectedCount > 0)
        --w.st.selectedCount;
}

void THandHandling::btnCardDownClick()
{
    for (int n = 1; n <= 13; ++n)
        setRaised(w.handSlot(n), false);
    w.st.selectedCount = 0;
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
    const int k = countPlayerCards(1);
    QStringList codes;
    for (int n = 1; n <= k; ++n)
        if (TPlayCard *slot = w.handSlot(n))
            codes << slot->GetCardCode();
    sortCodes(codes, byNumber);
    for (int n = 1; n <= codes.size(); ++n)
        if (TPlayCard *slot = w.handSlot(n))
            slot->SetCardCode(codes.at(n - 1));
}

void THandHandling::btnThrowClick()
{
    // A click that arrives while the previous throw still lets messages run is not a second throw.
    if (m_throwing)
        return;
    const QStringList selection = selectionCodes();
    if (!w.rules.isValidThrow(selection, w.st.selectedCount, tableCodes())) {
        w.beep();
        return;
    }
    m_throwing = true;

    w.setButtonEnabled(TGameButton::Throw, false);
    w.btnPass->setEnabled(false);
    w.countdown->stop();

    const int k = countPlayerCards(1);
    int count = 0;
    QString list;
    for (int n = 1; n <= k; ++n) {
        TPlayCard *slot = w.handSlot(n);
        if (!holdsCard(slot) || !isRaised(slot))
            continue;
        ++count;
        setRaised(slot, false);
        slot->hide();
        list += slot->GetCardCode() + QLatin1Char('#');
    }

    w.router->sendToTable(Tag::THROW, QString::number(w.st.myPort), w.st.myNick, QString::number(count), list);
    w.st.selectedCount = 0;
    w.flow->applyThrow(w.st.myPort, w.st.myNick, count, list);
    w.processPending();

    // The deal may have been called off (wait mode, lost connection) while messages ran.
    if (w.st.gameOn) {
        if (w.table.cardCount(w.roster.seatOfNick(w.st.myNick)) == 0) {
            w.router->sendToTable(Tag::GAMEOVER, QString::number(w.st.myPort), w.st.myNick);
            w.dealEnd->endDeal(w.st.myPort, w.st.myNick);
        } else {
            compactHand();
        }
    }
    m_throwing = false;
}

void THandHandling::compactHand()
{
    QStringList entries;
    for (int n = 1; n <= 13; ++n) {
        TPlayCard *slot = w.handSlot(n);
        entries << ((holdsCard(slot) && !isRaised(slot)) ? slot->GetCardCode() : QStringLiteral("#"));
    }
    // Codes move left over the gaps, keeping their order.
    for (int pass = 0; pass < 12; ++pass) {
        bool moved = false;
        for (int j = 1; j < entries.size(); ++j) {
            if (entries.at(j - 1) == QLatin1String("#") && entries.at(j) != QLatin1String("#")) {
                entries.swapItemsAt(j - 1, j);
                moved = true;
            }
        }
        if (!moved)
            break;
    }
    for (int n = 1; n <= 13; ++n) {
        TPlayCard *slot = w.handSlot(n);
        if (!slot)
            continue;
        const QString &entry = entries.at(n - 1);
        if (entry != QLatin1String("#")) {
            slot->SetCardCode(entry);
            setRaised(slot, false);
            slot->show();
        } else {
            slot->hide();
        }
    }
    if (w.imgCarpet)
        w.imgCarpet->update();
}

void THandHandling::showHand(bool faceUp)
{
    for (int n = 1; n <= 13; ++n) {
        TPlayCard *slot = w.handSlot(n);
        if (!slot)
            continue;
        slot->show();
        if (faceUp)
            slot->OpenCard();
        else
            slot->CloseCard();
    }
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
    for (int n = 1; n <= 13 && codes.size() < w.st.selectedCount; ++n) {
        const TPlayCard *slot = w.handSlot(n);
        if (holdsCard(slot) && isRaised(slot))
            codes << slot->GetCardCode();
    }
    return codes;
}

QStringList THandHandling::tableCodes() const
{
    return w.table.tableCards();
}
