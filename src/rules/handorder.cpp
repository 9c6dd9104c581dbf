#include "rules/handorder.h"
#include "cards/cardcode.h"

namespace {
// Text that is not a card code sorts after every real card, in either order.
void rankAndSuit(const QString &code, int &rank, int &suit)
{
    if (!parseCardCode(code, &suit, &rank)) {
        rank = 14;
        suit = 5;
    }
}
} // namespace

bool comesAfter(const QString &x, const QString &y, bool byNumber)
{
    int rx, sx, ry, sy;
    rankAndSuit(x, rx, sx);
    rankAndSuit(y, ry, sy);
    if (byNumber)
        return ry < rx || (ry == rx && sy < sx);
    return sy < sx || (sy == sx && rx < ry);
}

void sortCodes(QStringList &list, bool byNumber)
{
    const qsizetype n = list.size();
    for (qsizetype p = 0; p + 1 < n; ++p) {
        bool swapped = false;
        for (qsizetype j = 0; j + 1 < n - p; ++j) {
            if (comesAfter(list.at(j), list.at(j + 1), byNumber)) {
                list.swapItemsAt(j, j + 1);
                swapped = true;
            }
        }
        if (!swapped)
            break;
    }
}
