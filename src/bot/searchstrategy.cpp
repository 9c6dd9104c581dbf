#include "bot/searchstrategy.h"
#include "game/credits.h"
#include <algorithm>
#include <cmath>
#include <vector>

using namespace BotCards;

namespace {
// A seat that passed on the table still may hold something that beats it (players keep their
// strong cards), so a pass only makes such deals less likely: they are dealt again this often.
constexpr int kPassRedeals = 3;
// A greedy player passes only when nothing beats the table, so its pass is a fact of its hand.
constexpr int kGreedyPassRedeals = 40;
// A won deal counts this much beside the credits it brings: the winner leads the next deal, and
// a move that raises the chance to win is worth more than a few credits saved on a lost deal.
constexpr double kWinWorth = 50;
// A level-3 player weighs its plan's best moves by a look-ahead of its own; the play-outs give a
// planner a short one, enough to choose as it does, cheap enough to leave the search its deals.
constexpr int kPlannerLookSamples = 8;
} // namespace

TSearchStrategy::TSearchStrategy()
{
    m_policy.tuning.lookSamples = 0; // the own seat plays the plan alone: the search is its look-ahead
    m_planner.tuning.lookSamples = kPlannerLookSamples;
    m_planner.tuning.lookBudgetMs = kMaxThinkMs; // the search's deadline binds, so a seed repeats a decision
}

void TSearchStrategy::setThinkMs(int ms)
{
    m_thinkMs = std::clamp(ms, 1, kMaxThinkMs);
}

std::array<TCardMask, 4> TSearchStrategy::sample(const TBotView &view)
{
    std::vector<int> unseen;
    for (TCardMask m = view.unseen(); m; m &= m - 1)
        unseen.push_back(lowest(m));
    // a random player's pass tells nothing of its hand
    auto heeded = [&](int s) { return view.passed[size_t(s)] && m_styles[size_t(s)] != TOpponentModel::Style::Random; };
    bool greedyPassed = false;
    for (int s = 1; s < 4; ++s)
        greedyPassed = greedyPassed || (heeded(s) && m_styles[size_t(s)] == TOpponentModel::Style::Greedy);
    const int redeals = view.table.size == 0 ? 0 : greedyPassed ? kGreedyPassRedeals : kPassRedeals;
    // seats whose cards are known to lie within a range are dealt first
    std::array<int, 3> order{1, 2, 3};
    std::stable_partition(order.begin(), order.end(), [&](int s) { return m_mayHold[size_t(s)] != kFullDeck; });
    std::array<TCardMask, 4> hands{};
    for (int attempt = 0; attempt <= redeals; ++attempt) {
        std::shuffle(unseen.begin(), unseen.end(), m_rng);
        hands = {};
        hands[0] = view.hand;
        TCardMask dealt = 0;
        std::array<int, 4> missing{};
        for (int s : order) {
            int need = std::max(0, view.cards[size_t(s)]);
            for (size_t k = 0; k < unseen.size() && need > 0; ++k) {
                const TCardMask c = bit(unseen[k]);
                if (!(dealt & c) && (m_mayHold[size_t(s)] & c)) {
                    hands[size_t(s)] |= c;
                    dealt |= c;
                    --need;
                }
            }
            missing[size_t(s)] = need;
        }
        // a range that holds too few cards was read wrong: the rest come from anywhere
        for (int s : order) {
            for (size_t k = 0; k < unseen.size() && missing[size_t(s)] > 0; ++k) {
                const TCardMask c = bit(unseen[k]);
                if (!(dealt & c)) {
                    hands[size_t(s)] |= c;
                    dealt |= c;
                    --missing[size_t(s)];
                }
            }
        }
        bool fits = true;
        for (int s = 1; s < 4; ++s) {
            if (heeded(s) && BotCombos::strongestKey(hands[size_t(s)], view.table.size) > view.table.key)
                fits = false;
        }
        if (fits)
            break;
    }
    return hands;
}

bool TSearchStrategy::playOut(const TBotView &view, std::array<TCardMask, 4> hands, const TCombo &move,
                              Clock::time_point deadline, double *credits)
{
    std::array<bool, 4> seated{};
    for (int s = 0; s < 4; ++s)
        seated[size_t(s)] = s == 0 || view.cards[size_t(s)] >= 0;
    TCardMask played = view.played;
    TCombo table = view.table;
    int owner = view.tableOwner;
    std::array<bool, 4> passed = view.passed;
    int turn = 0;
    int winner = -1;
    auto apply = [&](const TCombo &m) {
        if (m.isPass()) {
            passed[size_t(turn)] = true;
            return;
        }
        hands[size_t(turn)] &= ~m.mask;
        played |= m.mask;
        table = m;
        owner = turn;
        passed = {};
        if (hands[size_t(turn)] == 0)
            winner = turn;
    };
    auto advance = [&] {
        do {
            turn = (turn + 1) % 4;
        } while (!seated[size_t(turn)]);
    };
    apply(move);
    for (int guard = 0; winner < 0 && guard < 400; ++guard) {
        advance();
        if (owner == turn) {
            // everyone else passed: the table is cleared and its owner leads
            table = TCombo{};
            owner = -1;
            passed = {};
        }
        if (Clock::now() > deadline)
            return false;
        TBotView v;
        v.hand = hands[size_t(turn)];
        v.played = played;
        v.table = table;
        v.tableOwner = owner < 0 ? -1 : (owner - turn + 4) % 4;
        for (int r = 0; r < 4; ++r) {
            const int s = (turn + r) % 4;
            v.cards[size_t(r)] = seated[size_t(s)] ? count(hands[size_t(s)]) : -1;
            v.passed[size_t(r)] = passed[size_t(s)];
        }
        apply(m_seatPolicy[size_t(turn)]->choose(v, BotCombos::throwsOver(v.hand, table)));
    }
    double result = 0;
    if (winner == 0) {
        for (int s = 1; s < 4; ++s)
            result += seated[size_t(s)] ? creditLoss(count(hands[size_t(s)])) : 0;
        result += kWinWorth;
    } else if (winner > 0) {
        result = -creditLoss(count(hands[0]));
    }
    *credits = result;
    return true;
}

TCombo TSearchStrategy::choose(const TBotView &view, const QList<TCombo> &throws)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_thinkMs);
    m_stats = {};
    m_opponents.observe(view);
    if (throws.isEmpty())
        return {};
    for (const TCombo &c : throws) {
        if (c.mask == view.hand)
            return c; // going out ends the deal at once
    }
    // the play-outs play each seat as its player has been seen to play; when the model fits
    // every other player closely, what the play-outs find earns more trust
    m_seatPolicy[0] = &m_policy;
    bool known = true;
    for (int s = 1; s < 4; ++s) {
        const TOpponentModel::Style style = m_opponents.style(s);
        m_styles[size_t(s)] = style;
        m_mayHold[size_t(s)] =
            style == TOpponentModel::Style::Greedy ? TOpponentModel::greedyMayHold(s, view.history) : kFullDeck;
        m_seatPolicy[size_t(s)] = style == TOpponentModel::Style::Greedy   ? static_cast<TBotStrategy *>(&m_greedy)
                                  : style == TOpponentModel::Style::Random ? static_cast<TBotStrategy *>(&m_random)
                                                                           : &m_planner;
        known = known && (!view.seated(s) || style != TOpponentModel::Style::Planner);
    }
    const Trust &trust = known ? closeModel : roughModel;
    // the level-3 player's own choice stands unless the search shows another move plainly better
    m_anchor.seed(m_rng());
    m_random.seed(m_rng());
    m_planner.seed(m_rng());
    const TCombo anchor = m_anchor.choose(view, throws);
    const QList<TCombo> ranked = m_policy.rankedMoves(view, throws);
    // only what was offered, and no pass on a clear table
    QList<TCombo> candidates{anchor};
    const bool mayPass = view.table.size != 0;
    for (const TCombo &c : ranked) {
        if (candidates.size() > trust.candidates)
            break;
        if ((c.isPass() ? mayPass : throws.contains(c)) && !candidates.contains(c))
            candidates << c;
    }
    if (mayPass && !candidates.contains(TCombo{}))
        candidates << TCombo{};
    m_stats.candidates = int(candidates.size());
    m_stats.choice = 0;
    if (candidates.size() == 1)
        return anchor;

    // each move is measured against the level-3 choice on the same deals, which cancels most
    // of the luck of the deal from the comparison
    struct Gain
    {
        double sum = 0, sumSq = 0;
        bool live = true;
        double mean(int n) const { return sum / n; }
        double error(int n) const
        {
            const double m = sum / n;
            return std::sqrt(std::max(0.0, sumSq / n - m * m) / std::max(1, n - 1));
        }
    };
    std::vector<Gain> gain(size_t(candidates.size()));
    std::vector<double> round(gain.size());
    bool inTime = true;
    int live = int(gain.size()) - 1;
    while (inTime && live > 0 && (maxSamples <= 0 || m_stats.samples < maxSamples)) {
        const std::array<TCardMask, 4> lie = sample(view);
        for (size_t i = 0; i < round.size() && inTime; ++i) {
            if (gain[i].live)
                inTime = playOut(view, lie, candidates.at(qsizetype(i)), deadline, &round[i]);
        }
        if (!inTime)
            break; // a deal not played out for every move would favour some of them
        const int n = ++m_stats.samples;
        for (size_t i = 1; i < gain.size(); ++i) {
            if (!gain[i].live)
                continue;
            const double d = round[i] - round[0];
            gain[i].sum += d;
            gain[i].sumSq += d * d;
            // a move that plainly cannot make the gain asked for gets no more deals
            if (n >= kMinSamples && gain[i].mean(n) + trust.drop * gain[i].error(n) < trust.gain) {
                gain[i].live = false;
                --live;
            }
        }
    }
    const int n = m_stats.samples;
    size_t best = 0;
    double bestGain = 0;
    for (size_t i = 1; n >= kMinSamples && i < gain.size(); ++i) {
        const double g = gain[i].mean(n);
        if (gain[i].live && g > bestGain && g > trust.gain && g > trust.errors * gain[i].error(n)) {
            best = i;
            bestGain = g;
        }
    }
    m_stats.choice = int(best);
    return candidates.at(qsizetype(best));
}
