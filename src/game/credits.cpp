#include "game/credits.h"

int creditLoss(int cardsLeft)
{
    if (cardsLeft <= 0)
        return 0;
    if (cardsLeft <= 9)
        return cardsLeft;
    if (cardsLeft <= 12)
        return 2 * cardsLeft;
    return 39;
}
