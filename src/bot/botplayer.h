#pragma once
// A computer player at a hosted table. It is a player's copy without a screen: a game context with
// a hub client and the same game control as the window (handshake, seating, dealing, turns, throws,
// the end of a deal, credits), shown on a table view that draws nothing. Its own part is the choice:
// on its turn, after a short pause, it asks the strategy and throws or passes as the window's buttons
// do, and after a won deal it asks for the next one. It can run in a program of its own
// (quadrix-bot) or inside the host's program.
// Delete it with deleteLater() or outside its signals: a deal's end lets events run for a moment,
// and finished() waits until that is over.
#include "bot/bottableview.h"
#include "bot/combos.h"
#include "bot/strategy.h"
#include "game/gamecontext.h"
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class TwsHUBcli;
class QThread;
class QTimer;

class TBotPlayer : public QObject
{
    Q_OBJECT
public:
    // The level "Add Computer Player" and quadrix-bot seat unless told otherwise: the strongest.
    static constexpr int kDefaultLevel = 4;

    TBotPlayer(const QString &host, int port, const QString &nick, int level = kDefaultLevel, int delayMs = 1000,
               QObject *parent = nullptr);
    ~TBotPlayer() override;

    // Connects to the host; the rest follows from the host's messages.
    void start();
    // Leaves the table (closes the connection); finished() follows.
    void stop();

    QString nick() const { return m_nick; }
    int level() const { return m_level; }
    QString strategyName() const { return m_strategy->name(); }
    bool isSeated() const { return mySeat() != 0; }
    bool inDeal() const;
    int credit() const;
    int dealsPlayed() const { return m_dealsPlayed; }
    int dealsWon() const { return m_dealsWon; }
    int myPort() const { return m_ctx.st.myPort; }
    QStringList handCodes() const;
    TwsHUBcli *hub() const { return m_ctx.gClient; }

    // Pause before each move, and before asking for the next deal after a win.
    void setMoveDelay(int ms) { m_delayMs = qMax(0, ms); }
    void setNextDealDelay(int ms) { m_nextDealDelayMs = qMax(0, ms); }
    void setSeed(quint64 seed);

    // A nick of the form "Bot1", "Bot2", ... that none of the taken nicks uses.
    static QString freeNick(const QStringList &taken);

signals:
    void seated(int seat);
    void dealStarted();
    // Every move it sends: the codes thrown, empty for a pass.
    void moved(const QStringList &codes);
    void dealEnded(const QString &winner);
    // The bot has left the table; reason is the refusal, bankruptcy or connection text.
    void finished(const QString &reason);
    void note(const QString &text);

private:
    void onConnect();
    void onDisconnect(const QString &hostIP, int atPort);
    void onData(const QString &fromIP, int fromPort, const QString &tag, const QString &v1, const QString &v2,
                const QString &v3, const QString &v4, const QString &v5, const QString &v6);

    int mySeat() const; // absolute roster seat, 0 when not seated
    // Tells the listeners what changed on the table since the last look: seat, deal begun, deal won.
    void followTable();
    // A message box followed by a closed connection is why the bot leaves.
    void takeMessage();
    void startMoveTimer();
    bool someoneOut() const; // another player has thrown the last card: the deal's end is on its way
    TBotView botView() const;
    bool myTurn() const;
    void playTurn();
    // Sends the choice made for this hand and table, or a pass when the rules would refuse it.
    void makeMove(TCardMask hand, const QStringList &table, TCombo pick);
    void throwCards(const QStringList &codes);
    void askNextDeal();
    void leave(const QString &reason);
    void announceFinish();

    TBotTableView m_view; // outlives the game control of m_ctx
    TGameContext m_ctx;
    QTimer *m_moveTimer = nullptr;
    QTimer *m_nextDealTimer = nullptr;
    TMoveGenerator m_moves{m_ctx.rules};
    std::unique_ptr<TBotStrategy> m_strategy;
    std::unique_ptr<QThread> m_thinker; // a level-4 decision in progress
    TCombo m_thought;                   // its choice, read once the thread has finished

    QString m_host;
    int m_port = 0;
    QString m_nick;
    int m_level = kDefaultLevel;
    int m_delayMs = 1000;
    int m_nextDealDelayMs = 4000;
    bool m_finished = false;
    bool m_finishAnnounced = false;
    QString m_reason;
    QString m_boxText; // the last message box, until its consequence is known

    // What the listeners have been told
    int m_seenSeat = 0;
    int m_seenSerial = 0;
    bool m_inDeal = false;
    int m_dealsPlayed = 0;
    int m_dealsWon = 0;
};
