#include "game/gameflow.h"
// placeholder until the game flow lands
void TGameFlow::btnNewClick() {}
void TGameFlow::startDeal() {}
void TGameFlow::onSmallestCard(int, int) {}
void TGameFlow::onWhoseTurn(const QString &) {}
void TGameFlow::onCard(const QString &, int, const QString &) {}
void TGameFlow::onUser(const QString &, const QString &, const QString &, int, int) {}
void TGameFlow::showTurn(int) {}
void TGameFlow::applyThrow(int, const QString &, int, const QString &) {}
void TGameFlow::btnPassClick() {}
bool TGameFlow::seatPlayer(const QString &, const QString &, int, int) { return false; }
bool TGameFlow::unseatPlayer(const QString &) { return false; }
