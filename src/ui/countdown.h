#pragma once
// The turn countdown as the window shows it: the counter of the client model, the blinking task-bar
// icon and the beep on each second of the own turn.
class TmainFrm;

class TCountdown
{
public:
    explicit TCountdown(TmainFrm &w) : w(w) {}

    // Both labels as the model's countdown stands: shown with its seconds while it runs.
    void show();
    // A second of the own turn has passed.
    void tick();

private:
    TmainFrm &w;
    bool m_running = false;
    int m_blinkPhase = 0; // 1 while the normal icon shows
};
