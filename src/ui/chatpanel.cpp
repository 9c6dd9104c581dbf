#include "ui/chatpanel.h"
// placeholder until the chat panel lands
TChatPanel::TChatPanel(TmainFrm &w) : w(w) {}
void TChatPanel::ChatDialog1Click() {}
void TChatPanel::btnNoChatClick() {}
bool TChatPanel::txtInputKeyPress() { return false; }
void TChatPanel::btnAltSClick() {}
void TChatPanel::btnClearClick() {}
void TChatPanel::btnColorClick(QPushButton *) {}
void TChatPanel::chatLogClick() {}
void TChatPanel::addLine(const QString &) {}
void TChatPanel::onChat(const QString &, const QString &) {}
void TChatPanel::onSystem(const QString &) {}
void TChatPanel::setColorChooser(std::function<QColor(const QColor &)>) {}
bool TChatPanel::eventFilter(QObject *o, QEvent *e) { return QObject::eventFilter(o, e); }
