#pragma once
// How many seconds a player has for a turn: 3 when it plainly cannot beat the table, else 60.
#include <QString>

int countdownSeconds(int handCount, int tableCount, const QString &firstTableCode, const QString &firstHandCode,
                     int tableValue, int handValue);
