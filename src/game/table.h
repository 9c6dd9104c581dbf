#pragma once
// TTable: the state of one table as one copy knows it, in absolute roster seats 1..4.
// The host knows every hand as dealt and as thrown; a client knows its own hand and how many
// cards the others hold. Every claim a player makes is checked here before it changes anything.
// No sockets, no timers, no widgets: the sessions and the window read and change it.
#include "game/roster.h"
#include <QStringList>
#include <array>

class TCombinationRules;

enum class TablePhase { Waiting, Dealing, Playing, DealOver };

// Why the table refuses a claim; None when it holds.
enum class Refusal {
    None,
    NotSeated,
    OtherName,
    NoDeal,
    NotYourTurn,
    CountMismatch,
    NotCards,
    NotInHand,
    Illegal,
    TooWeak,
    CardsLeft,
    NotWinner,
};
// The reason as a player reads it: "cards not in the hand".
QString refusalText(Refusal why);

// One move: who throws what. No cards is a pass.
struct TMove
{
    int seat = 0;
    QStringList cards;
    bool isPass() const { return cards.isEmpty(); }
};

// A move as it happened in the deal, with the table it was made on (none: a lead).
struct TMoveRecord
{
    TMove move;
    QStringList over;
};

class TTable
{
public:
    TTable(TuserInfo &roster, TCombinationRules &rules);

    TuserInfo &roster() { return m_roster; }
    const TuserInfo &roster() const { return m_roster; }
    TablePhase phase() const { return m_phase; }
    bool inDeal() const { return m_phase == TablePhase::Playing; }
    bool seated(int seat) const;

    // Wait mode: no deal, nobody to move, the next leader to be found from the cards.
    void setWaiting();
    // The host deals: every hand is known from here on.
    void beginDealing();
    void setHand(int seat, const QStringList &codes);
    // A hand this copy does not see: only its size.
    void setHiddenHand(int seat, int count);
    // The deal begins: a clear table, no pass markers, every seated hand in play.
    void startPlay();
    // The combination on the table and who threw it, as a copy that comes in late is told.
    void setTableCards(const QStringList &codes, int thrower);
    // A pass marker as a copy that comes in late is told.
    void markPassed(int seat);

    QStringList hand(int seat) const;
    bool knowsHand(int seat) const;
    int cardCount(int seat) const;
    bool holds(int seat, const QStringList &codes) const;
    QStringList tableCards() const { return m_tableCards; }
    // Every card thrown since the deal began, in the order thrown.
    QStringList playedCards() const { return m_played; }
    int thrower() const { return m_thrower; }
    // Every throw and pass since the deal began that this copy saw, oldest first.
    const QList<TMoveRecord> &moves() const { return m_moves; }
    bool passed(int seat) const;
    int toMove() const { return m_toMove; }
    // Who leads the next deal: the last deal's winner, 0 when the lowest card decides.
    int leader() const { return m_leader; }
    void setLeader(int seat);
    int lastWinner() const { return m_lastWinner; }

    // The turn reaches a seat: its pass marker goes; back at the thrower, the table is cleared.
    void setToMove(int seat);
    // The next occupied seat after the one to move (the one to move itself when alone).
    int seatAfter(int seat) const;
    // The seated player holding the lowest card, from the known hands; 0 when none is known.
    int lowestCardSeat() const;

    // The claim of a throw or pass with the card count the sender gave; needs the thrower's hand.
    Refusal checkMove(const TMove &move, int claimedCount) const;
    // Applies a move without judging it (a client applies what the host relays): the cards leave
    // the hand, or the count drops by claimedCount for a hidden hand, and lie on the table. No cards
    // with a count of 0 is a pass.
    void applyMove(const TMove &move, int claimedCount);
    // A deal-over claim: the hand is empty, or the dealt hand wins at once.
    Refusal checkDealOver(int seat) const;
    bool winsAsDealt(int seat) const;
    // A lead claim for the next deal: only the last deal's winner.
    Refusal checkLeadClaim(int seat) const;
    // The deal is won: the winner leads the next one.
    void endDeal(int winner);

    struct Settlement
    {
        std::array<int, 5> loss{}; // per seat, index 1..4
        int pool = 0;
    };
    // Losses by the cards left, the pool to the winner; the roster's credits change.
    Settlement settle(int winner);

private:
    struct Seat
    {
        QStringList hand;
        bool known = false;
        int count = 0;
        bool passed = false;
        bool dealtWhole = false; // nothing thrown yet since the deal
    };
    Seat &at(int seat);
    const Seat &at(int seat) const;

    TuserInfo &m_roster;
    TCombinationRules &m_rules;
    std::array<Seat, 5> m_seats{};
    TablePhase m_phase = TablePhase::Waiting;
    QStringList m_tableCards;
    QStringList m_played;
    QList<TMoveRecord> m_moves;
    int m_thrower = 0;
    int m_toMove = 0;
    int m_leader = 0;
    int m_lastWinner = 0;
};
