#pragma once
// TPlayCard: one card on the table, face up or face down, turning mouse input into clicks.
#include "cards/cardcode.h"
#include <QPixmap>
#include <QWidget>

class QPainter;

class TPlayCard : public QWidget
{
    Q_OBJECT
public:
    explicit TPlayCard(QWidget *parent);

    TFlowerType cardFlower() const { return m_flower; }
    void setCardFlower(TFlowerType f);
    TNumberType cardNumber() const { return m_number; }
    void setCardNumber(TNumberType n);
    TCardStatus cardStatus() const { return m_status; }
    void setCardStatus(TCardStatus s);

    void OpenCard();
    void CloseCard();
    void SetCard(TFlowerType f, TNumberType n);
    void SetCardCode(const QString &code); // an invalid code changes nothing
    QString GetCardCode() const;

    QString rankText() const { return m_rankLabel; }
    int suitImageIndex() const { return m_suitImageIndex; }
    QString About() const { return m_about; }

    // The keyboard's focus: a frame around the card while it is the one the keys act on.
    bool keyFocus() const { return m_keyFocus; }
    void setKeyFocus(bool focused);
    static constexpr int kDesignWidth = 31;

    // How a screen reader names a card: "Queen of Hearts".
    static QString spokenName(TFlowerType f, TNumberType n);
    // The control's accessible name from the card, its face and its raised mark ("Queen of Hearts, raised").
    void refreshAccessibleName();

signals:
    void OnLeftClick(TPlayCard *sender);
    void OnRightClick(TPlayCard *sender);
    void OnMouseEnter(TPlayCard *sender);
    void OnMouseExit(TPlayCard *sender);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;

private:
    void mouseEntered();
    void mouseLeft();
    void loadPictures();
    qreal shownScale() const;
    void paintKeyFocus(QPainter &p);
    QPixmap m_backImage;
    QPixmap m_suitImages[4];
    qreal m_picturesRatio = 1.0;
    qreal m_picturesScale = 1.0;
    bool m_keyFocus = false;
    TFlowerType m_flower = _Spade;
    TNumberType m_number = _A;
    TCardStatus m_status = _Open;
    QString m_rankLabel = QStringLiteral("A");
    int m_suitImageIndex = 1;
    bool m_leftPressed = false;
    bool m_rightPressed = false;
    bool m_mouseInside = false;
    QString m_about;
};
