#include "ui/playcard.h"
#include "ui/pictures.h"
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

TPlayCard::TPlayCard(QWidget *parent)
    : QWidget(parent),
      m_about(QStringLiteral("TPlayCard 1.11 - one playing card, face up or face down"))
{
    setGeometry(0, 0, 31, 44);
    // Crossings are detected from plain moves as well, so moves must arrive without a button held.
    setMouseTracking(true);
    setFont(cardFont());
    loadPictures();
}

void TPlayCard::loadPictures()
{
    m_picturesRatio = devicePixelRatioF();
    m_picturesScale = shownScale();
    m_backImage = scaledCardBack(m_picturesScale, m_picturesRatio);
    for (int i = 0; i < 4; ++i)
        m_suitImages[i] = scaledSuit(i + 1, m_picturesScale, m_picturesRatio);
}

qreal TPlayCard::shownScale() const
{
    return width() / qreal(kDesignWidth);
}

void TPlayCard::setKeyFocus(bool focused)
{
    if (m_keyFocus == focused)
        return;
    m_keyFocus = focused;
    update();
}

void TPlayCard::setCardFlower(TFlowerType f)
{
    SetCard(f, m_number);
}

void TPlayCard::setCardNumber(TNumberType n)
{
    SetCard(m_flower, n);
}

void TPlayCard::setCardStatus(TCardStatus s)
{
    if (s == _Close)
        CloseCard();
    else
        OpenCard();
}

void TPlayCard::OpenCard()
{
    m_status = _Open;
    refreshAccessibleName();
    repaint();
}

void TPlayCard::CloseCard()
{
    m_status = _Close;
    refreshAccessibleName();
    repaint();
}

QString TPlayCard::spokenName(TFlowerType f, TNumberType n)
{
    static const char *const ranks[] = {"Ace", "Two", "Three", "Four", "Five", "Six", "Seven",
                                        "Eight", "Nine", "Ten", "Jack", "Queen", "King"};
    static const char *const suits[] = {"Spades", "Hearts", "Clubs", "Diamonds"};
    return QStringLiteral("%1 of %2").arg(QLatin1String(ranks[n]), QLatin1String(suits[f]));
}

void TPlayCard::refreshAccessibleName()
{
    QString name = m_status == _Close ? QStringLiteral("Card face down") : spokenName(m_flower, m_number);
    if (property("mark").toString() == QLatin1String("UP"))
        name += QStringLiteral(", raised");
    if (name != accessibleName())
        setAccessibleName(name);
}

void TPlayCard::SetCard(TFlowerType f, TNumberType n)
{
    m_flower = f;
    m_number = n;
    m_suitImageIndex = int(f) + 1;
    m_rankLabel = rankLabel(n);
    refreshAccessibleName();
    repaint();
}

void TPlayCard::SetCardCode(const QString &code)
{
    int suit = 0, rank = 0;
    if (!parseCardCode(code, &suit, &rank))
        return;
    SetCard(TFlowerType(suit - 1), TNumberType(rank - 1));
}

QString TPlayCard::GetCardCode() const
{
    return cardCode(m_flower, m_number);
}

void TPlayCard::paintEvent(QPaintEvent *)
{
    if (!qFuzzyCompare(m_picturesRatio, devicePixelRatioF()) || !qFuzzyCompare(m_picturesScale, shownScale()))
        loadPictures();

    QPainter p(this);
    const int w = width(), h = height();
    // Offsets of the design size, multiplied out for a card shown larger.
    const qreal k = m_picturesScale;
    const auto at = [k](int designOffset) { return qRound(designOffset * k); };
    if (m_status == _Close) {
        p.drawPixmap(0, 0, m_backImage);
        paintKeyFocus(p);
        return;
    }

    p.fillRect(0, 0, w, h, QColor(255, 255, 255));
    // The outline as four filled strips: flush with the edges at any device pixel ratio.
    const QColor black(0, 0, 0);
    const int line = qMax(1, at(1));
    p.fillRect(0, 0, w, line, black);
    p.fillRect(0, h - line, w, line, black);
    p.fillRect(0, 0, line, h, black);
    p.fillRect(w - line, 0, line, h, black);

    const bool red = m_suitImageIndex == 2 || m_suitImageIndex == 4;
    p.setPen(red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    p.setFont(font());
    const auto drawLabel = [&](int x, int y) {
        // Top-left placement: the text box starts exactly at (x, y).
        p.drawText(QRect(x, y, w, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, m_rankLabel);
    };
    drawLabel(at(2), at(2));
    drawLabel(m_rankLabel == QLatin1String("10") ? w - at(15) : w - at(10), h - at(14));

    if (m_suitImageIndex >= 1 && m_suitImageIndex <= 4) {
        const QPixmap &suit = m_suitImages[m_suitImageIndex - 1];
        const QSize s = suit.deviceIndependentSize().toSize();
        p.drawPixmap(w / 2 - s.width() / 2, h / 2 - s.height() / 2 + at(1), suit);
    }
    paintKeyFocus(p);
}

void TPlayCard::paintKeyFocus(QPainter &p)
{
    if (!m_keyFocus)
        return;
    // A frame inside the card's edge, in a colour neither suit uses.
    const int line = qMax(2, qRound(2 * m_picturesScale));
    const QColor mark(255, 160, 0);
    const int w = width(), h = height();
    p.fillRect(0, 0, w, line, mark);
    p.fillRect(0, h - line, w, line, mark);
    p.fillRect(0, 0, line, h, mark);
    p.fillRect(w - line, 0, line, h, mark);
}

void TPlayCard::mousePressEvent(QMouseEvent *e)
{
    // Accepting the press keeps the button-up coming to this card wherever it is released.
    e->accept();
    if (e->button() == Qt::LeftButton)
        m_leftPressed = true;
    else if (e->button() == Qt::RightButton)
        m_rightPressed = true;
}

void TPlayCard::mouseReleaseEvent(QMouseEvent *e)
{
    e->accept();
    if (e->button() == Qt::LeftButton) {
        const bool fire = m_leftPressed;
        m_leftPressed = false;
        if (fire)
            emit OnLeftClick(this);
    } else if (e->button() == Qt::RightButton) {
        const bool fire = m_rightPressed;
        m_rightPressed = false;
        if (fire)
            emit OnRightClick(this);
    }
}

void TPlayCard::mouseMoveEvent(QMouseEvent *e)
{
    QWidget::mouseMoveEvent(e);
    // While a button is held the moves keep coming here even off the card, and the toolkit
    // holds back the leave until release; the control under the pointer settles it instead.
    QWidget *top = window();
    bool over;
    if (top == this) {
        over = rect().contains(e->position().toPoint());
    } else {
        const QPoint at = top->mapFromGlobal(e->globalPosition().toPoint());
        over = top->rect().contains(at) && top->childAt(at) == this;
    }
    if (over)
        mouseEntered();
    else
        mouseLeft();
}

void TPlayCard::enterEvent(QEnterEvent *e)
{
    QWidget::enterEvent(e);
    mouseEntered();
}

void TPlayCard::leaveEvent(QEvent *e)
{
    QWidget::leaveEvent(e);
    mouseLeft();
}

void TPlayCard::mouseEntered()
{
    if (m_mouseInside)
        return;
    m_mouseInside = true;
    emit OnMouseEnter(this);
}

void TPlayCard::mouseLeft()
{
    if (!m_mouseInside)
        return;
    m_mouseInside = false;
    emit OnMouseExit(this);
}
