#include "infname.h"

#include "utf.h"

#include <cstring>

namespace hy {
namespace {

bool is_removed(char16_t c)
{
    if ((c >= 0x01 && c <= 0x08) || (c >= 0x0A && c <= 0x1F) || c == 0x7F)
        return true;
    return c != 0 && c < 0x80 && std::strchr("\"*/:<>?\\|,", static_cast<int>(c)) != nullptr;
}

} // namespace

bool derive_inf_name(const char *name, const char *extension, std::string &out)
{
    if (name == nullptr || std::strlen(name) > INF_NAME_MAX_DESCRIPTION)
        return false;
    std::u16string wide;
    std::u16string wideExtension;
    if (!utf8_to_utf16(name, wide) || !utf8_to_utf16(extension, wideExtension))
        return false;
    wide += wideExtension;

    std::u16string cleaned;
    for (char16_t c : wide) {
        if (is_removed(c))
            continue;
        cleaned += (c == u' ' || c == u'\t') ? u'_' : c;
    }
    return utf16_to_utf8(cleaned, out);
}

} // namespace hy
