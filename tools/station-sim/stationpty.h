#pragma once

#include "stationresponder.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

// The station's USB serial interface played on a pseudo-terminal: the program under test opens
// the slave side; this object reads requests from the master side and writes the replies.
class StationPty : public QObject
{
    Q_OBJECT

public:
    // `elapsed` tells the scenario seconds since the start for each request.
    StationPty(StationResponder &responder, std::function<double()> elapsed,
               QObject *parent = nullptr);
    ~StationPty() override;

    // Opens the pair; false with `error` set when the system refuses.
    bool open(QString *error);
    QString slavePath() const { return slaveName; }

private:
    void onReadable();

    StationResponder &responder;
    std::function<double()> elapsed;
    int masterFd = -1;
    // Held open so that the master keeps working while no client has the slave open.
    int slaveFd = -1;
    QString slaveName;
    QSocketNotifier *notifier = nullptr;
    QByteArray tail;
};
