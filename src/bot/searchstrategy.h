#pragma once
// Level 4: a player that searches. For every move it weighs, it deals the cards it cannot see
// in many ways that fit what it has seen (the cards played, the cards each seat holds, the passes
// on the table now), plays each deal out with the level-3 plan for all four seats, and keeps the
// move with the best mean result in credits. The same deals serve every move, so the moves are
// compared on equal cards. The level-3 player's own choice stands unless another move beats it
// by more than the sampling noise. It decides within a time budget.
#include "bot/strategy.h"
#include <array>
#include <chrono>

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
    int candidateCount = 5; // the level-3 player's best moves weighed besides its choice, and a pass

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
    // Credits of seat 0 when the deal goes on from the view with this move; false when the
    // deadline came first.
    bool playOut(const TBotView &view, std::array<TCardMask, 4> hands, const TCombo &move, Clock::time_point deadline,
                 double *credits);

    TSmartStrategy m_anchor{3}; // the level-3 player in full, look-ahead included
    TSmartStrategy m_policy{3};
    int m_thinkMs = kDefaultThinkMs;
    Stats m_stats;
};
