#include "bot/bottableview.h"
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

QString TBotTableView::creditText(int seat) const
{
    return seat >= 1 && seat <= 4 ? m_credit[size_t(seat)] : QString();
}

void TBotTableView::notify() const
{
    if (changed)
        changed();
}

void TBotTableView::setButtonEnabled(TGameButton button, bool on)
{
    if (button == TGameButton::NewGame && newGameEnabled)
        newGameEnabled(on);
    notify();
}

void TBotTableView::showWaitMode()
{
    if (turnEnded)
        turnEnded();
    if (newGameEnabled)
        newGameEnabled(false);
    notify();
}

void TBotTableView::showSeat(int seat, const QString &, const QString &credit, bool)
{
    setCreditText(seat, credit);
}

void TBotTableView::setCreditText(int seat, const QString &text)
{
    if (seat >= 1 && seat <= 4)
        m_credit[size_t(seat)] = text;
    notify();
}

void TBotTableView::showMessage(TBoxKind, const QString &text)
{
    if (messageShown)
        messageShown(text);
}

void TBotTableView::startCountdown()
{
    if (turnStarted)
        turnStarted();
}

void TBotTableView::stopCountdown()
{
    if (turnEnded)
        turnEnded();
    notify();
}

void TBotTableView::processPending()
{
    ++m_pauseDepth;
    QCoreApplication::processEvents();
    endPause();
}

void TBotTableView::waitProcessing(int ms)
{
    ++m_pauseDepth;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    endPause();
}

void TBotTableView::endPause()
{
    if (--m_pauseDepth == 0 && pauseEnded)
        pauseEnded();
}
