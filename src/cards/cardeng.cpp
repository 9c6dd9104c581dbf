#include "cards/cardeng.h"

namespace {
int deckIndex(int suitDigit, int rankNumber)
{
    return (suitDigit - 1) * 13 + (rankNumber - 1);
}
} // namespace

TCardEng::TCardEng() : m_banner("Quadrix deck engine")
{
    std::random_device rd;
    std::seed_seq seq{rd(), rd(), rd(), rd(), rd(), rd(), rd(), rd()};
    m_rng.seed(seq);
    for (int r = 0; r < 13; ++r)
        m_rankWeight[r] = (r + 1) * 10;
    for (int s = 0; s < 4; ++s)
        m_suitWeight[s] = s + 1;
    ResetDeck();
}

void TCardEng::ResetDeck()
{
    m_inDeck.fill(true);
}

bool TCardEng::IsDeckEmpty() const
{
    return cardsLeft() == 0;
}

QString TCardEng::DrawCard()
{
    while (!m_stacked.isEmpty()) {
        const QString code = m_stacked.takeFirst();
        int s = 0, r = 0;
        if (parseCardCode(code, &s, &r) && m_inDeck[deckIndex(s, r)]) {
            m_inDeck[deckIndex(s, r)] = false;
            return cardCode(s, r);
        }
    }
    const int left = cardsLeft();
    if (left == 0)
        return {};
    std::uniform_int_distribution<int> pick(0, left - 1);
    int k = pick(m_rng);
    for (int i = 0; i < 52; ++i) {
        if (!m_inDeck[i])
            continue;
        if (k-- == 0) {
            m_inDeck[i] = false;
            return cardCode(i / 13 + 1, i % 13 + 1);
        }
    }
    return {};
}

int TCardEng::CardValue(const QString &code) const
{
    int s = 0, r = 0;
    if (!parseCardCode(code, &s, &r))
        return 0;
    return m_suitWeight[s - 1] + m_rankWeight[r - 1];
}

void TCardEng::SetRankWeight(TNumberType rank, int weight)
{
    if (int(rank) >= 0 && int(rank) < 13)
        m_rankWeight[rank] = weight;
}

void TCardEng::SetSuitWeight(TFlowerType suit, int weight)
{
    if (int(suit) >= 0 && int(suit) < 4)
        m_suitWeight[suit] = weight;
}

int TCardEng::cardsLeft() const
{
    int n = 0;
    for (bool b : m_inDeck)
        n += b ? 1 : 0;
    return n;
}

bool TCardEng::inDeck(const QString &code) const
{
    int s = 0, r = 0;
    return parseCardCode(code, &s, &r) && m_inDeck[deckIndex(s, r)];
}

void TCardEng::seed(quint64 value)
{
    m_rng.seed(value);
}

void TCardEng::stackDeck(const QStringList &codes)
{
    m_stacked = codes;
}
