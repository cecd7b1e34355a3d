#include "hardwareid.h"
#include "utf8text.h"

#include <gtest/gtest.h>

TEST(HardwareId, ParsesTheFirstMarkers)
{
    struct Case
    {
        std::u16string id;
        std::u16string vendor, product, interface;
    };
    const Case cases[] = {
        {u"USB\\VID_3746&PID_0001&REV_0100&MI_01", u"3746", u"0001", u"01"},
        {u"USB\\VID_3746&PID_0001&MI_00", u"3746", u"0001", u"00"},
        // No "MI_": characters 2 and 3, which can never read as an interface number.
        {u"USB\\VID_3746&PID_0001&REV_0100", u"3746", u"0001", u"B\\"},
        // Values are cut where the ID ends.
        {u"USB\\VID_3746&PID_00", u"3746", u"00", u"B\\"},
        {u"USB\\VID_3746&PID_0001&MI_", u"3746", u"0001", u""},
        {u"USB\\VID_37&PID_0001&MI_0", u"37&P", u"0001", u"0"},
        // The first occurrence counts.
        {u"USB\\VID_3746&PID_0001&MI_01&VID_1111", u"3746", u"0001", u"01"},
    };
    for (const auto &c : cases) {
        const auto parts = parseHardwareId(c.id);
        ASSERT_TRUE(parts) << utf16ToUtf8(c.id);
        EXPECT_EQ(parts->vendorId, c.vendor) << utf16ToUtf8(c.id);
        EXPECT_EQ(parts->productId, c.product) << utf16ToUtf8(c.id);
        EXPECT_EQ(parts->interfaceNumber, c.interface) << utf16ToUtf8(c.id);
    }
}

TEST(HardwareId, RejectsIdsWithoutVendorOrProduct)
{
    for (const std::u16string id : {u"", u"USB", u"USB\\VID_3746", u"USB\\PID_0001&MI_01",
                                    u"USB\\vid_3746&pid_0001", u"HID\\VID3746&PID_0001"})
        EXPECT_FALSE(parseHardwareId(id)) << utf16ToUtf8(id);
}

TEST(Utf8Text, ConvertsBothWays)
{
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""},
        {"C:\\Users\\Zoë\\usbDriver", u"C:\\Users\\Zo\u00EB\\usbDriver"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C"},
        {"\xF0\x9F\x94\x8B", u"\U0001F50B"},
    };
    for (const auto &[utf8, utf16] : cases) {
        EXPECT_EQ(utf8ToUtf16(utf8), utf16) << utf8;
        EXPECT_EQ(utf16ToUtf8(utf16), utf8) << utf8;
    }
}

TEST(Utf8Text, ReplacesMalformedInput)
{
    const std::pair<std::string, std::u16string> cases[] = {
        {"a\xFF"
         "b",
         u"a\uFFFDb"},
        {"a\xC3", u"a\uFFFD"},                             // cut sequence
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // overlong "/"
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
    };
    for (const auto &[utf8, utf16] : cases)
        EXPECT_EQ(utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}
