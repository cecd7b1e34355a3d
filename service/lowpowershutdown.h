#pragma once

#include "commandrunner.h"
#include "notify.h"
#include "shutdowndeadline.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

#include <functional>
#include <optional>
#include <vector>

class QTimer;

// The one place that decides whether the PC is switched off at low battery. The page's request
// (global.shutdown) and the back end's own deadline both come here, and at most one shutdown is
// started per outage, whoever asks. It runs in a thread of its own in which nothing blocks, so the
// deadline fires while the service's thread is busy, and starting and watching the command blocks
// no one. Every attempt ends in global.notifyShutdownResult to every page and in
// sigShutdownResult.
class LowPowerShutdown : public QObject
{
    Q_OBJECT
public:
    using Answer = std::function<void(bool ok)>;

    LowPowerShutdown(NotifyFn notify, CommandRunner runner);
    ~LowPowerShutdown() override;

    // Everything below may be called from any thread.

    // The page asks for the shutdown; `answer`, called from this object's thread, gets whether it
    // was started (true at once when a shutdown was already started in this outage).
    void requestShutdown(Answer answer);
    // The user cancelled the countdown of the pending stage.
    void cancelCountdown();
    // What the NUT monitor reports (its signals of the same names).
    void stageSent(int stage, int intervalSeconds);
    void mainsFailed();
    void mainsBack();
    void wakingUp(bool waking);

    // Seconds until the deadline starts the shutdown, none when nothing is pending.
    std::optional<int> remainingSeconds() const;

signals:
    void sigShutdownResult(bool ok, const QString &reason);

private:
    enum class Trigger { Page, Deadline };

    // Carries out the low-battery action and gives its result to `answer`.
    void carryOutLowPowerAction(Trigger trigger, Answer answer);
    void finishAttempt(Trigger trigger, int outage, const CommandOutcome &outcome);
    void outageBoundary();
    void checkDeadline();
    void reschedule();
    qint64 now() const { return m_clock.elapsed(); }
    template <typename F> void inOwnThread(F &&f);

    NotifyFn m_notify;
    CommandRunner m_runner;
    QThread m_thread;
    QElapsedTimer m_clock;
    QTimer *m_timer = nullptr;

    // Read by remainingSeconds() from other threads.
    mutable QMutex m_deadlineMutex;
    ShutdownDeadline m_deadline;

    // Own thread only.
    // Outages counted, so that an attempt that ends after the mains came back counts for none.
    int m_outage = 0;
    bool m_started = false;
    bool m_attemptRunning = false;
    std::vector<Answer> m_waiting;
};
