#include "catalogmember.h"

#include <cctype>
#include <cstdio>

namespace hy {

std::string member_tag(const uint8_t *hash, size_t size)
{
    std::string tag;
    char digits[3];
    for (size_t i = 0; i < size; i++) {
        snprintf(digits, sizeof digits, "%02X", hash[i]);
        tag += digits;
    }
    return tag;
}

catalog_file_kind classify_catalog_file(const std::string &fileName)
{
    size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos)
        return catalog_file_kind::unhandled;
    std::string extension;
    for (char c : fileName.substr(dot + 1))
        extension += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "dll" || extension == "sys" || extension == "exe")
        return catalog_file_kind::pe;
    if (extension == "inf")
        return catalog_file_kind::inf;
    return catalog_file_kind::unhandled;
}

} // namespace hy
