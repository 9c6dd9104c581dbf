#include "game/reconnector.h"
#include <QTimer>
#include <algorithm>

namespace {
constexpr int kFirstPauseMs = 500;
constexpr int kLongestPauseMs = 5000;
constexpr int kAttemptMs = 5000;
}

TReconnector::TReconnector()
    : m_next(new QTimer(this)), m_limit(new QTimer(this)), m_window(new QTimer(this))
{
    for (QTimer *t : {m_next, m_limit, m_window})
        t->setSingleShot(true);
    connect(m_next, &QTimer::timeout, this, [this] {
        if (m_givingUp)
            giveUp();
        else
            startAttempt();
    });
    connect(m_limit, &QTimer::timeout, this, [this] {
        if (abandon)
            abandon();
    });
    connect(m_window, &QTimer::timeout, this, [this] { giveUp(); });
}

void TReconnector::start()
{
    stop();
    m_active = true;
    m_givingUp = false;
    m_attempts = 0;
    m_pauseMs = kFirstPauseMs;
    m_window->start(m_windowMs);
    m_next->start(m_pauseMs);
}

void TReconnector::attemptFailed()
{
    // One loss can be reported twice (the closing and the error): the next attempt is already due.
    if (!m_active || m_next->isActive())
        return;
    m_limit->stop();
    m_pauseMs = std::min(m_pauseMs * 2, kLongestPauseMs);
    // Given up on the next turn of the event loop, when every report of this failure is in.
    m_givingUp = m_window->remainingTime() <= m_pauseMs;
    m_next->start(m_givingUp ? 0 : m_pauseMs);
}

void TReconnector::stop()
{
    m_active = false;
    m_next->stop();
    m_limit->stop();
    m_window->stop();
}

void TReconnector::startAttempt()
{
    ++m_attempts;
    m_limit->start(kAttemptMs);
    if (attempt)
        attempt();
}

void TReconnector::giveUp()
{
    stop();
    if (gaveUp)
        gaveUp();
}
