#include "lowpowershutdown.h"

#include "systemshutdown.h"

#include <QDebug>
#include <QJsonObject>
#include <QMetaObject>
#include <QMutexLocker>
#include <QTimer>

#include <utility>

namespace {

const QString kStartedByPage = QStringLiteral("started");
const QString kStartedByDeadline = QStringLiteral("started by the low-battery deadline");

} // namespace

LowPowerShutdown::LowPowerShutdown(NotifyFn notify, CommandRunner runner)
    : m_notify(std::move(notify)), m_runner(std::move(runner)), m_timer(new QTimer(this))
{
    m_clock.start();
    m_timer->setSingleShot(true);
    // Never early: a coarse timer may fire 5 % before its time.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &LowPowerShutdown::checkDeadline);
    m_thread.setObjectName(QStringLiteral("low-power shutdown"));
    moveToThread(&m_thread);
    m_thread.start();
}

LowPowerShutdown::~LowPowerShutdown()
{
    // A timer is stopped in the thread it runs in; that thread never blocks.
    QMetaObject::invokeMethod(
        this, [this] { m_timer->stop(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

template <typename F> void LowPowerShutdown::inOwnThread(F &&f)
{
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
}

void LowPowerShutdown::requestShutdown(Answer answer)
{
    inOwnThread([this, answer = std::move(answer)]() mutable {
        carryOutLowPowerAction(Trigger::Page, std::move(answer));
    });
}

void LowPowerShutdown::cancelCountdown()
{
    inOwnThread([this] {
        {
            QMutexLocker lock(&m_deadlineMutex);
            if (const int stage = m_deadline.pendingStage())
                qDebug() << "low-battery countdown cancelled by the user, stage" << stage;
            m_deadline.cancel();
        }
        reschedule();
    });
}

void LowPowerShutdown::stageSent(int stage, int intervalSeconds)
{
    inOwnThread([this, stage, intervalSeconds] {
        // Once a shutdown runs, nothing is left to count down to.
        if (m_started)
            return;
        {
            QMutexLocker lock(&m_deadlineMutex);
            m_deadline.arm(stage, intervalSeconds, now());
        }
        reschedule();
    });
}

void LowPowerShutdown::mainsFailed()
{
    inOwnThread([this] { outageBoundary(); });
}

void LowPowerShutdown::mainsBack()
{
    inOwnThread([this] { outageBoundary(); });
}

void LowPowerShutdown::wakingUp(bool waking)
{
    inOwnThread([this, waking] {
        {
            QMutexLocker lock(&m_deadlineMutex);
            m_deadline.wakingUp(waking, now());
        }
        reschedule();
    });
}

std::optional<int> LowPowerShutdown::remainingSeconds() const
{
    QMutexLocker lock(&m_deadlineMutex);
    const std::optional<qint64> ms = m_deadline.remainingMs(now());
    if (!ms)
        return std::nullopt;
    return int((*ms + 999) / 1000);
}

void LowPowerShutdown::outageBoundary()
{
    // A shutdown started in the outage that ended does not stand for the next one.
    ++m_outage;
    m_started = false;
    {
        QMutexLocker lock(&m_deadlineMutex);
        m_deadline.reset();
    }
    reschedule();
}

void LowPowerShutdown::carryOutLowPowerAction(Trigger trigger, Answer answer)
{
    {
        QMutexLocker lock(&m_deadlineMutex);
        m_deadline.attempted();
    }
    reschedule();
    if (m_started) {
        qDebug() << "shutdown already started in this outage";
        if (answer)
            answer(true);
        return;
    }
    if (answer)
        m_waiting.push_back(std::move(answer));
    if (m_attemptRunning)
        return;
    m_attemptRunning = true;
    const ShutdownCommand command = systemShutdownCommand();
    qDebug() << "shutdown" << command.program << command.arguments;
    m_runner(command.program, command.arguments,
             [this, trigger, outage = m_outage](const CommandOutcome &outcome) {
                 finishAttempt(trigger, outage, outcome);
             });
}

void LowPowerShutdown::finishAttempt(Trigger trigger, int outage, const CommandOutcome &outcome)
{
    m_attemptRunning = false;
    m_started = outcome.ok && outage == m_outage;
    QString reason = outcome.words;
    if (outcome.ok)
        reason = trigger == Trigger::Deadline ? kStartedByDeadline : kStartedByPage;
    else
        qWarning().noquote() << "the shutdown could not be done:" << outcome.words;
    m_notify(QStringLiteral("global"), QStringLiteral("notifyShutdownResult"),
             QJsonObject{{QStringLiteral("ok"), outcome.ok}, {QStringLiteral("reason"), reason}});
    emit sigShutdownResult(outcome.ok, reason);
    for (const Answer &answer : std::exchange(m_waiting, {}))
        answer(outcome.ok);
}

void LowPowerShutdown::checkDeadline()
{
    bool due = false;
    int stage = 0;
    {
        QMutexLocker lock(&m_deadlineMutex);
        due = m_deadline.isDue(now());
        stage = m_deadline.pendingStage();
    }
    if (!due) {
        reschedule();
        return;
    }
    qWarning() << "the low-battery deadline of stage" << stage
               << "passed without a shutdown: the program starts it";
    carryOutLowPowerAction(Trigger::Deadline, {});
}

void LowPowerShutdown::reschedule()
{
    std::optional<qint64> next;
    {
        QMutexLocker lock(&m_deadlineMutex);
        next = m_deadline.nextCheckInMs(now());
    }
    if (next)
        m_timer->start(int(std::min<qint64>(*next, 60000)));
    else
        m_timer->stop();
}
