#pragma once

#include "tqcommoncmd.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <functional>

// Worker thread that cuts the raw byte stream of the serial port into frames. Chunks are pushed
// from the port's thread; frames reach `frameCallback` in the detector's own thread.
class TQFrameDetector : public QThread
{
    Q_OBJECT

public:
    using FrameCallback = std::function<void(TQCommonCmd)>;

    TQFrameDetector(FrameCallback frameCallback, bool isSend, QObject *parent = nullptr);
    ~TQFrameDetector() override;

    void pushData(const QByteArray &chunk);
    // Ends the thread and drops the callback. Once it returns, the callback is never called again.
    void stop();

signals:
    void errorMsgStore(int x, int y, QByteArray errorByte, QString errorMsg);

protected:
    void run() override;

private:
    void scanChunk(const QByteArray &chunk);
    bool deliverFrame(const QByteArray &frame);

    struct State
    {
        int leftoverLen = 0;
        QMutex mutex;
        QWaitCondition condition;
        std::atomic<bool> stopRequested{false};
        QList<QByteArray> queue;
        QByteArray leftover;
        FrameCallback frameCallback;
    };

    State state;
    const bool isSend;
    std::atomic<bool> dismissed{false};
};
