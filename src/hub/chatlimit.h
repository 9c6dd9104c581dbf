#pragma once
// How many chat and system lines one connection may have relayed: at most a number of lines in
// any window of time; the rest are dropped, and the sender is told once per run of dropped lines.
#include <deque>

class TChatLimit
{
public:
    enum class Verdict { Pass, DropAndTell, Drop };
    // A line arriving at nowMs (a monotonic clock); lines <= 0 means no limit.
    Verdict admit(long long nowMs, int lines, int windowMs);

private:
    std::deque<long long> m_passed; // arrival times of the lines let through within the window
    bool m_told = false;
};
