#include "rules/handhandling.h"
// placeholder until the hand handling lands
void THandHandling::cardControl(TPlayCard *) {}
void THandHandling::btnCardDownClick() {}
void THandHandling::btnSortNClick() {}
void THandHandling::btnSortFClick() {}
void THandHandling::btnThrowClick() {}
void THandHandling::compactHand() {}
void THandHandling::showHand(bool) {}
int THandHandling::countPlayerCards(int) const { return 0; }
QStringList THandHandling::handCodes() const { return {}; }
QStringList THandHandling::selectionCodes() const { return {}; }
QStringList THandHandling::tableCodes() const { return {}; }
bool THandHandling::isRaised(const TPlayCard *) { return false; }
void THandHandling::sortHand(bool) {}
