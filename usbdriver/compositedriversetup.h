#pragma once

#include "devicenodesource.h"
#include "usbdriversetup.h"

#include <functional>
#include <memory>
#include <string>

// Checks and repairs the driver state of the power station's composite USB device (vendor 3746):
// the system composite-parent driver on the device, WinUSB on interface 00 and usbser on
// interface 01. It keeps no state between calls; every call enumerates the nodes afresh.
class CompositeDriverSetup : public UsbDriverSetup
{
public:
    using LogFn = std::function<void(const std::string &line)>;

    // packageFolderUtf8 receives the generated driver packages ("<home>/usbDriver").
    CompositeDriverSetup(std::unique_ptr<DeviceNodeSource> source, std::string packageFolderUtf8,
                         LogFn log);

    bool isUsbDevicePresent(bool &isComposite) override;
    bool installCompositeDriver() override;
    bool areInterfaceDriversReady() override;
    bool installInterfaceDrivers() override;
    bool installDriverForHardwareId(const std::u16string &hardwareId,
                                    const std::u16string &infPath);

private:
    struct StationNode;
    struct InterfaceFlags;

    std::unique_ptr<DeviceNodeSet> openSet(NodeScope scope);
    bool runWasGood(uint32_t lastError);
    StationNode findStation(DeviceNodeSet &set);
    void visitInterface(const std::u16string &hardwareId, const std::u16string &interfaceNumber,
                        const std::u16string &service, InterfaceFlags &flags);
    bool generateAndInstall(const std::u16string &hardwareId, const std::string &interfaceNumber);

    std::unique_ptr<DeviceNodeSource> source_;
    std::string packageFolder_;
    LogFn log_;
};
