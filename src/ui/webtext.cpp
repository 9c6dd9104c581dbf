#include "ui/webtext.h"
// placeholder until the link label lands
TwebText::TwebText(QWidget *parent) : QLabel(parent) {}
void TwebText::setLinkText(const QString &t) { m_linkText = t; }
void TwebText::setLinkControl(QWidget *c) { m_linkControl = c; }
QString TwebText::targetFor(const QString &t) { return t; }
void TwebText::openLink() {}
void TwebText::setUrlOpener(std::function<void(const QString &)>) {}
void TwebText::mouseMoveEvent(QMouseEvent *e) { QLabel::mouseMoveEvent(e); }
void TwebText::mousePressEvent(QMouseEvent *e) { QLabel::mousePressEvent(e); }
void TwebText::mouseReleaseEvent(QMouseEvent *e) { QLabel::mouseReleaseEvent(e); }
void TwebText::enterEvent(QEnterEvent *e) { QLabel::enterEvent(e); }
void TwebText::leaveEvent(QEvent *e) { QLabel::leaveEvent(e); }
void TwebText::pointerEnter() {}
void TwebText::pointerLeave() {}
