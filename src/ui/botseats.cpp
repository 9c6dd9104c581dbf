#include "ui/botseats.h"
#include "bot/botplayer.h"
#include "game/gameflow.h"
#include "hub/hubserver.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QMenu>

TBotSeats::TBotSeats(TmainFrm &window)
    : QObject(&window), w(window)
{
    m_action = new QAction(QStringLiteral("Add Co&mputer Player"), &w);
    m_action->setObjectName(QStringLiteral("mnuAddBot"));
    m_action->setStatusTip(QStringLiteral("Seats a computer player at a free seat of the table you host"));
    m_action->setEnabled(false);
    w.Connection1->addAction(m_action);
    connect(m_action, &QAction::triggered, this, [this] { addBot(); });
    // The table changes through many paths; the item is set right whenever the menu opens.
    connect(w.Connection1, &QMenu::aboutToShow, this, &TBotSeats::refresh);
    // Queued: the window marks itself hosting in its own handler of the same event.
    connect(w.gHost, &TwsHUBsvr::OnHosting, this, &TBotSeats::refresh, Qt::QueuedConnection);
    connect(w.gHost, &TwsHUBsvr::OnCloseConnection, this, [this] {
        // The table ended: its computer players go with it, even those not yet seated.
        const QList<TBotPlayer *> leaving = bots(); // a bot may leave the list as it stops
        for (TBotPlayer *b : leaving)
            b->stop();
        refresh();
    });
}

QList<TBotPlayer *> TBotSeats::bots() const
{
    QList<TBotPlayer *> out;
    for (const QPointer<TBotPlayer> &b : m_bots)
        if (b)
            out << b.data();
    return out;
}

int TBotSeats::pendingCount() const
{
    int n = 0;
    for (TBotPlayer *b : bots())
        if (!b->isSeated())
            ++n;
    return n;
}

QStringList TBotSeats::takenNicks() const
{
    QStringList taken{w.st.myNick};
    for (int s = 1; s <= 4; ++s)
        if (!w.roster.user(s).nick.isEmpty())
            taken << w.roster.user(s).nick;
    for (TBotPlayer *b : bots())
        taken << b->nick();
    return taken;
}

bool TBotSeats::mayAdd() const
{
    if (!w.st.hosting || !w.gHost->Active() || w.st.gameOn || w.flow->dealing())
        return false;
    return w.roster.seatCount() + pendingCount() < 4;
}

void TBotSeats::refresh()
{
    m_action->setEnabled(mayAdd());
}

TBotPlayer *TBotSeats::addBot()
{
    if (!mayAdd()) {
        refresh();
        return nullptr;
    }
    const QString nick = TBotPlayer::freeNick(takenNicks());
    auto *bot = new TBotPlayer(QStringLiteral("127.0.0.1"), w.gHost->listeningPort(), nick, TBotPlayer::kDefaultLevel,
                               m_moveDelay, this);
    bot->setNextDealDelay(m_nextDealDelay);
    m_bots << bot;
    connect(bot, &TBotPlayer::seated, this, &TBotSeats::refresh);
    connect(bot, &TBotPlayer::finished, this, [this, bot] {
        m_bots.removeAll(bot);
        bot->deleteLater();
        refresh();
    });
    bot->start();
    refresh();
    return bot;
}
