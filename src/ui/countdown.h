#pragma once
// The turn countdown with automatic pass, the task-bar icon blink and the beep on turn.
#include <QString>

class TmainFrm;

class TCountdown
{
public:
    explicit TCountdown(TmainFrm &w) : w(w) {}

    // 60, or 3 when the hand cannot (or very likely cannot) answer the table.
    static int startValue(int handCount, int tableCount, const QString &firstTableCode,
                          const QString &firstHandCode, int tableValue, int handValue);
    void startCountdown();
    void autoPassTimer();
    void stop(); // timer off, both labels hidden, normal icon

private:
    TmainFrm &w;
    int m_blinkPhase = 0; // the application tag: 1 while the normal icon shows
};
