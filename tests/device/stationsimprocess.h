#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The station simulator run as its own process with a scenario written for the test.
class StationSimProcess
{
public:
    // Starts the simulator and waits for the path of its serial device; empty path on failure.
    explicit StationSimProcess(const QJsonObject &scenario, double speed = 1);
    ~StationSimProcess();

    QString path() const { return serialPath; }

private:
    QTemporaryDir dir;
    QProcess process;
    QString serialPath;
};
