#pragma once
// What the player at one seat of a table model knows, as the computer players read it: its own
// hand, the cards thrown in the deal, the table, every seat's card count and pass, and the moves
// of the deal so far. Seats are relative to that player, in the order the turn goes round.
#include "bot/strategy.h"

class TTable;

TBotView botViewOf(const TTable &table, int seat);
