#include "upsvariables.h"

#include <QStringList>

#include <cmath>

namespace {

bool isUpsData(const QString &key)
{
    return key == QLatin1String("battery.charge") || key.startsWith(QLatin1String("device.")) ||
           key.startsWith(QLatin1String("ups."));
}

} // namespace

QJsonObject parseUpsVariables(const QByteArray &output)
{
    QJsonObject variables;
    bool hasUpsData = false;
    const QStringList lines =
        QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList parts = line.split(QLatin1Char(':'));
        if (parts.size() != 2)
            continue;
        const QString key = parts.at(0).trimmed();
        variables.insert(key, parts.at(1).trimmed());
        hasUpsData = hasUpsData || isUpsData(key);
    }
    return hasUpsData ? variables : QJsonObject();
}

std::optional<int> wholePercent(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double floored = std::floor(value);
    if (floored < 0 || floored > 100)
        return std::nullopt;
    return static_cast<int>(floored);
}

bool statusOnBattery(const QString &status)
{
    return status.contains(QLatin1String("OB"));
}

bool statusOnline(const QString &status)
{
    return status.contains(QLatin1String("OL"));
}

bool statusCharging(const QString &status)
{
    return status.contains(QLatin1String("OL CHRG"));
}

QJsonObject upsDeviceInfo(const QJsonObject &variables)
{
    const QString status = variables.value(QLatin1String("ups.status")).toString();
    QString name = variables.value(QLatin1String("ups.model")).toString();
    const QString prefix = QStringLiteral("TQ-UPS-");
    if (name.startsWith(prefix))
        name.remove(0, prefix.size());
    const QString serial = variables.value(QLatin1String("ups.serial")).toString();

    QJsonObject info;
    info.insert(QLatin1String("ups.status"), statusOnBattery(status));
    info.insert(QLatin1String("ups.chargeStatus"), statusCharging(status));
    info.insert(QLatin1String("battery.charge"),
                variables.value(QLatin1String("battery.charge")).toString());
    info.insert(QLatin1String("ups.devName"), QStringLiteral("%1-%2").arg(name, serial.right(4)));
    info.insert(QLatin1String("ups.realpower.nominal"),
                variables.value(QLatin1String("ups.realpower.nominal")).toString() +
                    QStringLiteral("Wh"));
    return info;
}

QJsonObject batteryTimeFromRuntime(const QString &runtimeMinutes)
{
    constexpr int minutesPerDay = 24 * 60;
    bool ok = false;
    const int total = runtimeMinutes.toInt(&ok, 10);
    const int minutes = ok ? total : 0;
    QJsonObject time;
    time.insert(QLatin1String("days"), minutes / minutesPerDay);
    time.insert(QLatin1String("hours"), (minutes % minutesPerDay) / 60);
    time.insert(QLatin1String("minutes"), (minutes % minutesPerDay) % 60);
    return time;
}
