#include "hardwareid.h"

namespace {

// The text of up to `length` characters right after the first `marker`.
std::optional<std::u16string> afterMarker(const std::u16string &id, const std::u16string &marker,
                                          std::size_t length)
{
    if (id.size() < marker.size())
        return std::nullopt;
    const auto pos = id.find(marker);
    if (pos == std::u16string::npos)
        return std::nullopt;
    return id.substr(pos + marker.size(), length);
}

} // namespace

std::optional<HardwareIdParts> parseHardwareId(const std::u16string &hardwareId)
{
    auto vendor = afterMarker(hardwareId, u"VID_", 4);
    auto product = afterMarker(hardwareId, u"PID_", 4);
    if (!vendor || !product)
        return std::nullopt;
    auto interface = afterMarker(hardwareId, u"MI_", 2);
    if (!interface)
        interface = hardwareId.substr(2, 2);
    return HardwareIdParts{*vendor, *product, *interface};
}
