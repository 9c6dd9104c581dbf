#pragma once
// Deck engine: 52 cards to draw from at random, and the weights that value a card.
#include "cards/cardcode.h"
#include <QString>
#include <QStringList>
#include <array>
#include <random>

class TCardEng
{
public:
    // Built-in default weights, a full deck, a generator seeded once from the OS entropy source.
    TCardEng();

    void ResetDeck();
    bool IsDeckEmpty() const;
    // Removes one card, uniformly among those left, and returns its code; "" on an empty deck.
    QString DrawCard();
    // rankWeight + suitWeight under the current weights; 0 for text that is not a card code.
    int CardValue(const QString &code) const;
    void SetRankWeight(TNumberType rank, int weight);
    void SetSuitWeight(TFlowerType suit, int weight);

    int cardsLeft() const;
    bool inDeck(const QString &code) const;

    // Repeatable draws for tests and tools.
    void seed(quint64 value);
    // The next draws return these codes in order (those still in the deck), then random ones.
    void stackDeck(const QStringList &codes);

private:
    std::array<bool, 52> m_inDeck{};
    std::array<int, 13> m_rankWeight{};
    std::array<int, 4> m_suitWeight{};
    std::mt19937_64 m_rng;
    QStringList m_stacked;
    const char *m_banner;
};
