#include "cards/cardcode.h"
// placeholder until the card model lands
bool parseCardCode(const QString &, int *, int *) { return false; }
bool isCardCode(const QString &c) { return parseCardCode(c); }
QString cardCode(int s, int r) { return QString::number(s) + QString::number(r); }
QString cardCode(TFlowerType s, TNumberType r) { return cardCode(int(s) + 1, int(r) + 1); }
QString rankLabel(TNumberType) { return {}; }
QStringList splitCardList(const QString &) { return {}; }
QString joinCardList(const QStringList &) { return {}; }
