#include "utf.h"

namespace hy {
namespace {

// Number of continuation bytes after lead byte c, or -1 for a byte that cannot start a sequence.
int continuation_count(unsigned char c)
{
    if (c < 0x80)
        return 0;
    if (c >= 0xC2 && c <= 0xDF)
        return 1;
    if (c >= 0xE0 && c <= 0xEF)
        return 2;
    if (c >= 0xF0 && c <= 0xF4)
        return 3;
    return -1;
}

void append_utf8(char32_t cp, std::string &out)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

bool utf8_to_utf16(const std::string &in, std::u16string &out)
{
    out.clear();
    for (size_t i = 0; i < in.size();) {
        unsigned char lead = static_cast<unsigned char>(in[i]);
        int extra = continuation_count(lead);
        if (extra < 0 || in.size() - i < static_cast<size_t>(extra) + 1)
            return false;
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; k++) {
            unsigned char c = static_cast<unsigned char>(in[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += extra + 1;
    }
    return true;
}

bool utf16_to_utf8(const std::u16string &in, std::string &out)
{
    out.clear();
    for (size_t i = 0; i < in.size(); i++) {
        char32_t cp = in[i];
        if (cp >= 0xDC00 && cp <= 0xDFFF)
            return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= in.size() || in[i + 1] < 0xDC00 || in[i + 1] > 0xDFFF)
                return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            i++;
        }
        append_utf8(cp, out);
    }
    return true;
}

} // namespace hy
