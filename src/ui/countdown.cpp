#include "ui/countdown.h"
#include "game/turnclock.h"
#include "cards/playcard.h"
#include "game/gameflow.h"
#include "rules/handhandling.h"
#include "ui/mainfrm.h"
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

int TCountdown::startValue(int handCount, int tableCount, const QString &firstTableCode,
                           const QString &firstHandCode, int tableValue, int handValue)
{
    return countdownSeconds(handCount, tableCount, firstTableCode, firstHandCode, tableValue, handValue);
}

void TCountdown::startCountdown()
{
    const QStringList hand = w.table.hand(w.roster.seatOfNick(w.st.myNick));
    const QStringList table = w.table.tableCards();
    const int h = int(hand.size());
    const int t = int(table.size());
    const QString tableCode = table.value(0);
    const QString handCode = hand.value(0);
    const int value = startValue(h, t, tableCode, handCode, w.CardEng1.CardValue(tableCode),
                                 w.CardEng1.CardValue(handCode));
    w.txtPassCntDwn->setText(QString::number(value));
    w.txtAutoPass->show();
    w.txtPassCntDwn->show();
    w.autoPass->start();
}

void TCountdown::autoPassTimer()
{
    w.autoPass->stop();
    const int left = w.txtPassCntDwn->text().toInt() - 1;
    w.txtPassCntDwn->setText(QString::number(left));
    if (w.txtPassCntDwn->text() == QLatin1String("0") && w.btnPass->isEnabled())
        w.flow->btnPassClick();

    if (m_blinkPhase == 1) {
        w.showBlankIcon();
        m_blinkPhase = 0;
    } else {
        w.restoreIcon();
        m_blinkPhase = 1;
    }
    if (w.BeepOnTurn1 && w.BeepOnTurn1->isChecked())
        w.beep();

    w.processPending();

    if (w.btnPass->isEnabled())
        w.autoPass->start();
    else
        w.restoreIcon(); // the countdown is over: the blank phase must not stay on the task bar
}

void TCountdown::stop()
{
    w.autoPass->stop();
    w.txtAutoPass->hide();
    w.txtPassCntDwn->hide();
    w.restoreIcon();
}
