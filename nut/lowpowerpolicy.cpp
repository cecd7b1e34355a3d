#include "lowpowerpolicy.h"

namespace {

// The remote warning comes at a fixed margin; the configured one applies to local mode only.
constexpr int kRemoteShutdownMargin = 4;
// The last local stage asks for the shutdown itself, one point above the UPS's low level.
constexpr int kShutdownNowMargin = 1;
constexpr int kStageOneInterval = 20;
constexpr int kStageTwoInterval = 5;

bool reached(int charge, int low, int margin)
{
    return qint64(charge) <= qint64(low) + qint64(margin);
}

} // namespace

bool lowPowerTipDue(int charge, int low, int tipMargin)
{
    return reached(charge, low, tipMargin);
}

LowPowerShutdownDue lowPowerShutdownDue(int charge, int low, const LowPowerSettings &settings)
{
    LowPowerShutdownDue due;
    if (settings.mode == QLatin1String("local") && settings.enableLowPowerShutdown) {
        due.stageOne = reached(charge, low, settings.shutdownMargin);
        due.stageTwo = reached(charge, low, kShutdownNowMargin);
    } else if (settings.mode == QLatin1String("remote") && settings.enableRemoteLowPowerShutdown) {
        due.remoteWarning = reached(charge, low, kRemoteShutdownMargin);
    }
    return due;
}

QJsonObject lowPowerTipPayload(int low, int tipMargin)
{
    QJsonObject payload;
    payload.insert(QLatin1String("tipLimitValue"), qint64(low) + qint64(tipMargin));
    payload.insert(QLatin1String("batteryLowLimitValue"), low);
    return payload;
}

QJsonObject lowPowerShutdownStageOnePayload(const QString &mode, int low)
{
    QJsonObject payload;
    payload.insert(QLatin1String("status"), QStringLiteral("lowPowerShutdown"));
    payload.insert(QLatin1String("mode"), mode);
    payload.insert(QLatin1String("interval"), kStageOneInterval);
    payload.insert(QLatin1String("lowPowerShutdownValue"), low);
    return payload;
}

QJsonObject lowPowerShutdownStageTwoPayload(const QString &mode)
{
    QJsonObject payload;
    payload.insert(QLatin1String("status"), QStringLiteral("shutdown"));
    payload.insert(QLatin1String("mode"), mode);
    payload.insert(QLatin1String("interval"), kStageTwoInterval);
    return payload;
}

QJsonObject remoteLowPowerShutdownPayload(const QString &mode, int low)
{
    QJsonObject payload;
    payload.insert(QLatin1String("status"), QStringLiteral("lowPowerShutdown"));
    payload.insert(QLatin1String("mode"), mode);
    payload.insert(QLatin1String("lowPowerShutdownValue"), low);
    return payload;
}
