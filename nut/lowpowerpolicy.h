#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// The thresholds of the low-battery warnings, compared with the UPS's own low level
// (battery.charge.low). All comparisons are inclusive; sums are taken in 64 bits so that absurd
// values from a remote server cannot overflow.

// How long the page counts down each local shutdown stage, in seconds.
constexpr int kStageOneIntervalSeconds = 20;
constexpr int kStageTwoIntervalSeconds = 5;

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

// Where the low level the thresholds use comes from: the UPS's own battery.charge.low, else the
// station's lower limit read over the serial link, else the user's default.
enum class ChargeLowSource { Ups, Station, Setting };

struct ChargeLow
{
    int value = 0;
    ChargeLowSource source = ChargeLowSource::Setting;
};

ChargeLow effectiveChargeLow(std::optional<int> ups, std::optional<int> station, int setting);
const char *chargeLowSourceName(ChargeLowSource source);

// Some drivers report a charge of 0 for a moment while on battery. A 0 is taken as real only when
// the previous reading of the same outage was at or below the tip level (low + tip margin), so a
// station that was running out may run out, and a glitch never switches the PC off.
bool chargeReadingIsReal(int charge, std::optional<int> previousInOutage, qint64 tipLevel);
