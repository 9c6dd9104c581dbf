#include "support/scriptedguest.h"
#include "cards/cardcode.h"
#include "game/moves.h"
#include <QTimer>
#include <algorithm>

namespace Stress {

ScriptedGuest::ScriptedGuest(const QString &name) : nick(name)
{
    rules.useGameWeights();
    peer.joinAs(nick);
    peer.onMessage = [this](const HubMessage &m) { onMessage(m); };
}

bool ScriptedGuest::join(int port)
{
    return peer.connectTo(port);
}

void ScriptedGuest::onMessage(const HubMessage &m)
{
    const QString &tag = m.Protocol;
    const QString *v = m.value;
    const int seat = roster.seatOfNick(v[1]);
    if (tag == Tag::USER && v[0] == Tag::JOIN) {
        TuserRec rec;
        rec.nick = v[1];
        rec.port = v[3].toInt();
        rec.credit = 1000;
        roster.setSeat(rec, v[4].toInt());
    } else if (tag == Tag::USER && v[0] == Tag::QUIT) {
        roster.removeByNick(v[1]);
    } else if (tag == Tag::WAITMODE) {
        table.setWaiting();
    } else if (tag == Tag::CARD && v[1] == nick) {
        m_dealt << v[3];
    } else if (tag == Tag::NEWGAME) {
        for (int s = 1; s <= 4; ++s)
            s == mySeat() ? table.setHand(s, m_dealt) : table.setHiddenHand(s, table.seated(s) ? 13 : 0);
        m_dealt.clear();
        table.startPlay();
        m_moveSeen = true;
        if (table.winsAsDealt(mySeat())) {
            peer.send(Tag::GAMEOVER, QString::number(peer.localPort()), nick);
            winners << nick;
            table.endDeal(mySeat());
        } else if (table.seated(table.leader())) {
            table.setToMove(table.leader());
            if (table.leader() == mySeat())
                QTimer::singleShot(0, this, [this] { play(); });
        }
    } else if (tag == Tag::WHOSETURN && table.inDeal() && table.seated(seat)) {
        if (!m_moveSeen && table.toMove() != mySeat())
            ++turnsBeforeMove;
        m_moveSeen = false;
        table.setToMove(seat);
        if (seat == mySeat())
            QTimer::singleShot(0, this, [this] { play(); });
    } else if (tag == Tag::THROW && table.inDeal() && table.seated(seat)) {
        const std::optional<TThrowClaim> claim = parseThrowClaim(v[0], v[1], v[2], v[3]);
        if (claim)
            table.applyMove(TMove{seat, claim->pass ? QStringList() : claim->shown}, claim->pass ? 0 : claim->count);
        m_moveSeen = true;
    } else if (tag == Tag::GAMEOVER && table.seated(seat)) {
        winners << v[1];
        table.endDeal(seat);
    } else if (tag == Tag::CREDIT) {
        credits.insert(v[1], v[2].toInt());
    }
}

void ScriptedGuest::play()
{
    const int me = mySeat();
    if (!table.inDeal() || table.toMove() != me)
        return;
    // Another player has thrown the last card: the deal's end is on its way.
    for (int s = 1; s <= 4; ++s)
        if (table.seated(s) && table.cardCount(s) == 0)
            return;
    QStringList hand = table.hand(me);
    std::sort(hand.begin(), hand.end(), [this](const QString &a, const QString &b) {
        return eng.CardValue(a) < eng.CardValue(b);
    });
    const QStringList on = table.tableCards();
    QStringList pick;
    if (on.isEmpty())
        pick = {hand.first()};
    else if (on.size() == 1)
        for (const QString &c : std::as_const(hand))
            if (eng.CardValue(c) > eng.CardValue(on.first())) {
                pick = {c};
                break;
            }
    peer.send(Tag::THROW, QString::number(peer.localPort()), nick, QString::number(pick.size()), joinCardList(pick));
    table.applyMove(TMove{me, pick}, int(pick.size()));
    m_moveSeen = true;
    if (table.cardCount(me) > 0)
        return;
    peer.send(Tag::GAMEOVER, QString::number(peer.localPort()), nick);
    winners << nick;
    table.endDeal(me);
    if (!askNextDeal)
        return;
    QTimer::singleShot(50, this, [this] {
        peer.send(Tag::iSTART, QString::number(peer.localPort()), nick);
        peer.send(Tag::NEXTGAME);
    });
}

} // namespace Stress
