#include "ui/tablescale.h"
#include "ui/mainfrm.h"
#include "ui/pictures.h"
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStatusBar>
#include <QTextEdit>
#include <QVariant>
#include <algorithm>

namespace {

const char *const kDesignRect = "designRect";
const char *const kDesignFactor = "designFactor";

// Edges are multiplied, not sizes, so that controls that touch at the design size still touch.
QRect scaled(const QRect &r, qreal f, QPoint offset = {})
{
    if (qFuzzyCompare(f, 1.0))
        return r.translated(offset);
    const int left = qRound(r.x() * f), top = qRound(r.y() * f);
    const int right = qRound((r.x() + r.width()) * f), bottom = qRound((r.y() + r.height()) * f);
    return QRect(left, top, right - left, bottom - top).translated(offset);
}

QFont scaledFont(QFont font, qreal f)
{
    if (font.pixelSize() > 0)
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * f)));
    else if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * f);
    return font;
}

} // namespace

QRect TTableScale::designRect(const QWidget *control)
{
    const QVariant v = control ? control->property(kDesignRect) : QVariant();
    return v.isValid() ? v.toRect() : (control ? control->geometry() : QRect());
}

void TTableScale::moveDesign(QWidget *control, QPoint designTopLeft)
{
    if (!control)
        return;
    const QVariant factor = control->property(kDesignFactor);
    if (!factor.isValid()) {
        control->move(designTopLeft); // not laid out by a scale yet: the design place is the place
        return;
    }
    QRect r = designRect(control);
    r.moveTopLeft(designTopLeft);
    control->setProperty(kDesignRect, r);
    // Children of the client area itself are not moved by this; the table's controls all sit in panels.
    control->setGeometry(scaled(r, factor.toReal()));
}

void TTableScale::record()
{
    m_controls.clear();
    for (QWidget *c : w.controls()) {
        if (c == static_cast<QWidget *>(w.msgBar))
            continue;
        c->setProperty(kDesignRect, c->geometry());
        auto *frame = qobject_cast<QFrame *>(c);
        m_controls.append({c, c->font(), frame && frame->frameShape() != QFrame::NoFrame ? frame->lineWidth() : 0});
    }
}

void TTableScale::place(QWidget *control, const QRect &designRect, QPoint offset)
{
    control->setProperty(kDesignFactor, m_factor);
    control->setGeometry(scaled(designRect, m_factor, offset));
}

void TTableScale::apply(QSize clientSize, bool chatOpen)
{
    const QSize design = designClientSize(chatOpen);
    const qreal f = std::min(clientSize.width() / qreal(design.width()), clientSize.height() / qreal(design.height()));
    if (f <= 0)
        return;
    const bool changed = !qFuzzyCompare(f, m_factor);
    m_factor = f;

    const int tableWidth = qRound(kTableWidth * f), tableHeight = qRound(kTableHeight * f);
    const QPoint offset(chatOpen ? 0 : (clientSize.width() - tableWidth) / 2, (clientSize.height() - tableHeight) / 2);
    const int barHeight = qRound(21 * f);
    const int rightEdge = chatOpen ? clientSize.width() : offset.x() + tableWidth;
    const int chatWidth = rightEdge - offset.x() - tableWidth;

    for (const Design &d : std::as_const(m_controls)) {
        QWidget *c = d.control;
        if (!c)
            continue;
        if (changed) {
            c->setFont(qFuzzyCompare(f, 1.0) ? d.font : scaledFont(d.font, f));
            if (d.lineWidth > 0)
                static_cast<QFrame *>(c)->setLineWidth(std::max(1, qRound(d.lineWidth * f)));
        }
        const QRect r = designRect(c);
        c->setProperty(kDesignFactor, f);
        if (c == w.Panel2)
            c->setGeometry(offset.x(), offset.y(), rightEdge - offset.x(), barHeight);
        else if (c == w.Panel4)
            c->setGeometry(QRect(offset.x(), offset.y() + barHeight, tableWidth, tableHeight - barHeight));
        else if (c == w.chatPanel)
            c->setGeometry(offset.x() + tableWidth, offset.y() + barHeight, chatWidth, tableHeight - barHeight);
        else
            place(c, r, c->parentWidget() == w.centralWidget() ? offset : QPoint());
    }
    // A chat panel wider than the table's share gives the extra width to the log and the input line.
    const int extra = chatWidth - qRound(kChatWidth * f);
    if (chatOpen && extra > 0) {
        for (QWidget *c : {static_cast<QWidget *>(w.chatLog), static_cast<QWidget *>(w.txtInput)})
            c->resize(c->width() + extra, c->height());
    }
    if (changed || m_picturesFactor <= 0)
        paintPictures();
    w.fitWhoThrow();
}

void TTableScale::paintPictures()
{
    m_picturesFactor = m_factor;
    const qreal f = m_factor;
    // The felt tiled from the top-left corner by a texture, which leaves no seams at any factor.
    const QPixmap tile = scaledFelt(f);
    QPixmap carpet(w.imgCarpet->size() * w.devicePixelRatioF());
    carpet.setDevicePixelRatio(w.devicePixelRatioF());
    carpet.fill(QColor(0, 96, 0));
    if (!tile.isNull()) {
        QPainter p(&carpet);
        p.fillRect(QRect(QPoint(), w.imgCarpet->size()), QBrush(tile));
    }
    w.imgCarpet->setPixmap(carpet);

    const QPixmap back = scaledCardBack(f);
    for (int s = 2; s <= 4; ++s)
        for (int n = 1; n <= 13; ++n)
            if (QLabel *img = w.findLabel(QStringLiteral("p%1c%2").arg(s).arg(n)))
                img->setPixmap(back);
    w.imgTurn->setPixmap(scaledTurnMarker(f));
}
