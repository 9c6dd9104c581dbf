#pragma once
// Plays whole deals between strategies with the project's deck engine and rules, no sockets:
// the table, the turn, the passes, the clearing of the table and the credits go as at a
// hosted table. Every throw a strategy makes is checked with isValidThrow before it counts.
#include "bot/combos.h"
#include "bot/strategy.h"
#include "cards/cardeng.h"
#include "rules/rules.h"
#include <array>

struct TDealResult
{
    int winner = -1;                 // seat 0..3
    bool instant = false;            // won at the deal (four 2s or a thirteen-card run)
    std::array<int, 4> cardsLeft{};
    std::array<int, 4> creditChange{}; // the pool to the winner, each loser's loss
    int moves = 0;
    int refused = 0;                 // throws the rules refused (played as passes)
};

class TDealSimulator
{
public:
    TDealSimulator();

    // Deals 13 cards to each of four seats with the deck engine, seeded for repeatable deals.
    std::array<TCardMask, 4> deal(quint64 seed);
    // Plays one deal out from these hands; the leader is the seat holding the lowest card.
    TDealResult play(const std::array<TCardMask, 4> &hands, const std::array<TBotStrategy *, 4> &seats);

    // Credits a player with this many cards left loses at the end of a deal.

    // Time spent deciding per seat over all deals (finding the throws and choosing): wall-clock
    // time, which a busy machine stretches, and the thread's own processor time.
    struct Timing
    {
        double totalMs = 0;
        double maxMs = 0;
        double cpuTotalMs = 0;
        double cpuMaxMs = 0;
        qint64 decisions = 0;
        qint64 over10ms = 0;    // wall-clock
        qint64 cpuOver10ms = 0;
    };
    const std::array<Timing, 4> &timing() const { return m_timing; }
    void resetTiming() { m_timing = {}; }
    int moveLimit = 2000; // a deal longer than this ends without a winner (never seen in play)

private:
    TCardEng m_eng;
    TCombinationRules m_rules{m_eng};
    std::array<Timing, 4> m_timing{};
};
