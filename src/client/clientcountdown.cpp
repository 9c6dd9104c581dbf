#include "client/clientcountdown.h"
#include "cards/cardeng.h"
#include "game/turnclock.h"
#include <QTimer>

ClientCountdown::ClientCountdown(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ClientCountdown::tick);
}

int ClientCountdown::turnSeconds(const QStringList &hand, const QStringList &table, const TCardEng &eng)
{
    const QString tableCode = table.value(0);
    const QString handCode = hand.value(0);
    return countdownSeconds(int(hand.size()), int(table.size()), tableCode, handCode, eng.CardValue(tableCode),
                            eng.CardValue(handCode));
}

void ClientCountdown::start(int seconds)
{
    m_left = qMax(0, seconds);
    m_active = true;
    emit changed(m_left);
    if (m_active)
        m_timer->start(m_tickMs);
}

void ClientCountdown::stop()
{
    m_active = false;
    m_timer->stop();
}

void ClientCountdown::setTickMs(int ms)
{
    m_tickMs = qMax(1, ms);
}

void ClientCountdown::tick()
{
    m_left = qMax(0, m_left - 1);
    emit changed(m_left);
    if (m_left == 0) {
        m_active = false;
        emit expired();
        return;
    }
    // A watcher of changed() may have ended the turn already: then no further tick.
    if (m_active)
        m_timer->start(m_tickMs);
}
