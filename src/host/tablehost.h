#pragma once
// TableHost: one table's authority, without a window. It admits players (version, nick, seat keys,
// held seats), deals, referees every claim on its TTable, watches the turn's deadline, ends the deal
// and settles the credits, relays moves and chat, and checks that players still answer. It reads
// messages from its connections and sends messages: it waits with timers, and its phase decides
// what each message may do.
//
// A table may have an owner: the connection of the player who opened it (the host's own player in
// the window, in seat 1, port 0 on the wire). The owner's rights (a deal at any time, stopping the
// deal, the ping check) are calls on this object, never tags. A table without an owner (the
// dedicated server) does these itself: it deals when the table fills and after each deal, pings on
// a period, and the turn's deadline covers every seat.
#include "cards/cardeng.h"
#include "game/dealcommitment.h"
#include "game/heldseats.h"
#include "game/roster.h"
#include "game/table.h"
#include "host/loglevel.h"
#include "rules/rules.h"
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <array>

class Connection;
class QTimer;
struct HubMessage;
struct TThrowClaim;

class TableHost : public QObject
{
    Q_OBJECT
public:
    enum class Phase { Waiting, Playing, DealOver };

    explicit TableHost(QObject *parent = nullptr);
    ~TableHost() override;

    // A new connection to this table; the host takes it over (it is deleted with its closing).
    void addConnection(Connection *connection);
    // A connection that a server of many tables admitted: no greeting, and what it said there
    // ("[CAPS]", "[REQJOIN]", "[REJOIN]") is taken as if said here.
    void adoptConnection(Connection *connection, const QList<HubMessage> &said);
    // A feature the program around the table provides (a server's table names), announced with the table's own.
    void offerFeature(const QString &word) { m_alsoOffered << word; }
    bool seats(const Connection *connection) const { return seatOf(connection) != 0; }
    bool holdsSeats() const { return m_held.anyHeld(); }
    // A seat of that nick is held and the key opens it.
    bool mayRejoin(const QString &nick, const QString &key) const;
    // The owner's connection: it sits in seat 1 when it asks to join.
    // address is what the other players are told of the owner's seat.
    void setOwner(Connection *connection, const QString &address);
    bool hasOwner() const { return !m_owner.isNull(); }

    // The owner's rights
    bool mayDeal() const;
    bool deal();
    // Back to waiting; every copy is told.
    void stopDeal();
    // Every seated player must answer within the ping wait or is dropped.
    void pingPlayers();
    bool pinging() const;
    // A line of the table's own in every player's chat.
    void announce(const QString &line);
    // The table is about to close: a deal under way reveals its secret to the players who check it.
    void tableClosing();

    // A server's operator (hostoperator.cpp). No deal starts any more; one under way goes on.
    void stopNewDeals();
    // No deal running or about to be dealt.
    bool idle() const;
    // The player leaves for good: told the line, its connection closed, its seat freed, not held.
    bool dismiss(const QString &nick, const QString &line);

    Phase phase() const { return m_phase; }
    const TTable &table() const { return m_table; }
    const TuserInfo &roster() const { return m_roster; }
    int seatedCount() const { return m_roster.seatCount(); }
    int connectionCount() const { return int(m_links.size()); }
    int dealsStarted() const { return m_dealsStarted; }
    // Every deal begun since the table opened, stopped and called-off ones included.
    int dealNumber() const { return m_commitment.deal(); }

    // Times, shortened by tests; 0 keeps the player's countdown plus grace for the turn.
    void setTurnDeadlineMs(int ms) { m_turnDeadlineMs = ms; }
    void setHoldMs(int ms) { m_held.setHoldMs(ms); }
    void setFirstDealDelayMs(int ms) { m_firstDealDelayMs = ms; }
    void setNextDealDelayMs(int ms) { m_nextDealDelayMs = ms; }
    void setPingIntervalMs(int ms);
    void setPingWaitMs(int ms) { m_pingWaitMs = ms; }
    void setClaimWaitMs(int ms) { m_claimWaitMs = ms; }
    void setEndPauseMs(int ms) { m_endPauseMs = ms; }
    void setSeedWaitMs(int ms) { m_seedWaitMs = ms; }
    // Tests stack the deck: the next deal draws these 52 codes in this order (seat 1, 2, 3, 4, 1, ...).
    void setNextDeck(const QStringList &codes) { m_nextDeck = codes; }

signals:
    // One line per event, for a log: seated, left, refused, deal started, deal won.
    void noted(const QString &line, LogLevel level = LogLevel::Info);
    // A claim the host refused, as the owner's chat shows it.
    void refused(const QString &line);
    void phaseChanged(Phase phase);
    void seatsChanged();

private:
    // Connections
    bool attach(Connection *connection);
    int seatOf(const Connection *link) const;
    void onMessage(Connection *from, const HubMessage &m);
    void onClosed(Connection *from);
    void sendTo(Connection *to, const QString &tag, const QString &v1 = {}, const QString &v2 = {},
                const QString &v3 = {}, const QString &v4 = {}, const QString &v5 = {}, const QString &v6 = {});
    void sendAll(const HubMessage &m, const Connection *except = nullptr);
    void sendAll(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
                 const QString &v4 = {}, const QString &v5 = {}, const QString &v6 = {});
    Connection *linkOfSeat(int seat) const;
    void refuse(int seat, const QString &what, Refusal why);
    void setPhase(Phase phase);

    // Seating (hostseating.cpp)
    void greet(Connection *link);
    void onJoin(Connection *from, const QString &nick);
    void onRejoin(Connection *from, const QString &nick, const QString &key);
    void onPong(Connection *from, const QString &nick);
    int chooseSeat(const Connection *link) const;
    void sendSeatsTo(Connection *to, int ownSeat);
    void sendDealTo(Connection *to, int seat);
    void holdSeat(int seat);
    void depart(int seat);
    void pingExpired();
    bool dealUnderWay() const;

    // A copy whose claim was refused in a deal gets the deal's state again, if it can take it (hostresync.cpp).
    void resync(int seat);

    // The deal (hostdeal.cpp)
    void onThrow(Connection *from, int seat, const HubMessage &m);
    void onDealClaim(Connection *from, int seat, const HubMessage &m);
    void commitMove(int seat, const TThrowClaim &claim, const HubMessage &relay, const Connection *except);
    void giveTurn(int seat, bool announce);
    void armDeadline(int seat);
    void deadlinePassed();
    void armClaim(int seat);
    void endDeal(int winner, const Connection *claimant);
    void dealOverPauseEnded();
    void scheduleAutoDeal(int ms);
    void dealCards();
    void enterWaiting();
    int portOf(int seat) const { return m_roster.user(seat).port; }
    QString nickOf(int seat) const { return m_roster.user(seat).nick; }

    // The checkable deal (hostdealcheck.cpp)
    void onCaps(Connection *from, const QString &words);
    bool checksDeals(const Connection *link) const;
    // Commits to a fresh secret; true while seeds are awaited before dealing.
    bool commitToDeal();
    void sendCommitmentTo(Connection *to);
    void onDealSeed(Connection *from, int seat, const QString &deal, const QString &seed);
    void seedsCollected();
    void resendCommitment(Connection *to);
    void revealDealKey();

    TCardEng m_deck;
    TCombinationRules m_rules{m_deck};
    TuserInfo m_roster;
    TTable m_table{m_roster, m_rules};
    THeldSeats m_held;
    QList<QPointer<Connection>> m_links;             // every open connection, in the order they came
    std::array<QPointer<Connection>, 5> m_seatLink;  // the connection of each seat 1..4; none while away
    QPointer<Connection> m_owner;
    QString m_ownerAddress;
    QSet<const Connection *> m_droppingOnPurpose;
    std::array<bool, 5> m_resentSinceMove{}; // a seat's copy was given the deal again since its last move
    Phase m_phase = Phase::Waiting;
    int m_dealsStarted = 0;
    bool m_noNewDeals = false;
    QStringList m_nextDeck;

    QHash<const Connection *, QStringList> m_features; // the words agreed with each connection
    QStringList m_alsoOffered;
    TDealCommitment m_commitment;
    QList<QPointer<Connection>> m_checkers; // told this deal's commitment
    QSet<const Connection *> m_seedAwaited;

    QTimer *m_deadline;
    QTimer *m_claim;
    QTimer *m_endPause;
    QTimer *m_autoDeal;
    QTimer *m_pingPeriod;
    QTimer *m_pingWait;
    QTimer *m_seedWait;
    int m_seedWaitMs = 1000;
    int m_deadlineSeat = 0;
    int m_claimSeat = 0;
    int m_turnDeadlineMs = 0;
    int m_firstDealDelayMs = 2000;
    int m_nextDealDelayMs = 10000;
    int m_pingWaitMs = 10000;
    int m_claimWaitMs = 2000;
    int m_endPauseMs = 200;
    static constexpr int kAwayDeadlineMs = 3000;
    static constexpr int kTurnGraceMs = 5000;
};
