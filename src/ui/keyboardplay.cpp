#include "ui/keyboardplay.h"
#include "client/clienttable.h"
#include "ui/handhandling.h"
#include "ui/mainfrm.h"
#include "ui/playcard.h"
#include "ui/tablesession.h"
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

TKeyboardPlay::TKeyboardPlay(TmainFrm &w) : QObject(&w), w(w)
{
    QMenu *help = w.menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    m_keysAction = help->addAction(QStringLiteral("&Keys"));
    m_keysAction->setObjectName(QStringLiteral("mnuKeys"));
    connect(m_keysAction, &QAction::triggered, this, [this] { this->w.showMessage(QMessageBox::Information, keysText()); });

    w.btnThrow->setToolTip(QStringLiteral(" Throw the raised cards (Enter) "));
    w.btnPass->setToolTip(QStringLiteral(" Pass (P) "));
    w.btnSortN->setToolTip(QStringLiteral(" Sort by number (N) "));
    w.btnSortF->setToolTip(QStringLiteral(" Sort by flower (F) "));
    w.btnCardDown->setToolTip(QStringLiteral(" Lower all raised cards (Esc) "));
    w.btnNew->setToolTip(QStringLiteral(" Start the next deal (D) "));

    connect(w.session, &TableSession::clientCreated, this, [this](ClientTable *c) {
        m_focus = 0;
        for (auto signal : {&ClientTable::handChanged, &ClientTable::dealStarted})
            connect(c, signal, this, [this] { showFocus(); }, Qt::QueuedConnection);
        connect(c, &ClientTable::moved, this, [this] { showFocus(); }, Qt::QueuedConnection);
    });
    qApp->installEventFilter(this);
}

TKeyboardPlay::~TKeyboardPlay()
{
    qApp->removeEventFilter(this);
}

QString TKeyboardPlay::keysText()
{
    return QStringLiteral("Left / Right : choose a card of your hand\n"
                          "Space or Up : raise or lower the chosen card\n"
                          "Down : lower the chosen card\n"
                          "Enter : throw the raised cards\n"
                          "P : pass\n"
                          "N : sort by number\n"
                          "F : sort by flower\n"
                          "Esc : lower all raised cards\n"
                          "D : start the next deal\n"
                          "Ctrl+H : hint\n"
                          "(no key acts while the chat line has the focus)");
}

bool TKeyboardPlay::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *target = static_cast<QWidget *>(watched);
    if (target->window() != &w)
        return false;
    // The chat panel's keys are its own while it is open.
    if (w.chatPanel->width() > 0 && (target == w.chatPanel || w.chatPanel->isAncestorOf(target)))
        return false;
    return handle(static_cast<QKeyEvent *>(event));
}

bool TKeyboardPlay::press(QPushButton *b)
{
    // The button's own rules decide: a key never does what the button would refuse now.
    if (b->isEnabled() && b->isVisible())
        b->click();
    return true;
}

bool TKeyboardPlay::handle(QKeyEvent *e)
{
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const int key = e->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        moveFocus(key == Qt::Key_Left ? -1 : 1);
        return true;
    }
    const bool known = key == Qt::Key_Space || key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Return
                       || key == Qt::Key_Enter || key == Qt::Key_P || key == Qt::Key_N || key == Qt::Key_F
                       || key == Qt::Key_Escape || key == Qt::Key_D;
    if (!known)
        return false;
    if (e->isAutoRepeat())
        return true; // one action per press
    switch (key) {
    case Qt::Key_Space:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        TPlayCard *slot = m_focus ? w.handSlot(m_focus) : nullptr;
        if (slot && !slot->isHidden() && (key != Qt::Key_Down || THandHandling::isRaised(slot)))
            w.hand->cardControl(slot);
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter: return press(w.btnThrow);
    case Qt::Key_P: return press(w.btnPass);
    case Qt::Key_N: return press(w.btnSortN);
    case Qt::Key_F: return press(w.btnSortF);
    case Qt::Key_Escape: return press(w.btnCardDown);
    default: return press(w.btnNew);
    }
}

int TKeyboardPlay::heldCount() const
{
    int n = 0;
    while (n < 13 && w.handSlot(n + 1) && !w.handSlot(n + 1)->isHidden())
        ++n;
    return n;
}

void TKeyboardPlay::moveFocus(int step)
{
    const int held = heldCount();
    if (held == 0)
        return;
    if (m_focus == 0)
        m_focus = step > 0 ? 1 : held;
    else
        m_focus = std::clamp(m_focus + step, 1, held);
    showFocus();
}

void TKeyboardPlay::showFocus()
{
    // Cards thrown leave no gap: the focus stays on the slot, or on the last card still held.
    const int held = heldCount();
    if (m_focus > held)
        m_focus = held;
    for (int n = 1; n <= 13; ++n)
        if (TPlayCard *slot = w.handSlot(n))
            slot->setKeyFocus(n == m_focus);
}
