#include "exportwalk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace hy;

namespace {

struct prepared
{
    std::string description;
    std::string infName; // "<none>" when no name could be derived
    int driverType;
};

class ExportWalkTest : public ::testing::Test
{
protected:
    device_record &add(uint16_t vid, bool isInterface, uint8_t mi, const char *driver,
                       const char *description)
    {
        records_.push_back(new device_record{});
        device_record *r = records_.back();
        r->vendor_id = vid;
        r->is_interface = isInterface;
        r->interface_number = mi;
        r->driver_name = const_cast<char *>(driver);
        r->description = const_cast<char *>(description);
        if (records_.size() > 1)
            records_[records_.size() - 2]->next = r;
        return *r;
    }

    int walk(const char *interfaceNumber)
    {
        return walk_for_interface(
            records_.empty() ? nullptr : records_.front(), interfaceNumber,
            [this](const char *m) { messages_.push_back(m); },
            [this](device_record *r, const char *infName, int type) {
                calls_.push_back({r->description ? r->description : "<null>",
                                  infName ? infName : "<none>", type});
                return prepareResult_;
            });
    }

    void TearDown() override
    {
        for (device_record *r : records_)
            delete r;
    }

    std::vector<device_record *> records_;
    std::vector<std::string> messages_;
    std::vector<prepared> calls_;
    int prepareResult_ = 0;
};

} // namespace

TEST_F(ExportWalkTest, PreparesTheRequestedInterfaceWithItsDriverType)
{
    add(0x046d, true, 1, "HidUsb", "Mouse (Interface 1)");
    add(0x3746, true, 0, nullptr, "Power Station (Interface 0)");
    add(0x3746, true, 1, "usbccgp", "Power Station (Interface 1)");

    EXPECT_EQ(walk("01"), 0);
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].infName, "Power_Station_(Interface_1).inf");
    EXPECT_EQ(calls_[0].driverType, HY_CDC);
    EXPECT_EQ(messages_,
              std::vector<std::string>{"generate Power Station (Interface 1) Driver..."});

    calls_.clear();
    EXPECT_EQ(walk("00"), 0);
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].infName, "Power_Station_(Interface_0).inf");
    EXPECT_EQ(calls_[0].driverType, HY_WINUSB);
}

TEST_F(ExportWalkTest, InterfaceAlreadyOnItsDriverIsLeftAlone)
{
    add(0x3746, true, 0, "WinUSB", "Power Station (Interface 0)");
    add(0x3746, true, 1, "usbser", "Power Station (Interface 1)");
    EXPECT_EQ(walk("00"), 0);
    EXPECT_EQ(walk("01"), 0);
    EXPECT_TRUE(calls_.empty());
    EXPECT_TRUE(messages_.empty());

    // The comparison is exact: another spelling still gets a package.
    records_[1]->driver_name = const_cast<char *>("USBSER");
    EXPECT_EQ(walk("01"), 0);
    EXPECT_EQ(calls_.size(), 1u);
}

TEST_F(ExportWalkTest, NothingToDoWithoutTheStation)
{
    add(0x046d, true, 0, nullptr, "Mouse (Interface 0)");
    add(0x3746, false, 0, "usbccgp", "Power Station"); // composite parent, not an interface
    for (const char *n : {"00", "01", "bogus"})
        EXPECT_EQ(walk(n), 0);
    EXPECT_TRUE(calls_.empty());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ExportWalkTest, BadInterfaceNumberWhileTheStationIsPresent)
{
    add(0x3746, true, 0, nullptr, "Power Station (Interface 0)");
    for (const char *n : {"0", "001", "1", "", static_cast<const char *>(nullptr)}) {
        messages_.clear();
        EXPECT_EQ(walk(n), HY_ERROR_NOT_FOUND);
        EXPECT_EQ(messages_, std::vector<std::string>{"Can not find 0x3746 Interface"});
    }
    EXPECT_TRUE(calls_.empty());
}

TEST_F(ExportWalkTest, UnknownStationInterfaceStopsTheWalk)
{
    add(0x3746, true, 2, nullptr, "Power Station (Interface 2)");
    add(0x3746, true, 1, nullptr, "Power Station (Interface 1)");
    EXPECT_EQ(walk("01"), HY_ERROR_OTHER);
    EXPECT_EQ(messages_, std::vector<std::string>{"unknown composite device interface[2]"});
    EXPECT_TRUE(calls_.empty());
}

TEST_F(ExportWalkTest, UnusableDescriptionStillReachesPreparation)
{
    std::string longName(201, 'x');
    add(0x3746, true, 1, nullptr, longName.c_str());
    prepareResult_ = HY_ERROR_INVALID_PARAM;
    EXPECT_EQ(walk("01"), HY_ERROR_INVALID_PARAM);
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].infName, "<none>");
    ASSERT_EQ(messages_.size(), 3u);
    EXPECT_EQ(messages_[1], "'" + longName + "' is too long for a device name");
    EXPECT_EQ(messages_[2], "generate driver failed");

    // Messages are cut to the export's 256-byte buffer.
    std::string longer(250, 'y');
    records_[0]->description = const_cast<char *>(longer.c_str());
    messages_.clear();
    walk("01");
    EXPECT_EQ(messages_[0], "generate " + longer.substr(0, 246));

    messages_.clear();
    records_[0]->description = nullptr;
    walk("01");
    EXPECT_EQ(messages_[1], "'<NULL>' is invalid for a device name");
}
