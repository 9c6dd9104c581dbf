#include "cards/playcard.h"
// placeholder until the card control lands
TPlayCard::TPlayCard(QWidget *parent) : QWidget(parent) { setGeometry(0, 0, 31, 44); }
void TPlayCard::setCardFlower(TFlowerType f) { SetCard(f, m_number); }
void TPlayCard::setCardNumber(TNumberType n) { SetCard(m_flower, n); }
void TPlayCard::setCardStatus(TCardStatus s) { m_status = s; update(); }
void TPlayCard::OpenCard() { setCardStatus(_Open); }
void TPlayCard::CloseCard() { setCardStatus(_Close); }
void TPlayCard::SetCard(TFlowerType f, TNumberType n) { m_flower = f; m_number = n; update(); }
void TPlayCard::SetCardCode(const QString &code)
{
    int s = 0, r = 0;
    if (parseCardCode(code, &s, &r))
        SetCard(TFlowerType(s - 1), TNumberType(r - 1));
}
QString TPlayCard::GetCardCode() const { return cardCode(m_flower, m_number); }
void TPlayCard::paintEvent(QPaintEvent *) {}
void TPlayCard::mousePressEvent(QMouseEvent *) {}
void TPlayCard::mouseReleaseEvent(QMouseEvent *) {}
void TPlayCard::mouseMoveEvent(QMouseEvent *) {}
void TPlayCard::enterEvent(QEnterEvent *) {}
void TPlayCard::leaveEvent(QEvent *) {}
void TPlayCard::mouseEntered() {}
void TPlayCard::mouseLeft() {}
