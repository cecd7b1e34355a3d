#pragma once

#include <cstdint>

// The station's named attributes: what each id means, whether it can be read, set or executed,
// and how its value bytes are to be read.
enum TQAttrAccess : uint8_t { AttrAccessNone = 0, AttrRead = 1, AttrSet = 2, AttrExecute = 4 };
enum TQAttrValueType : uint8_t { AttrNoValue = 0, AttrInt = 1, AttrFloat = 2, AttrText = 3 };

struct TQAttr
{
    const char *name;
    const char *description;
    uint16_t id;
    TQAttrAccess access;
    TQAttrValueType type;
};

namespace TQAttrId {
constexpr uint16_t UpsTest = 1;
constexpr uint16_t AlarmPowerSwitch = 2;
constexpr uint16_t CapacityNominalAll = 3;
constexpr uint16_t BatteryTemperature = 4;
constexpr uint16_t Ext1Temperature = 5;
constexpr uint16_t Ext2Temperature = 6;
constexpr uint16_t OutputRealpower = 7;
constexpr uint16_t InputRealpower = 8;
constexpr uint16_t InputAcRealpower = 9;
constexpr uint16_t InputAcFrequency = 10;
constexpr uint16_t InputAcVoltage = 11;
constexpr uint16_t InputSolarRealpower = 12;
constexpr uint16_t OutputRealpowerNominal = 13;
constexpr uint16_t OutputAcRealpower = 14;
constexpr uint16_t OutputAcFrequency = 15;
constexpr uint16_t OutputDcRealpower = 16;
constexpr uint16_t OutputUsbARealpower = 17;
constexpr uint16_t OutputUsbCRealpower = 18;
constexpr uint16_t ChargeLowReal = 19;
constexpr uint16_t InputTypeCRealpower = 20;
constexpr uint16_t OutputTypeCRealpower = 21;
constexpr uint16_t DeviceSerial = 22;
constexpr uint16_t ChargingRemainingTime = 23;
constexpr uint16_t BatteryDeviceStatus = 24;
constexpr uint16_t EmsVersion = 25;
} // namespace TQAttrId

// Execution states reported for a running device command; 1 and 2 mean still running.
namespace TQAttrState {
constexpr uint8_t Running = 1;
constexpr uint8_t RunningToo = 2;
constexpr uint8_t SelfTestPassed = 3;
constexpr uint8_t SelfTestFailed = 4;
inline bool isRunning(uint8_t state)
{
    return state == Running || state == RunningToo;
}
} // namespace TQAttrState

// The table row for an id, or nullptr. Id 0 finds the closing all-zero row (no name, no access),
// through which nothing is sent or shown.
const TQAttr *findAttr(uint16_t attrId);
