#include "compositedriversetup.h"
#include "sysfsdevicenodesource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A sysfs tree in a temporary folder: devices and interfaces in bus/usb/devices, kernel drivers
// with their bind and unbind files in bus/usb/drivers, "driver" links from nodes to drivers.
class FakeSysfs
{
public:
    fs::path root() const { return dir_.path().toStdString(); }

    void addDriver(const std::string &name)
    {
        const auto dir = drivers() / name;
        fs::create_directories(dir);
        write(dir / "bind", "");
        write(dir / "unbind", "");
    }
    void addDevice(const std::string &name, const std::string &vendor, const std::string &product)
    {
        const auto dir = devices() / name;
        fs::create_directories(dir);
        write(dir / "idVendor", vendor + "\n");
        write(dir / "idProduct", product + "\n");
        write(dir / "bcdDevice", "0100\n");
        bind(name, "usb");
    }
    void addInterface(const std::string &name, const std::string &number, const std::string &driver)
    {
        fs::create_directories(devices() / name);
        write(devices() / name / "bInterfaceNumber", number + "\n");
        if (!driver.empty())
            bind(name, driver);
    }
    std::string read(const fs::path &relative) const
    {
        std::ifstream in(root() / relative);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The station with its two interfaces, and a root hub beside it.
    void addStation(const std::string &driver00, const std::string &driver01)
    {
        addDevice("usb1", "1d6b", "0002");
        addDevice("1-2", "3746", "abcd");
        addInterface("1-2:1.0", "00", driver00);
        addInterface("1-2:1.1", "01", driver01);
    }

private:
    fs::path devices() const { return root() / "bus/usb/devices"; }
    fs::path drivers() const { return root() / "bus/usb/drivers"; }
    void bind(const std::string &node, const std::string &driver)
    {
        addDriver(driver);
        fs::create_directory_symlink(drivers() / driver, devices() / node / "driver");
    }
    static void write(const fs::path &file, const std::string &text)
    {
        std::ofstream(file) << text;
    }

    QTemporaryDir dir_;
};

struct Linux
{
    explicit Linux(const FakeSysfs &sysfs)
        : setup(std::make_unique<SysfsDeviceNodeSource>(sysfs.root()), "/home/ann/usbDriver",
                [this](const std::string &line) { log.push_back(line); })
    {
    }
    std::vector<std::string> log;
    CompositeDriverSetup setup;
};

} // namespace

TEST(SysfsDriverSetup, StationOnCdcAcmWithAFreeInterface00IsReady)
{
    // usbfs on interface 00 means the NUT driver holds it through libusb: served, not touched.
    for (const std::string driver00 : {"", "usbfs"}) {
        FakeSysfs sysfs;
        sysfs.addStation(driver00, "cdc_acm");
        Linux linux(sysfs);
        bool composite = false;
        EXPECT_TRUE(linux.setup.isUsbDevicePresent(composite)) << driver00;
        EXPECT_TRUE(composite);
        EXPECT_TRUE(linux.setup.installCompositeDriver());
        EXPECT_TRUE(linux.setup.areInterfaceDriversReady()) << driver00;
        EXPECT_TRUE(linux.setup.installInterfaceDrivers());
        EXPECT_THAT(linux.log,
                    ElementsAre("isFindCompositeSerial true isFindCompositeWinUsb true"));
        EXPECT_EQ(sysfs.read("bus/usb/drivers/cdc_acm/bind"), "");
        EXPECT_EQ(sysfs.read("bus/usb/drivers/cdc_acm/unbind"), "");
    }
}

TEST(SysfsDriverSetup, BindsInterface01AndReleasesInterface00)
{
    FakeSysfs sysfs;
    sysfs.addStation("usbhid", "");
    sysfs.addDriver("cdc_acm");
    Linux linux(sysfs);

    EXPECT_FALSE(linux.setup.areInterfaceDriversReady());
    EXPECT_TRUE(linux.setup.installInterfaceDrivers());
    EXPECT_EQ(sysfs.read("bus/usb/drivers/usbhid/unbind"), "1-2:1.0");
    EXPECT_EQ(sysfs.read("bus/usb/drivers/cdc_acm/bind"), "1-2:1.1");
    EXPECT_THAT(
        linux.log,
        ElementsAre("Driver installed successfully for USB\\VID_3746&PID_ABCD&REV_0100&MI_00",
                    "Driver installed successfully for USB\\VID_3746&PID_ABCD&REV_0100&MI_01",
                    "isFindCompositeSerial true isFindCompositeWinUsb true"));
}

TEST(SysfsDriverSetup, ReportsABindThatCannotBeDone)
{
    FakeSysfs sysfs; // no cdc_acm driver registered with the kernel
    sysfs.addStation("", "");
    Linux linux(sysfs);

    EXPECT_FALSE(linux.setup.installInterfaceDrivers());
    EXPECT_THAT(linux.log,
                ElementsAre("Error code 2",
                            "Failed to install driver for USB\\VID_3746&PID_ABCD&REV_0100&MI_01",
                            "isFindCompositeSerial false isFindCompositeWinUsb true"));
}

TEST(SysfsDriverSetup, MachineWithoutTheStation)
{
    FakeSysfs sysfs;
    sysfs.addDevice("usb1", "1d6b", "0002");
    sysfs.addDevice("1-1", "046d", "c52b");
    sysfs.addInterface("1-1:1.0", "00", "");
    sysfs.addInterface("1-1:1.1", "01", "cdc_acm");
    Linux linux(sysfs);

    bool composite = false;
    EXPECT_FALSE(linux.setup.isUsbDevicePresent(composite));
    EXPECT_FALSE(linux.setup.areInterfaceDriversReady());
    EXPECT_THAT(linux.log, IsEmpty());
}

TEST(SysfsDriverSetup, MissingSysfsCannotBeEnumerated)
{
    QTemporaryDir empty;
    CompositeDriverSetup setup(std::make_unique<SysfsDeviceNodeSource>(empty.path().toStdString()),
                               "/home/ann/usbDriver", [](const std::string &line) {
                                   EXPECT_EQ(line,
                                             "Failed to get device information set. Error: 2");
                               });
    bool composite = false;
    EXPECT_FALSE(setup.isUsbDevicePresent(composite));
}

TEST(SysfsDeviceNodeSource, InstallsOnlyKernelDriverNamesForKnownNodes)
{
    FakeSysfs sysfs;
    sysfs.addStation("", "");
    sysfs.addDriver("cdc_acm");
    SysfsDeviceNodeSource source(sysfs.root());
    const std::u16string interface01 = u"USB\\VID_3746&PID_ABCD&REV_0100&MI_01";

    struct Case
    {
        std::u16string hardwareId, package;
        bool ok;
        uint32_t error;
    };
    const Case cases[] = {
        {interface01, u"C:\\Windows\\INF\\usb.inf", false, EINVAL},
        {interface01, u"../../../../etc/x", false, EINVAL},
        {interface01, u"..", false, EINVAL},
        {interface01, u"", false, EINVAL},
        {u"USB\\VID_3746&PID_ABCD&REV_0100&MI_02", u"cdc_acm", false, ENODEV},
        {interface01, u"cdc_acm", true, 0},
    };
    for (const auto &c : cases) {
        const auto outcome = source.installDriver(c.hardwareId, c.package);
        EXPECT_EQ(outcome.ok, c.ok);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_FALSE(outcome.rebootRequired);
    }
    EXPECT_EQ(sysfs.read("bus/usb/drivers/cdc_acm/bind"), "1-2:1.1");
}
