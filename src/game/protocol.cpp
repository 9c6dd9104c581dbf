#include "game/protocol.h"
// placeholder until the message catalogue lands
bool strictToInt(const QString &, int *) { return false; }
int lenientToInt(const QString &) { return 0; }
QString letterSpaced(const QString &n) { return n; }
