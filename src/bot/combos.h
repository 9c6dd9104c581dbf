#pragma once
// The computer player's view of cards: a card is an index 0..51 in order of strength
// (0 the Diamond 3, 51 the Spade 2), a set of cards is a 64-bit mask, and a combination
// carries a key that orders it against every other combination of its size exactly as
// TCombinationRules::beatsTable does. TMoveGenerator checks what it proposes with the rules.
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class TCombinationRules;

using TCardMask = quint64;

namespace BotCards {
constexpr int kDeckSize = 52;
// -1 for text that is not a card code.
int indexOfCode(const QString &code);
QString codeOfIndex(int index);
// 0 for the 3 up to 10 for the K, 11 the ace, 12 the 2.
inline int rankOrder(int index) { return index >> 2; }
// 0 Diamond, 1 Cloves, 2 Heart, 3 Spade.
inline int suitOrder(int index) { return index & 3; }
inline TCardMask bit(int index) { return TCardMask(1) << index; }
// Counted in place: without a processor-specific build the builtin becomes a library call,
// and counting is much of the time a searching player spends.
inline int count(TCardMask m)
{
    m = m - ((m >> 1) & 0x5555555555555555ULL);
    m = (m & 0x3333333333333333ULL) + ((m >> 2) & 0x3333333333333333ULL);
    m = (m + (m >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return int((m * 0x0101010101010101ULL) >> 56);
}
inline int lowest(TCardMask m) { return m ? __builtin_ctzll(m) : -1; }
inline int highest(TCardMask m) { return m ? 63 - __builtin_clzll(m) : -1; }
// The four cards of one rank order.
inline TCardMask rankMask(int rankOrder) { return TCardMask(0xF) << (rankOrder * 4); }
TCardMask suitMask(int suitOrder);
constexpr TCardMask kFullDeck = (TCardMask(1) << 52) - 1;
// Codes of the cards of a mask, in the hand's order by number (sortCodes(list, true)).
QStringList codesOf(TCardMask mask);
// Mask of the valid, distinct codes of a list; *bad counts the rest (invalid or repeated).
TCardMask maskOf(const QStringList &codes, int *bad = nullptr);
} // namespace BotCards

enum TComboKind {
    _NoCombo,
    _Single,
    _Pair,
    _Triple,
    _Straight,
    _Flush,
    _FullHouse,
    _FourKind,
    _StraightFlush
};

struct TCombo
{
    TCardMask mask = 0;
    int size = 0;           // 0: a pass
    TComboKind kind = _NoCombo;
    quint32 key = 0;        // among combinations of one size, higher key beats lower

    bool isPass() const { return size == 0; }
    bool beats(const TCombo &table) const { return size == table.size && key > table.key; }
    bool operator==(const TCombo &o) const { return mask == o.mask && key == o.key; }
};

namespace BotCombos {
// Legal combination of these cards (the rules' tests by size), or a combo of kind _NoCombo.
TCombo classify(TCardMask mask);
// The table as the rules read it: 1..3 cards are compared by the FIRST code of the list,
// five cards by kind score, rank tiers and top card. Codes that are not cards value 0.
TCombo tableCombo(const QStringList &codes);
// Every legal combination that can be made from the hand; sizes filtered by sizeFilter
// (0 for every size). Singles, pairs and triples come by rising key; five-card hands after.
QList<TCombo> enumerate(TCardMask hand, int sizeFilter = 0);
// The combination of `size` cards from the hand with the lowest key above `over` that holds
// every card of `holding`; a pass when there is none. Among equal keys it prefers lower cards.
TCombo lowestOver(TCardMask hand, int size, quint32 over, TCardMask holding = 0);
// Every throw from the hand that the table accepts (any legal one on a clear table).
QList<TCombo> throwsOver(TCardMask hand, const TCombo &table);
// The strongest key among combinations of one size that could be made from these cards;
// -1 when none can be made.
qint64 strongestKey(TCardMask cards, int size);
int kindScoreOf(TComboKind kind);
QString kindName(TComboKind kind);
} // namespace BotCombos

// Throws checked by the project's rules, the single judge of what may be thrown.
class TMoveGenerator
{
public:
    explicit TMoveGenerator(TCombinationRules &rules);
    // The selection exactly as the window throws it: codes sorted by number.
    static QStringList selectionOf(const TCombo &combo);
    bool accepts(const TCombo &combo, const QStringList &tableCodes);
    // Every throw from the hand that isValidThrow accepts against this table.
    QList<TCombo> legalThrows(TCardMask hand, const QStringList &tableCodes);

private:
    TCombinationRules &m_rules;
};
