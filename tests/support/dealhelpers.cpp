#include "support/dealhelpers.h"
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "support/localtable.h"
#include "support/rawpeer.h"
#include "ui/handhandling.h"
#include "ui/mainfrm.h"
#include "ui/playcard.h"
#include "ui/tablesession.h"
#include <QTest>

namespace DealHelpers {

QList<ClientTable *> seatQuietPlayers(TmainFrm *host, const QStringList &nicks)
{
    QList<ClientTable *> players;
    for (const QString &nick : nicks) {
        auto *p = new ClientTable(host->session->seatInProcess(host), nick, host->session);
        p->setAutoPass(false);
        p->start();
        players << p;
    }
    Stress::waitUntil([&] {
        return std::all_of(players.begin(), players.end(), [](ClientTable *p) { return p->mySeat() != 0; })
               && host->client() && host->client()->roster().seatCount() == players.size() + 1;
    });
    return players;
}

bool dealHands(TmainFrm *host, const QHash<int, QStringList> &hands)
{
    TableHost *table = host->tableHost();
    if (!table)
        return false;
    // The free cards go out one 2 a seat first, then rank by rank: a filled hand holds few ranks, so
    // it neither runs through all thirteen nor holds the four 2s, and nobody wins as dealt.
    QStringList twos, rest;
    for (int rank = 1; rank <= 13; ++rank)
        for (int suit = 1; suit <= 4; ++suit)
            if (const QString c = QString::number(suit) + QString::number(rank);
                std::none_of(hands.begin(), hands.end(), [&](const QStringList &h) { return h.contains(c); }))
                (rank == 2 ? twos : rest) << c;
    std::array<QStringList, 5> bySeat;
    for (int s = 1; s <= 4; ++s) {
        bySeat[size_t(s)] = hands.value(s);
        if (bySeat[size_t(s)].size() < 13 && !twos.isEmpty())
            bySeat[size_t(s)] << twos.takeFirst();
    }
    rest << twos;
    for (int s = 1; s <= 4; ++s)
        while (bySeat[size_t(s)].size() < 13)
            bySeat[size_t(s)] << rest.takeFirst();
    table->setNextDeck(Stress::stackedDeck(bySeat));
    if (!table->deal())
        return false;
    return Stress::waitUntil([host] { return host->client()->inDeal() && handOf(host).size() == 13; });
}

bool throwFor(TmainFrm *host, ClientTable *player, const QStringList &cards)
{
    // The player's copy may not have heard its turn notice yet.
    if (!Stress::waitUntil([player] { return player->myTurn(); }))
        return false;
    const qsizetype before = host->client()->table().moves().size();
    if (!(cards.isEmpty() ? player->pass() : player->play(cards)))
        return false;
    return Stress::waitUntil([host, before] { return host->client()->table().moves().size() > before; });
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
    Q_UNUSED(w);
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    return rules.nthLowestValue(codes, 1);
}

} // namespace DealHelpers
