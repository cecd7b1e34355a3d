#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The station simulator as a separate process, playing one scenario on a pseudo-terminal and,
// when asked, on the dummy-ups .dev file.
class StationSim
{
public:
    // Starts at once; `devFile` empty means no NUT side.
    explicit StationSim(const QJsonObject &scenario, const QString &devFile = QString());
    ~StationSim();

    // The serial device path, empty when the simulator did not start.
    QString ptyPath() const { return pty; }

private:
    QTemporaryDir dir;
    QProcess process;
    QString pty;
};

// A small station: serial SN-TEST-0001, firmware 1.2.3.4, steady power and temperatures, on
// mains, with a self-test that takes `selfTestSeconds` and passes or fails.
QJsonObject testStation(bool selfTestPasses = true, double selfTestSeconds = 1);
