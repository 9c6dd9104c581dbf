#include "game/hostadmission.h"

#include "game/gameflow.h"
#include "game/messagerouter.h"
#include "game/protocol.h"
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

void THostAdmission::gHostHosting()
{
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

    if (w.roster.isFull()) {
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

    const QString joinedPort = QString::number(fromPort);
    w.gHost->SendToAll(Tag::USER, Tag::JOIN, nick, fromIP, joinedPort, QString::number(seat), {});

    for (int s = 1; s <= 4; ++s) {
        if (s == seat)
            continue;
        // Copied: sending lets pending events run, and a departure may change the roster meanwhile.
        const TuserRec other = w.roster.user(s);
        if (other.nick.isEmpty() || other.port < 0)
            continue;
        w.gHost->SendToClient(fromPort, Tag::USER, Tag::JOIN, other.nick, other.IP, QString::number(other.port),
                              QString::number(s), {});
        w.gHost->SendToClient(fromPort, Tag::CREDIT, QString::number(other.port), other.nick,
                              QString::number(other.credit));
    }

    updateNewGameButton();
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
        const QString nick = w.roster.user(seat).nick;
        w.gHost->SendToAllExcept(Tag::USER, Tag::QUIT, nick, ClientIP, QString::number(atPort),
                                 QString::number(seat), {}, atPort);
        w.flow->unseatPlayer(nick);
        w.enterWaitMode();
        w.gHost->SendToAll(Tag::WAITMODE, {}, {}, {});
    }
    w.view->setButtonEnabled(TGameButton::Ping, w.gHost->ClientCount() > 0);
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
        if (!u.alive && u.port > 0)
            silent.append(u.port);
    }
    for (int port : silent)
        w.gHost->DropClient(port);

    w.view->setButtonEnabled(TGameButton::Ping, true);
}

void THostAdmission::btnStopClick()
{
    if (!w.view->askYesNo(QStringLiteral("Are you sure , you want to STOP current game ?")))
        return;
    w.enterWaitMode();
    w.router->sendToTable(Tag::WAITMODE);
}
