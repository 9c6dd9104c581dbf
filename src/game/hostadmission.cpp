#include "game/hostadmission.h"

#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/messagerouter.h"
#include "game/protocol.h"
#include "game/tablesnapshot.h"
#include "hub/hubserver.h"
#include "game/gamecontext.h"
#include "game/tableview.h"

#include <QList>
#include <QTimer>

int THostAdmission::chooseSeat(int seatCount, int firstFreeSeat)
{
    if (seatCount == 1)
        return 3;
    return firstFreeSeat;
}

void THostAdmission::updateNewGameButton()
{
    w.view->setButtonEnabled(TGameButton::NewGame, w.gHost->ClientCount() > 0);
}

THostAdmission::THostAdmission(TGameContext &w) : w(w)
{
    m_held.expired = [this](int seat) {
        const TuserRec u = this->w.roster.user(seat);
        if (u.away && this->w.gHost && this->w.gHost->Active())
            depart(seat, u.IP, u.port, -1);
    };
}

bool THostAdmission::dealUnderWay() const
{
    return w.st.gameOn || w.flow->dealing() || w.dealEnd->ending();
}

void THostAdmission::gHostHosting()
{
    m_held.clear();
    w.view->setButtonEnabled(TGameButton::ConnectItem, false);
    w.view->setButtonEnabled(TGameButton::DisconnectItem, true);

    w.st.hosting = true;
    w.st.turnSeat = 0;
    w.roster.clearAll();

    w.enterWaitMode();

    w.st.myNick = w.view->settingsNick();
    w.st.myPort = 0;
    w.st.hostIP = w.gHost->LocalIP();

    if (w.flow->seatPlayer(w.st.myNick, w.st.hostIP, 0, 1))
        w.roster.user(1).alive = true;

    w.view->setStatusText(QStringLiteral(" Hosting as ") + w.st.hostIP + QStringLiteral(" @ ")
                    + QString::number(w.gHost->listeningPort()) + QStringLiteral(" ..."));
}

void THostAdmission::gHostClientConnect(const QString &ClientIP, int atPort)
{
    Q_UNUSED(ClientIP);
    w.view->setButtonEnabled(TGameButton::Ping, true);

    // While a seat is held, whoever connects may be its player coming back: it gets to say so.
    if (m_held.anyHeld()) {
        w.gHost->SendToClient(atPort, Tag::REQVER, {}, {}, {});
        w.gHost->SendToClient(atPort, Tag::REQINFO, {}, {}, {});
    } else if (w.roster.isFull()) {
        w.gHost->SendToClient(atPort, Tag::FULL, {}, {}, {});
    } else if (w.st.gameOn) {
        w.gHost->SendToClient(atPort, Tag::ONGAME, {}, {}, {});
    } else {
        w.gHost->SendToClient(atPort, Tag::REQVER, {}, {}, {});
        w.gHost->SendToClient(atPort, Tag::REQINFO, {}, {}, {});
    }
}

void THostAdmission::onCheckVersion(int fromPort, const QString &version)
{
    if (version != kVersionText)
        w.gHost->SendToClient(fromPort, Tag::DIFFVER, kVersionText, {}, {});
}

void THostAdmission::onRequestJoin(const QString &fromIP, int fromPort, const QString &nick)
{
    if (nick.isEmpty())
        return;
    // One seat per connection: a second join from a seated connection is ignored.
    if (fromPort <= 0 || TuserInfo::validSeat(w.roster.seatOfPort(fromPort)))
        return;
    if (TuserInfo::validSeat(w.roster.seatOfNick(nick))) {
        w.gHost->SendToClient(fromPort, Tag::CHNICK, {}, {}, {});
        return;
    }
    // A join that was never offered a seat (the deal started meanwhile) is refused as at connect time,
    // so nobody sits down in the middle of a deal.
    if (w.st.gameOn) {
        w.gHost->SendToClient(fromPort, Tag::ONGAME, {}, {}, {});
        updateNewGameButton();
        return;
    }

    const int seat = chooseSeat(w.roster.seatCount(), w.roster.firstFreeSeat());
    if (!TuserInfo::validSeat(seat)) {
        w.gHost->SendToClient(fromPort, Tag::FULL, {}, {}, {});
        updateNewGameButton();
        return;
    }
    if (!w.flow->seatPlayer(nick, fromIP, fromPort, seat)) {
        updateNewGameButton();
        return;
    }
    w.gHost->markSeated(fromPort);
    // A newcomer never received a running ping, so it is spared by it.
    if (w.roster.user(seat).nick == nick)
        w.roster.user(seat).alive = true;
    w.gHost->SendToClient(fromPort, Tag::SEATKEY, m_held.issueKey(seat), {}, {});

    const QString joinedPort = QString::number(fromPort);
    w.gHost->SendToAll(Tag::USER, Tag::JOIN, nick, fromIP, joinedPort, QString::number(seat), {});
    sendSeatsTo(fromPort, seat);
    updateNewGameButton();
}

void THostAdmission::sendSeatsTo(int port, int ownSeat)
{
    for (int s = 1; s <= 4; ++s) {
        if (s == ownSeat)
            continue;
        // Copied: sending lets pending events run, and a departure may change the roster meanwhile.
        const TuserRec other = w.roster.user(s);
        if (other.nick.isEmpty() || other.port < 0)
            continue;
        w.gHost->SendToClient(port, Tag::USER, Tag::JOIN, other.nick, other.IP, QString::number(other.port),
                              QString::number(s), {});
        w.gHost->SendToClient(port, Tag::CREDIT, QString::number(other.port), other.nick,
                              QString::number(other.credit));
        if (other.away)
            w.gHost->SendToClient(port, Tag::AWAY, other.nick, {}, {});
    }
}

void THostAdmission::onRejoin(const QString &fromIP, int fromPort, const QString &nick, const QString &key)
{
    // A connection that holds a seat has nothing to take back.
    if (fromPort <= 0 || TuserInfo::validSeat(w.roster.seatOfPort(fromPort)))
        return;
    const int seat = w.roster.seatOfNick(nick);
    if (!TuserInfo::validSeat(seat) || !m_held.isHeld(seat) || !m_held.keyMatches(seat, key)) {
        w.gHost->logNote(QStringLiteral("A rejoin as ") + nick + QStringLiteral(" from ") + fromIP
                         + QStringLiteral(" was refused"));
        w.gHost->SendToClient(fromPort, Tag::CHNICK, {}, {}, {});
        w.gHost->DropClientWhenSent(fromPort);
        return;
    }
    if (w.flow->dealing() || w.flow->startingDeal()) {
        // The hands are known once the deal is out: the seat is given back then.
        QTimer::singleShot(20, &m_held, [this, fromIP, fromPort, nick, key] { onRejoin(fromIP, fromPort, nick, key); });
        return;
    }
    m_held.release(seat);
    TuserRec &u = w.roster.user(seat);
    u.port = fromPort;
    u.IP = fromIP;
    u.away = false;
    u.alive = true;
    w.gHost->markSeated(fromPort);
    w.flow->seatBack(seat);

    const TuserRec back = u;
    w.gHost->SendToClient(fromPort, Tag::SEATKEY, m_held.issueKey(seat), {}, {});
    w.gHost->SendToAll(Tag::USER, Tag::JOIN, nick, fromIP, QString::number(fromPort), QString::number(seat), {});
    sendSeatsTo(fromPort, seat);
    w.gHost->SendToClient(fromPort, Tag::CREDIT, QString::number(back.port), back.nick, QString::number(back.credit));
    sendDealTo(fromPort, seat);
}

void THostAdmission::sendDealTo(int port, int seat)
{
    if (!w.st.gameOn || !w.table.inDeal()) {
        // Between deals: who leads the next one, as its winner announced it.
        const int leader = w.table.leader();
        if (w.table.seated(leader)) {
            const TuserRec &u = w.roster.user(leader);
            w.gHost->SendToClient(port, Tag::iSTART, QString::number(u.port), u.nick, {});
        }
        return;
    }
    const TuserRec me = w.roster.user(seat);
    const QStringList hand = w.table.hand(seat);
    for (int k = 1; k <= hand.size(); ++k)
        w.gHost->SendToClient(port, Tag::CARD, QString::number(me.port), me.nick, QString::number(k), hand.at(k - 1),
                              {}, {});
    const QStringList values = tableSnapshotValues(w.table);
    w.gHost->SendToClient(port, Tag::TABLE, values.value(0), values.value(1), values.value(2), values.value(3), {},
                          {});
    const int toMove = w.table.toMove();
    if (w.table.seated(toMove)) {
        const TuserRec &u = w.roster.user(toMove);
        w.gHost->SendToClient(port, Tag::WHOSETURN, QString::number(u.port), u.nick, {});
    }
}

void THostAdmission::onPong(int fromPort, const QString &nick)
{
    const int seat = w.roster.seatOfNick(nick);
    if (!TuserInfo::validSeat(seat))
        return;
    // An answer counts only for the player seated on the connection it came from.
    if (w.roster.user(seat).port != fromPort)
        return;
    w.roster.user(seat).alive = true;
}

void THostAdmission::gHostClientDisconnect(const QString &ClientIP, int atPort)
{
    const int seat = atPort > 0 ? w.roster.seatOfPort(atPort) : -1;
    if (TuserInfo::validSeat(seat)) {
        if (dealUnderWay() && !m_dropping.contains(atPort))
            holdSeat(seat);
        else
            depart(seat, ClientIP, atPort, atPort);
    }
    w.view->setButtonEnabled(TGameButton::Ping, w.gHost->ClientCount() > 0);
}

void THostAdmission::holdSeat(int seat)
{
    TuserRec &u = w.roster.user(seat);
    u.away = true;
    m_held.hold(seat);
    w.flow->seatAway(seat);
    w.router->sendToTable(Tag::AWAY, u.nick);
}

void THostAdmission::depart(int seat, const QString &ip, int port, int exceptPort)
{
    const QString nick = w.roster.user(seat).nick;
    m_held.forget(seat);
    w.gHost->SendToAllExcept(Tag::USER, Tag::QUIT, nick, ip, QString::number(port), QString::number(seat), {},
                             exceptPort);
    w.flow->unseatPlayer(nick);
    w.enterWaitMode();
    w.gHost->SendToAll(Tag::WAITMODE, {}, {}, {});
}

void THostAdmission::btnPingClick()
{
    w.view->setButtonEnabled(TGameButton::Ping, false);
    for (int s = 1; s <= 4; ++s)
        w.roster.user(s).alive = false;
    w.router->sendToTable(Tag::PING);
    w.Timer1->start();
}

void THostAdmission::Timer1Timer()
{
    w.Timer1->stop();
    if (!w.gHost->Active())
        return;

    // Collected first: each drop runs the departure, which changes the roster.
    QList<int> silent;
    for (int s = 1; s <= 4; ++s) {
        const TuserRec &u = w.roster.user(s);
        // A held seat has no connection to drop; its own time decides.
        if (!u.alive && u.port > 0 && !u.away)
            silent.append(u.port);
    }
    for (int port : silent) {
        // Dropped on purpose: the player leaves, the seat is not held.
        m_dropping.insert(port);
        w.gHost->DropClient(port);
        m_dropping.remove(port);
    }

    w.view->setButtonEnabled(TGameButton::Ping, true);
}

void THostAdmission::btnStopClick()
{
    if (!w.view->askYesNo(QStringLiteral("Are you sure , you want to STOP current game ?")))
        return;
    w.enterWaitMode();
    w.router->sendToTable(Tag::WAITMODE);
}
