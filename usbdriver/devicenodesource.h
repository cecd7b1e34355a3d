#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The device nodes of one machine as the driver setup sees them: sets of present nodes with
// their registry properties, the Plug and Play installer and the driver package generator.
// Windows serves it from SetupAPI, Linux from sysfs, the tests from a table.

enum class NodeScope {
    UsbDevices, // present devices that expose the USB device interface
    AllClasses  // every present device node, the composite device's interface nodes included
};

enum class NodeProperty { DeviceDescription, HardwareId, Service };

struct NodeStep
{
    enum Kind { Node, End, Failed };
    Kind kind;
    uint32_t error; // the system's code when kind is Failed
};

struct PropertyRead
{
    bool ok;
    std::u16string value; // the first string for multi-string properties
    uint32_t error;       // the system's code when !ok
};

struct InstallOutcome
{
    bool ok;
    bool rebootRequired;
    uint32_t error; // the system's code when !ok
};

// One enumeration over a set of device nodes; the set is released with this object.
class DeviceNodeSet
{
public:
    virtual ~DeviceNodeSet() = default;
    // Moves to the next node.
    virtual NodeStep next() = 0;
    // Reads a property of the node that next() moved to.
    virtual PropertyRead property(NodeProperty which) = 0;
};

class DeviceNodeSource
{
public:
    virtual ~DeviceNodeSource() = default;
    // Returns null and sets error when the set cannot be created.
    virtual std::unique_ptr<DeviceNodeSet> open(NodeScope scope, uint32_t &error) = 0;
    // Installs the package at packagePath for every node with this hardware ID.
    virtual InstallOutcome installDriver(const std::u16string &hardwareId,
                                         const std::u16string &packagePath) = 0;
    // Prepares the driver package of one interface ("00" or "01") in folderUtf8 and returns the
    // path to install (UTF-8), or an empty text when there is nothing to install.
    virtual std::string preparePackage(const std::string &folderUtf8,
                                       const std::string &interfaceNumber) = 0;
};
