#include "cards/cardeng.h"
// placeholder until the deck engine lands
TCardEng::TCardEng() : m_banner("") {}
void TCardEng::ResetDeck() {}
bool TCardEng::IsDeckEmpty() const { return true; }
QString TCardEng::DrawCard() { return {}; }
int TCardEng::CardValue(const QString &) const { return 0; }
void TCardEng::SetRankWeight(TNumberType, int) {}
void TCardEng::SetSuitWeight(TFlowerType, int) {}
int TCardEng::cardsLeft() const { return 0; }
bool TCardEng::inDeck(const QString &) const { return false; }
void TCardEng::seed(quint64) {}
void TCardEng::stackDeck(const QStringList &) {}
