#pragma once

#include <optional>
#include <string>

// The parts of a USB hardware ID such as USB\VID_3746&PID_0001&REV_0100&MI_01.
struct HardwareIdParts
{
    std::u16string vendorId;
    std::u16string productId;
    // Two characters; for an ID without "MI_" the characters at positions 2 and 3, which never
    // read "00" or "01" for a USB hardware ID, so such a node is never taken for an interface.
    std::u16string interfaceNumber;
};

// Empty when the ID lacks "VID_" or "PID_".
std::optional<HardwareIdParts> parseHardwareId(const std::u16string &hardwareId);
