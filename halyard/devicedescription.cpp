#include "devicedescription.h"

#include <cctype>

namespace hy {
namespace {

std::u16string widen_ascii(const std::string &text)
{
    return std::u16string(text.begin(), text.end());
}

} // namespace

void append_interface_suffix(std::u16string &description, uint8_t interfaceNumber)
{
    if (description.size() + 17 < DESCRIPTION_CHARS)
        description += widen_ascii(" (Interface " + std::to_string(interfaceNumber) + ")");
}

void append_composite_parent_suffix(std::u16string &description)
{
    if (description.size() + 20 < DESCRIPTION_CHARS)
        description += u" (Composite Parent)";
}

std::u16string unknown_device_description(int counter)
{
    return widen_ascii("Unknown Device #" + std::to_string(counter));
}

void trim_trailing_whitespace(std::string &text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
}

} // namespace hy
