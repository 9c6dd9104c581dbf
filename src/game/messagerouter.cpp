#include "game/messagerouter.h"

#include "game/clientside.h"
#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/hostadmission.h"
#include "game/moves.h"
#include "game/protocol.h"
#include "game/table.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "game/gamecontext.h"
#include "game/tableview.h"

bool TMessageRouter::hostActive() const
{
    return w.gHost && w.gHost->Active();
}

QString TMessageRouter::nickOfConnection(int fromPort) const
{
    // Port 0 is the host's own seat; no network connection ever has it.
    if (fromPort <= 0)
        return {};
    const int seat = w.roster.seatOfPort(fromPort);
    if (!TuserInfo::validSeat(seat))
        return {};
    return w.roster.user(seat).nick;
}

void TMessageRouter::sendToTable(const QString &tag, const QString &v1, const QString &v2, const QString &v3,
                                 const QString &v4, const QString &v5, const QString &v6)
{
    if (hostActive())
        w.gHost->SendToAll(tag, v1, v2, v3, v4, v5, v6);
    else if (w.gClient && w.gClient->Active())
        w.gClient->Send(tag, v1, v2, v3, v4, v5, v6);
}

void TMessageRouter::relay(int fromPort, const QString &tag, const QString &v1, const QString &v2,
                           const QString &v3, const QString &v4, const QString &v5, const QString &v6)
{
    if (hostActive())
        w.gHost->SendToAllExcept(tag, v1, v2, v3, v4, v5, v6, fromPort);
}

void TMessageRouter::gHostDataArrived(const QString &fromIP, int fromPort, const QString &tag, const QString &v1,
                                      const QString &v2, const QString &v3, const QString &v4, const QString &v5,
                                      const QString &v6)
{
    // Admission tags come from connections that need not hold a seat yet.
    if (tag == Tag::PONG) {
        w.admission->onPong(fromPort, v1);
        return;
    }
    if (tag == Tag::CHKVER) {
        w.admission->onCheckVersion(fromPort, v1);
        return;
    }
    if (tag == Tag::REQJOIN) {
        w.admission->onRequestJoin(fromIP, fromPort, v1);
        return;
    }
    if (tag == Tag::REJOIN) {
        w.admission->onRejoin(fromIP, fromPort, v1, v2);
        return;
    }

    // Everything else must come from a seated player: a bare connection has no say at the table.
    const QString senderNick = nickOfConnection(fromPort);
    if (senderNick.isEmpty())
        return;

    const int seat = w.roster.seatOfNick(senderNick);
    if (tag == Tag::NEXTGAME) {
        // Only the last deal's winner asks for the next one; the host's player deals at any time.
        if (const Refusal why = w.table.checkLeadClaim(seat); why != Refusal::None) {
            refuse(senderNick, QStringLiteral("request for a new deal"), why);
            return;
        }
        if (w.st.gameOn || w.flow->dealing())
            return;
        w.flow->btnNewClick();
        return;
    }
    if (tag == Tag::SMALLESTCARD) {
        // The host dealt every card and knows who holds the lowest: reports decide nothing.
        return;
    }

    // Only the tags a client may send reach the dispatcher; those the host alone sends
    // ("[CARD]", "[NEWGAME]", "[WHOSETURN]", "[USER]", "[CREDIT]", the admission answers) are dropped here.
    if (tag == Tag::SYSTEM || tag == Tag::PASS) {
        dispatchGameMessage(fromIP, fromPort, tag, v1, v2, v3, v4, v5, v6);
        return;
    }
    if (tag == Tag::CHAT) {
        if (v1 != senderNick)
            return;
        dispatchGameMessage(fromIP, fromPort, tag, v1, v2, v3, v4, v5, v6);
        return;
    }
    const QString claimName = tag == Tag::THROW      ? QStringLiteral("move")
                              : tag == Tag::iSTART   ? QStringLiteral("lead claim")
                              : tag == Tag::GAMEOVER ? QStringLiteral("claim of the deal")
                                                     : QString();
    if (claimName.isEmpty())
        return;
    if (v2 != senderNick) {
        refuse(senderNick, claimName, Refusal::OtherName);
        return;
    }
    if (tag == Tag::THROW) {
        const std::optional<TThrowClaim> claim = parseThrowClaim(v1, v2, v3, v4);
        if (!claim)
            return;
        const Refusal why = claim->wellFormed ? w.table.checkMove(TMove{seat, claim->cards}, claim->count)
                                              : Refusal::NotCards;
        if (why != Refusal::None) {
            refuse(senderNick, claimName, why);
            return;
        }
        applyThrow(*claim, fromPort, {v1, v2, v3, v4, v5, v6});
        return;
    }
    if (tag == Tag::iSTART) {
        if (const Refusal why = w.table.checkLeadClaim(seat); why != Refusal::None) {
            refuse(senderNick, claimName, why);
            return;
        }
        dispatchGameMessage(fromIP, fromPort, tag, v1, v2, v3, v4, v5, v6);
        return;
    }
    if (tag == Tag::GAMEOVER) {
        int claimedPort = 0;
        if (!strictToInt(v1, &claimedPort))
            return;
        if (const Refusal why = w.table.checkDealOver(seat); why != Refusal::None) {
            refuse(senderNick, claimName, why);
            return;
        }
        // The winner is named by the connection it came from, so a client cannot pass for the host's player.
        dispatchGameMessage(fromIP, fromPort, tag, QString::number(fromPort), v2, v3, v4, v5, v6);
        return;
    }
}

void TMessageRouter::applyThrow(const TThrowClaim &claim, int fromPort, const QStringList &values)
{
    if (!w.st.hosting && claim.nick == w.st.myNick)
        w.flow->endOwnTurn(); // the host passed for this player: its time was up
    w.flow->applyThrow(claim);
    relay(fromPort, Tag::THROW, values.value(0), values.value(1), values.value(2), values.value(3), values.value(4),
          values.value(5));
}

void TMessageRouter::refuse(const QString &nick, const QString &what, Refusal why)
{
    const QString line = nick + QStringLiteral("'s ") + what + QStringLiteral(" was refused: ") + refusalText(why);
    w.view->addChatSystemLine(line);
    if (w.gHost)
        w.gHost->logNote(line);
}

void TMessageRouter::gClientDataArrived(const QString &fromIP, int fromPort, const QString &tag, const QString &v1,
                                        const QString &v2, const QString &v3, const QString &v4,
                                        const QString &v5, const QString &v6)
{
    if (!w.clientSide->handleTag(tag, v1))
        dispatchGameMessage(fromIP, fromPort, tag, v1, v2, v3, v4, v5, v6);
    w.clientSide->afterMessage();
}

void TMessageRouter::dispatchGameMessage(const QString &fromIP, int fromPort, const QString &tag,
                                         const QString &v1, const QString &v2, const QString &v3,
                                         const QString &v4, const QString &v5, const QString &v6)
{
    Q_UNUSED(fromIP);

    if (tag == Tag::SYSTEM) {
        w.view->addChatSystemLine(v1);
    } else if (tag == Tag::CHAT) {
        w.view->addChatLine(v1, v2);
    } else if (tag == Tag::CARD) {
        int position = 0;
        if (!strictToInt(v3, &position))
            return;
        w.flow->onCard(v2, position, v4);
        return;
    } else if (tag == Tag::THROW) {
        // value1 is not used on receipt; the thrower is found by the nick.
        if (const std::optional<TThrowClaim> claim = parseThrowClaim(v1, v2, v3, v4))
            applyThrow(*claim, fromPort, {v1, v2, v3, v4, v5, v6});
        return;
    } else if (tag == Tag::NEWGAME) {
        w.flow->startDeal();
        return;
    } else if (tag == Tag::GAMEOVER) {
        int winnerPort = 0;
        if (!strictToInt(v1, &winnerPort))
            return;
        // A winner who is not at this table settles nothing and ends nothing.
        if (!TuserInfo::validSeat(w.roster.seatOfNick(v2)))
            return;
        w.dealEnd->endDeal(winnerPort, v2);
    } else if (tag == Tag::PASS) {
        // Carried to the others, changes nothing here.
    } else if (tag == Tag::iSTART) {
        if (!w.dealEnd->onIStart(v2))
            return;
    } else if (tag == Tag::AWAY) {
        // Sent by the host alone; a client's copy never reaches here on the host.
        w.flow->onAway(v1);
        return;
    } else if (tag == Tag::TABLE) {
        w.flow->resumeDeal(v1, v2, v3, v4);
        return;
    } else if (tag == Tag::WHOSETURN) {
        w.flow->onWhoseTurn(v2);
        return;
    } else if (tag == Tag::USER) {
        int port = 0;
        int seat = 0;
        if (v1 == Tag::JOIN) {
            if (!strictToInt(v4, &port) || !strictToInt(v5, &seat))
                return;
        } else if (v1 != Tag::QUIT) {
            return;
        }
        // A departure is found by its nick; its numbers do not matter.
        w.flow->onUser(v1, v2, v3, port, seat);
        return;
    } else if (tag == Tag::CREDIT) {
        w.dealEnd->onCredit(v1, v2, v3);
        return;
    } else {
        return;
    }

    // Reached only by the tags the host passes on to the other clients.
    relay(fromPort, tag, v1, v2, v3, v4, v5, v6);
}
