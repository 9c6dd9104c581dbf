#include "bot/combos.h"
#include "cards/cardcode.h"
#include "rules/handorder.h"
#include "rules/rules.h"
#include <algorithm>
#include <array>

namespace BotCards {

int indexOfCode(const QString &code)
{
    int suitDigit = 0, rankNumber = 0;
    if (!parseCardCode(code, &suitDigit, &rankNumber))
        return -1;
    const int order = rankNumber == 1 ? 11 : rankNumber == 2 ? 12 : rankNumber - 3;
    return order * 4 + (4 - suitDigit);
}

QString codeOfIndex(int index)
{
    if (index < 0 || index >= kDeckSize)
        return {};
    const int order = rankOrder(index);
    const int rankNumber = order == 11 ? 1 : order == 12 ? 2 : order + 3;
    return cardCode(4 - suitOrder(index), rankNumber);
}

TCardMask suitMask(int suit)
{
    return (0x0001111111111111ULL << suit) & kFullDeck;
}

QStringList codesOf(TCardMask mask)
{
    QStringList out;
    for (TCardMask m = mask & kFullDeck; m; m &= m - 1)
        out << codeOfIndex(lowest(m));
    sortCodes(out, true);
    return out;
}

TCardMask maskOf(const QStringList &codes, int *bad)
{
    TCardMask m = 0;
    int wrong = 0;
    for (const QString &c : codes) {
        const int i = indexOfCode(c);
        if (i < 0 || (m & bit(i)))
            ++wrong;
        else
            m |= bit(i);
    }
    if (bad)
        *bad = wrong;
    return m;
}

} // namespace BotCards

using namespace BotCards;

namespace {

// Rank number of the code (A = 1 .. K = 13) from a rank order.
int rankNumberOf(int order)
{
    return order == 11 ? 1 : order == 12 ? 2 : order + 3;
}

// Rank orders of the ten runs the rules call straights (A-2-3-4-5 .. 10-J-Q-K-A).
const std::array<std::array<int, 5>, 10> &straightWindows()
{
    static const std::array<std::array<int, 5>, 10> windows = [] {
        std::array<std::array<int, 5>, 10> w{};
        for (int a = 1; a <= 9; ++a) {
            for (int k = 0; k < 5; ++k) {
                const int number = a + k;
                w[size_t(a - 1)][size_t(k)] = number == 1 ? 11 : number == 2 ? 12 : number - 3;
            }
        }
        w[9] = {7, 8, 9, 10, 11}; // 10 J Q K A
        return w;
    }();
    return windows;
}

// Five-card kind score and key of a list of card indices (-1 for a text that is no card),
// following beatsTable: kind score, then rank tiers from the top, then the top card.
quint32 fiveKey(const std::array<int, 5> &idx, int *kindScore, bool *legal = nullptr)
{
    std::array<int, 13> perRank{};
    bool allCards = true;
    for (int i : idx) {
        if (i < 0)
            allCards = false;
        else
            ++perRank[size_t(rankOrder(i))];
    }
    bool has4 = false, has3 = false, has2 = false;
    for (int c : perRank) {
        has4 = has4 || c == 4;
        has3 = has3 || c == 3;
        has2 = has2 || c == 2;
    }
    bool flush = allCards;
    for (int i : idx)
        flush = flush && i >= 0 && suitOrder(i) == suitOrder(idx[0]);
    bool straight = false;
    if (allCards) {
        std::array<int, 5> numbers{};
        for (size_t k = 0; k < 5; ++k)
            numbers[k] = rankNumberOf(rankOrder(idx[k]));
        std::sort(numbers.begin(), numbers.end());
        straight = true;
        for (size_t k = 2; k < 5; ++k)
            straight = straight && numbers[k] == numbers[k - 1] + 1;
        straight = straight
                   && (numbers[1] == numbers[0] + 1 || (numbers[0] == 1 && numbers[1] == 10 && numbers[4] == 13));
    }
    const int score = (has4 ? 10 : 0) + (has3 ? 9 : 0) + (flush ? 8 : 0) + (straight ? 7 : 0);
    if (kindScore)
        *kindScore = score;
    if (legal)
        *legal = has4 || flush || (has3 && has2) || straight;
    // game values sort as indices; a text that is no card values 0, below every card
    std::array<int, 5> sorted = idx;
    std::sort(sorted.begin(), sorted.end(), std::greater<int>());
    quint32 key = quint32(score) << 26;
    for (size_t k = 0; k < 5; ++k) {
        const int tier = sorted[k] < 0 ? 0 : rankOrder(sorted[k]) + 1;
        key |= quint32(tier) << (22 - 4 * k);
    }
    key |= quint32(sorted[0] + 1);
    return key;
}

TComboKind fiveKind(int score)
{
    switch (score) {
    case 15: return _StraightFlush;
    case 10: return _FourKind;
    case 9: return _FullHouse;
    case 8: return _Flush;
    case 7: return _Straight;
    default: return _NoCombo;
    }
}

std::array<int, 5> indicesOf(TCardMask m)
{
    std::array<int, 5> idx{-1, -1, -1, -1, -1};
    for (size_t k = 0; k < 5 && m; ++k, m &= m - 1)
        idx[k] = lowest(m);
    return idx;
}

// Calls f with every k-card subset of the cards of m (at most 13 cards), without allocating:
// the searching player enumerates millions of these a decision.
template <typename F>
void forEachSubset(TCardMask m, int k, F &&f)
{
    std::array<int, 13> cards{};
    int n = 0;
    for (; m && n < 13; m &= m - 1)
        cards[size_t(n++)] = lowest(m);
    if (k > n || k <= 0)
        return;
    std::array<int, 5> pick{};
    for (int i = 0; i < k; ++i)
        pick[size_t(i)] = i;
    for (;;) {
        TCardMask s = 0;
        for (int i = 0; i < k; ++i)
            s |= bit(cards[size_t(pick[size_t(i)])]);
        f(s);
        int i = k - 1;
        while (i >= 0 && pick[size_t(i)] == n - k + i)
            --i;
        if (i < 0)
            break;
        ++pick[size_t(i)];
        for (int j = i + 1; j < k; ++j)
            pick[size_t(j)] = pick[size_t(j - 1)] + 1;
    }
}

// The five-card combinations of a hand come in groups of rising kind, each group with f
// called on every combination of it (unordered): runs (straights, and straight flushes
// among them), flushes that are not runs, full houses, four of a kind.
enum class FiveGroup { Runs, Flushes, FullHouses, Fours };
constexpr std::array<FiveGroup, 4> kFiveGroups{FiveGroup::Runs, FiveGroup::Flushes, FiveGroup::FullHouses,
                                               FiveGroup::Fours};

template <typename F>
void forEachFiveOf(FiveGroup group, TCardMask hand, F &&f)
{
    auto offer = [&f](TCardMask m) {
        const TCombo c = BotCombos::classify(m);
        if (c.kind != _NoCombo)
            f(c);
    };
    switch (group) {
    case FiveGroup::Runs:
        for (const auto &w : straightWindows()) {
            std::array<TCardMask, 5> at{};
            bool ok = true;
            for (size_t k = 0; k < 5 && ok; ++k) {
                at[k] = hand & rankMask(w[k]);
                ok = at[k] != 0;
            }
            if (!ok)
                continue;
            for (TCardMask a = at[0]; a; a &= a - 1)
                for (TCardMask b = at[1]; b; b &= b - 1)
                    for (TCardMask c = at[2]; c; c &= c - 1)
                        for (TCardMask d = at[3]; d; d &= d - 1)
                            for (TCardMask e = at[4]; e; e &= e - 1)
                                offer(bit(lowest(a)) | bit(lowest(b)) | bit(lowest(c)) | bit(lowest(d))
                                      | bit(lowest(e)));
        }
        break;
    case FiveGroup::Flushes:
        for (int s = 0; s < 4; ++s) {
            forEachSubset(hand & suitMask(s), 5, [&f](TCardMask m) {
                const TCombo c = BotCombos::classify(m);
                if (c.kind == _Flush)
                    f(c);
            });
        }
        break;
    case FiveGroup::FullHouses:
        for (int t = 0; t < 13; ++t) {
            const TCardMask tr = hand & rankMask(t);
            if (count(tr) < 3)
                continue;
            for (int p = 0; p < 13; ++p) {
                if (p == t || count(hand & rankMask(p)) < 2)
                    continue;
                forEachSubset(tr, 3, [&](TCardMask a) {
                    forEachSubset(hand & rankMask(p), 2, [&](TCardMask b) { offer(a | b); });
                });
            }
        }
        break;
    case FiveGroup::Fours:
        for (int t = 0; t < 13; ++t) {
            const TCardMask tr = hand & rankMask(t);
            if (count(tr) == 4) {
                for (TCardMask m = hand & ~tr; m; m &= m - 1)
                    offer(tr | bit(lowest(m)));
            }
        }
        break;
    }
}

// Every key of a group after `group` is at least this (straight flushes, the strongest, are runs).
quint32 keysAfter(FiveGroup group)
{
    const TComboKind next = group == FiveGroup::Runs      ? _Flush
                            : group == FiveGroup::Flushes ? _FullHouse
                                                          : _FourKind;
    return group == FiveGroup::Fours ? ~quint32(0) : quint32(BotCombos::kindScoreOf(next)) << 26;
}

} // namespace

namespace BotCombos {

int kindScoreOf(TComboKind kind)
{
    switch (kind) {
    case _Straight: return 7;
    case _Flush: return 8;
    case _FullHouse: return 9;
    case _FourKind: return 10;
    case _StraightFlush: return 15;
    default: return 0;
    }
}

QString kindName(TComboKind kind)
{
    switch (kind) {
    case _Single: return QStringLiteral("single");
    case _Pair: return QStringLiteral("pair");
    case _Triple: return QStringLiteral("triple");
    case _Straight: return QStringLiteral("straight");
    case _Flush: return QStringLiteral("flush");
    case _FullHouse: return QStringLiteral("full house");
    case _FourKind: return QStringLiteral("four of a kind");
    case _StraightFlush: return QStringLiteral("straight flush");
    default: return QStringLiteral("none");
    }
}

TCombo classify(TCardMask mask)
{
    TCombo c;
    mask &= kFullDeck;
    const int n = count(mask);
    const int top = highest(mask);
    switch (n) {
    case 1:
        c.kind = _Single;
        break;
    case 2:
    case 3:
        if ((mask & rankMask(rankOrder(top))) != mask)
            return {};
        c.kind = n == 2 ? _Pair : _Triple;
        break;
    case 5: {
        int score = 0;
        bool legal = false;
        const quint32 key = fiveKey(indicesOf(mask), &score, &legal);
        c.kind = fiveKind(score);
        if (!legal || c.kind == _NoCombo)
            return {};
        c.mask = mask;
        c.size = 5;
        c.key = key;
        return c;
    }
    default:
        return {};
    }
    c.mask = mask;
    c.size = n;
    c.key = quint32(top + 1);
    return c;
}

TCombo tableCombo(const QStringList &codes)
{
    TCombo c;
    c.size = int(codes.size());
    for (const QString &code : codes) {
        const int i = indexOfCode(code);
        if (i >= 0)
            c.mask |= bit(i);
    }
    if (c.size >= 1 && c.size <= 3) {
        c.key = quint32(indexOfCode(codes.first()) + 1);
        c.kind = c.size == 1 ? _Single : c.size == 2 ? _Pair : _Triple;
    } else if (c.size == 5) {
        std::array<int, 5> idx{};
        for (size_t k = 0; k < 5; ++k)
            idx[k] = indexOfCode(codes.at(qsizetype(k)));
        int score = 0;
        c.key = fiveKey(idx, &score);
        c.kind = fiveKind(score);
    }
    return c;
}

QList<TCombo> enumerate(TCardMask hand, int sizeFilter)
{
    hand &= kFullDeck;
    QList<TCombo> out;
    out.reserve(64);
    auto want = [sizeFilter](int s) { return sizeFilter == 0 || sizeFilter == s; };
    if (want(1)) {
        for (TCardMask m = hand; m; m &= m - 1)
            out << classify(bit(lowest(m)));
    }
    for (int k = 2; k <= 3; ++k) {
        if (!want(k))
            continue;
        for (int r = 0; r < 13; ++r)
            forEachSubset(hand & rankMask(r), k, [&out](TCardMask s) { out << classify(s); });
    }
    if (want(1) || want(2) || want(3))
        std::sort(out.begin(), out.end(),
                  [](const TCombo &a, const TCombo &b) { return a.size != b.size ? a.size < b.size : a.key < b.key; });
    if (!want(5) || count(hand) < 5)
        return out;

    const qsizetype firstFive = out.size();
    for (FiveGroup g : kFiveGroups)
        forEachFiveOf(g, hand, [&out](const TCombo &c) { out << c; });
    std::sort(out.begin() + firstFive, out.end(), [](const TCombo &a, const TCombo &b) { return a.key < b.key; });
    return out;
}

TCombo lowestOver(TCardMask hand, int size, quint32 over, TCardMask holding)
{
    hand &= kFullDeck;
    if ((hand & holding) != holding || count(hand) < size)
        return {};
    if (size == 1 || size == 2 || size == 3) {
        // keys of these are their top card: the first rank, from the bottom, with a high
        // enough card that has size - 1 cards beneath it to go with
        for (int r = 0; r < 13; ++r) {
            const TCardMask at = hand & rankMask(r);
            if (count(at) < size || (holding & ~at))
                continue;
            TCardMask below = holding & at;
            for (TCardMask m = at; m; m &= m - 1) {
                const int top = lowest(m);
                const TCardMask under = at & (bit(top) - 1) & ~below;
                TCardMask pick = (below | bit(top));
                if (highest(pick) != top)
                    continue;
                for (TCardMask u = under; u && count(pick) < size; u &= u - 1)
                    pick |= bit(lowest(u));
                if (count(pick) == size && quint32(top + 1) > over)
                    return classify(pick);
            }
        }
        return {};
    }
    if (size != 5)
        return {};
    TCombo best;
    for (FiveGroup g : kFiveGroups) {
        if (g != FiveGroup::Runs && over >= keysAfter(g))
            continue; // every key of the group is at most `over`
        forEachFiveOf(g, hand, [&](const TCombo &c) {
            if (c.key > over && (c.mask & holding) == holding && (best.isPass() || c.key < best.key))
                best = c;
        });
        if (!best.isPass() && best.key < keysAfter(g))
            break; // nothing later is weaker
    }
    return best;
}

QList<TCombo> throwsOver(TCardMask hand, const TCombo &table)
{
    if (table.size == 0)
        return enumerate(hand);
    if (table.size == 4 || table.size > 5)
        return {};
    QList<TCombo> all = enumerate(hand, table.size);
    QList<TCombo> out;
    for (const TCombo &c : all) {
        if (c.beats(table))
            out << c;
    }
    return out;
}

qint64 strongestKey(TCardMask cards, int size)
{
    cards &= kFullDeck;
    if (size == 1)
        return cards ? qint64(highest(cards) + 1) : -1;
    if (size == 2 || size == 3) {
        for (int r = 12; r >= 0; --r) {
            const TCardMask m = cards & rankMask(r);
            if (count(m) >= size)
                return qint64(highest(m) + 1);
        }
        return -1;
    }
    if (size != 5 || count(cards) < 5)
        return -1;
    qint64 best = -1;
    auto consider = [&best](TCardMask m) {
        const TCombo c = classify(m);
        if (c.kind != _NoCombo)
            best = std::max(best, qint64(c.key));
    };
    for (const auto &w : straightWindows()) {
        TCardMask pick = 0;
        bool ok = true;
        for (int r : w) {
            const TCardMask at = cards & rankMask(r);
            ok = ok && at;
            if (at)
                pick |= bit(highest(at));
        }
        if (!ok)
            continue;
        consider(pick);
        for (int s = 0; s < 4; ++s) {
            TCardMask run = 0;
            for (int r : w)
                run |= cards & rankMask(r) & suitMask(s);
            if (count(run) == 5)
                consider(run);
        }
    }
    for (int s = 0; s < 4; ++s) {
        TCardMask m = cards & suitMask(s);
        while (count(m) > 5)
            m &= m - 1; // drop the lowest
        if (count(m) == 5)
            consider(m);
    }
    for (int t = 0; t < 13; ++t) {
        const TCardMask tr = cards & rankMask(t);
        const int nt = count(tr);
        if (nt == 4 && (cards & ~tr))
            consider(tr | bit(highest(cards & ~tr)));
        if (nt < 3)
            continue;
        TCardMask three = tr;
        while (count(three) > 3)
            three &= three - 1;
        for (int p = 0; p < 13; ++p) {
            TCardMask pr = p == t ? 0 : cards & rankMask(p);
            if (count(pr) < 2)
                continue;
            while (count(pr) > 2)
                pr &= pr - 1;
            consider(three | pr);
        }
    }
    return best;
}

} // namespace BotCombos

TMoveGenerator::TMoveGenerator(TCombinationRules &rules) : m_rules(rules) {}

QStringList TMoveGenerator::selectionOf(const TCombo &combo)
{
    return BotCards::codesOf(combo.mask);
}

bool TMoveGenerator::accepts(const TCombo &combo, const QStringList &tableCodes)
{
    if (combo.size == 0)
        return true; // a pass is always open to the player whose turn it is
    return m_rules.isValidThrow(selectionOf(combo), combo.size, tableCodes);
}

QList<TCombo> TMoveGenerator::legalThrows(TCardMask hand, const QStringList &tableCodes)
{
    const TCombo table = BotCombos::tableCombo(tableCodes);
    QList<TCombo> out;
    for (const TCombo &c : BotCombos::throwsOver(hand, table)) {
        if (accepts(c, tableCodes))
            out << c;
    }
    return out;
}
