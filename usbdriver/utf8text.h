#pragma once

#include <string>

// UTF-8 <-> UTF-16 without the C++ library's deprecated converters. Malformed input becomes
// U+FFFD, so a broken path fails to install rather than naming another file.
std::u16string utf8ToUtf16(const std::string &utf8);
std::string utf16ToUtf8(const std::u16string &utf16);
