#pragma once

#include <QJsonObject>
#include <QString>

// The thresholds of the low-battery warnings, compared with the UPS's own low level
// (battery.charge.low). All comparisons are inclusive; sums are taken in 64 bits so that absurd
// values from a remote server cannot overflow.

struct LowPowerSettings
{
    int tipMargin = 5;
    int shutdownMargin = 4;
    bool enableLowPowerShutdown = false;
    bool enableRemoteLowPowerShutdown = false;
    QString mode = QStringLiteral("local");
};

// Which shutdown warnings the charge has reached, before the one-shot guards are applied.
struct LowPowerShutdownDue
{
    bool stageOne = false;
    bool stageTwo = false;
    bool remoteWarning = false;
};

bool lowPowerTipDue(int charge, int low, int tipMargin);
LowPowerShutdownDue lowPowerShutdownDue(int charge, int low, const LowPowerSettings &settings);

QJsonObject lowPowerTipPayload(int low, int tipMargin);
QJsonObject lowPowerShutdownStageOnePayload(const QString &mode, int low);
QJsonObject lowPowerShutdownStageTwoPayload(const QString &mode);
QJsonObject remoteLowPowerShutdownPayload(const QString &mode, int low);
