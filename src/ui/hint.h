#pragma once
// The hint of the local player's turn: the move the searching computer player (level 4, the
// strongest) would make with what this copy knows (the own hand, the cards thrown, the table,
// every seat's card count and pass, the moves of the deal), shown by raising the cards, or "Pass"
// on the status bar. Nothing is sent: the player throws or passes.
#include "bot/searchstrategy.h"
#include "cards/cardeng.h"
#include "rules/rules.h"

class TmainFrm;

class THint
{
public:
    explicit THint(TmainFrm &w);

    // The local player is to move in a deal.
    bool available() const;
    // Raises the hinted cards (after lowering all) or says "Pass"; false when no hint is available.
    bool give();

private:
    TmainFrm &w;
    // kept for the table's life: what it has seen of the other players' style stays with it
    TSearchStrategy m_search;
    TCardEng m_eng;
    TCombinationRules m_rules{m_eng};
    TMoveGenerator m_moves{m_rules};
};
