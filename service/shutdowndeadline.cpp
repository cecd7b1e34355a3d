#include "shutdowndeadline.h"

#include <algorithm>

void ShutdownDeadline::arm(int stage, int intervalSeconds, qint64 nowMs)
{
    if (stage <= m_doneStage)
        return;
    const qint64 due = nowMs + qint64(intervalSeconds) * 1000 + kGraceMs;
    if (!m_dueMs || due < *m_dueMs)
        m_dueMs = due;
    m_stage = std::max(m_stage, stage);
}

void ShutdownDeadline::cancel()
{
    attempted();
}

void ShutdownDeadline::attempted()
{
    if (m_dueMs)
        m_doneStage = std::max(m_doneStage, m_stage);
    m_dueMs.reset();
}

void ShutdownDeadline::reset()
{
    m_dueMs.reset();
    m_stage = 0;
    m_doneStage = 0;
}

void ShutdownDeadline::wakingUp(bool waking, qint64 nowMs)
{
    if (waking)
        m_holdUntilMs = nowMs + kWakeUpHoldMs;
    else
        m_holdUntilMs.reset();
}

bool ShutdownDeadline::isDue(qint64 nowMs) const
{
    const bool held = m_holdUntilMs && nowMs < *m_holdUntilMs;
    return m_dueMs && nowMs >= *m_dueMs && !held;
}

std::optional<qint64> ShutdownDeadline::remainingMs(qint64 nowMs) const
{
    if (!m_dueMs)
        return std::nullopt;
    return std::max<qint64>(0, *m_dueMs - nowMs);
}

std::optional<qint64> ShutdownDeadline::nextCheckInMs(qint64 nowMs) const
{
    if (!m_dueMs)
        return std::nullopt;
    qint64 at = *m_dueMs;
    if (m_holdUntilMs)
        at = std::max(at, *m_holdUntilMs);
    return std::max<qint64>(0, at - nowMs);
}
