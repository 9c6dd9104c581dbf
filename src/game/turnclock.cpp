#include "game/turnclock.h"

int countdownSeconds(int handCount, int tableCount, const QString &firstTableCode, const QString &firstHandCode,
                     int tableValue, int handValue)
{
    Q_UNUSED(firstHandCode);
    if (handCount < tableCount)
        return 3;
    if (tableCount >= 1 && tableCount <= 4 && firstTableCode == QLatin1String("12"))
        return 3;
    if (tableCount == 1 && handCount == 1 && tableValue > handValue)
        return 3;
    return 60;
}
