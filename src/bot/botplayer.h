#pragma once
// A computer player at a hosted table: one hub connection that goes through the same
// handshake as a player's copy, keeps its hand from the host's "[CARD]" messages, follows
// the table from "[THROW]" and "[WHOSETURN]", and throws or passes on its own turn after a
// short pause. It can run in a program of its own (quadrix-bot) or inside the host's program.
#include "bot/combos.h"
#include "bot/strategy.h"
#include "cards/cardeng.h"
#include "rules/rules.h"
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

class TwsHUBcli;
class QTimer;

class TBotPlayer : public QObject
{
    Q_OBJECT
public:
    TBotPlayer(const QString &host, int port, const QString &nick, int level = 3, int delayMs = 1000,
               QObject *parent = nullptr);
    ~TBotPlayer() override;

    // Connects to the host; the rest follows from the host's messages.
    void start();
    // Leaves the table (closes the connection); finished() follows.
    void stop();

    QString nick() const { return m_nick; }
    int level() const { return m_level; }
    bool isSeated() const { return m_mySeat != 0; }
    bool inDeal() const { return m_gameOn; }
    int credit() const { return m_credit; }
    int dealsPlayed() const { return m_dealsPlayed; }
    int dealsWon() const { return m_dealsWon; }
    int myPort() const { return m_myPort; }
    QStringList handCodes() const { return BotCards::codesOf(m_hand); }
    TwsHUBcli *hub() const { return m_hub; }

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
    void onConnect(const QString &hostIP, int atPort);
    void onDisconnect(const QString &hostIP, int atPort);
    void onSockError(const QString &message);
    void onData(const QString &fromIP, int fromPort, const QString &tag, const QString &v1, const QString &v2,
                const QString &v3, const QString &v4, const QString &v5, const QString &v6);

    void onUser(const QString &what, const QString &nick, const QString &portText, const QString &seatText);
    void onCredit(const QString &nick, const QString &credit);
    void onCard(const QString &nick, const QString &position, const QString &code);
    void onNewGame();
    void onWhoseTurn(const QString &nick);
    void onThrow(const QString &nick, const QString &countText, const QString &list);
    void onThrowSeen(); // a move arrived: a turn notice held for it is given now
    void onGameOver(const QString &portText, const QString &nick);
    void onStart(const QString &nick);

    void waitMode();
    void giveTurn(int seat);
    bool someoneOut() const; // another player has thrown the last card: the deal's end is on its way
    void playTurn();
    void endDeal(int winnerPort, const QString &winner);
    void askNextDeal();
    void leave(const QString &reason);
    void send(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
              const QString &v4 = {});
    int seatOfNick(const QString &nick) const;
    int relative(int seat) const; // 0 self, 1..3 in turn order
    TBotView view() const;

    TwsHUBcli *m_hub = nullptr;
    QTimer *m_moveTimer = nullptr;
    QTimer *m_nextDealTimer = nullptr;
    TCardEng m_eng;
    TCombinationRules m_rules{m_eng};
    TMoveGenerator m_moves{m_rules};
    std::unique_ptr<TBotStrategy> m_strategy;

    QString m_host;
    int m_port = 0;
    QString m_nick;
    int m_level = 3;
    int m_delayMs = 1000;
    int m_nextDealDelayMs = 4000;
    int m_myPort = 0;
    bool m_finished = false;

    // the table as this player knows it; seats absolute 1..4, index 0 unused
    std::array<QString, 5> m_seatNick;
    int m_mySeat = 0;
    int m_credit = 1000;
    bool m_gameOn = false;
    int m_startSeat = 0;
    int m_turnSeat = 0;
    bool m_myTurn = false;      // a turn granted and not yet used
    // The host announces the next player before passing on the move of the guest before: the notice
    // waits for that move, or the choice would be made against an old table.
    bool m_moveSeen = true;
    QString m_heldTurnNick;
    std::array<QString, 14> m_dealt; // hand slots 1..13 from "[CARD]"
    TCardMask m_hand = 0;
    TCardMask m_played = 0;
    std::array<int, 5> m_cardsLeft{};
    std::array<bool, 5> m_passed{};
    QStringList m_tableCodes;
    int m_tableSeat = 0;        // who threw the table, 0 when clear
    int m_dealsPlayed = 0;
    int m_dealsWon = 0;
};
