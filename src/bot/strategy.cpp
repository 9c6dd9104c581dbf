#include "bot/strategy.h"
#include "bot/searchstrategy.h"
#include <algorithm>
#include <chrono>
#include <limits>

using namespace BotCards;

namespace {
// Credits a player with this many cards left loses when another goes out.
int lossOf(int cardsLeft)
{
    return cardsLeft <= 0 ? 0 : cardsLeft <= 9 ? cardsLeft : cardsLeft <= 12 ? 2 * cardsLeft : 39;
}
} // namespace

int TBotView::fewestOpponentCards() const
{
    int fewest = 99;
    for (int s = 1; s < 4; ++s) {
        if (cards[size_t(s)] >= 0)
            fewest = std::min(fewest, cards[size_t(s)]);
    }
    return fewest;
}

int TBotView::nextOpponent() const
{
    for (int s = 1; s < 4; ++s) {
        if (cards[size_t(s)] >= 0)
            return s;
    }
    return 0;
}

// ---------------------------------------------------------------------------

TCombo TRandomStrategy::choose(const TBotView &view, const QList<TCombo> &throws)
{
    const bool mayPass = view.table.size != 0 || throws.isEmpty();
    const quint64 options = quint64(throws.size()) + (mayPass ? 1 : 0);
    if (options == 0)
        return {};
    const quint64 pick = m_rng() % options;
    return pick < quint64(throws.size()) ? throws.at(qsizetype(pick)) : TCombo{};
}

// ---------------------------------------------------------------------------

TCombo TGreedyStrategy::choose(const TBotView &view, const QList<TCombo> &throws)
{
    if (throws.isEmpty())
        return {};
    const TCombo *best = nullptr;
    if (view.table.size == 0) {
        const TCardMask low = bit(lowest(view.hand));
        for (const TCombo &c : throws) {
            if (!(c.mask & low))
                continue;
            if (!best || c.size > best->size || (c.size == best->size && c.key < best->key))
                best = &c;
        }
    }
    if (!best) {
        for (const TCombo &c : throws) {
            if (!best || c.size < best->size || (c.size == best->size && c.key < best->key))
                best = &c;
        }
    }
    return *best;
}

// ---------------------------------------------------------------------------

struct TSmartStrategy::Context
{
    TCardMask unseen = 0;
    int unseenCount = 0;
    std::array<qint64, 6> strongestOut{}; // strongest opponent key per size, -1 none
    int fewest = 99;      // fewest cards of an opponent
    int next = 0;         // next seated opponent
    int nextCards = 99;
    int mine = 0;
};

bool TSmartStrategy::Tuning::set(const QString &name, double value)
{
    const std::pair<const char *, double *> fields[] = {
        {"bossCost", &bossCost},           {"singleWeak", &singleWeak},   {"groupWeak", &groupWeak},
        {"fiveWeak", &fiveWeak},           {"fiveBase", &fiveBase},       {"leadSizeBonus", &leadSizeBonus},
        {"leadBossPenalty", &leadBossPenalty}, {"passThreshold", &passThreshold}, {"bossGain", &bossGain},
        {"shedBonus", &shedBonus},         {"lookSamples", &lookSamples}, {"lookCards", &lookCards},
        {"lookCandidates", &lookCandidates}, {"lookWinWeight", &lookWinWeight}, {"lookBudgetMs", &lookBudgetMs},
        {"lookGuard", &lookGuard},
    };
    for (const auto &f : fields) {
        if (name == QLatin1String(f.first)) {
            *f.second = value;
            return true;
        }
    }
    return false;
}

TSmartStrategy::TSmartStrategy(int level) : m_level(std::clamp(level, 1, 3)) {}

QString TSmartStrategy::name() const
{
    return m_level == 3 ? QStringLiteral("smart") : QStringLiteral("smart%1").arg(m_level);
}

TSmartStrategy::Context TSmartStrategy::makeContext(const TBotView &view) const
{
    Context ctx;
    // without card counting every card this player does not hold may still be out there
    ctx.unseen = m_level >= 3 ? view.unseen() : (kFullDeck & ~view.hand);
    ctx.unseenCount = count(ctx.unseen);
    ctx.fewest = view.fewestOpponentCards();
    ctx.next = view.nextOpponent();
    ctx.nextCards = ctx.next ? view.cards[size_t(ctx.next)] : 99;
    ctx.mine = count(view.hand);
    int most = 0;
    for (int s = 1; s < 4; ++s)
        most = std::max(most, view.cards[size_t(s)]);
    if (m_level < 3)
        most = 13;
    for (int size : {1, 2, 3, 5})
        ctx.strongestOut[size_t(size)] = most >= size ? BotCombos::strongestKey(ctx.unseen, size) : -1;
    return ctx;
}

bool TSmartStrategy::isBoss(const TCombo &c, const Context &ctx) const
{
    if (c.size < 1 || c.size > 5)
        return false;
    return qint64(c.key) > ctx.strongestOut[size_t(c.size)];
}

double TSmartStrategy::partCost(const TCombo &c, const Context &ctx, bool *boss) const
{
    const bool b = isBoss(c, ctx);
    if (boss)
        *boss = b;
    if (b)
        return tuning.bossCost;
    double strength = 0;
    if (c.size == 1) {
        const int below = count(ctx.unseen & (bit(highest(c.mask)) - 1));
        strength = ctx.unseenCount ? double(below) / ctx.unseenCount : 1.0;
        return 1.0 + tuning.singleWeak * (1 - strength) * (1 - strength);
    }
    if (c.size <= 3) {
        int below = 0, all = 0;
        for (int r = 0; r < 13; ++r) {
            const TCardMask at = ctx.unseen & rankMask(r);
            if (count(at) < c.size)
                continue;
            ++all;
            if (quint32(highest(at) + 1) < c.key)
                ++below;
        }
        strength = all ? double(below) / all : 1.0;
        return 1.0 + tuning.groupWeak * (1 - strength) * (1 - strength);
    }
    int kindStep = 0;
    switch (c.kind) {
    case _Straight: kindStep = 0; break;
    case _Flush: kindStep = 1; break;
    case _FullHouse: kindStep = 2; break;
    case _FourKind: kindStep = 3; break;
    default: kindStep = 4; break;
    }
    strength = (kindStep + rankOrder(highest(c.mask)) / 13.0) / 5.0;
    return tuning.fiveBase + tuning.fiveWeak * (1 - strength);
}

TSmartStrategy::Plan TSmartStrategy::bestPlan(TCardMask hand, const Context &ctx) const
{
    // the rest of the hand after the five-card hands: cards of one rank stay together; without
    // a plan to fill only the cost is summed, which the search below does thousands of times
    auto restInto = [&](TCardMask r, Plan *plan) {
        double cost = plan ? plan->cost : 0;
        for (int k = 0; k < 13; ++k) {
            const TCardMask at = r & rankMask(k);
            const int n = count(at);
            if (n == 0)
                continue;
            std::array<TCardMask, 2> groups{at, 0};
            if (n == 4) {
                groups[0] = bit(lowest(at)) | bit(lowest(at & (at - 1)));
                groups[1] = at & ~groups[0];
            }
            for (TCardMask g : groups) {
                if (!g)
                    continue;
                const TCombo c = BotCombos::classify(g);
                bool boss = false;
                cost += partCost(c, ctx, &boss);
                if (plan) {
                    plan->losers += boss ? 0 : 1;
                    plan->parts << c;
                }
            }
        }
        return cost;
    };
    auto rest = [&](TCardMask r, Plan &plan) { plan.cost = restInto(r, &plan); };
    Plan best;
    rest(hand, best);
    if (count(hand) < 5)
        return best;
    // a hand rich in one suit makes dozens of flushes: the weakest ones are enough to plan with
    QList<TCombo> fives = BotCombos::enumerate(hand, 5);
    if (fives.size() > 36)
        fives.resize(36);
    std::vector<double> fiveCost(size_t(fives.size()));
    std::vector<bool> fiveBoss(size_t(fives.size()));
    for (qsizetype i = 0; i < fives.size(); ++i) {
        bool boss = false;
        fiveCost[size_t(i)] = partCost(fives.at(i), ctx, &boss);
        fiveBoss[size_t(i)] = boss;
    }
    double bestCost = best.cost;
    qsizetype bi = -1, bj = -1;
    for (qsizetype i = 0; i < fives.size(); ++i) {
        const TCardMask r1 = hand & ~fives.at(i).mask;
        const double rest1 = restInto(r1, nullptr);
        const double c1 = fiveCost[size_t(i)] + rest1;
        if (c1 < bestCost - 1e-9) {
            bestCost = c1;
            bi = i;
            bj = -1;
        }
        if (count(r1) < 5)
            continue;
        for (qsizetype j = i + 1; j < fives.size(); ++j) {
            if (fives.at(j).mask & ~r1)
                continue;
            const double c2 = c1 - rest1 + fiveCost[size_t(j)] + restInto(r1 & ~fives.at(j).mask, nullptr);
            if (c2 < bestCost - 1e-9) {
                bestCost = c2;
                bi = i;
                bj = j;
            }
        }
    }
    if (bi < 0)
        return best;
    Plan plan;
    TCardMask r = hand;
    for (qsizetype k : {bi, bj}) {
        if (k < 0)
            continue;
        plan.parts << fives.at(k);
        plan.cost += fiveCost[size_t(k)];
        plan.losers += fiveBoss[size_t(k)] ? 0 : 1;
        r &= ~fives.at(k).mask;
    }
    rest(r, plan);
    return plan;
}

TSmartStrategy::Plan TSmartStrategy::planFor(const TBotView &view, TCardMask hand)
{
    return bestPlan(hand, makeContext(view));
}

TCombo TSmartStrategy::choose(const TBotView &view, const QList<TCombo> &throws)
{
    if (throws.isEmpty())
        return {};
    if (m_level <= 1)
        return m_greedy.choose(view, throws);
    // going out ends the deal at once
    for (const TCombo &c : throws) {
        if (c.mask == view.hand)
            return c;
    }
    m_started = std::chrono::steady_clock::now();
    const Context ctx = makeContext(view);
    const QList<TCombo> ranked = view.table.size == 0 ? lead(view, throws, ctx) : follow(view, throws, ctx);
    if (ranked.isEmpty())
        return {};
    int inHands = 0;
    for (int s = 0; s < 4; ++s)
        inHands += std::max(0, view.cards[size_t(s)]);
    if (m_level >= 3 && tuning.lookSamples >= 1 && ranked.size() > 1 && inHands <= tuning.lookCards)
        return lookAhead(view, ranked.mid(0, qsizetype(std::max(2.0, tuning.lookCandidates))));
    return ranked.first();
}

namespace {
struct Scored
{
    TCombo move;
    double score;
};

QList<TCombo> bestFirst(QList<Scored> list)
{
    std::stable_sort(list.begin(), list.end(), [](const Scored &a, const Scored &b) { return a.score > b.score; });
    QList<TCombo> out;
    for (const Scored &s : list) {
        const bool seen = std::any_of(out.cbegin(), out.cend(), [&](const TCombo &c) { return c.mask == s.move.mask; });
        if (!seen)
            out << s.move;
    }
    return out;
}
} // namespace

QList<TCombo> TSmartStrategy::lead(const TBotView &view, const QList<TCombo> &throws, const Context &ctx)
{
    const Plan plan = bestPlan(view.hand, ctx);
    auto offered = [&](const TCombo &c) {
        return std::any_of(throws.cbegin(), throws.cend(), [&](const TCombo &t) { return t.mask == c.mask; });
    };
    // all but one part unbeatable: play those first and keep the lead to the end
    if (plan.losers <= 1) {
        const TCombo *pick = nullptr;
        for (const TCombo &p : plan.parts) {
            if (isBoss(p, ctx) && offered(p) && (!pick || p.size > pick->size))
                pick = &p;
        }
        if (pick)
            return {*pick};
    }
    QList<Scored> scored;
    bool otherSize = false;
    for (const TCombo &p : plan.parts) {
        if (!offered(p))
            continue;
        otherSize = otherSize || p.size > 1;
        bool boss = false;
        double score = partCost(p, ctx, &boss) + tuning.leadSizeBonus * p.size;
        if (!boss) {
            // an opponent who can go out by beating this lead
            for (int s = 1; s < 4; ++s) {
                const int n = view.cards[size_t(s)];
                if (n == p.size)
                    score -= s == ctx.next ? 4.0 : 2.5;
                else if (n >= 0 && n <= 2 && p.size == 1)
                    score -= 0.8;
            }
        } else {
            score -= tuning.leadBossPenalty; // keep control cards for later
        }
        scored << Scored{p, score};
    }
    // only singles left against a player on one card: the strongest single first
    if (ctx.fewest == 1 && !otherSize) {
        const TCombo *top = nullptr;
        for (const TCombo &c : throws) {
            if (c.size == 1 && (!top || c.key > top->key))
                top = &c;
        }
        if (top)
            scored << Scored{*top, 100};
    }
    // the greedy lead as one more choice for the look-ahead
    scored << Scored{m_greedy.choose(view, throws), -50};
    return bestFirst(scored);
}

QList<TCombo> TSmartStrategy::follow(const TBotView &view, const QList<TCombo> &throws, const Context &ctx)
{
    const Plan now = bestPlan(view.hand, ctx);
    const int owner = view.tableOwner;
    const int ownerCards = (owner > 0 && owner < 4) ? view.cards[size_t(owner)] : 99;
    // someone who could go out on this table before the turn comes back round
    bool threat = ownerCards <= 2;
    for (int s = 1; s < 4; ++s) {
        if (s != owner && view.cards[size_t(s)] == view.table.size)
            threat = true;
    }
    QList<Scored> scored;
    scored << Scored{TCombo{}, threat ? -100 : tuning.passThreshold}; // passing keeps the hand as it is
    // with many answers (a rich hand over a five-card table) weigh only the plan's own parts,
    // the cheapest and the strongest, so a decision stays within a few milliseconds
    QList<TCombo> weighed = throws;
    if (throws.size() > 16) {
        weighed.clear();
        for (qsizetype i = 0; i < throws.size(); ++i) {
            const TCombo &c = throws.at(i);
            const bool part = std::any_of(now.parts.cbegin(), now.parts.cend(),
                                          [&](const TCombo &p) { return p.mask == c.mask; });
            if (part || i < 8 || i >= throws.size() - 4)
                weighed << c;
        }
    }
    for (const TCombo &c : weighed) {
        const TCardMask after = view.hand & ~c.mask;
        const Plan p = bestPlan(after, ctx);
        const bool boss = isBoss(c, ctx);
        if (boss && p.losers <= 1)
            return {c}; // the lead comes back and the rest goes out unbeaten
        double score = now.cost - p.cost;
        if (boss)
            score += tuning.bossGain;
        if (threat)
            score += 3.0 + c.key / 64.0; // raise the table as high as it goes, whatever it costs
        if (ctx.fewest <= 3 && ctx.mine >= 8)
            score += tuning.shedBonus; // shed cards while a loss still costs little
        scored << Scored{c, score};
    }
    return bestFirst(scored);
}

namespace {
// The greedy move, fast enough to play thousands of deals out in one decision. With
// `guarded`, a player next to someone on one card keeps singles high: it leads a
// combination of more cards if it has one, else its strongest single, and answers a
// single with its strongest.
TCombo quickMove(TCardMask hand, const TCombo &table, bool guarded)
{
    if (table.size == 0) {
        if (guarded) {
            for (int k : {5, 3, 2}) {
                const TCombo more = BotCombos::lowestOver(hand, k, 0);
                if (!more.isPass())
                    return more;
            }
            return BotCombos::classify(bit(highest(hand)));
        }
        const int low = lowest(hand);
        if (count(hand) >= 5) {
            const TCombo five = BotCombos::lowestOver(hand, 5, 0, bit(low));
            if (!five.isPass())
                return five;
        }
        TCardMask at = hand & rankMask(rankOrder(low));
        while (count(at) > 3)
            at &= ~bit(highest(at));
        return BotCombos::classify(at);
    }
    if (table.size == 4 || table.size > 5 || count(hand) < table.size)
        return {};
    if (table.size == 1) {
        const TCardMask above = hand & ~((bit(std::min(int(table.key), 63)) - 1));
        if (!above)
            return {};
        return BotCombos::classify(bit(guarded ? highest(above) : lowest(above)));
    }
    return BotCombos::lowestOver(hand, table.size, table.key);
}

// Plays the deal out from here; returns the winner (-1 if none). Seat 0 (this player) moves
// greedily but guards against a next player on one card when `guardSelf`; the others greedily.
int playOut(std::array<TCardMask, 4> &hands, const std::array<bool, 4> &seated, TCombo table, int owner, int turn,
            bool guardSelf)
{
    auto nextOf = [&](int seat) {
        do {
            seat = (seat + 1) % 4;
        } while (!seated[size_t(seat)]);
        return seat;
    };
    for (int guard = 0; guard < 400; ++guard) {
        if (owner == turn) {
            table = TCombo{};
            owner = -1;
        }
        const bool guarded = guardSelf && turn == 0 && count(hands[size_t(nextOf(0))]) == 1;
        const TCombo m = quickMove(hands[size_t(turn)], table, guarded);
        if (!m.isPass()) {
            hands[size_t(turn)] &= ~m.mask;
            table = m;
            owner = turn;
            if (hands[size_t(turn)] == 0)
                return turn;
        }
        turn = nextOf(turn);
    }
    return -1;
}
} // namespace

TCombo TSmartStrategy::lookAhead(const TBotView &view, const QList<TCombo> &candidates)
{
    const auto start = m_started;
    std::array<bool, 4> seated{};
    for (int s = 0; s < 4; ++s)
        seated[size_t(s)] = view.cards[size_t(s)] > 0 || s == 0;
    std::vector<int> unseen;
    for (TCardMask m = view.unseen(); m; m &= m - 1)
        unseen.push_back(lowest(m));
    std::vector<double> total(size_t(candidates.size()), 0.0);
    const int samples = int(tuning.lookSamples);
    int done = 0;
    for (; done < samples; ++done) {
        // one way the unseen cards may lie, the same for every candidate
        std::shuffle(unseen.begin(), unseen.end(), m_rng);
        std::array<TCardMask, 4> lie{};
        lie[0] = view.hand;
        size_t next = 0;
        for (int s = 1; s < 4; ++s) {
            for (int k = 0; k < view.cards[size_t(s)] && next < unseen.size(); ++k)
                lie[size_t(s)] |= bit(unseen[next++]);
        }
        for (qsizetype i = 0; i < candidates.size(); ++i) {
            const TCombo &m = candidates.at(i);
            std::array<TCardMask, 4> hands = lie;
            TCombo table = view.table;
            int owner = view.tableOwner;
            int winner = -1;
            if (!m.isPass()) {
                hands[0] &= ~m.mask;
                table = m;
                owner = 0;
                if (hands[0] == 0)
                    winner = 0;
            }
            if (winner < 0) {
                int turn = 0;
                do {
                    turn = (turn + 1) % 4;
                } while (!seated[size_t(turn)]);
                winner = playOut(hands, seated, table, owner, turn, tuning.lookGuard > 0);
            }
            double credit = 0;
            if (winner == 0) {
                for (int s = 1; s < 4; ++s)
                    credit += seated[size_t(s)] ? lossOf(count(hands[size_t(s)])) : 0;
                credit += tuning.lookWinWeight;
            } else {
                credit -= lossOf(count(hands[0]));
            }
            total[size_t(i)] += credit;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (ms > tuning.lookBudgetMs)
            break;
    }
    size_t best = 0;
    for (size_t i = 1; i < total.size(); ++i) {
        if (total[i] > total[best] + 1e-9)
            best = i;
    }
    return candidates.at(qsizetype(best));
}

// ---------------------------------------------------------------------------

QList<TCombo> TSmartStrategy::rankedMoves(const TBotView &view, const QList<TCombo> &throws)
{
    if (throws.isEmpty())
        return {};
    m_started = std::chrono::steady_clock::now();
    const Context ctx = makeContext(view);
    return view.table.size == 0 ? lead(view, throws, ctx) : follow(view, throws, ctx);
}

std::unique_ptr<TBotStrategy> makeStrategy(const QString &name)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("search") || n == QLatin1String("smart4") || n == QLatin1String("4"))
        return std::make_unique<TSearchStrategy>();
    if (n.size() == 1 && n.at(0).digitValue() >= 1 && n.at(0).digitValue() <= 3)
        return std::make_unique<TSmartStrategy>(n.at(0).digitValue());
    if (n == QLatin1String("random"))
        return std::make_unique<TRandomStrategy>();
    if (n == QLatin1String("greedy"))
        return std::make_unique<TGreedyStrategy>();
    if (n == QLatin1String("smart"))
        return std::make_unique<TSmartStrategy>(3);
    if (n.startsWith(QLatin1String("smart")) && n.size() == 6) {
        const int level = n.at(5).digitValue();
        if (level >= 1 && level <= 3)
            return std::make_unique<TSmartStrategy>(level);
    }
    return nullptr;
}

QStringList strategyNames()
{
    return {QStringLiteral("random"), QStringLiteral("greedy"), QStringLiteral("smart1"), QStringLiteral("smart2"),
            QStringLiteral("smart"), QStringLiteral("smart3"), QStringLiteral("search")};
}
