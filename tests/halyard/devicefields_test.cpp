// What the device list reads from a node: identifiers, descriptions, driver version.
#include "devicedescription.h"
#include "deviceid.h"
#include "driverversion.h"

#include <gtest/gtest.h>

using namespace hy;

TEST(DeviceId, ReadsVendorProductAndInterface)
{
    struct
    {
        const char *id;
        bool hasVid;
        uint16_t vid, pid;
        bool isInterface;
        uint8_t mi;
    } cases[] = {
        {"USB\\VID_3746&PID_00AB&MI_01\\7&1A2B3C&0&0001", true, 0x3746, 0x00ab, true, 1},
        {"USB\\VID_3746&PID_00AB\\SN0001", true, 0x3746, 0x00ab, false, 0},
        {"USB\\ROOT_HUB30\\4&2F1B2C&0&0", false, 0, 0, false, 0},
        {"USB\\vid_3746&pid_00ab&mi_01\\x", false, 0, 0, false, 0}, // prefixes are case-sensitive
        {"USB\\VID_1a2b3&PID_12345#MI_0A", true, 0x1a2b, 0x1234, true, 10},
        {"USB\\VID_&PID_0001&MI_zz", true, 0, 1, false, 0},
    };
    for (const auto &c : cases) {
        device_id_tokens ids = parse_device_id(c.id);
        EXPECT_EQ(ids.has_vendor_id, c.hasVid) << c.id;
        EXPECT_EQ(ids.vendor_id, c.vid) << c.id;
        EXPECT_EQ(ids.product_id, c.pid) << c.id;
        EXPECT_EQ(ids.is_interface, c.isInterface) << c.id;
        EXPECT_EQ(ids.interface_number, c.mi) << c.id;
    }
    device_id_tokens bad = parse_device_id("USB\\VID_&PID_0001&MI_zz");
    EXPECT_TRUE(bad.vendor_id_bad);
    EXPECT_FALSE(bad.product_id_bad);
    EXPECT_TRUE(bad.interface_bad);
}

TEST(DeviceDescription, SuffixesOnlyWhileTheBufferHasRoom)
{
    std::u16string d = u"Power Station";
    append_interface_suffix(d, 1);
    EXPECT_EQ(d, u"Power Station (Interface 1)");

    std::u16string fits(238, u'x');
    append_interface_suffix(fits, 12);
    EXPECT_EQ(fits.size(), 238u + 15u);
    std::u16string full(239, u'x');
    append_interface_suffix(full, 12);
    EXPECT_EQ(full.size(), 239u);

    std::u16string parent = u"Hub";
    append_composite_parent_suffix(parent);
    EXPECT_EQ(parent, u"Hub (Composite Parent)");
    std::u16string longParent(236, u'x');
    append_composite_parent_suffix(longParent);
    EXPECT_EQ(longParent.size(), 236u);

    EXPECT_EQ(unknown_device_description(2), u"Unknown Device #2");

    std::string trimmed = "Station \t\r\n";
    trim_trailing_whitespace(trimmed);
    EXPECT_EQ(trimmed, "Station");
}

TEST(DriverVersion, FoldsSixteenBitsPerPart)
{
    EXPECT_EQ(fold_driver_version("10.0.19041.1"), 0x000A00004A610001ULL);
    EXPECT_EQ(fold_driver_version("6.1"), 0x00060001ULL);
    EXPECT_EQ(fold_driver_version("3"), 3ULL);
    EXPECT_EQ(fold_driver_version(nullptr), 0ULL);
}
