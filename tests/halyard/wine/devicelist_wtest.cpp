// The device list's rules and the export over made-up device nodes (Wine has no USB devices).
#include "exportpackage_win.h"
#include "fakedevices.h"
#include "winetestsupport.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstring>

#include <string>
#include <vector>

using namespace hy;
using namespace hytest;

namespace {

std::vector<std::string> descriptions(const device_record *list)
{
    std::vector<std::string> out;
    for (; list != nullptr; list = list->next)
        out.push_back(list->description ? list->description : "<null>");
    return out;
}

// A machine with every kind of node the rules tell apart.
std::vector<fake_node> mixed_machine()
{
    fake_node gadget; // driverless, described by the registry only, with trailing blanks
    gadget.device_id = "USB\\VID_1234&PID_5678\\1";
    gadget.registry_description = "Gadget  \t";
    fake_node rootHub; // a root hub has no vendor ID
    rootHub.device_id = "USB\\ROOT_HUB30\\4&1A2B3C4D&0&0";
    rootHub.service = "usbhub3";
    rootHub.bus_description = "Root hub";
    fake_node hub;
    hub.device_id = "USB\\VID_05E3&PID_0610\\5&2";
    hub.service = "USBHUB3";
    hub.bus_description = "Generic Hub";
    fake_node parent;
    parent.device_id = "USB\\VID_3746&PID_00AB\\SN123";
    parent.service = "usbccgp";
    parent.bus_description = "Power Station";
    fake_node unreachable = gadget; // CM_Get_Device_ID fails
    unreachable.device_id.reset();
    fake_node nameless1;
    nameless1.device_id = "USB\\VID_0001&PID_0001\\a";
    fake_node nameless2;
    nameless2.device_id = "USB\\VID_0001&PID_0002\\b";
    return {station_interface("01", "usbser"),
            gadget,
            rootHub,
            hub,
            parent,
            unreachable,
            nameless1,
            nameless2};
}

class DeviceListTest : public ::testing::Test
{
protected:
    void SetUp() override { clear_log(); }
};

} // namespace

TEST_F(DeviceListTest, TheStationsInterfaceNode)
{
    fake_machine machine({station_interface("01", "usbser")});
    list_options options = {1, 0, 0};
    device_record *list = nullptr;
    ASSERT_EQ(hy_create_list(&list, &options, machine.calls()), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->next, nullptr);
    EXPECT_EQ(list->vendor_id, 0x3746);
    EXPECT_EQ(list->product_id, 0x00AB);
    EXPECT_TRUE(list->is_interface);
    EXPECT_EQ(list->interface_number, 1);
    EXPECT_STREQ(list->description, "Power Station (Interface 1)");
    EXPECT_STREQ(list->driver_name, "usbser");
    EXPECT_STREQ(list->device_id, "USB\\VID_3746&PID_00AB&MI_01\\6&2C9E8F1&0&0001");
    EXPECT_STREQ(list->hardware_id, "USB\\VID_3746&PID_00AB&REV_0100&MI_01");
    EXPECT_STREQ(list->compatible_id, "USB\\Class_FF");
    EXPECT_EQ(list->upper_filter, nullptr);
    EXPECT_EQ(list->driver_version, 0x000A00004A610001ull);
    EXPECT_TRUE(machine.set_destroyed());
    EXPECT_EQ(hy_destroy_list(list), 0);
}

TEST_F(DeviceListTest, SkipRulesCompositeParentAndUnknownDevices)
{
    fake_machine machine(mixed_machine());
    const struct
    {
        list_options options;
        std::vector<std::string> expected;
    } cases[] = {
        // Nodes with a driver, hubs and composite parents left out; blanks kept.
        {{0, 0, 0}, {"Gadget  \t", "Unknown Device #1", "Unknown Device #2"}},
        // Everything but the root hub and the node without a device ID; the counter restarts.
        {{1, 1, 1},
         {"Power Station (Interface 1)", "Gadget", "Generic Hub",
          "Power Station (Composite Parent)", "Unknown Device #1", "Unknown Device #2"}},
    };
    for (const auto &c : cases) {
        device_record *list = nullptr;
        ASSERT_EQ(hy_create_list(&list, &c.options, machine.calls()), 0);
        EXPECT_EQ(descriptions(list), c.expected);
        hy_destroy_list(list);
    }
    EXPECT_NE(log_text().find("Could not retrieve simple path for device 5: CR error"),
              std::string::npos);
}

TEST_F(DeviceListTest, NoNodesAtAll)
{
    fake_machine machine({});
    device_record *list = reinterpret_cast<device_record *>(1);
    EXPECT_EQ(hy_create_list(&list, nullptr, machine.calls()), HY_ERROR_NO_DEVICE);
    EXPECT_EQ(list, nullptr);
}

// The list is this process's memory: another process's listing must not keep it from being freed.
TEST_F(DeviceListTest, DestroyFreesTheListAlsoWhileAnotherProcessHoldsTheGuard)
{
    std::vector<fake_node> nodes(400, station_interface("00", "WinUSB"));
    fake_machine machine(nodes);
    auto heapInUse = [] {
        size_t used = 0;
        _HEAPINFO entry = {};
        while (_heapwalk(&entry) == _HEAPOK) {
            if (entry._useflag == _USEDENTRY)
                used += entry._size;
        }
        return used;
    };
    list_options options = {1, 0, 0};
    device_record *list = nullptr;
    const size_t before = heapInUse();
    ASSERT_EQ(hy_create_list(&list, &options, machine.calls()), 0);
    const size_t listed = heapInUse();
    ASSERT_GT(listed, before + 400 * 100);

    held_mutex other("Global\\hy_destroy_list");
    ASSERT_TRUE(other.held());
    EXPECT_EQ(hy_destroy_list(list), 0);
    EXPECT_LT(heapInUse(), before + (listed - before) / 10);
}

namespace {

std::vector<std::string> messages;
void HALYARD_CALL collect(const char *message)
{
    messages.push_back(message);
}

class ExportSeamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clear_log();
        messages.clear();
        folder_ = fresh_dir("exported");
        memset(infPath_, 'Z', sizeof infPath_);
    }
    std::string inf(const std::string &name)
    {
        std::string bytes = read_file(folder_ + "\\" + name);
        return bytes.size() < 2 ? std::string() : utf16le_to_utf8(bytes.substr(2));
    }
    std::string folder_;
    char infPath_[HALYARD_INF_PATH_SIZE];
};

} // namespace

// The export lists nodes that already have a driver (the station's interface usually has some
// other one), and gives interface 00 a WinUSB package and 01 a CDC package.
TEST_F(ExportSeamTest, DriverTypePerInterface)
{
    fake_machine machine({station_interface("00", "HidUsb"), station_interface("01", "HidUsb")});
    ASSERT_EQ(export_driver_package(folder_.c_str(), "00", infPath_, collect, machine.calls()), 0);
    EXPECT_STREQ(infPath_, (folder_ + "\\Power_Station_(Interface_0).inf").c_str());
    std::string winusb = inf("Power_Station_(Interface_0).inf");
    EXPECT_NE(winusb.find("Needs   = WINUSB.NT\r\n"), std::string::npos) << winusb;
    EXPECT_NE(winusb.find("USB\\VID_3746&PID_00AB&MI_00\r\n"), std::string::npos);
    EXPECT_EQ(messages, std::vector<std::string>{"generate Power Station (Interface 0) Driver..."});
    EXPECT_GE(machine.driver_keys_opened(), 2); // every device, with its driver version

    ASSERT_EQ(export_driver_package(folder_.c_str(), "01", infPath_, collect, machine.calls()), 0);
    EXPECT_STREQ(infPath_, (folder_ + "\\Power_Station_(Interface_1).inf").c_str());
    std::string cdc = inf("Power_Station_(Interface_1).inf");
    EXPECT_NE(cdc.find("%DeviceName% = CDC_Install, USB\\VID_3746&PID_00AB&MI_01\r\n"),
              std::string::npos)
        << cdc;
}

TEST_F(ExportSeamTest, AnInterfaceOnItsDriverIsLeftAlone)
{
    fake_machine machine({station_interface("00", "WinUSB"), station_interface("01", "usbser")});
    for (const char *mi : {"00", "01"}) {
        EXPECT_EQ(export_driver_package(folder_.c_str(), mi, infPath_, collect, machine.calls()),
                  0);
        EXPECT_EQ(infPath_[0], 'Z');
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(file_exists(folder_ + "\\installer_x64.exe"));
}
