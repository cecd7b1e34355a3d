#include "packagenames.h"

#include <cstdio>

namespace hy {

std::string inf_file_name(const std::string &infName)
{
    size_t slash = infName.find_last_of("\\/");
    return slash == std::string::npos ? infName : infName.substr(slash + 1);
}

bool has_inf_extension(const std::string &fileName)
{
    return fileName.size() >= 4 && fileName.compare(fileName.size() - 4, 4, ".inf") == 0;
}

bool join_inf_path(const std::string &folder, const std::string &name, std::string &path)
{
    if (folder.size() >= PATH_SIZE || name.size() >= PATH_SIZE ||
        folder.size() + name.size() > PATH_SIZE - 2)
        return false;
    path = folder + "\\" + name;
    return true;
}

bool catalog_path_for(const std::string &infPath, std::string &catalogPath)
{
    if (infPath.size() < 4)
        return false;
    catalogPath = catalog_file_name(infPath);
    return true;
}

std::string catalog_file_name(const std::string &infFileName)
{
    if (infFileName.size() < 3)
        return "cat";
    return infFileName.substr(0, infFileName.size() - 3) + "cat";
}

std::string hardware_id_text(uint16_t vendorId, uint16_t productId, bool isInterface,
                             uint8_t interfaceNumber)
{
    char text[64];
    if (isInterface)
        snprintf(text, sizeof text, "VID_%04X&PID_%04X&MI_%02X", vendorId, productId,
                 interfaceNumber);
    else
        snprintf(text, sizeof text, "VID_%04X&PID_%04X", vendorId, productId);
    return text;
}

std::string inf_string_value(const char *text, size_t maxBytes)
{
    std::string out;
    const char *p = text ? text : "";
    while (*p != '\0') {
        const unsigned char c = static_cast<unsigned char>(*p);
        // One character: a single byte, or a UTF-8 lead byte with its continuation bytes.
        size_t length = 1;
        while ((c & 0xC0) == 0xC0 && (static_cast<unsigned char>(p[length]) & 0xC0) == 0x80)
            length++;
        std::string piece;
        if (c == '"' || c == '%')
            piece.assign(2, *p);
        else if (c >= 0x20 && c != 0x7F)
            piece.assign(p, length);
        if (out.size() + piece.size() > maxBytes)
            break;
        out += piece;
        p += length;
    }
    return out;
}

const char *generic_hardware_id(int driverType)
{
    static const char *const ids[] = {"MS_COMP_WINUSB", "MS_COMP_LIBUSB0", "MS_COMP_LIBUSBK",
                                      "MS_COMP_USBSER"};
    return driverType >= 0 && driverType <= 3 ? ids[driverType] : "";
}

std::string catalog_hardware_id(const std::string &hardwareId)
{
    return ("USB\\" + hardwareId).substr(0, 39);
}

std::string certificate_subject_for(const std::string &catalogHardwareId)
{
    return ("CN=" + catalogHardwareId).substr(0, 63);
}

std::string guid_text(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8])
{
    char text[64];
    snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned>(data1), data2, data3, data4[0], data4[1], data4[2], data4[3],
             data4[4], data4[5], data4[6], data4[7]);
    return text;
}

std::string driver_date_text(int month, int day, int year)
{
    char text[32];
    snprintf(text, sizeof text, "%02d/%02d/%04d", month, day, year);
    return text;
}

std::string driver_version_text(uint32_t versionMS, uint32_t versionLS)
{
    char text[64];
    snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(versionMS >> 16),
             static_cast<int>(versionMS & 0xFFFF), static_cast<int>(versionLS >> 16),
             static_cast<int>(versionLS & 0xFFFF));
    return text;
}

uint64_t unix_to_filetime(int64_t unixSeconds)
{
    return static_cast<uint64_t>(unixSeconds) * 10000000ULL + 116444736000000000ULL;
}

} // namespace hy
