#pragma once
// Which selections may be thrown and which combination beats which.
// Lists are taken by value: a test may reorder its own copy, never the caller's list.
#include "cards/cardeng.h"
#include <QStringList>

class TCombinationRules
{
public:
    explicit TCombinationRules(TCardEng &engine);

    void useGameWeights();
    void useNaturalWeights();

    int nthLowestValue(QStringList list, int n);
    bool hasRankCount(QStringList list, int n);
    bool isFlush(QStringList list);
    bool isStraight(QStringList list);
    bool hasFourTwos(QStringList hand);
    bool isThirteenRun(QStringList hand);
    // Five-card kind score: 10 four of a kind, 9 triple, 8 flush, 7 straight, summed.
    int kindScore(QStringList list);
    bool beatsTable(QStringList newList, QStringList table);
    bool isValidThrow(QStringList selection, int n, QStringList table);

    // Rank tier of a card: its game value div 10 (3..13, A 15, 2 20).
    int rankTier(int gameValue) const { return gameValue / 10; }

private:
    TCardEng &m_eng;
};
