#include "lowpowerpolicy.h"

namespace {

// The remote warning comes at a fixed margin; the configured one applies to local mode only.
constexpr int kRemoteShutdownMargin = 4;
// The last local stage asks for the shutdown itself, one point above the UPS's low level.
constexpr int kShutdownNowMargin = 1;

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
    payload.insert(QLatin1String("interval"), kStageOneIntervalSeconds);
    payload.insert(QLatin1String("lowPowerShutdownValue"), low);
    return payload;
}

QJsonObject lowPowerShutdownStageTwoPayload(const QString &mode)
{
    QJsonObject payload;
    payload.insert(QLatin1String("status"), QStringLiteral("shutdown"));
    payload.insert(QLatin1String("mode"), mode);
    payload.insert(QLatin1String("interval"), kStageTwoIntervalSeconds);
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

ChargeLow effectiveChargeLow(std::optional<int> ups, std::optional<int> station, int setting)
{
    if (ups)
        return {*ups, ChargeLowSource::Ups};
    if (station)
        return {*station, ChargeLowSource::Station};
    return {setting, ChargeLowSource::Setting};
}

const char *chargeLowSourceName(ChargeLowSource source)
{
    switch (source) {
    case ChargeLowSource::Ups:
        return "the UPS";
    case ChargeLowSource::Station:
        return "the station's lower limit";
    case ChargeLowSource::Setting:
        return "the default low level";
    }
    return "";
}

bool chargeReadingIsReal(int charge, std::optional<int> previousInOutage, qint64 tipLevel)
{
    return charge > 0 || (previousInOutage && *previousInOutage <= tipLevel);
}
