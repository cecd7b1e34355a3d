#include "compositedriversetup.h"
#include "fakedevicenodesource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Installs = std::vector<std::pair<std::u16string, std::u16string>>;

namespace {

const std::u16string kDeviceId = u"USB\\VID_3746&PID_0001&REV_0100";
const std::u16string kInterface00Id = u"USB\\VID_3746&PID_0001&REV_0100&MI_00";
const std::u16string kInterface01Id = u"USB\\VID_3746&PID_0001&REV_0100&MI_01";
const std::u16string kCompositeInf = u"C:\\Windows\\INF\\usb.inf";
const std::string kFolder = "C:/Users/ann/usbDriver";

FakeNode stationDevice(std::u16string description = u"USB Composite Device")
{
    return {kDeviceId, u"usbccgp", std::move(description), true};
}
FakeNode interface00(std::optional<std::u16string> service = u"WinUSB")
{
    return {kInterface00Id, std::move(service)};
}
FakeNode interface01(std::optional<std::u16string> service = u"usbser")
{
    return {kInterface01Id, std::move(service)};
}
// A mouse whose interfaces run the services the station's would: the vendor must decide.
std::vector<FakeNode> otherVendorNodes()
{
    return {{u"USB\\VID_046D&PID_C52B&REV_1200", u"usbccgp", u"USB Composite Device", true},
            {u"USB\\VID_046D&PID_C52B&REV_1200&MI_00", u"WinUSB"},
            {u"USB\\VID_046D&PID_C52B&REV_1200&MI_01", u"usbser"}};
}
FakeNode unreadableNode()
{
    return {std::nullopt, std::nullopt, std::nullopt, true};
}

std::vector<FakeNode> withOthers(std::vector<FakeNode> station)
{
    auto nodes = otherVendorNodes();
    nodes.insert(nodes.begin(), unreadableNode());
    nodes.insert(nodes.end(), station.begin(), station.end());
    return nodes;
}

struct Harness
{
    explicit Harness(FakeMachine machine, std::string folder = kFolder)
    {
        auto owned = std::make_unique<FakeDeviceNodeSource>(std::move(machine));
        source = owned.get();
        setup = std::make_unique<CompositeDriverSetup>(
            std::move(owned), std::move(folder),
            [this](const std::string &line) { log.push_back(line); });
    }
    FakeDeviceNodeSource *source;
    std::vector<std::string> log;
    std::unique_ptr<CompositeDriverSetup> setup;
};

struct MachineCase
{
    const char *name;
    FakeMachine machine;
    bool present;
    bool composite;
    bool ready;
    bool installed;
    std::vector<std::string> generated; // interface numbers handed to the generator, in order
    Installs installs;
    const char *flagsLine;
};

class MachineTable : public ::testing::TestWithParam<MachineCase>
{
};

} // namespace

TEST_P(MachineTable, ChecksAndRepairsTheInterfaceDrivers)
{
    const auto &c = GetParam();
    Harness h(c.machine);

    bool composite = false;
    EXPECT_EQ(h.setup->isUsbDevicePresent(composite), c.present);
    EXPECT_EQ(composite, c.composite);
    EXPECT_EQ(h.setup->areInterfaceDriversReady(), c.ready);
    EXPECT_THAT(h.log, IsEmpty());

    EXPECT_EQ(h.setup->installInterfaceDrivers(), c.installed);
    std::vector<std::string> generated;
    for (const auto &[folder, mi] : h.source->generations) {
        EXPECT_EQ(folder, kFolder);
        generated.push_back(mi);
    }
    EXPECT_EQ(generated, c.generated);
    EXPECT_EQ(h.source->installs, c.installs);
    EXPECT_EQ(h.log.back(), c.flagsLine);
}

const std::u16string kPackage00 = u"C:/Users/ann/usbDriver\\mi00.inf";
const std::u16string kPackage01 = u"C:/Users/ann/usbDriver\\mi01.inf";

INSTANTIATE_TEST_SUITE_P(
    Machines, MachineTable,
    ::testing::Values(
        MachineCase{"NoStation",
                    FakeMachine(withOthers({})),
                    false,
                    false,
                    false,
                    false,
                    {},
                    {},
                    "isFindCompositeSerial false isFindCompositeWinUsb false"},
        MachineCase{"EveryDriverInPlace",
                    FakeMachine(withOthers({stationDevice(), interface00(), interface01()})),
                    true,
                    true,
                    true,
                    true,
                    {},
                    {},
                    "isFindCompositeSerial true isFindCompositeWinUsb true"},
        MachineCase{"CompositeParentUnbound",
                    FakeMachine(withOthers({stationDevice(u"Power Station")})),
                    true,
                    false,
                    false,
                    false,
                    {},
                    {},
                    "isFindCompositeSerial false isFindCompositeWinUsb false"},
        MachineCase{
            "Interface00OnAnotherDriver",
            FakeMachine(withOthers({stationDevice(), interface00(u"HidUsb"), interface01()})),
            true,
            true,
            false,
            true,
            {"00"},
            {{kInterface00Id, kPackage00}},
            "isFindCompositeSerial true isFindCompositeWinUsb true"},
        // WinUSB on interface 01 is not the serial driver, though the readiness check, which
        // ignores interface numbers, cannot tell.
        MachineCase{
            "Interface01WithoutUsbser",
            FakeMachine(withOthers({stationDevice(), interface00(), interface01(u"WinUSB")})),
            true,
            true,
            false,
            true,
            {"01"},
            {{kInterface01Id, kPackage01}},
            "isFindCompositeSerial true isFindCompositeWinUsb true"},
        MachineCase{
            "InterfaceWithoutServiceIsSkipped",
            FakeMachine(withOthers({stationDevice(), interface00(), interface01(std::nullopt)})),
            true,
            true,
            false,
            false,
            {},
            {},
            "isFindCompositeSerial false isFindCompositeWinUsb true"},
        MachineCase{"OneInterfaceFailsToInstall",
                    FakeMachine(withOthers({stationDevice(), interface00(u"HidUsb"),
                                            interface01(u"HidUsb")}))
                        .installing(kInterface00Id, {false, false, 5}),
                    true,
                    true,
                    false,
                    false,
                    {"00", "01"},
                    {{kInterface00Id, kPackage00}, {kInterface01Id, kPackage01}},
                    "isFindCompositeSerial true isFindCompositeWinUsb false"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CompositeDriverSetup, LogsEachInstallation)
{
    Harness h(
        FakeMachine(withOthers({stationDevice(), interface00(u"HidUsb"), interface01(u"HidUsb")}))
            .installing(kInterface00Id, {false, false, 5})
            .installing(kInterface01Id, {true, true, 0}));

    EXPECT_FALSE(h.setup->installInterfaceDrivers());
    EXPECT_THAT(
        h.log,
        ElementsAre(
            "Error code 5", "Failed to install driver for USB\\VID_3746&PID_0001&REV_0100&MI_00",
            "Driver installed successfully for USB\\VID_3746&PID_0001&REV_0100&MI_01",
            "Reboot is required.", "isFindCompositeSerial true isFindCompositeWinUsb false"));
}

TEST(CompositeDriverSetup, InstallsTheCompositeParentOnlyWhereItIsMissing)
{
    Harness bound(FakeMachine(withOthers({stationDevice(), interface00(u"HidUsb")})));
    EXPECT_TRUE(bound.setup->installCompositeDriver());
    EXPECT_THAT(bound.source->installs, IsEmpty());
    EXPECT_THAT(bound.log, IsEmpty());

    Harness unbound(FakeMachine(withOthers({stationDevice(u"Power Station")})));
    EXPECT_TRUE(unbound.setup->installCompositeDriver());
    EXPECT_EQ(unbound.source->installs, (Installs{{kDeviceId, kCompositeInf}}));
    EXPECT_THAT(unbound.log,
                ElementsAre("Driver installed successfully for USB\\VID_3746&PID_0001&REV_0100",
                            "Composite res true"));

    Harness refused(FakeMachine(withOthers({stationDevice(u"Power Station")}))
                        .installing(kDeviceId, {false, false, 0xE000020B}));
    EXPECT_FALSE(refused.setup->installCompositeDriver());
    EXPECT_THAT(refused.log,
                ElementsAre("Error code 3758096907",
                            "Failed to install driver for USB\\VID_3746&PID_0001&REV_0100",
                            "Composite res false"));
}

// Without a station there is no hardware ID to install for; the installer is not asked, so a
// lax one cannot report success for nothing.
TEST(CompositeDriverSetup, NeverCallsTheInstallerWithoutADeviceOrPackage)
{
    Harness absent{FakeMachine(otherVendorNodes())};
    EXPECT_FALSE(absent.setup->installCompositeDriver());
    EXPECT_THAT(absent.source->installs, IsEmpty());
    EXPECT_THAT(absent.log, ElementsAre("Failed to install driver for ", "Composite res false"));

    // The generator leaves the path empty when it fails or finds nothing to do.
    Harness noPackage(
        FakeMachine({stationDevice(), interface00(u"HidUsb"), interface01()}).generating("00", ""));
    EXPECT_FALSE(noPackage.setup->installInterfaceDrivers());
    EXPECT_THAT(noPackage.source->installs, IsEmpty());
    EXPECT_THAT(noPackage.log,
                ElementsAre("Failed to install driver for USB\\VID_3746&PID_0001&REV_0100&MI_00",
                            "isFindCompositeSerial true isFindCompositeWinUsb false"));
}

TEST(CompositeDriverSetup, PackagePathsTravelAsUtf8BothWays)
{
    const std::string folder = "C:/Users/Zoë Åström/usbDriver";
    const std::string inf = "C:\\Users\\Zoë Åström\\usbDriver\\Power_Station_(Interface_1).inf";
    Harness h(
        FakeMachine({stationDevice(), interface00(), interface01(u"HidUsb")}).generating("01", inf),
        folder);

    EXPECT_TRUE(h.setup->installInterfaceDrivers());
    ASSERT_EQ(h.source->generations.size(), 1u);
    EXPECT_EQ(h.source->generations[0].first, folder);
    EXPECT_EQ(h.source->installs,
              (Installs{{kInterface01Id,
                         u"C:\\Users\\Zo\u00EB "
                         u"\u00C5str\u00F6m\\usbDriver\\Power_Station_(Interface_1).inf"}}));
}

TEST(CompositeDriverSetup, ReportsASetThatCannotBeCreated)
{
    Harness h(
        FakeMachine(withOthers({stationDevice(), interface00(), interface01()})).failingOpen(87));
    bool composite = false;
    EXPECT_FALSE(h.setup->isUsbDevicePresent(composite));
    EXPECT_FALSE(h.setup->installCompositeDriver());
    EXPECT_FALSE(h.setup->areInterfaceDriversReady());
    EXPECT_FALSE(h.setup->installInterfaceDrivers());
    EXPECT_EQ(h.log,
              std::vector<std::string>(4, "Failed to get device information set. Error: 87"));
    EXPECT_THAT(h.source->installs, IsEmpty());
}

TEST(CompositeDriverSetup, ReportsAnEnumerationThatEndsInError)
{
    Harness h(FakeMachine(withOthers({interface00(u"HidUsb")})).endingEnumerationWith(1167));
    bool composite = false;
    EXPECT_FALSE(h.setup->isUsbDevicePresent(composite));
    EXPECT_FALSE(h.setup->installCompositeDriver());
    EXPECT_FALSE(h.setup->areInterfaceDriversReady());
    // The generation for interface 00 happened before the enumeration failed; the result and
    // the missing flags line tell that the run is not to be trusted.
    EXPECT_FALSE(h.setup->installInterfaceDrivers());
    EXPECT_EQ(h.log.back(), "Error enumerating devices. Error: 1167");
    EXPECT_EQ(std::count(h.log.begin(), h.log.end(), "Error enumerating devices. Error: 1167"), 4);
    EXPECT_EQ(h.source->installs, (Installs{{kInterface00Id, kPackage00}}));
}

TEST(CompositeDriverSetup, AFailedDescriptionReadIsAnEnumerationError)
{
    Harness h(FakeMachine({stationDevice(u"Power Station")}).failingDescriptions(1784));
    bool composite = false;
    EXPECT_FALSE(h.setup->isUsbDevicePresent(composite));
    EXPECT_FALSE(composite);
    EXPECT_FALSE(h.setup->installCompositeDriver());
    EXPECT_THAT(h.source->installs, IsEmpty());
    EXPECT_THAT(h.log, ElementsAre("Error enumerating devices. Error: 1784",
                                   "Error enumerating devices. Error: 1784"));
}
