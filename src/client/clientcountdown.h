#pragma once
// The own turn's countdown: seconds counted down by a single-shot timer, one tick at a time, so
// that it stops cleanly whenever the turn ends. Whoever owns it decides what 0 means (a pass).
#include <QObject>
#include <QStringList>

class QTimer;
class TCardEng;

class ClientCountdown : public QObject
{
    Q_OBJECT
public:
    explicit ClientCountdown(QObject *parent = nullptr);

    // The seconds a turn gets with this hand against this table, as the window has always counted.
    static int turnSeconds(const QStringList &hand, const QStringList &table, const TCardEng &eng);

    void start(int seconds);
    void stop();
    bool running() const { return m_active; }
    int secondsLeft() const { return m_left; }
    // A second is 1000 ms at the table; tests count faster.
    void setTickMs(int ms);
    int tickMs() const { return m_tickMs; }

signals:
    void changed(int secondsLeft);
    void expired();

private:
    void tick();
    QTimer *m_timer;
    int m_left = 0;
    int m_tickMs = 1000;
    bool m_active = false;
};
