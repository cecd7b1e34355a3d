// Shared generator services: log lines, catalog lists, Windows version value, PKI texts,
// catalog member texts.
#include "androiddevices.h"
#include "catalogmember.h"
#include "catlist.h"
#include "logline.h"
#include "pkierrors.h"
#include "usbvendors.h"
#include "winversion.h"

#include <gtest/gtest.h>

using namespace hy;

TEST(LogLine, PrefixLevelsAndFileName)
{
    EXPECT_EQ(log_line_prefix(2, 1734652800, "hy_create_list"),
              "[warning] [1734652800] [hy_create_list] ");
    EXPECT_STREQ(level_name(0), "debug");
    EXPECT_STREQ(level_name(3), "error");
    EXPECT_STREQ(level_name(4), "unknown");
    EXPECT_STREQ(level_name(-1), "unknown");
    EXPECT_EQ(log_file_name(2024, 12, 20), "log\\log_2024_12_20.txt");
}

TEST(CatalogList, KeepsSixteenEntriesAndAddsTheInf)
{
    std::string text = "# header\r\n\r\n  first.dll  \r\n#comment\n\tsecond.sys\n";
    for (int i = 3; i <= 20; i++)
        text += "file" + std::to_string(i) + ".dll\r\n";
    catalog_list list = read_catalog_list(text, "x.inf");
    ASSERT_EQ(list.names.size(), 17u);
    EXPECT_TRUE(list.truncated);
    EXPECT_EQ(list.names[0], "first.dll");
    EXPECT_EQ(list.names[1], "second.sys");
    EXPECT_EQ(list.names[15], "file16.dll");
    EXPECT_EQ(list.names[16], "x.inf");
}

TEST(CatalogList, ExactlySixteenIsNotTruncated)
{
    std::string text;
    for (int i = 1; i <= 16; i++)
        text += "f" + std::to_string(i) + ".dll\n";
    catalog_list list = read_catalog_list(text + "# trailing comment\n", "x.inf");
    EXPECT_EQ(list.names.size(), 17u);
    EXPECT_FALSE(list.truncated);
    EXPECT_EQ(read_catalog_list("", "x.inf").names, std::vector<std::string>{"x.inf"});
}

TEST(WindowsVersion, ValueFromMajorMinorBuild)
{
    struct
    {
        unsigned major, minor, build;
        int expected;
    } cases[] = {
        {10, 0, 22000, WINDOWS_11},
        {10, 0, 19045, WINDOWS_10},
        {6, 1, 7601, WINDOWS_7},
        {6, 3, 9600, 0x63},
        {5, 1, 2600, 0x51},
        {5, 0, 2195, 0},
        {16, 0, 0, -1},
        {6, 16, 0, -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(windows_version_value(c.major, c.minor, c.build), c.expected)
            << c.major << "." << c.minor << "." << c.build;
}

TEST(WindowsVersion, CorrectionFindsTheRealVersion)
{
    struct
    {
        unsigned reportedMajor, reportedMinor, realMajor, realMinor;
        unsigned expectedMajor, expectedMinor;
    } cases[] = {
        {6, 2, 6, 3, 6, 3}, // 8.1 reported as 8
        {6, 2, 6, 2, 6, 2},
        {6, 2, 7, 1, 7, 1},  // a larger major restarts the minor search at 0
        {6, 2, 10, 0, 6, 2}, // majors are tried up to 9 only
    };
    for (const auto &c : cases) {
        unsigned major = c.reportedMajor, minor = c.reportedMinor;
        correct_reported_version(
            major, minor, [&](unsigned i) { return i == c.realMajor; },
            [&](unsigned j) { return j == c.realMinor; });
        EXPECT_EQ(major, c.expectedMajor);
        EXPECT_EQ(minor, c.expectedMinor);
    }
}

TEST(PkiErrors, ListedRangesAndOthers)
{
    EXPECT_STREQ(known_pki_error_text(0x80090006), "Invalid Signature.");
    EXPECT_STREQ(known_pki_error_text(0x800706D9),
                 "This system is missing required cryptographic services.");
    EXPECT_STREQ(known_pki_error_text(0x80092022), "Invalid string.");
    EXPECT_EQ(known_pki_error_text(0x80092025), nullptr);
    EXPECT_EQ(known_pki_error_text(0x80090002), nullptr);
    EXPECT_TRUE(is_pki_error(0x80090002));
    EXPECT_FALSE(is_pki_error(0x800706D9));
}

TEST(CatalogMember, TagAndFileKinds)
{
    uint8_t hash[20];
    for (int i = 0; i < 20; i++)
        hash[i] = static_cast<uint8_t>(i * 13);
    std::string tag = member_tag(hash, sizeof hash);
    EXPECT_EQ(tag.size(), 40u);
    EXPECT_EQ(tag.substr(0, 8), "000D1A27");

    EXPECT_EQ(classify_catalog_file("winusbcoinstaller2.dll"), catalog_file_kind::pe);
    EXPECT_EQ(classify_catalog_file("installer_x64.EXE"), catalog_file_kind::pe);
    EXPECT_EQ(classify_catalog_file("x.sys"), catalog_file_kind::pe);
    EXPECT_EQ(classify_catalog_file("a.b.inf"), catalog_file_kind::inf);
    EXPECT_EQ(classify_catalog_file("x.cat"), catalog_file_kind::unhandled);
    EXPECT_EQ(classify_catalog_file("README"), catalog_file_kind::unhandled);
}

TEST(VendorLists, StationIsNeitherAKnownVendorNorAnAndroidDevice)
{
    EXPECT_STREQ(usb_vendor_name(0x046D), "Logitech, Inc.");
    EXPECT_EQ(usb_vendor_name(0x3746), nullptr);
    EXPECT_TRUE(is_android_device(0x18D1, 0x4EE2));
    EXPECT_FALSE(is_android_device(0x3746, 0x00AB));
}
