#include "instancewait.h"

#include <QElapsedTimer>
#include <QThread>

bool waitWhileRunning(const std::function<bool()> &running, const InstanceWait &wait,
                      const std::function<void(long long seconds)> &report)
{
    QElapsedTimer waited;
    waited.start();
    auto nextReport = wait.reportEvery;
    while (running()) {
        const std::chrono::milliseconds elapsed(waited.elapsed());
        if (elapsed >= wait.bound)
            return false;
        if (elapsed >= nextReport) {
            report(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
            nextReport += wait.reportEvery;
        }
        QThread::msleep(static_cast<unsigned long>(wait.poll.count()));
    }
    return true;
}
