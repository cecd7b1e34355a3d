#pragma once

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// A number that may change over scenario time: either constant, or points (seconds, value)
// joined by straight lines and held flat before the first and after the last point.
class Series
{
public:
    Series() = default;
    explicit Series(double constant);
    explicit Series(QList<QPair<double, double>> points);

    double at(double seconds) const;
    bool isSet() const { return !points.isEmpty(); }

private:
    QList<QPair<double, double>> points;
};

struct Scenario
{
    QString serial;
    QString model;
    QString mfr;
    double realpowerNominal = 0;
    // Four firmware numbers, shown as "a.b.c.d".
    QString firmware;
    double chargeLow = 20;
    // Scenario length in seconds; time wraps around it when `loop` is set and stops at its end
    // otherwise.
    double duration = 0;
    bool loop = false;
    Series charge;
    // Minutes of battery time for NUT's battery.runtime; taken from charge × runtimeFull / 100 when
    // not given.
    Series runtime;
    double runtimeFull = 120;
    // Half-open intervals [from, to) of scenario time in which the mains is off.
    QList<QPair<double, double>> onBattery;
    // Station attributes by their names ("output.ac.realpower", "battery.temperature", ...).
    QMap<QString, Series> attributes;
    bool selfTestPasses = true;
    double selfTestSeconds = 3;
    // The station does what a request of this command id asks, but its reply frames are lost.
    std::optional<int> dropRepliesTo;
    // NUT variables the station's driver does not report (many UPSes have no battery.charge.low).
    QStringList nutOmit;
};

// Reads a scenario; `error` receives what is wrong with an unusable one.
std::optional<Scenario> parseScenario(const QJsonObject &json, QString *error);
std::optional<Scenario> loadScenario(const QString &path, QString *error);

// Scenario time for a moment `elapsedSeconds` after the start.
double scenarioTime(const Scenario &scenario, double elapsedSeconds);
