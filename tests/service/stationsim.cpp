#include "stationsim.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

StationSim::StationSim(const QJsonObject &scenario, const QString &devFile)
{
    const QString scenarioPath = dir.filePath("scenario.json");
    QFile file(scenarioPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QJsonDocument(scenario).toJson());
    file.close();

    QStringList arguments{scenarioPath};
    if (!devFile.isEmpty())
        arguments << "--dev" << devFile;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(STATION_SIM_PATH), arguments);
    if (!process.waitForStarted(5000))
        return;
    while (!process.canReadLine() && process.waitForReadyRead(5000)) {
    }
    pty = QString::fromUtf8(process.readLine()).trimmed();
}

StationSim::~StationSim()
{
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(3000);
}

QJsonObject testStation(bool selfTestPasses, double selfTestSeconds)
{
    return QJsonObject{{"serial", "SN-TEST-0001"},
                       {"model", "TQ-UPS-VESSA 5 Core"},
                       {"mfr", "Amperlane Test"},
                       {"realpowerNominal", 1024},
                       {"firmware", "1.2.3.4"},
                       {"chargeLow", 20},
                       {"charge", 80},
                       {"runtime", 95},
                       {"attributes", QJsonObject{{"input.ac.realpower", 120.5},
                                                  {"output.ac.realpower", 58.4},
                                                  {"output.usb.c.realpower", 6.5},
                                                  {"battery.temperature", 27},
                                                  {"battery.ext1.temperature", 25},
                                                  {"battery.device.status", 1},
                                                  {"battery.charging.remainingtime", 1530}}},
                       {"selfTest", QJsonObject{{"result", selfTestPasses ? "pass" : "fail"},
                                                {"seconds", selfTestSeconds}}}};
}
