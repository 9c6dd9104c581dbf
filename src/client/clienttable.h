#pragma once
// One player's view of one table: it follows a host over a Connection on the wire every guest's copy
// has always spoken, keeps its own TTable (its own hand known, the others counted), checks its own
// moves on it before sending them, and tells whoever watches what changed. No widget: the window,
// computer players and quadrix-bot all drive and watch the same object. Seats are absolute (1..4).
#include "cards/cardeng.h"
#include "game/dealverifier.h"
#include "game/reconnector.h"
#include "game/roster.h"
#include "game/table.h"
#include "net/connection.h"
#include "rules/rules.h"
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <array>

class ClientCountdown;
class QTimer;
struct TThrowClaim;

class ClientTable : public QObject
{
    Q_OBJECT
public:
    // The pause between the end of a deal and the winner's claim to lead the next one.
    static constexpr int kEndPauseMs = 200;

    // connection stays the caller's; nick is how this player asks to sit down.
    ClientTable(Connection *connection, const QString &nick, QObject *parent = nullptr);
    ~ClientTable() override;

    // Opens the connection (a born-open end is simply followed); the host's handshake does the rest.
    void start();
    // The player leaves: no reconnecting, no key kept; disconnected() follows.
    void leave();
    // The feature words this copy announces to the host (by default every feature it has).
    void setFeatures(const QStringList &words) { m_features = words; }
    QStringList hostFeatures() const { return m_hostFeatures; }
    // The table a server of many tables is asked for (empty: any table); a window host ignores it.
    void setTableRequest(const QString &name) { m_tableRequest = name; }
    // Where a server of many tables seated this player; empty at any other host.
    QString tableName() const { return m_tableName; }
    // A key from an earlier connection: the next handshake asks for that seat back.
    void setSeatKey(const QString &key) { m_seatKey = key; }

    // The own player's actions; each does nothing and returns false when this copy refuses it.
    Refusal checkPlay(const QStringList &cards) const;
    bool play(const QStringList &cards);
    bool pass();
    bool nextDeal();
    bool say(const QString &text);
    // A line for everybody's chat log as it stands (the own log shows it already).
    bool announce(const QString &line);

    const TTable &table() const { return m_table; }
    const TuserInfo &roster() const { return m_roster; }
    Connection *connection() const { return m_connection; }
    int mySeat() const;
    QString myNick() const { return m_nick; }
    int myPort() const { return m_port; }
    QStringList hand() const { return m_table.hand(mySeat()); }
    // The credit as the host last announced it, and its text as received.
    int credit(int seat) const;
    QString creditText(int seat) const;
    bool away(int seat) const;
    bool inDeal() const { return m_inDeal; }
    // The deal under way came back in a resend after this copy had taken it for its own win.
    bool ownWinUndone() const { return m_ownWinUndone; }
    // The seat whose turn this copy shows, 0 for nobody.
    int turnSeat() const { return m_turnSeat; }
    bool myTurn() const;
    // A seated hand is empty: the deal is won and its end is on its way.
    bool someoneOut() const;
    // Who leads the next deal (0: the lowest card decides), and whether that is this player.
    int leader() const { return m_table.leader(); }
    bool isLastWinner() const;
    bool mayAskNextDeal() const;
    QString seatKey() const { return m_seatKey; }
    bool reconnecting() const { return m_reconnect.active() || m_rejoining; }

    void setCountdownTickMs(int ms);
    // A computer player makes its own choice in time; it may switch the automatic pass off.
    void setAutoPass(bool on) { m_autoPass = on; }
    bool autoPass() const { return m_autoPass; }
    // A copy nobody watches and that passes for nobody need not count its turns down (a server's
    // thousands of computer players).
    void setCountsDown(bool on) { m_countsDown = on; }
    int countdownLeft() const;
    bool countdownRunning() const;
    TReconnector &reconnector() { return m_reconnect; }

signals:
    void seatsChanged();
    void handChanged();
    void dealStarted();
    void turnChanged(int seat);
    void moved(int seat, const QStringList &cards); // no cards: a pass
    void dealEnded(int winnerSeat);
    void leaderChanged(int seat);
    void creditChanged(int seat, int credit);
    void awayChanged(int seat, bool away);
    void chatLine(const QString &nick, const QString &text);
    void systemLine(const QString &text);
    void refused(const QString &text, bool error);
    void bankrupt(int seat);
    void waitMode();
    void countdownChanged(int secondsLeft);
    // Lost during a deal: trying to get back; reconnected() when the seat is back.
    void connectionLost(const QString &text);
    void reconnected();
    // The table is over for this player: refused, bankrupt, left, lost between deals, or given up.
    void disconnected(const QString &text);
    // The check of a deal the host committed to: "Deal 3 checked: dealt as committed." or what failed.
    void dealChecked(const QString &line);

private:
    // clienttable.cpp: the connection, the handshake, seats, credits, chat
    void onMessage(const HubMessage &m);
    bool handleHandshake(const QString &tag, const QString &v1);
    void afterMessage();
    void onHostFeatures(const QString &words);
    void refuse(const QString &text, bool error);
    void onOpened();
    void onClosed(const QString &error);
    void endTable(const QString &text);
    // The one rejoin after a loss between deals failed or was refused: the table ends as the loss would have.
    bool endIfNotHeld();
    void stopReconnecting();
    void enterWaitMode();
    void forgetTable();
    void onUser(const HubMessage &m);
    void onCredit(const QString &nick, const QString &credit);
    void onAway(const QString &nick);
    void send(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
              const QString &v4 = {});
    // The seat of a nick while this player is seated too (as the old screen's relative seats), else 0.
    int seatOf(const QString &nick) const;

    // clientdeal.cpp: the deal, the turn, moves, the end of a deal
    void onCard(const QString &nick, const QString &position, const QString &code);
    QStringList takeDealtCards();
    // A deal begins on this copy (dealt or resumed): the own hand from the dealt cards, the others
    // counted; returns the own hand.
    QStringList enterDeal(const std::array<int, 5> &counts);
    void startDeal();
    void resumeDeal(const HubMessage &m);
    void claimIfWonAsDealt(const QStringList &own);
    void onWhoseTurn(const QString &nick);
    void takeTurn(int seat);
    void releaseHeldTurn();
    void applyThrow(const TThrowClaim &claim);
    void onHostThrow(const TThrowClaim &claim);
    void endOwnTurn();
    void endDeal(int winnerPort, int winnerSeat);
    // The host names another winner of the deal this copy ended as its own.
    void overruleOwnEnd(int winnerPort, int winnerSeat);
    // This copy ended the deal as its own win and the host has not settled it yet: the deal may go on.
    bool ownEndUnsettled() const { return m_ownEndSerial == m_dealSerial && !m_ownEndSettled; }
    void endPauseOver();
    void onIStart(const QString &nick);
    void onCountdownExpired();
    bool dealRunning() const;

    // clientdealcheck.cpp: the checkable deal
    void onDealHash(const QString &deal, const QString &hash);
    void onDealKey(const QString &deal, const QString &secret);
    void awaitDealKey();
    void dealKeyMissing();
    void dealKeyCutOff();

    QPointer<Connection> m_connection;
    QString m_nick;
    int m_port = 0;
    QString m_seatKey;
    TCardEng m_eng;
    TCombinationRules m_rules{m_eng};
    TuserInfo m_roster;
    TTable m_table{m_roster, m_rules};
    std::array<QString, 5> m_creditText;
    TReconnector m_reconnect;
    ClientCountdown *m_countdown;
    QTimer *m_endPause;
    bool m_rejoining = false; // "[REJOIN]" sent, the seat not yet back
    // Lost between deals and trying once to get back: the end to take when the host holds no seat.
    QString m_endIfNotHeld;
    bool m_leaving = false;   // this copy closed the connection itself
    bool m_tableEnded = false; // disconnected() has been told
    bool m_autoPass = true;
    bool m_countsDown = true;
    QStringList m_features;
    QStringList m_hostFeatures;
    QString m_tableRequest;
    QString m_tableName;
    bool m_hostFeaturesHeard = false;
    TDealVerifier m_verifier;
    bool m_keyOwed = false; // the checked deal is over and its secret has not come

    bool m_inDeal = false;
    int m_dealSerial = 0;
    bool m_ownWinUndone = false;
    int m_turnSeat = 0;
    bool m_ownTurnOver = false; // the own move of this turn is made
    // Hosts of the old order send a guest's move after the turn notice it caused: the notice waits
    // for the move, so that this copy applies them in the host's order.
    bool m_moveSeen = true;
    bool m_turnHeld = false;
    QString m_heldTurnNick;
    // The shown turn came from a notice whose move was never seen (a newcomer who did not know the
    // leader): the move that caused it may still arrive, out of turn as this copy sees it.
    bool m_turnUnsure = false;
    std::array<QString, 14> m_dealt; // own cards by hand position until the deal starts
    bool m_mayAskNext = false;
    int m_endWinnerPort = 0;
    int m_endWinnerSeat = 0;
    int m_ownEndSerial = -1; // the deal this copy ended as its own win, until the next one begins
    bool m_ownEndSettled = false; // and the host has announced the credits of that end
};
