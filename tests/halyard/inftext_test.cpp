// INF names, package paths and the texts that go into a package.
#include "infname.h"
#include "packagenames.h"

#include <gtest/gtest.h>

using namespace hy;

TEST(InfName, DerivedFromTheDescription)
{
    struct
    {
        const char *description;
        const char *expected;
    } cases[] = {
        {"Power Station (Interface 1)", "Power_Station_(Interface_1).inf"},
        {"tab\there", "tab_here.inf"},
        {"a\"*/:<>?\\|,b", "ab.inf"},
        {"\x01\x08\x0a\x1f\x7f", ".inf"},
        {"", ".inf"},
        {"Stat\xc3\xa9 \xe2\x82\xac", "Stat\xc3\xa9_\xe2\x82\xac.inf"},
    };
    for (const auto &c : cases) {
        std::string out;
        ASSERT_TRUE(derive_inf_name(c.description, ".inf", out)) << c.description;
        EXPECT_EQ(out, c.expected);
    }
}

TEST(InfName, RefusesMissingTooLongAndMalformedNames)
{
    std::string out;
    EXPECT_TRUE(derive_inf_name(std::string(200, 'x').c_str(), ".inf", out));
    EXPECT_EQ(out.size(), 204u);
    EXPECT_FALSE(derive_inf_name(std::string(201, 'x').c_str(), ".inf", out));
    EXPECT_FALSE(derive_inf_name(nullptr, ".inf", out));
    EXPECT_FALSE(derive_inf_name("bad \xc3", ".inf", out));
    EXPECT_FALSE(derive_inf_name("surrogate \xed\xa0\x80", ".inf", out));
}

TEST(PackageNames, InfAndCatalogPaths)
{
    std::string name = inf_file_name("any/dir\\Power_Station_(Interface_0).inf");
    EXPECT_EQ(name, "Power_Station_(Interface_0).inf");
    EXPECT_TRUE(has_inf_extension(name));
    EXPECT_FALSE(has_inf_extension("driver.INF"));
    EXPECT_FALSE(has_inf_extension("inf"));

    std::string path;
    ASSERT_TRUE(join_inf_path("C:/Users/u/usbDriver", name, path));
    EXPECT_EQ(path, "C:/Users/u/usbDriver\\Power_Station_(Interface_0).inf");
    std::string cat;
    ASSERT_TRUE(catalog_path_for(path, cat));
    EXPECT_EQ(cat, "C:/Users/u/usbDriver\\Power_Station_(Interface_0).cat");
    EXPECT_FALSE(catalog_path_for("a.i", cat));
    EXPECT_EQ(catalog_file_name("x.inf"), "x.cat");
}

TEST(PackageNames, InfPathLengthLimits)
{
    std::string path;
    EXPECT_TRUE(join_inf_path(std::string(250, 'f'), std::string(8, 'n'), path));
    EXPECT_EQ(path.size(), 259u); // fits a 260-byte buffer with its NUL
    EXPECT_FALSE(join_inf_path(std::string(250, 'f'), std::string(9, 'n'), path));
    EXPECT_FALSE(join_inf_path(std::string(260, 'f'), "", path));
    EXPECT_FALSE(join_inf_path("", std::string(260, 'n'), path));
}

TEST(PackageNames, HardwareIdsAndCertificateSubject)
{
    EXPECT_EQ(hardware_id_text(0x3746, 0xab, true, 1), "VID_3746&PID_00AB&MI_01");
    EXPECT_EQ(hardware_id_text(0x3746, 0xab, false, 1), "VID_3746&PID_00AB");
    EXPECT_STREQ(generic_hardware_id(3), "MS_COMP_USBSER");
    EXPECT_STREQ(generic_hardware_id(4), "");

    std::string catalogId = catalog_hardware_id("VID_3746&PID_00AB&MI_01");
    EXPECT_EQ(catalogId, "USB\\VID_3746&PID_00AB&MI_01");
    EXPECT_EQ(certificate_subject_for(catalogId), "CN=USB\\VID_3746&PID_00AB&MI_01");
    EXPECT_EQ(catalog_hardware_id(std::string(60, 'h')).size(), 39u);
    EXPECT_EQ(certificate_subject_for(std::string(70, 's')).size(), 63u);
}

TEST(PackageNames, VersionDateAndGuidTexts)
{
    EXPECT_EQ(driver_version_text(0x00060001, 0x1DB10000 | 0x4000), "6.1.7601.16384");
    EXPECT_EQ(driver_version_text(0, 0), "0.0.0.0");
    EXPECT_EQ(driver_date_text(6, 1, 2012), "06/01/2012");
    const uint8_t d4[8] = {0x88, 0x14, 0x9e, 0xd6, 0x73, 0xd0, 0xdd, 0x6b};
    EXPECT_EQ(guid_text(0xf72fe0d4, 0xcbcb, 0x407d, d4), "{F72FE0D4-CBCB-407D-8814-9ED673D0DD6B}");
    // 2012-06-01 23:35:26 UTC
    EXPECT_EQ(unix_to_filetime(1338593726), 129830673260000000ULL);
}

TEST(PackageNames, DeviceTextsBecomeInfStringText)
{
    struct
    {
        const char *text;
        size_t maxBytes;
        const char *expected;
    } cases[] = {
        {"Power Station (Interface 1)", 1023, "Power Station (Interface 1)"},
        {"say \"hi\" 100%", 1023, "say \"\"hi\"\" 100%%"},
        {"one\r\n[DefaultInstall]\r\nAddReg=x", 1023, "one[DefaultInstall]AddReg=x"},
        {"tab\there\x7f\x01", 1023, "tabhere"},
        {"Stat\xc3\xa9", 1023, "Stat\xc3\xa9"},
        {nullptr, 1023, ""},
        // Cut before a pair or a character that would not fit whole.
        {"ab%", 3, "ab"},
        {"a\xc3\xa9", 2, "a"},
        {"a\xe2\x82\xac", 3, "a"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(inf_string_value(c.text, c.maxBytes), c.expected) << (c.text ? c.text : "null");
}
