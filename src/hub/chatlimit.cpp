#include "hub/chatlimit.h"

TChatLimit::Verdict TChatLimit::admit(long long nowMs, int lines, int windowMs)
{
    if (lines <= 0)
        return Verdict::Pass;
    while (!m_passed.empty() && nowMs - m_passed.front() >= windowMs)
        m_passed.pop_front();
    if (int(m_passed.size()) < lines) {
        m_passed.push_back(nowMs);
        m_told = false;
        return Verdict::Pass;
    }
    if (m_told)
        return Verdict::Drop;
    m_told = true;
    return Verdict::DropAndTell;
}
