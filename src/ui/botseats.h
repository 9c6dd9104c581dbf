#pragma once
// The host's "Add Computer Player" item: it seats computer players at this table through in-process
// connections, with the same handshake as a player's copy, and they leave when the table ends.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;
class TBotPlayer;
class TmainFrm;

class TBotSeats : public QObject
{
    Q_OBJECT
public:
    explicit TBotSeats(TmainFrm &w);

    // Hosting, a seat free for one more player and no deal being dealt or played.
    bool mayAdd() const;
    // Starts one computer player against this table; nullptr when none may be added now.
    TBotPlayer *addBot();
    // Computer players started here that are still at the table or on their way to it.
    QList<TBotPlayer *> bots() const;
    // Moves of the computer players started here wait this long (tests play faster).
    void setMoveDelay(int ms) { m_moveDelay = ms; }
    void setNextDealDelay(int ms) { m_nextDealDelay = ms; }

    QAction *action() const { return m_action; }
    void refresh(); // the item's enabled state from the table's state
    // The table ended: every computer player started here goes.
    void clear();

private:
    QStringList takenNicks() const;
    int pendingCount() const;

    TmainFrm &w;
    QAction *m_action = nullptr;
    QList<QPointer<TBotPlayer>> m_bots;
    int m_moveDelay = 1000;
    int m_nextDealDelay = 4000;
};
