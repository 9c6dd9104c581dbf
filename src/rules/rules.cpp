#include "rules/rules.h"
// placeholder until the combination rules land
TCombinationRules::TCombinationRules(TCardEng &e) : m_eng(e) {}
void TCombinationRules::useGameWeights() {}
void TCombinationRules::useNaturalWeights() {}
int TCombinationRules::nthLowestValue(QStringList, int) { return 0; }
bool TCombinationRules::hasRankCount(QStringList, int) { return false; }
bool TCombinationRules::isFlush(QStringList) { return false; }
bool TCombinationRules::isStraight(QStringList) { return false; }
bool TCombinationRules::hasFourTwos(QStringList) { return false; }
bool TCombinationRules::isThirteenRun(QStringList) { return false; }
int TCombinationRules::kindScore(QStringList) { return 0; }
bool TCombinationRules::beatsTable(QStringList, QStringList) { return false; }
bool TCombinationRules::isValidThrow(QStringList, int, QStringList) { return false; }
