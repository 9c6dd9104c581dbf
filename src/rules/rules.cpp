#include "rules/rules.h"
#include "rules/handorder.h"
#include <algorithm>
#include <array>
#include <vector>

namespace {
// Puts the game weights back however the test leaves its scope.
class GameWeightsOnExit
{
public:
    explicit GameWeightsOnExit(TCombinationRules &rules) : m_rules(rules) {}
    ~GameWeightsOnExit() { m_rules.useGameWeights(); }
    GameWeightsOnExit(const GameWeightsOnExit &) = delete;
    GameWeightsOnExit &operator=(const GameWeightsOnExit &) = delete;

private:
    TCombinationRules &m_rules;
};

bool allCardCodes(const QStringList &list)
{
    return std::all_of(list.cbegin(), list.cend(), [](const QString &c) { return isCardCode(c); });
}
} // namespace

TCombinationRules::TCombinationRules(TCardEng &engine) : m_eng(engine) {}

void TCombinationRules::useGameWeights()
{
    for (int r = _3; r <= _K; ++r)
        m_eng.SetRankWeight(TNumberType(r), (r + 1) * 10);
    m_eng.SetRankWeight(_A, 150);
    m_eng.SetRankWeight(_2, 200);
    m_eng.SetSuitWeight(_Spade, 4);
    m_eng.SetSuitWeight(_Heart, 3);
    m_eng.SetSuitWeight(_Cloves, 2);
    m_eng.SetSuitWeight(_Diamond, 1);
}

void TCombinationRules::useNaturalWeights()
{
    for (int r = _A; r <= _K; ++r)
        m_eng.SetRankWeight(TNumberType(r), r + 1);
    for (int s = _Spade; s <= _Diamond; ++s)
        m_eng.SetSuitWeight(TFlowerType(s), 0);
}

int TCombinationRules::nthLowestValue(QStringList list, int n)
{
    if (n < 1 || n > list.size())
        return 0;
    std::vector<int> values;
    values.reserve(size_t(list.size()));
    for (const QString &c : list)
        values.push_back(m_eng.CardValue(c));
    std::sort(values.begin(), values.end());
    return values[size_t(n - 1)];
}

bool TCombinationRules::hasRankCount(QStringList list, int n)
{
    GameWeightsOnExit restore(*this);
    if (n > list.size())
        return false;
    useNaturalWeights();
    std::array<int, 14> count{};
    for (const QString &c : list) {
        const int rank = m_eng.CardValue(c);
        if (rank >= 1 && rank <= 13) // a text that is not a card counts for no rank
            ++count[size_t(rank)];
    }
    return std::any_of(count.begin() + 1, count.end(), [n](int k) { return k == n; });
}

bool TCombinationRules::isFlush(QStringList list)
{
    if (list.size() < 2 || !allCardCodes(list))
        return false;
    const QChar suit = list.first().at(0);
    return std::all_of(list.cbegin(), list.cend(), [suit](const QString &c) { return c.at(0) == suit; });
}

bool TCombinationRules::isStraight(QStringList list)
{
    GameWeightsOnExit restore(*this);
    if (list.size() != 5 || !allCardCodes(list))
        return false;
    sortCodes(list, true);
    useNaturalWeights();
    std::array<int, 5> v{};
    for (int i = 0; i < 5; ++i)
        v[size_t(i)] = m_eng.CardValue(list.at(i));
    for (size_t i = 2; i < 5; ++i) {
        if (v[i] != v[i - 1] + 1)
            return false;
    }
    if (v[1] == v[0] + 1)
        return true;
    // the only run that passes the ace: 10-J-Q-K-A
    return v[0] == 1 && v[1] == 10 && v[4] == 13;
}

bool TCombinationRules::hasFourTwos(QStringList hand)
{
    std::array<bool, 5> twoOfSuit{};
    for (const QString &c : hand) {
        int suit = 0, rank = 0;
        if (parseCardCode(c, &suit, &rank) && rank == 2)
            twoOfSuit[size_t(suit)] = true;
    }
    return std::count(twoOfSuit.begin(), twoOfSuit.end(), true) == 4;
}

bool TCombinationRules::isThirteenRun(QStringList hand)
{
    GameWeightsOnExit restore(*this);
    if (hand.size() != 13)
        return false;
    useNaturalWeights();
    std::vector<int> ranks;
    for (const QString &c : hand)
        ranks.push_back(m_eng.CardValue(c));
    std::sort(ranks.begin(), ranks.end());
    for (size_t i = 0; i < ranks.size(); ++i) {
        if (ranks[i] != int(i) + 1)
            return false;
    }
    return true;
}

int TCombinationRules::kindScore(QStringList list)
{
    int score = 0;
    if (hasRankCount(list, 4))
        score += 10;
    if (hasRankCount(list, 3))
        score += 9;
    if (isFlush(list))
        score += 8;
    if (isStraight(list))
        score += 7;
    return score;
}

bool TCombinationRules::beatsTable(QStringList newList, QStringList table)
{
    useGameWeights();
    const qsizetype n = newList.size();
    if (n != table.size())
        return false;
    if (n >= 1 && n <= 3)
        return m_eng.CardValue(newList.first()) > m_eng.CardValue(table.first());
    if (n != 5)
        return false;

    const int kindNew = kindScore(newList);
    const int kindOld = kindScore(table);
    if (kindNew != kindOld)
        return kindNew > kindOld;
    for (int k = 5; k >= 1; --k) {
        const int tierNew = rankTier(nthLowestValue(newList, k));
        const int tierOld = rankTier(nthLowestValue(table, k));
        if (tierNew != tierOld)
            return tierNew > tierOld;
    }
    return nthLowestValue(newList, 5) > nthLowestValue(table, 5);
}

bool TCombinationRules::isValidThrow(QStringList selection, int n, QStringList table)
{
    // the selection must be exactly the n raised cards, real and distinct
    if (selection.size() != n || !allCardCodes(selection) || selection.removeDuplicates() != 0)
        return false;
    const qsizetype t = table.size();
    if (t != 0 && n != t)
        return false;

    bool legal = false;
    switch (n) {
    case 1:
        legal = true;
        break;
    case 2:
        legal = hasRankCount(selection, 2);
        break;
    case 3:
        legal = hasRankCount(selection, 3);
        break;
    case 5:
        legal = hasRankCount(selection, 4) || isFlush(selection)
                || (hasRankCount(selection, 3) && hasRankCount(selection, 2)) || isStraight(selection);
        break;
    default:
        break;
    }
    if (!legal)
        return false;
    return t == 0 || beatsTable(selection, table);
}
