#include "game/dealend.h"
// placeholder until the deal end lands
int TDealEnd::lossFor(int) { return 0; }
void TDealEnd::endDeal(int, const QString &) {}
void TDealEnd::settleCredits(const QString &) {}
void TDealEnd::onCredit(const QString &, const QString &, const QString &) {}
bool TDealEnd::onIStart(const QString &) { return false; }
