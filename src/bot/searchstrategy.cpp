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
// The play-outs are a model of the other players, never the players themselves: a move that
// wins less than this many credits a deal over the level-3 choice is within the model's error.
constexpr double kSwitchGain = 3.0;
// A move is chosen only when its gain also exceeds this many standard errors, and gets no more
// deals once its gain falls short of kSwitchGain by this many.
constexpr double kSwitchErrors = 3.0;
constexpr double kDropErrors = 2.5;
} // namespace

TSearchStrategy::TSearchStrategy()
{
    m_policy.tuning.lookSamples = 0; // the play-outs use the plan alone: the search is the look-ahead
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
    std::array<TCardMask, 4> hands{};
    for (int attempt = 0; attempt <= kPassRedeals; ++attempt) {
        std::shuffle(unseen.begin(), unseen.end(), m_rng);
        hands = {};
        hands[0] = view.hand;
        size_t next = 0;
        for (int s = 1; s < 4; ++s) {
            for (int k = 0; k < view.cards[size_t(s)] && next < unseen.size(); ++k)
                hands[size_t(s)] |= bit(unseen[next++]);
        }
        bool fits = true;
        for (int s = 1; s < 4 && view.table.size > 0; ++s) {
            if (view.passed[size_t(s)] && BotCombos::strongestKey(hands[size_t(s)], view.table.size) > view.table.key)
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
        apply(m_policy.choose(v, BotCombos::throwsOver(v.hand, table)));
    }
    double result = 0;
    if (winner == 0) {
        for (int s = 1; s < 4; ++s)
            result += seated[size_t(s)] ? creditLoss(count(hands[size_t(s)])) : 0;
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
    if (throws.isEmpty())
        return {};
    for (const TCombo &c : throws) {
        if (c.mask == view.hand)
            return c; // going out ends the deal at once
    }
    // the level-3 player's own choice stands unless the search shows another move plainly better
    m_anchor.seed(m_rng());
    const TCombo anchor = m_anchor.choose(view, throws);
    const QList<TCombo> ranked = m_policy.rankedMoves(view, throws);
    // only what was offered, and no pass on a clear table
    QList<TCombo> candidates{anchor};
    const bool mayPass = view.table.size != 0;
    for (const TCombo &c : ranked) {
        if (candidates.size() > candidateCount)
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
            if (n >= kMinSamples && gain[i].mean(n) + kDropErrors * gain[i].error(n) < kSwitchGain) {
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
        if (gain[i].live && g > bestGain && g > kSwitchGain && g > kSwitchErrors * gain[i].error(n)) {
            best = i;
            bestGain = g;
        }
    }
    m_stats.choice = int(best);
    return candidates.at(qsizetype(best));
}
