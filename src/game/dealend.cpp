#include "game/dealend.h"
#include "game/credits.h"
#include "game/gameflow.h"
#include "game/messagerouter.h"
#include "game/protocol.h"
#include "hub/hubclient.h"
#include "hub/hubserver.h"
#include "game/gamecontext.h"
#include "game/tableview.h"
#include <QList>

void TDealEnd::endDeal(int winnerPort, const QString &winnerNick)
{
    if (w.flow->startingDeal()) {
        w.flow->whenDealStarted([this, winnerPort, winnerNick] { endDeal(winnerPort, winnerNick); });
        return;
    }
    // A deal ends once; a winner who is not at the table ends nothing.
    const int winnerSeat = w.roster.relativeSeat(w.st.myNick, winnerNick);
    if (!w.st.gameOn || winnerSeat == 0)
        return;

    w.st.gameOn = false;
    w.view->restoreIcon();
    if (w.st.hosting)
        settleCredits(winnerNick);
    w.table.endDeal(w.roster.seatOfNick(winnerNick));

    w.view->setButtonEnabled(TGameButton::NewGame, false);
    w.view->setButtonEnabled(TGameButton::SortNumber, false);
    w.view->setButtonEnabled(TGameButton::SortFlower, false);
    w.view->setButtonEnabled(TGameButton::Throw, false);
    w.view->setButtonEnabled(TGameButton::Pass, false);
    w.view->setButtonEnabled(TGameButton::CardDown, false);
    w.view->stopCountdown();
    w.st.startSeat = winnerSeat;
    w.st.turnSeat = winnerSeat;

    const int serial = w.flow->dealSerial();
    m_ending = true;
    w.view->waitProcessing(kEndPauseMs);
    m_ending = false;
    // Wait mode, a lost connection or the next deal may have come during the pause.
    if (w.st.gameOn || w.flow->dealSerial() != serial || w.st.startSeat != winnerSeat)
        return;

    if (winnerPort == w.st.myPort && winnerNick == w.st.myNick) {
        w.router->sendToTable(Tag::iSTART, QString::number(w.st.myPort), w.st.myNick);
        w.view->setButtonEnabled(TGameButton::NewGame, true);
    }
    w.view->setWhoThrow(QStringLiteral(" ") + winnerNick + QStringLiteral(" WIN !"));
}

void TDealEnd::settleCredits(const QString &winnerNick)
{
    if (!w.st.hosting)
        return;
    const int winnerSeat = w.roster.seatOfNick(winnerNick);
    // Without a seated winner the pool would have nowhere to go: nothing is settled.
    if (!TuserInfo::validSeat(winnerSeat))
        return;

    struct Announcement
    {
        int port;
        QString nick;
        int credit;
    };
    // All credits are settled before any is announced: an announcement may open a message box.
    const TTable::Settlement settled = w.table.settle(winnerSeat);
    QList<Announcement> announcements;
    for (int s = 1; s <= 4; ++s) {
        const TuserRec &u = w.roster.user(s);
        if (!w.table.seated(s))
            continue;
        // The winner's own line shows the credit before the pool, as every seat's first line does.
        const int credit = s == winnerSeat ? u.credit - settled.pool : u.credit;
        announcements << Announcement{u.port, u.nick, credit};
    }
    const TuserRec &winner = w.roster.user(winnerSeat);
    announcements << Announcement{winner.port, winner.nick, winner.credit};

    for (const Announcement &a : announcements)
        announceCredit(a.port, a.nick, a.credit);
}

void TDealEnd::announceCredit(int port, const QString &nick, int credit)
{
    const QString portText = QString::number(port);
    const QString creditText = QString::number(credit);
    // The clients' copy is queued first, so a bankruptcy box on this screen does not hold it back.
    if (w.st.hosting)
        w.router->sendToTable(Tag::CREDIT, portText, nick, creditText);
    w.router->dispatchGameMessage(QStringLiteral("127.0.0.1"), 0, Tag::CREDIT, portText, nick, creditText, QString(),
                                  QString(), QString());
}

void TDealEnd::onCredit(const QString &port, const QString &nick, const QString &credit)
{
    Q_UNUSED(port);
    const int n = w.roster.relativeSeat(w.st.myNick, nick);
    if (n < 1 || n > 4)
        return;
    w.view->setCreditText(n, credit);
    if (lenientToInt(credit) > 0)
        return;
    if (nick == w.st.myNick) {
        w.st.seatKey.clear(); // out of the game: nothing to come back to
        w.view->showMessage(TBoxKind::Information, QStringLiteral(" YOU ARE BANKRUPT !"));
        if (w.st.hosting) {
            if (w.gHost && w.gHost->Active())
                w.gHost->setActive(false);
        } else if (w.gClient && w.gClient->Active()) {
            w.gClient->setActive(false);
        }
        return;
    }
    w.view->showMessage(TBoxKind::Information, QStringLiteral(" ") + nick + QStringLiteral(" BANKRUPT !"));
}

bool TDealEnd::onIStart(const QString &nick)
{
    const int n = w.roster.relativeSeat(w.st.myNick, nick);
    if (n == 0)
        return false;
    const bool mine = nick == w.st.myNick;
    w.flow->whenDealStarted([this, n, mine] {
        // Only a player who comes back between deals hears of its own win: it asks for the next deal.
        if (mine && !w.st.hosting)
            w.view->setButtonEnabled(TGameButton::NewGame, true);
        w.st.startSeat = n;
        w.st.turnSeat = n;
        w.flow->showTurn(n);
        // A deal won by another guest ends here for this copy.
        w.table.endDeal(w.flow->absoluteSeat(n));
    });
    return true;
}
