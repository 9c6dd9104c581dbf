#pragma once
// The local player's hand: raising cards, sorting, throwing, closing the gaps.
#include <QString>
#include <QStringList>

class TmainFrm;
class TPlayCard;

class THandHandling
{
public:
    explicit THandHandling(TmainFrm &w) : w(w) {}

    void cardControl(TPlayCard *slot);
    void btnCardDownClick();
    void btnSortNClick();
    void btnSortFClick();
    void btnThrowClick();
    void compactHand();
    void showHand(bool faceUp);
    int countPlayerCards(int seat) const;

    QStringList handCodes() const;       // codes of the visible own slots, in slot order
    QStringList selectionCodes() const;  // codes of the visible raised own slots, in slot order
    QStringList tableCodes() const;      // codes of the visible table slots from "outC1" on
    static bool isRaised(const TPlayCard *slot);
    // Sets or clears the raised mark and puts the slot at the matching height.
    static void setRaised(TPlayCard *slot, bool up);

    static constexpr int kLoweredTop = 216;
    static constexpr int kRaisedTop = 206;

private:
    void sortHand(bool byNumber);
    TmainFrm &w;
    bool m_throwing = false;
};
