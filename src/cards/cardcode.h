#pragma once
// Card model: suits, ranks, face state, and the text codes by which cards travel.
#include <QString>
#include <QStringList>

enum TFlowerType { _Spade, _Heart, _Cloves, _Diamond };
enum TNumberType { _A, _2, _3, _4, _5, _6, _7, _8, _9, _10, _J, _Q, _K };
enum TCardStatus { _Open, _Close };

// A code is the suit digit "1".."4" followed by the rank number 1..13 ("310" is the Cloves 10).
// On success stores the suit digit (1..4) and the rank number (1..13).
bool parseCardCode(const QString &code, int *suitDigit = nullptr, int *rankNumber = nullptr);
bool isCardCode(const QString &code);
QString cardCode(int suitDigit, int rankNumber);
QString cardCode(TFlowerType suit, TNumberType rank);

// Rank label as printed on a card face: "A", "2".."10", "J", "Q", "K".
QString rankLabel(TNumberType rank);

// A card list is the codes each followed by "#": "33#43#". Empty pieces are skipped.
QStringList splitCardList(const QString &list);
QString joinCardList(const QStringList &codes);
