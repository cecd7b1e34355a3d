#include "tqframedetector.h"

#include "framescanner.h"

#include <QDebug>
#include <QMutexLocker>

TQFrameDetector::TQFrameDetector(FrameCallback frameCallback, bool isSend, QObject *parent)
    : QThread(parent), isSend(isSend)
{
    state.frameCallback = std::move(frameCallback);
    state.leftover = QByteArray(kFrameLeftoverCapacity, '\0');
    start(QThread::InheritPriority);
    qDebug() << "TQFrameDetector init isSend:" << isSend;
}

TQFrameDetector::~TQFrameDetector()
{
    stop();
    // stop() gives the thread 200 ms; the scan checks the stop flag at every byte, so waiting
    // for its end here is short, and the thread must not outlive the state it scans.
    wait();
    qDebug() << "TQFrameDetector dismiss";
}

void TQFrameDetector::pushData(const QByteArray &chunk)
{
    QMutexLocker locker(&state.mutex);
    state.queue.append(chunk);
    state.condition.wakeAll();
}

void TQFrameDetector::stop()
{
    {
        QMutexLocker locker(&state.mutex);
        if (dismissed)
            return;
        dismissed = true;
        state.frameCallback = nullptr;
        state.stopRequested = true;
        state.condition.wakeAll();
    }
    wait(200);
}

void TQFrameDetector::run()
{
    forever
    {
        QMutexLocker locker(&state.mutex);
        if (state.stopRequested)
            break;
        while (state.queue.isEmpty() && !dismissed)
            state.condition.wait(&state.mutex);
        if (dismissed)
            break;
        const QByteArray chunk = state.queue.takeFirst();
        locker.unlock();
        scanChunk(chunk);
    }
    qDebug() << "TQFrameDetector run finish";
}

void TQFrameDetector::scanChunk(const QByteArray &chunk)
{
    const QByteArray buffer = state.leftover.left(state.leftoverLen) + chunk;
    FrameScanHandlers handlers;
    handlers.onFrame = [this](const QByteArray &frame) { return deliverFrame(frame); };
    handlers.onJunk = [this](const FrameJunk &junk) {
        const QString message = junk.damagedFrame ? tr(" Find the header but frame error!")
                                                  : tr(" Can not find the header!");
        emit errorMsgStore(junk.first, junk.last, junk.bytes, message);
    };
    handlers.stopRequested = [this] { return state.stopRequested.load(); };
    const int consumed = scanFrames(buffer, handlers);
    const QByteArray tail =
        handlers.stopRequested() ? QByteArray() : frameScanTail(buffer, consumed);
    state.leftover.replace(0, tail.size(), tail);
    state.leftoverLen = static_cast<int>(tail.size());
}

bool TQFrameDetector::deliverFrame(const QByteArray &frame)
{
    // The callback runs under the lock so that stop() cannot return while it is still running.
    QMutexLocker locker(&state.mutex);
    if (!state.frameCallback)
        return !dismissed;
    TQCommonCmd command(frame);
    command.setIsSend(isSend);
    state.frameCallback(command);
    return true;
}
