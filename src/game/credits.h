#pragma once
// What a player pays the winner of a deal for the cards left in the hand.

// 0 cards: 0; 1 to 9: one credit each; 10 to 12: two each; all 13: 39.
int creditLoss(int cardsLeft);
