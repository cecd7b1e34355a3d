#pragma once

#include "tqcommoncmd.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

// A pseudo-terminal whose far end the test plays: it collects the frames the program writes and
// can answer each with frames of its own.
class TestPty : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<QList<QByteArray>(const TQCommonCmd &request)>;

    explicit TestPty(Answer answer = {});
    ~TestPty() override;

    QString path() const { return slavePath; }
    const QList<TQCommonCmd> &requests() const { return received; }
    void write(const QByteArray &bytes);
    // Closes both ends, as when the device is unplugged.
    void hangUp();

private:
    void onReadable();

    Answer answer;
    int masterFd = -1;
    int slaveFd = -1;
    QString slavePath;
    QSocketNotifier *notifier = nullptr;
    QByteArray tail;
    QList<TQCommonCmd> received;
};
