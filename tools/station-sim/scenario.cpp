#include "scenario.h"

#include "tqattrtable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

Series::Series(double constant) : points{{0.0, constant}} {}

Series::Series(QList<QPair<double, double>> points) : points(std::move(points))
{
    std::stable_sort(this->points.begin(), this->points.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
}

double Series::at(double seconds) const
{
    if (points.isEmpty())
        return 0;
    if (seconds <= points.first().first)
        return points.first().second;
    for (int i = 1; i < points.size(); ++i) {
        const auto &[t1, v1] = points[i];
        if (seconds < t1) {
            const auto &[t0, v0] = points[i - 1];
            return v0 + (v1 - v0) * (seconds - t0) / (t1 - t0);
        }
    }
    return points.last().second;
}

namespace {

bool isPair(const QJsonValue &value)
{
    const QJsonArray pair = value.toArray();
    return value.isArray() && pair.size() == 2 && pair[0].isDouble() && pair[1].isDouble();
}

std::optional<QList<QPair<double, double>>> readPairs(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QList<QPair<double, double>> pairs;
    for (const QJsonValue &item : value.toArray()) {
        if (!isPair(item))
            return std::nullopt;
        pairs.append({item.toArray()[0].toDouble(), item.toArray()[1].toDouble()});
    }
    return pairs;
}

std::optional<Series> readSeries(const QJsonValue &value)
{
    if (value.isDouble())
        return Series(value.toDouble());
    const auto pairs = readPairs(value);
    if (!pairs || pairs->isEmpty())
        return std::nullopt;
    return Series(*pairs);
}

// Numeric attributes a scenario may give; the firmware version has its own field.
bool isKnownValueAttribute(const QString &name)
{
    for (uint16_t id = 1; const TQAttr *attr = findAttr(id); ++id) {
        if (attr->name && name == QLatin1String(attr->name))
            return id != TQAttrId::EmsVersion && (attr->type == AttrInt || attr->type == AttrFloat);
    }
    return false;
}

bool isFirmwareText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    return std::all_of(parts.begin(), parts.end(), [](const QString &part) {
        bool ok = false;
        const uint number = part.toUInt(&ok);
        return ok && number < 256;
    });
}

struct Reader
{
    const QJsonObject &json;
    QString *error;
    bool failed = false;

    bool fail(const QString &message)
    {
        if (!failed && error)
            *error = message;
        failed = true;
        return false;
    }

    void series(const char *key, Series &target)
    {
        if (!json.contains(QLatin1String(key)))
            return;
        if (const auto read = readSeries(json.value(QLatin1String(key))))
            target = *read;
        else
            fail(QStringLiteral("\"%1\" must be a number or a list of [seconds, value] pairs")
                     .arg(QLatin1String(key)));
    }

    void number(const char *key, double &target)
    {
        const QJsonValue value = json.value(QLatin1String(key));
        if (value.isUndefined())
            return;
        if (value.isDouble())
            target = value.toDouble();
        else
            fail(QStringLiteral("\"%1\" must be a number").arg(QLatin1String(key)));
    }
};

} // namespace

std::optional<Scenario> parseScenario(const QJsonObject &json, QString *error)
{
    Scenario scenario;
    Reader read{json, error};
    scenario.serial = json.value(QStringLiteral("serial")).toString();
    scenario.model = json.value(QStringLiteral("model")).toString();
    scenario.mfr = json.value(QStringLiteral("mfr")).toString();
    scenario.firmware = json.value(QStringLiteral("firmware")).toString(QStringLiteral("1.0.0.0"));
    scenario.loop = json.value(QStringLiteral("loop")).toBool();
    read.number("realpowerNominal", scenario.realpowerNominal);
    read.number("chargeLow", scenario.chargeLow);
    read.number("duration", scenario.duration);
    read.number("runtimeFull", scenario.runtimeFull);
    read.series("charge", scenario.charge);
    read.series("runtime", scenario.runtime);

    if (scenario.serial.isEmpty())
        read.fail(QStringLiteral("\"serial\" is required"));
    if (!scenario.charge.isSet())
        read.fail(QStringLiteral("\"charge\" is required"));
    if (!isFirmwareText(scenario.firmware))
        read.fail(QStringLiteral("\"firmware\" must be four numbers 0-255 joined by dots"));
    if (scenario.loop && scenario.duration <= 0)
        read.fail(QStringLiteral("a looping scenario needs a positive \"duration\""));

    const QJsonValue onBattery = json.value(QStringLiteral("onBattery"));
    if (!onBattery.isUndefined()) {
        if (const auto intervals = readPairs(onBattery))
            scenario.onBattery = *intervals;
        else
            read.fail(QStringLiteral("\"onBattery\" must be a list of [from, to] pairs"));
    }

    const QJsonObject attributes = json.value(QStringLiteral("attributes")).toObject();
    for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        const auto series = readSeries(it.value());
        if (!isKnownValueAttribute(it.key()) || !series)
            read.fail(
                QStringLiteral("attribute \"%1\" is unknown or not a number series").arg(it.key()));
        else
            scenario.attributes.insert(it.key(), *series);
    }

    const QJsonObject selfTest = json.value(QStringLiteral("selfTest")).toObject();
    const QString result =
        selfTest.value(QStringLiteral("result")).toString(QStringLiteral("pass"));
    if (result != QLatin1String("pass") && result != QLatin1String("fail"))
        read.fail(QStringLiteral("\"selfTest.result\" must be \"pass\" or \"fail\""));
    scenario.selfTestPasses = result == QLatin1String("pass");
    scenario.selfTestSeconds = selfTest.value(QStringLiteral("seconds")).toDouble(3);

    const QJsonValue drop = json.value(QStringLiteral("dropRepliesTo"));
    if (!drop.isUndefined()) {
        const int id = drop.toInt(-1);
        if (id < 0 || id > 255)
            read.fail(QStringLiteral("\"dropRepliesTo\" must be a command id from 0 to 255"));
        else
            scenario.dropRepliesTo = id;
    }

    const QJsonValue omit = json.value(QStringLiteral("nutOmit"));
    if (!omit.isUndefined()) {
        const QJsonArray names = omit.toArray();
        for (const QJsonValue &name : names)
            scenario.nutOmit.append(name.toString());
        if (!omit.isArray() || scenario.nutOmit.contains(QString()))
            read.fail(QStringLiteral("\"nutOmit\" must be a list of NUT variable names"));
    }

    if (read.failed)
        return std::nullopt;
    return scenario;
}

std::optional<Scenario> loadScenario(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        if (error)
            *error =
                QStringLiteral("%1 is not a JSON object: %2").arg(path, parseError.errorString());
        return std::nullopt;
    }
    return parseScenario(document.object(), error);
}

double scenarioTime(const Scenario &scenario, double elapsedSeconds)
{
    if (scenario.duration <= 0)
        return elapsedSeconds;
    if (scenario.loop)
        return std::fmod(elapsedSeconds, scenario.duration);
    return std::min(elapsedSeconds, scenario.duration);
}
