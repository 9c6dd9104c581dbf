#pragma once
// How a computer player chooses its move: a random legal player, a greedy one, and the
// playing strategy with its strength levels. A strategy only picks among the throws it is
// offered (TMoveGenerator and the simulator offer what the rules accept), or passes.
#include "bot/combos.h"
#include <QList>
#include <QString>
#include <array>
#include <chrono>
#include <memory>
#include <random>
#include <vector>

// One move of the deal as every player saw it: the relative seat that made it, the throw (size 0
// a pass) and the table it was made on (size 0 a lead).
struct TBotMove
{
    int seat = 0;
    TCombo move;
    TCombo over;
};

// What one player knows when it is to move. Seats are relative: 0 the player itself,
// then 1, 2, 3 in the order the turn goes round.
struct TBotView
{
    TCardMask hand = 0;
    TCardMask played = 0;        // cards thrown so far in this deal, own throws included
    TCombo table;                // size 0: a clear table, the player leads
    int tableOwner = -1;         // relative seat of who threw the table, -1 when clear
    std::array<int, 4> cards{13, 13, 13, 13}; // cards held per seat; -1 for a free seat
    std::array<bool, 4> passed{}; // passed since the table was last thrown
    std::vector<TBotMove> history; // the moves of this deal so far, oldest first; may be left empty

    TCardMask unseen() const { return BotCards::kFullDeck & ~hand & ~played; }
    bool seated(int seat) const { return cards[size_t(seat & 3)] >= 0; }
    // Fewest cards an opponent holds (99 when no opponent is seated).
    int fewestOpponentCards() const;
    // The first seated opponent after this player, 0 when alone.
    int nextOpponent() const;
};

class TBotStrategy
{
public:
    virtual ~TBotStrategy() = default;
    virtual QString name() const = 0;
    // One of the offered throws, or a pass (a combo of size 0). On a clear table with
    // something to throw, every strategy throws.
    virtual TCombo choose(const TBotView &view, const QList<TCombo> &throws) = 0;
    void seed(quint64 value) { m_rng.seed(value); }

protected:
    std::mt19937_64 m_rng{1};
};

// Any throw the rules accept, or a pass, with equal chances.
class TRandomStrategy : public TBotStrategy
{
public:
    QString name() const override { return QStringLiteral("random"); }
    TCombo choose(const TBotView &view, const QList<TCombo> &throws) override;
};

// Leads the lowest card with the longest combination that holds it; beats the table with
// the cheapest throw that beats it; passes only when nothing beats.
class TGreedyStrategy : public TBotStrategy
{
public:
    QString name() const override { return QStringLiteral("greedy"); }
    TCombo choose(const TBotView &view, const QList<TCombo> &throws) override;
};

// Plans the hand as a set of combinations and plays to empty it in the fewest turns:
// keeps combinations together, leads what is hardest to get rid of, keeps the cards
// nobody can beat for control, counts the cards played, and blocks a player about to go out.
// Level 1 plays greedily, 2 plans without counting cards, 3 (the default) plays in full.
class TSmartStrategy : public TBotStrategy
{
public:
    // The weights of the playing strategy.
    struct Tuning
    {
        double bossCost = 0.2;       // plan cost of a part nobody can beat
        double singleWeak = 0.8;     // extra cost of the weakest single
        double groupWeak = 0.6;      // extra cost of the weakest pair or triple
        double fiveWeak = 0.4;       // extra cost of the weakest five-card hand
        double fiveBase = 1.0;
        double leadSizeBonus = 0.1;  // per card of a lead
        double leadBossPenalty = 1.5;
        double passThreshold = 0.8;  // a throw must gain this much over a pass
        double bossGain = 0.0;       // worth of winning the lead back
        double shedBonus = 0.5;      // while an opponent is close to going out
        // look-ahead: sampled deals of the unseen cards played out to the end
        double lookSamples = 40;     // per candidate move, 0 switches the look-ahead off
        double lookCards = 52;       // used once the hands hold this many cards or fewer in all
        double lookCandidates = 4;
        double lookWinWeight = 30;   // worth of a won deal beside the credits
        double lookBudgetMs = 4;     // time cap of one decision's look-ahead
        double lookGuard = 1;        // in the play-outs, this player guards against one-card players
        bool set(const QString &name, double value);
    };

    explicit TSmartStrategy(int level = 3);
    Tuning tuning;
    QString name() const override;
    int level() const { return m_level; }
    TCombo choose(const TBotView &view, const QList<TCombo> &throws) override;
    // The moves this strategy weighs, best first, before its look-ahead; a pass may be among them.
    QList<TCombo> rankedMoves(const TBotView &view, const QList<TCombo> &throws);

    struct Plan
    {
        QList<TCombo> parts;
        double cost = 0;
        int losers = 0; // parts an opponent could still beat
    };
    // The cheapest way to split a hand into combinations, as this strategy sees the game.
    Plan planFor(const TBotView &view, TCardMask hand);

private:
    struct Context;
    Context makeContext(const TBotView &view) const;
    Plan bestPlan(TCardMask hand, const Context &ctx) const;
    double partCost(const TCombo &c, const Context &ctx, bool *boss) const;
    bool isBoss(const TCombo &c, const Context &ctx) const;
    // Moves worth playing, best first.
    QList<TCombo> lead(const TBotView &view, const QList<TCombo> &throws, const Context &ctx);
    QList<TCombo> follow(const TBotView &view, const QList<TCombo> &throws, const Context &ctx);
    // The candidate with the best outcome over sampled deals of the unseen cards.
    TCombo lookAhead(const TBotView &view, const QList<TCombo> &candidates);

    int m_level;
    TGreedyStrategy m_greedy;
    std::chrono::steady_clock::time_point m_started; // of the decision under way
};

// "random", "greedy", "smart" (level 3), "smart1".."smart3", "search" (level 4), or a level
// "1".."4"; nullptr for another name.
std::unique_ptr<TBotStrategy> makeStrategy(const QString &name);
QStringList strategyNames();
