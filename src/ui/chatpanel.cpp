#include "ui/chatpanel.h"
#include "client/clienttable.h"
#include "ui/frmsetting.h"
#include "game/protocol.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QColorDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

namespace {
std::function<QColor(const QColor &)> &colorChooser()
{
    static std::function<QColor(const QColor &)> chooser;
    return chooser;
}
} // namespace

TChatPanel::TChatPanel(TmainFrm &w) : QObject(&w), w(w)
{
    if (w.txtInput)
        w.txtInput->installEventFilter(this);
}

void TChatPanel::setColorChooser(std::function<QColor(const QColor &)> chooser)
{
    colorChooser() = std::move(chooser);
}

void TChatPanel::ChatDialog1Click()
{
    w.ChatDialog1->setChecked(!w.ChatDialog1->isChecked());
    QString word;
    if (w.ChatDialog1->isChecked()) {
        w.setOuterWidth(640);
        w.txtInput->setFocus();
        word = QStringLiteral("enter chat");
    } else {
        w.setOuterWidth(363);
        word = QStringLiteral("leave chat");
    }
    ClientTable *c = w.client();
    const QString line = QStringLiteral("[*] ") + (c ? c->myNick() : w.frmSetting->nick()) + QLatin1Char(' ') + word;
    if (c)
        c->announce(line);
    addLine(line);
}

void TChatPanel::btnNoChatClick()
{
    ChatDialog1Click();
}

bool TChatPanel::txtInputKeyPress()
{
    const QString text = w.txtInput->text();
    if (text.trimmed().isEmpty())
        return false;
    ClientTable *c = w.client();
    // The model shows the own line as it sends it; away from a table it is only the own log's.
    if (!c || !c->say(text))
        addLine(QLatin1Char('<') + (c ? c->myNick() : w.frmSetting->nick()) + QStringLiteral("> ") + text);
    w.txtInput->clear();
    return true;
}

void TChatPanel::btnAltSClick()
{
    txtInputKeyPress();
    // The accelerator focused the button that lies under the input line; typing goes on in the input.
    w.txtInput->setFocus();
}

void TChatPanel::btnClearClick()
{
    w.chatLog->clear();
}

void TChatPanel::btnColorClick(QPushButton *sender)
{
    const QColor chosen = colorChooser() ? colorChooser()(m_lastColor) : QColorDialog::getColor(m_lastColor, &w);
    if (!chosen.isValid())
        return;
    m_lastColor = chosen;
    QPalette log = w.chatLog->palette();
    if (sender && sender->objectName() == QLatin1String("btnForeColor"))
        log.setColor(QPalette::Text, chosen);
    else
        log.setColor(QPalette::Base, chosen);
    w.chatLog->setPalette(log);

    QPalette input = w.txtInput->palette();
    input.setColor(QPalette::Base, log.color(QPalette::Base));
    input.setColor(QPalette::Text, log.color(QPalette::Text));
    w.txtInput->setPalette(input);
}

void TChatPanel::chatLogClick()
{
    w.txtInput->setFocus();
}

void TChatPanel::addLine(const QString &line)
{
    // Lines go in as plain text: "<nick>" must never be read as markup.
    QTextCursor cursor(w.chatLog->document());
    cursor.movePosition(QTextCursor::End);
    if (!w.chatLog->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(line);
    if (QScrollBar *bar = w.chatLog->verticalScrollBar())
        bar->setValue(bar->maximum());
}

void TChatPanel::onChat(const QString &nick, const QString &text)
{
    addLine(QLatin1Char('<') + nick + QStringLiteral("> ") + text);
}

void TChatPanel::onSystem(const QString &line)
{
    addLine(line);
}

bool TChatPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == w.txtInput && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && txtInputKeyPress())
            return true;
    }
    return QObject::eventFilter(watched, event);
}
