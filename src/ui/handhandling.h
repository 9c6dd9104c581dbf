#pragma once
// The own hand as the window holds it (the order the player sorted it in, the raised cards), and the
// buttons that act at the table: they become the client model's actions, or the owner's rights at a
// table this window hosts.
#include <QSet>
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
    void btnPassClick();
    void btnNewClick();
    void btnStopClick();
    void btnPingClick();
    // A new deal: the hand comes sorted by number, nothing raised.
    void newHand(const QStringList &codes);
    // Shows the model's hand in the window's order: cards gone leave no gap, new ones come last.
    void showHand(const QStringList &codes, bool faceUp);
    int countPlayerCards(int seat) const;

    QStringList handCodes() const;       // codes of the visible own slots, in slot order
    QStringList selectionCodes() const;  // codes of the visible raised own slots, in slot order
    int selectedCount() const { return int(m_raised.size()); }
    static bool isRaised(const TPlayCard *slot);
    // Sets or clears the raised mark and puts the slot at the matching height.
    static void setRaised(TPlayCard *slot, bool up);

    static constexpr int kLoweredTop = 216;
    static constexpr int kRaisedTop = 206;

private:
    void sortHand(bool byNumber);
    TmainFrm &w;
    QStringList m_order;     // the own cards in the order shown
    QSet<QString> m_raised;  // raised cards, at most five
};
