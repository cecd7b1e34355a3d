#include "nutrestartschedule.h"

#include <iterator>

namespace {

constexpr int kEmptyStepsBeforeRestart = 10;
constexpr qint64 kBackOffMs[] = {30000, 60000, 120000};
constexpr qint64 kLastBackOffMs = 300000;

qint64 pauseAfterRestart(int restarts)
{
    const int index = restarts - 1;
    return index < int(std::size(kBackOffMs)) ? kBackOffMs[index] : kLastBackOffMs;
}

} // namespace

bool NutRestartSchedule::emptyStep(qint64 nowMs)
{
    ++m_emptySteps;
    const bool due = m_restarts == 0 ? m_emptySteps >= kEmptyStepsBeforeRestart
                                     : nowMs - m_lastRestartMs >= pauseAfterRestart(m_restarts);
    if (due) {
        ++m_restarts;
        m_lastRestartMs = nowMs;
    }
    return due;
}

void NutRestartSchedule::reset()
{
    m_emptySteps = 0;
    m_restarts = 0;
    m_lastRestartMs = 0;
}
