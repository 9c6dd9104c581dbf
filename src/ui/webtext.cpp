#include "ui/webtext.h"
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QUrl>

namespace {

std::function<void(const QString &)> &urlOpener()
{
    static std::function<void(const QString &)> opener;
    return opener;
}

bool startsWithNoCase(const QString &text, QLatin1String prefix)
{
    return text.left(prefix.size()).toUpper() == prefix;
}

} // namespace

TwebText::TwebText(QWidget *parent)
    : QLabel(parent),
      m_about(QStringLiteral("TwebText 1.11 - a label that opens a web page, a mail or another control"))
{
    setAutoFillBackground(false);
    // The hand pointer and the hover state follow plain moves, so moves must come without a button.
    setMouseTracking(true);
    adjustSize();
}

void TwebText::setLinkText(const QString &t)
{
    m_linkText = t;
}

void TwebText::setLinkControl(QWidget *w)
{
    m_linkControl = w;
}

void TwebText::setUrlOpener(std::function<void(const QString &)> opener)
{
    urlOpener() = std::move(opener);
}

QString TwebText::targetFor(const QString &linkText)
{
    if (linkText.contains(QLatin1Char('@'))) {
        if (startsWithNoCase(linkText, QLatin1String("MAILTO:")))
            return linkText;
        return QStringLiteral("mailto:") + linkText;
    }
    if (startsWithNoCase(linkText, QLatin1String("HTTP://")))
        return linkText;
    return QStringLiteral("http://") + linkText;
}

void TwebText::openLink()
{
    if (!m_linkText.isEmpty()) {
        const QString target = targetFor(m_linkText);
        // The desktop's answer is not examined: a target that cannot be opened gives no message.
        if (urlOpener())
            urlOpener()(target);
        else
            QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
        return;
    }
    if (m_linkControl) {
        m_linkControl->setFocus(Qt::OtherFocusReason);
        QCursor::setPos(m_linkControl->mapToGlobal(QPoint(0, 0)));
    }
}

void TwebText::mouseMoveEvent(QMouseEvent *e)
{
    const bool hasTarget = !m_linkText.isEmpty() || m_linkControl;
    setCursor(hasTarget ? Qt::PointingHandCursor : Qt::ArrowCursor);
    // While the button is held the moves keep coming here even off the label and the toolkit
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
        pointerEnter();
    else
        pointerLeave();
    QLabel::mouseMoveEvent(e);
}

void TwebText::mousePressEvent(QMouseEvent *e)
{
    QLabel::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) {
        m_pressed = true;
        // Taking the press keeps the button-up coming to this label.
        e->accept();
    }
}

void TwebText::mouseReleaseEvent(QMouseEvent *e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton)
        return;
    e->accept();
    const bool open = m_hovering && m_pressed;
    m_pressed = false;
    if (open)
        openLink();
}

void TwebText::enterEvent(QEnterEvent *e)
{
    QLabel::enterEvent(e);
    pointerEnter();
}

void TwebText::leaveEvent(QEvent *e)
{
    QLabel::leaveEvent(e);
    pointerLeave();
}

void TwebText::pointerEnter()
{
    if (m_hovering)
        return;
    m_hovering = true;
    QFont f = font();
    m_savedStyle = {f.weight(), f.italic(), f.underline(), f.strikeOut()};
    f.setUnderline(true);
    setFont(f);
}

void TwebText::pointerLeave()
{
    if (!m_hovering)
        return;
    m_hovering = false;
    QFont f = font();
    f.setWeight(m_savedStyle.weight);
    f.setItalic(m_savedStyle.italic);
    f.setUnderline(m_savedStyle.underline);
    f.setStrikeOut(m_savedStyle.strikeOut);
    setFont(f);
}
