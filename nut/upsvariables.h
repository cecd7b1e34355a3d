#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// A UPS variable set is a JSON object from NUT variable names to their texts, as upsc prints them.

// Reads upsc output, one "name: value" per line. Lines that do not split into exactly two parts
// at ':' are skipped, so a value holding a colon never gets through. When no line carries UPS data
// (battery.charge, device.*, ups.*) the result is empty: an error line alone is not a UPS.
QJsonObject parseUpsVariables(const QByteArray &output);

// The device info the home page shows: on battery, charging, charge, "<model>-<last 4 of serial>"
// with the "TQ-UPS-" prefix dropped, and the nominal power with "Wh".
QJsonObject upsDeviceInfo(const QJsonObject &variables);

// battery.runtime (whole minutes) as `days`, `hours`, `minutes`; all 0 when it is not a number.
QJsonObject batteryTimeFromRuntime(const QString &runtimeMinutes);

// A percentage as NUT drivers print it ("87", "14.5", "100.0") in whole percent, rounded down; none
// when the text is no number from 0 to 100.
std::optional<int> wholePercent(const QString &text);

// Status tokens: "OB" on battery, "OL" online, "OL CHRG" online and charging.
bool statusOnBattery(const QString &status);
bool statusOnline(const QString &status);
bool statusCharging(const QString &status);
