#include "compositedriversetup.h"

#include <functional>

#include "hardwareid.h"
#include "utf8text.h"

#include <optional>

namespace {

const std::u16string kVendorId = u"3746";
const std::u16string kCompositeDescription = u"USB Composite Device";
const std::u16string kCompositeParentInf = u"C:\\Windows\\INF\\usb.inf";
const std::u16string kSerialService = u"usbser";
const std::u16string kWinUsbService = u"WinUSB";
const std::u16string kSerialInterface = u"01";
const std::u16string kWinUsbInterface = u"00";

const char *text(bool value)
{
    return value ? "true" : "false";
}

struct VendorNode
{
    std::u16string hardwareId;
    HardwareIdParts parts;
};

// The node's first hardware ID when it belongs to the station; other nodes and nodes whose ID
// cannot be read are skipped.
std::optional<VendorNode> stationNodeId(DeviceNodeSet &set)
{
    const auto id = set.property(NodeProperty::HardwareId);
    if (!id.ok)
        return std::nullopt;
    auto parts = parseHardwareId(id.value);
    if (!parts || parts->vendorId != kVendorId)
        return std::nullopt;
    return VendorNode{id.value, *parts};
}

// Hands each of the station's nodes that reports a service to `visit` until it says the walk is
// done; returns the code of what ended the enumeration (0 for its normal end or a finished walk).
uint32_t walkStationServices(
    DeviceNodeSet &set,
    const std::function<bool(const VendorNode &node, const std::u16string &service)> &visit)
{
    for (;;) {
        const auto step = set.next();
        if (step.kind != NodeStep::Node)
            return step.kind == NodeStep::Failed ? step.error : 0;
        const auto node = stationNodeId(set);
        if (!node)
            continue;
        const auto service = set.property(NodeProperty::Service);
        if (!service.ok)
            continue;
        if (visit(*node, service.value))
            return 0;
    }
}

} // namespace

// The outcome of a search for the station's device node. lastError is what a good run is judged
// by: the code of what ended the enumeration, or of the description read on the found node.
// A property that could not be read on a skipped node never counts against the run.
struct CompositeDriverSetup::StationNode
{
    bool found = false;
    std::u16string hardwareId;
    bool composite = false;
    uint32_t lastError = 0;
};

struct CompositeDriverSetup::InterfaceFlags
{
    bool serial = false;
    bool winUsb = false;
};

CompositeDriverSetup::CompositeDriverSetup(std::unique_ptr<DeviceNodeSource> source,
                                           std::string packageFolderUtf8, LogFn log)
    : source_(std::move(source)), packageFolder_(std::move(packageFolderUtf8)), log_(std::move(log))
{
}

std::unique_ptr<DeviceNodeSet> CompositeDriverSetup::openSet(NodeScope scope)
{
    uint32_t error = 0;
    auto set = source_->open(scope, error);
    if (!set)
        log_("Failed to get device information set. Error: " + std::to_string(error));
    return set;
}

bool CompositeDriverSetup::runWasGood(uint32_t lastError)
{
    if (lastError == 0)
        return true;
    log_("Error enumerating devices. Error: " + std::to_string(lastError));
    return false;
}

CompositeDriverSetup::StationNode CompositeDriverSetup::findStation(DeviceNodeSet &set)
{
    StationNode station;
    for (;;) {
        const auto step = set.next();
        if (step.kind != NodeStep::Node) {
            station.lastError = step.kind == NodeStep::Failed ? step.error : 0;
            return station;
        }
        const auto node = stationNodeId(set);
        if (!node)
            continue;
        station.found = true;
        station.hardwareId = node->hardwareId;
        const auto description = set.property(NodeProperty::DeviceDescription);
        if (description.ok)
            station.composite = description.value == kCompositeDescription;
        else
            station.lastError = description.error;
        return station;
    }
}

bool CompositeDriverSetup::isUsbDevicePresent(bool &isComposite)
{
    auto set = openSet(NodeScope::UsbDevices);
    if (!set)
        return false;
    const auto station = findStation(*set);
    set.reset();
    if (station.composite)
        isComposite = true;
    return runWasGood(station.lastError) && station.found;
}

bool CompositeDriverSetup::installCompositeDriver()
{
    auto set = openSet(NodeScope::UsbDevices);
    if (!set)
        return false;
    const auto station = findStation(*set);
    set.reset();
    if (station.composite)
        return true;
    if (!runWasGood(station.lastError))
        return false;
    const bool result = installDriverForHardwareId(station.hardwareId, kCompositeParentInf);
    log_(std::string("Composite res ") + text(result));
    return result;
}

bool CompositeDriverSetup::areInterfaceDriversReady()
{
    auto set = openSet(NodeScope::AllClasses);
    if (!set)
        return false;
    InterfaceFlags flags;
    const uint32_t lastError =
        walkStationServices(*set, [&flags](const VendorNode &, const std::u16string &service) {
            if (service == kSerialService)
                flags.serial = true;
            else if (service == kWinUsbService)
                flags.winUsb = true;
            return flags.serial && flags.winUsb;
        });
    set.reset();
    return runWasGood(lastError) && flags.serial && flags.winUsb;
}

bool CompositeDriverSetup::installInterfaceDrivers()
{
    auto set = openSet(NodeScope::AllClasses);
    if (!set)
        return false;
    InterfaceFlags flags;
    const uint32_t lastError =
        walkStationServices(*set, [&](const VendorNode &node, const std::u16string &service) {
            visitInterface(node.hardwareId, node.parts.interfaceNumber, service, flags);
            return flags.serial && flags.winUsb;
        });
    set.reset();
    if (!runWasGood(lastError))
        return false;
    log_(std::string("isFindCompositeSerial ") + text(flags.serial) + " isFindCompositeWinUsb " +
         text(flags.winUsb));
    return flags.serial && flags.winUsb;
}

// A node that is interface 01 settles the serial flag and is not looked at as interface 00.
void CompositeDriverSetup::visitInterface(const std::u16string &hardwareId,
                                          const std::u16string &interfaceNumber,
                                          const std::u16string &service, InterfaceFlags &flags)
{
    if (interfaceNumber == kSerialInterface) {
        flags.serial = service == kSerialService || generateAndInstall(hardwareId, "01");
        return;
    }
    if (interfaceNumber == kWinUsbInterface)
        flags.winUsb = service == kWinUsbService || generateAndInstall(hardwareId, "00");
}

bool CompositeDriverSetup::generateAndInstall(const std::u16string &hardwareId,
                                              const std::string &interfaceNumber)
{
    const auto package = source_->preparePackage(packageFolder_, interfaceNumber);
    return installDriverForHardwareId(hardwareId, utf8ToUtf16(package));
}

bool CompositeDriverSetup::installDriverForHardwareId(const std::u16string &hardwareId,
                                                      const std::u16string &infPath)
{
    const auto id = utf16ToUtf8(hardwareId);
    // Without a device or a package there is nothing to install; asking the installer anyway
    // could only fail, or on a lax installer report success for nothing.
    if (hardwareId.empty() || infPath.empty()) {
        log_("Failed to install driver for " + id);
        return false;
    }
    const auto outcome = source_->installDriver(hardwareId, infPath);
    if (!outcome.ok) {
        log_("Error code " + std::to_string(outcome.error));
        log_("Failed to install driver for " + id);
        return false;
    }
    log_("Driver installed successfully for " + id);
    if (outcome.rebootRequired)
        log_("Reboot is required.");
    return true;
}
