#pragma once

#include "devicenodesource.h"

#include <filesystem>

// The USB device nodes of a Linux machine, read from sysfs below `root` ("/sys" on a real
// machine, a folder laid out like it in tests).
//
// Nodes are presented in the terms the driver setup decides by: a device's hardware ID is
// USB\VID_xxxx&PID_xxxx&REV_xxxx, an interface's adds &MI_xx. The kernel always binds the
// composite parent, so every device reads as "USB Composite Device". An interface bound to
// cdc_acm reads as served by "usbser"; one that no kernel driver holds, or that user space
// holds through usbfs, is free for the NUT driver and reads as served by "WinUSB"; any other
// binding reads as the kernel driver's name.
//
// A package is the kernel driver an interface should be bound to: cdc_acm for interface 01,
// usbfs (release it to user space) for interface 00. Installing binds and unbinds through
// sysfs, which needs root; a refused write is reported as a failed installation with its errno.
class SysfsDeviceNodeSource : public DeviceNodeSource
{
public:
    explicit SysfsDeviceNodeSource(std::filesystem::path root);

    std::unique_ptr<DeviceNodeSet> open(NodeScope scope, uint32_t &error) override;
    InstallOutcome installDriver(const std::u16string &hardwareId,
                                 const std::u16string &packagePath) override;
    std::string preparePackage(const std::string &folderUtf8,
                               const std::string &interfaceNumber) override;

private:
    std::filesystem::path devicesDir() const;
    std::filesystem::path driversDir() const;
    int rebind(const std::filesystem::path &node, const std::string &driver) const;

    std::filesystem::path root_;
};
