#include "bot/opponentmodel.h"
#include <cmath>

using namespace BotCards;

namespace {
// A planning player departs from the greedy move in about a fifth of its moves, so this many
// moves without a departure leave well under one chance in a hundred that it plans.
constexpr double kGreedyChances = 25;
// Older deals count half once a seat has this many moves checked: a seat can change hands.
constexpr double kMemory = 400;
// How often each kind of move departs from the greedy one, measured in quadrix-arena for random
// players and for level-3 players (level 2 departs in fewer leads and more follows).
constexpr double kRandomOddLead = 0.46, kPlannerOddLead = 0.20;
constexpr double kRandomOddFollow = 0.30, kPlannerOddFollow = 0.18;
constexpr double kRandomPassShare = 0.66, kPlannerPassShare = 0.57; // of the moves on a table
// Evidence for a random player over a planning one, in natural log of the odds, before it is
// believed: about a hundred to one.
constexpr double kRandomOdds = 4.6;

bool sameMove(const TBotMove &a, const TBotMove &b)
{
    return a.seat == b.seat && a.move == b.move && a.over == b.over;
}

// Whether the cards make a throw that beats `over` and is cheaper than `move`.
bool cheaperBeats(TCardMask cards, const TCombo &over, const TCombo &move)
{
    for (const TCombo &c : BotCombos::enumerate(cards, over.size)) {
        if (c.key > over.key && c.key < move.key)
            return true;
    }
    return false;
}

// Log of the odds that k of n events come from rate p rather than rate q.
double logOdds(double k, double n, double p, double q)
{
    return k * std::log(p / q) + (n - k) * std::log((1 - p) / (1 - q));
}
} // namespace

void TOpponentModel::Evidence::add(const Evidence &o, double weight)
{
    leads += weight * o.leads;
    oddLeads += weight * o.oddLeads;
    follows += weight * o.follows;
    oddFollows += weight * o.oddFollows;
    passes += weight * o.passes;
    oddPasses += weight * o.oddPasses;
}

std::array<TOpponentModel::Evidence, 4> TOpponentModel::read(const std::vector<TBotMove> &history)
{
    std::array<Evidence, 4> found{};
    std::array<TCardMask, 4> later{}; // the cards each seat throws after the move looked at
    for (size_t i = history.size(); i-- > 0;) {
        const TBotMove &m = history[i];
        if (m.seat < 1 || m.seat > 3)
            continue;
        Evidence &e = found[size_t(m.seat)];
        const TCardMask after = later[size_t(m.seat)];
        const TCardMask held = after | m.move.mask;
        if (m.over.isPass()) {
            if (!m.move.isPass()) {
                e.leads += 1;
                e.oddLeads += lowest(held) < lowest(m.move.mask) ? 1 : 0;
            }
        } else if (m.over.size <= 3) { // five-card hands are too many to check
            if (m.move.isPass()) {
                e.passes += 1;
                e.oddPasses += BotCombos::strongestKey(after, m.over.size) > qint64(m.over.key) ? 1 : 0;
            } else {
                e.follows += 1;
                e.oddFollows += cheaperBeats(held, m.over, m.move) ? 1 : 0;
            }
        }
        later[size_t(m.seat)] = held;
    }
    return found;
}

void TOpponentModel::observe(const TBotView &view)
{
    const auto &h = view.history;
    if (h.empty())
        return;
    if (h.size() < m_moves || !sameMove(h.front(), m_first)) {
        // the deal before is over: what it showed joins the rest
        for (size_t s = 1; s < 4; ++s) {
            m_past[s].add(m_deal[s]);
            if (m_past[s].chances() > kMemory) {
                Evidence half;
                half.add(m_past[s], 0.5);
                m_past[s] = half;
            }
        }
        m_first = h.front();
    }
    m_moves = h.size();
    m_deal = read(h);
}

TOpponentModel::Evidence TOpponentModel::evidence(int seat) const
{
    Evidence e = m_past[size_t(seat & 3)];
    e.add(m_deal[size_t(seat & 3)]);
    return e;
}

TCardMask TOpponentModel::greedyMayHold(int seat, const std::vector<TBotMove> &history)
{
    TCardMask may = kFullDeck;
    auto below = [](int index) { return index <= 0 ? TCardMask(0) : bit(index) - 1; }; // cards under this one
    for (const TBotMove &m : history) {
        if (m.seat != seat)
            continue;
        if (m.over.isPass()) {
            if (!m.move.isPass())
                may &= ~below(lowest(m.move.mask) + 1);
        } else if (m.over.size == 1) {
            const int table = highest(m.over.mask);
            if (m.move.isPass())
                may &= below(table);
            else
                may &= ~(below(highest(m.move.mask)) & ~below(table + 1));
        }
    }
    return may;
}

TOpponentModel::Style TOpponentModel::style(int seat) const
{
    const Evidence e = evidence(seat);
    if (e.departures() == 0 && e.chances() >= kGreedyChances)
        return Style::Greedy;
    const double odds = logOdds(e.oddLeads, e.leads, kRandomOddLead, kPlannerOddLead) +
                        logOdds(e.oddFollows, e.follows, kRandomOddFollow, kPlannerOddFollow) +
                        logOdds(e.passes, e.passes + e.follows, kRandomPassShare, kPlannerPassShare);
    return odds > kRandomOdds ? Style::Random : Style::Planner;
}
