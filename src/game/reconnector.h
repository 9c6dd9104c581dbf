#pragma once
// A guest's attempts to get back to the host after losing it: the first after half a second, each
// pause twice the last up to five seconds, none after the time allowed in all. attempt() starts a
// connection; whoever sees it fail calls attemptFailed(). An attempt that has not succeeded within
// five seconds is given up through abandon(), which must end in attemptFailed() as a failure does.
#include <QObject>
#include <functional>

class QTimer;

class TReconnector : public QObject
{
public:
    TReconnector();

    std::function<void()> attempt;
    std::function<void()> abandon;
    std::function<void()> gaveUp;

    void start();
    void attemptFailed();
    void stop();
    bool active() const { return m_active; }
    int attempts() const { return m_attempts; }
    void setWindowMs(int ms) { m_windowMs = ms; }

private:
    void startAttempt();
    void giveUp();
    QTimer *m_next = nullptr;    // the pause before the next attempt
    QTimer *m_limit = nullptr;   // the running attempt's time
    QTimer *m_window = nullptr;  // all attempts together
    bool m_active = false;
    bool m_givingUp = false;
    int m_pauseMs = 0;
    int m_attempts = 0;
    int m_windowMs = 60000;
};
