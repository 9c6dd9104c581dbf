#include "ui/botseats.h"
#include "bot/botplayer.h"
#include "client/clienttable.h"
#include "host/tablehost.h"
#include "ui/mainfrm.h"
#include "ui/tablesession.h"
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
}

void TBotSeats::clear()
{
    // The table ended: its computer players go with it, even those not yet seated.
    const QList<TBotPlayer *> leaving = bots();
    m_bots.clear();
    for (TBotPlayer *b : leaving) {
        b->disconnect(this);
        delete b;
    }
    refresh();
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
    QStringList taken;
    if (const TableHost *host = w.tableHost())
        for (int s = 1; s <= 4; ++s)
            if (!host->roster().user(s).nick.isEmpty())
                taken << host->roster().user(s).nick;
    if (const ClientTable *c = w.client())
        taken << c->myNick();
    for (TBotPlayer *b : bots())
        taken << b->nick();
    return taken;
}

bool TBotSeats::mayAdd() const
{
    const TableHost *host = w.tableHost();
    if (!host || host->phase() == TableHost::Phase::Playing)
        return false;
    return host->seatedCount() + pendingCount() < 4;
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
    // An in-process pair: the computer player takes the same path as every other player.
    auto *bot = new TBotPlayer(w.session->seatInProcess(this), nick, TBotPlayer::kDefaultLevel, m_moveDelay, this);
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
