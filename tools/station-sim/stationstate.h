#pragma once

#include "scenario.h"
#include "tqattrvalue.h"

#include <QJsonObject>

// What the simulated station shows at one moment of scenario time.
struct StationState
{
    double charge = 0;
    bool onBattery = false;
    double runtimeMinutes = 0;
    // Attribute id to value bytes, as the station reports them over the serial link.
    AttrParaMap attributes;
};

StationState stationStateAt(const Scenario &scenario, double seconds);

// The UPS variables for NUT's dummy-ups driver. battery.runtime is in whole minutes, which is how
// the monitor reads it.
QJsonObject nutVariables(const Scenario &scenario, const StationState &state);
