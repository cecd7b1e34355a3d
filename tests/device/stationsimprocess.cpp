#include "stationsimprocess.h"

#include <QFile>
#include <QJsonDocument>

StationSimProcess::StationSimProcess(const QJsonObject &scenario, double speed)
{
    const QString scenarioPath = dir.filePath(QStringLiteral("scenario.json"));
    QFile file(scenarioPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QJsonDocument(scenario).toJson());
    file.close();
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(STATION_SIM_PATH),
                  {scenarioPath, QStringLiteral("--speed"), QString::number(speed)});
    while (!process.canReadLine() && process.waitForReadyRead(5000)) {
    }
    if (process.canReadLine())
        serialPath = QString::fromLocal8Bit(process.readLine()).trimmed();
}

StationSimProcess::~StationSimProcess()
{
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
}
