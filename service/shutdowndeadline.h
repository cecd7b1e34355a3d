#pragma once

#include <QtGlobal>

#include <optional>

// The back end's own deadline behind the page's countdown. Armed when a local low-battery stage is
// sent, it comes due the stage's interval plus 15 s later, so a missing, crashed or sleeping page
// never costs the shutdown. Times are milliseconds of one steady clock; no thread, no timer.
class ShutdownDeadline
{
public:
    static constexpr qint64 kGraceMs = 15000;
    // After a wake-up, how long the deadline waits at most for the monitor to act again.
    static constexpr qint64 kWakeUpHoldMs = 20000;

    // A stage was sent: due its interval plus the grace from now. An earlier due time stands; a
    // stage already cancelled or attempted in this outage, or one before it, arms nothing.
    void arm(int stage, int intervalSeconds, qint64 nowMs);
    // The user cancelled the countdown: the pending stage is off for the rest of the outage.
    void cancel();
    // A shutdown has been attempted (by the page or by the deadline): the pending stage is done.
    void attempted();
    // Mains back, or a new outage: nothing is pending, cancelled or attempted any more.
    void reset();
    // While the monitor's first step after a wake-up has not acted on fresh values, the deadline
    // does not fire (at most kWakeUpHoldMs): what it would act on is from before the sleep.
    void wakingUp(bool waking, qint64 nowMs);

    bool isDue(qint64 nowMs) const;
    // Time left until due (0 once due), none when nothing is pending.
    std::optional<qint64> remainingMs(qint64 nowMs) const;
    // When to look again, from now: the due time, or the end of a wake-up hold.
    std::optional<qint64> nextCheckInMs(qint64 nowMs) const;
    int pendingStage() const { return m_dueMs ? m_stage : 0; }

private:
    std::optional<qint64> m_dueMs;
    int m_stage = 0;
    // The highest stage cancelled or attempted in this outage.
    int m_doneStage = 0;
    std::optional<qint64> m_holdUntilMs;
};
