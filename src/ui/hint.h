#pragma once
// The hint of the local player's turn: the move the searching computer player would make with
// what this copy knows (the own hand, the table, every seat's card count and pass), shown by
// raising the cards, or "Pass" on the status bar. Nothing is sent: the player throws or passes.
#include "bot/combos.h"
#include "bot/strategy.h"

class TmainFrm;
class TTable;

class THint
{
public:
    explicit THint(TmainFrm &w) : w(w) {}

    // The local player is to move in a deal.
    bool available() const;
    // Raises the hinted cards (after lowering all) or says "Pass"; false when no hint is available.
    bool give();

    // What the player at this absolute seat knows of the table, seats relative to it. Cards
    // thrown before the table now are not kept by the model: they count as unseen.
    static TBotView viewOf(const TTable &table, int seat);

private:
    TmainFrm &w;
    quint64 m_asked = 0; // seeds each hint differently
};
