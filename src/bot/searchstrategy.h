#pragma once
// Level 4: a player that searches. For every move it weighs, it deals the cards it cannot see
// in many ways that fit what it has seen (the cards played, the cards each seat holds, the passes
// on the table now), plays each deal out, and keeps the move with the best mean result in credits.
// In the play-outs it plays its own seat with the level-3 plan and every other seat as the
// opponent model has seen that player play: greedily, at random, or (until the evidence says
// otherwise) as a level-3 player does, by the plan and a short look-ahead. The same deals serve
// every move, so the moves are compared on equal cards. The level-3 player's own choice stands
// unless another move beats it by more than the sampling noise. It decides within a time budget.
#include "bot/opponentmodel.h"
#include "bot/strategy.h"
#include <array>
#include <chrono>
#include <memory>

class TSearchStrategy : public TBotStrategy
{
public:
    static constexpr int kDefaultThinkMs = 150;
    // A decision overruns its budget by one play-out move at most; this keeps it under 300 ms.
    static constexpr int kMaxThinkMs = 250;
    // Deals played out before any move is judged against the level-3 choice.
    static constexpr int kMinSamples = 12;

    TSearchStrategy();
    QString name() const override { return QStringLiteral("search"); }
    TCombo choose(const TBotView &view, const QList<TCombo> &throws) override;

    // Time allowed to one decision, kept within 1..kMaxThinkMs.
    void setThinkMs(int ms);
    int thinkMs() const { return m_thinkMs; }
    // Sampled deals per decision at most, 0 for as many as the time allows. With a limit that
    // fits in the time, the choice depends only on the view and the seed, not on the machine.
    int maxSamples = 0;
    // How clear a gain over the level-3 choice must be before the search takes another move: in
    // credits a deal and in standard errors; a move whose gain falls this many errors short gets
    // no more deals; the level-3 player's best moves weighed besides its choice (and a pass).
    struct Trust
    {
        double gain;
        double errors;
        double drop;
        int candidates;
    };
    // With players the opponent model takes for planners (level 2 or 3, or people) the play-outs
    // are a rough model of them: small gains are within its error.
    Trust roughModel{3.0, 2.0, 2.0, 5};
    // Greedy and random players are modelled exactly, so smaller gains are real.
    Trust closeModel{1.0, 2.0, 2.0, 8};
    const TOpponentModel &opponents() const { return m_opponents; }

    struct Stats
    {
        int samples = 0;   // deals of the unseen cards played out for every candidate
        int candidates = 0;
        int choice = 0;    // index of the move chosen; 0 is the level-3 player's own choice
    };
    const Stats &lastStats() const { return m_stats; }

private:
    using Clock = std::chrono::steady_clock;
    // One way the unseen cards may lie, in relative seats; seat 0 holds the own hand.
    std::array<TCardMask, 4> sample(const TBotView &view);
    // What the deal is worth to seat 0 when it goes on from the view with this move: its credits,
    // and more for a won deal; false when the deadline came first.
    bool playOut(const TBotView &view, std::array<TCardMask, 4> hands, const TCombo &move, Clock::time_point deadline,
                 double *credits);

    TSmartStrategy m_anchor{3}; // the level-3 player in full, look-ahead included
    TSmartStrategy m_policy{3};  // the own seat in the play-outs: the level-3 plan
    TSmartStrategy m_planner{3}; // a planner in the play-outs: the plan and a short look-ahead
    TGreedyStrategy m_greedy;
    TRandomStrategy m_random;
    TOpponentModel m_opponents;
    std::array<TBotStrategy *, 4> m_seatPolicy{}; // who plays each relative seat in the play-outs
    std::array<TOpponentModel::Style, 4> m_styles{};
    std::array<TCardMask, 4> m_mayHold{};          // the cards each seat may still hold
    int m_thinkMs = kDefaultThinkMs;
    Stats m_stats;
};
