#include "game/clientside.h"
// placeholder until the client side lands
bool TClientSide::handleTag(const QString &, const QString &) { return false; }
void TClientSide::refuse(const QString &, bool) {}
