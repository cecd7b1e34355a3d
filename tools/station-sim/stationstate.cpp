#include "stationstate.h"

#include "tqattrtable.h"

#include <QStringList>

#include <cmath>

namespace {

const char *const inputParts[] = {"input.ac.realpower", "input.solar.realpower",
                                  "input.typeC.realpower"};
const char *const outputParts[] = {"output.ac.realpower", "output.dc.realpower",
                                   "output.usb.a.realpower", "output.usb.c.realpower",
                                   "output.typeC.realpower"};
// Without mains these read zero, whatever the scenario says.
const char *const mainsAttributes[] = {"input.ac.realpower", "input.ac.voltage",
                                       "input.ac.frequency"};

bool isOnBattery(const Scenario &scenario, double seconds)
{
    for (const auto &[from, to] : scenario.onBattery) {
        if (seconds >= from && seconds < to)
            return true;
    }
    return false;
}

QByteArray firmwareBytes(const QString &firmware)
{
    // The station sends the last number first: bytes 04 03 02 01 read 1.2.3.4.
    const QStringList parts = firmware.split(QLatin1Char('.'));
    QByteArray bytes;
    for (auto it = parts.crbegin(); it != parts.crend(); ++it)
        bytes.append(static_cast<char>(it->toUInt()));
    return bytes;
}

QByteArray encodeValue(const TQAttr &attr, double value)
{
    if (attr.type == AttrFloat)
        return encodeAttrFloat(static_cast<float>(value));
    return encodeAttrInt32(static_cast<int32_t>(std::lround(value)));
}

struct NamedValues
{
    QMap<QString, double> values;

    double sum(const char *const *names, size_t count) const
    {
        double total = 0;
        for (size_t i = 0; i < count; ++i)
            total += values.value(QLatin1String(names[i]));
        return total;
    }

    void setDefault(const char *name, double value)
    {
        if (!values.contains(QLatin1String(name)))
            values.insert(QLatin1String(name), value);
    }
};

} // namespace

StationState stationStateAt(const Scenario &scenario, double seconds)
{
    StationState state;
    state.charge = std::clamp(scenario.charge.at(seconds), 0.0, 100.0);
    state.onBattery = isOnBattery(scenario, seconds);
    state.runtimeMinutes = scenario.runtime.isSet() ? scenario.runtime.at(seconds)
                                                    : state.charge * scenario.runtimeFull / 100.0;

    NamedValues named;
    for (auto it = scenario.attributes.begin(); it != scenario.attributes.end(); ++it)
        named.values.insert(it.key(), it.value().at(seconds));
    if (state.onBattery) {
        for (const char *name : mainsAttributes)
            named.values.insert(QLatin1String(name), 0);
    }
    named.setDefault("input.realpower", named.sum(inputParts, std::size(inputParts)));
    named.setDefault("output.realpower", named.sum(outputParts, std::size(outputParts)));
    named.setDefault("battery.charge.low.real", scenario.chargeLow);

    for (uint16_t id = 1; const TQAttr *attr = findAttr(id); ++id) {
        const QString name = QLatin1String(attr->name);
        if (named.values.contains(name))
            state.attributes.insert(id, encodeValue(*attr, named.values.value(name)));
    }
    state.attributes.insert(TQAttrId::DeviceSerial, scenario.serial.toUtf8());
    state.attributes.insert(TQAttrId::EmsVersion, firmwareBytes(scenario.firmware));
    return state;
}

QJsonObject nutVariables(const Scenario &scenario, const StationState &state)
{
    const long charge = std::lround(state.charge);
    QString status = QStringLiteral("OL");
    if (state.onBattery)
        status = QStringLiteral("OB");
    else if (charge < 100)
        status = QStringLiteral("OL CHRG");
    QJsonObject variables{
        {QStringLiteral("ups.status"), status},
        {QStringLiteral("battery.charge"), static_cast<double>(charge)},
        {QStringLiteral("battery.charge.low"),
         static_cast<double>(std::lround(scenario.chargeLow))},
        {QStringLiteral("battery.runtime"),
         static_cast<double>(std::lround(std::max(0.0, state.runtimeMinutes)))},
        {QStringLiteral("ups.serial"), scenario.serial},
        {QStringLiteral("ups.model"), scenario.model},
        {QStringLiteral("ups.mfr"), scenario.mfr},
        {QStringLiteral("ups.realpower.nominal"),
         static_cast<double>(std::lround(scenario.realpowerNominal))},
    };
    for (const QString &name : scenario.nutOmit)
        variables.remove(name);
    return variables;
}
