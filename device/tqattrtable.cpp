#include "tqattrtable.h"

namespace {

const TQAttr attrTable[] = {
    {"ups.test", "Self-test command", 1, AttrExecute, AttrNoValue},
    {"ups.alarm.powerswitch", "Device power-off reminder switch", 2, AttrSet, AttrInt},
    {"battery.capacity.nominal.all", "Get the total rated capacity of the device", 3, AttrRead,
     AttrInt},
    {"battery.temperature", "Get the host temperature", 4, AttrRead, AttrInt},
    {"battery.ext1.temperature", "Get the temperature of power pack 1", 5, AttrRead, AttrInt},
    {"battery.ext2.temperature", "Get the temperature of power pack 2", 6, AttrRead, AttrInt},
    {"output.realpower", "Get the real-time total output power of the device", 7, AttrRead,
     AttrFloat},
    {"input.realpower", "Get the real-time total input power of the device", 8, AttrRead,
     AttrFloat},
    {"input.ac.realpower", "Real-time AC input power", 9, AttrRead, AttrFloat},
    {"input.ac.frequency", "Real-time AC input frequency", 10, AttrRead, AttrInt},
    {"input.ac.voltage", "Real-time AC input voltage", 11, AttrRead, AttrFloat},
    {"input.solar.realpower", "Real-time solar input power", 12, AttrRead, AttrFloat},
    {"output.realpower.nominal", "Rated output power", 13, AttrRead, AttrInt},
    {"output.ac.realpower", "Real-time AC output power", 14, AttrRead, AttrFloat},
    {"output.ac.frequency", "Real-time AC output frequency", 15, AttrRead, AttrInt},
    {"output.dc.realpower", "Real-time DC output power", 16, AttrRead, AttrFloat},
    {"output.usb.a.realpower", "Real-time USB-A output power", 17, AttrRead, AttrFloat},
    {"output.usb.c.realpower", "Real-time USB-C output power", 18, AttrRead, AttrFloat},
    {"battery.charge.low.real", "Real-time discharge lower limit", 19, AttrRead, AttrInt},
    {"input.typeC.realpower", "Real-time power pack Type C input power", 20, AttrRead, AttrFloat},
    {"output.typeC.realpower", "Real-time power pack Type C output power", 21, AttrRead, AttrFloat},
    {"device.serial", "Get device SN", 22, AttrRead, AttrText},
    {"battery.charging.remainingtime", "Get battery charging remainingtime", 23, AttrRead, AttrInt},
    {"battery.device.status", "Get battery status", 24, AttrRead, AttrInt},
    {"device.ems.version", "Get firmware of the device", 25, AttrRead, AttrInt},
    {nullptr, nullptr, 0, AttrAccessNone, AttrNoValue},
};

} // namespace

const TQAttr *findAttr(uint16_t attrId)
{
    for (const TQAttr &row : attrTable) {
        if (row.id == attrId)
            return &row;
    }
    return nullptr;
}
