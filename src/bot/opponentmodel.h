#pragma once
// How the other players at the table play, read from what they have thrown. A greedy player
// never passes while it holds a throw that beats the table, beats with the cheapest throw and
// leads with its lowest card; a random one leads and beats with any cards and passes at random;
// a planning player keeps its combinations and its strong cards. Cards a player throws later
// show what it held before, so every move can be checked once its cards are out.
#include "bot/strategy.h"
#include <array>

class TOpponentModel
{
public:
    enum class Style { Planner, Greedy, Random };

    // Reads the moves of the deal in the view; a new deal is told by its first move.
    void observe(const TBotView &view);
    // The style of a relative seat 1..3; a planner until the evidence says otherwise.
    Style style(int seat) const;

    // Moves of one seat checked against what a greedy player would do, and how many differ.
    struct Evidence
    {
        double leads = 0, oddLeads = 0;     // led without its lowest card
        double follows = 0, oddFollows = 0; // beat the table with more than its cheapest throw
        double passes = 0, oddPasses = 0;   // passed while holding a throw that beat the table
        double chances() const { return leads + follows + passes; }
        double departures() const { return oddLeads + oddFollows + oddPasses; }
        void add(const Evidence &o, double weight = 1);
    };
    Evidence evidence(int seat) const;

    // The cards a greedy player at this seat may still hold, from its moves in the deal: it led
    // with its lowest card, beat a single with its cheapest, and passed a single it could not beat.
    static TCardMask greedyMayHold(int seat, const std::vector<TBotMove> &history);

private:
    static std::array<Evidence, 4> read(const std::vector<TBotMove> &history);

    std::array<Evidence, 4> m_past{}; // deals before this one
    std::array<Evidence, 4> m_deal{};
    TBotMove m_first; // the first move of this deal, to tell the next deal
    size_t m_moves = 0;
};
