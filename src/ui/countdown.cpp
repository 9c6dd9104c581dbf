#include "ui/countdown.h"
#include "client/clienttable.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QLabel>

void TCountdown::show()
{
    const ClientTable *c = w.client();
    const bool running = c && c->countdownRunning();
    if (running)
        w.txtPassCntDwn->setText(QString::number(c->countdownLeft()));
    w.txtAutoPass->setVisible(running);
    w.txtPassCntDwn->setVisible(running);
    if (m_running && !running)
        w.restoreIcon(); // the countdown is over: the blank phase must not stay on the task bar
    m_running = running;
}

void TCountdown::tick()
{
    const bool ticking = m_running;
    show();
    if (!ticking || !m_running)
        return;
    if (m_blinkPhase == 1) {
        w.showBlankIcon();
        m_blinkPhase = 0;
    } else {
        w.restoreIcon();
        m_blinkPhase = 1;
    }
    if (w.BeepOnTurn1 && w.BeepOnTurn1->isChecked())
        w.beep();
}
