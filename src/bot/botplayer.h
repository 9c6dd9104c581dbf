#pragma once
// A computer player: a ClientTable and a strategy. The ClientTable follows the host (handshake,
// seating, dealing, turns, moves, the end of a deal, credits, reconnecting); the player only
// watches its signals and acts through it: on its turn, after a short pause, it asks the strategy
// and plays or passes, and after a won deal it asks for the next one. It runs in a program of its
// own (quadrix-bot, over TCP) or inside the host's program (over an in-process connection).
// finished() comes from the event loop: whoever hears it may delete the player at once.
#include "bot/combos.h"
#include "bot/strategy.h"
#include "cards/cardeng.h"
#include "rules/rules.h"
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class ClientTable;
class Connection;
class QTimer;

class TBotPlayer : public QObject
{
    Q_OBJECT
public:
    // The level "Add Computer Player" and quadrix-bot seat unless told otherwise: the strongest.
    static constexpr int kDefaultLevel = 4;

    // A player that dials the host over TCP.
    TBotPlayer(const QString &host, int port, const QString &nick, int level = kDefaultLevel, int delayMs = 1000,
               QObject *parent = nullptr);
    // A player on a connection already made (the player's end of an in-process pair); the player
    // takes the connection over.
    TBotPlayer(Connection *connection, const QString &nick, int level = kDefaultLevel, int delayMs = 1000,
               QObject *parent = nullptr);
    ~TBotPlayer() override;

    // Connects to the host; the rest follows from the host's messages.
    void start();
    // Leaves the table (closes the connection); finished() follows.
    void stop();

    ClientTable *table() const { return m_table; }
    QString nick() const { return m_nick; }
    int level() const { return m_level; }
    QString strategyName() const { return m_strategy->name(); }
    bool isSeated() const { return mySeat() != 0; }
    bool inDeal() const;
    // The credit the host last announced; after leaving, the last one known.
    int credit() const;
    int dealsPlayed() const { return m_dealsPlayed; }
    int dealsWon() const { return m_dealsWon; }
    int myPort() const;
    QStringList handCodes() const;

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
    void init();
    int mySeat() const;
    void onSeatsChanged();
    void onDealStarted();
    void onDealEnded(int winnerSeat);
    void onTurn();
    void onLeaderChanged();
    void onDisconnected(const QString &text);
    void startMoveTimer();
    bool someoneOut() const; // another player has thrown the last card: the deal's end is on its way
    bool myTurn() const;
    void playTurn();
    void thought();
    // Sends the choice, or a pass when the rules refuse it.
    void makeMove(TCombo pick);
    void askNextDeal();

    Connection *m_connection = nullptr;
    ClientTable *m_table = nullptr;
    QTimer *m_moveTimer = nullptr;
    QTimer *m_nextDealTimer = nullptr;
    TCardEng m_eng;
    TCombinationRules m_rules{m_eng};
    TMoveGenerator m_moves{m_rules};
    // Shared with a decision on the thinking pool, which may outlive this player.
    std::shared_ptr<TBotStrategy> m_strategy;
    QFutureWatcher<TCombo> *m_thinking = nullptr; // a decision on the thinking pool
    bool m_thinkingNow = false;
    TCardMask m_thinkingHand = 0;   // what it was thinking about
    QStringList m_thinkingTable;

    QString m_host;
    int m_port = 0;
    QString m_nick;
    int m_level = kDefaultLevel;
    int m_delayMs = 1000;
    int m_nextDealDelayMs = 4000;
    bool m_finished = false;
    bool m_sending = false; // its own move is being applied: the table's moved() is its own
    QString m_reason; // why it leaves, once known before the connection ends

    int m_seenSeat = 0;
    int m_lastCredit = 1000;
    bool m_inDeal = false; // a deal this player was dealt into is under way
    bool m_wonLast = false; // the last deal's end it saw was its own win
    int m_dealsPlayed = 0;
    int m_dealsWon = 0;
};
