#include "sysfsdevicenodesource.h"

#include "utf8text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kUserSpaceDriver = "usbfs";
const std::string kSerialDriver = "cdc_acm";

bool isInterfaceName(const std::string &name)
{
    return name.find(':') != std::string::npos;
}

// The device an interface belongs to: sysfs names interfaces "<device>:<config>.<interface>".
std::string deviceNameOf(const std::string &name)
{
    return name.substr(0, name.find(':'));
}

// First line of a sysfs attribute, or empty with error set.
std::string readAttribute(const fs::path &file, uint32_t &error)
{
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        error = ENOENT;
        return {};
    }
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Name of the kernel driver bound to a node, empty when none is.
std::string boundDriver(const fs::path &node)
{
    std::error_code ec;
    const auto target = fs::read_symlink(node / "driver", ec);
    return ec ? std::string() : target.filename().string();
}

int writeAttribute(const fs::path &file, const std::string &value)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const auto written = ::write(fd, value.data(), value.size());
    const int error =
        written == static_cast<ssize_t>(value.size()) ? 0 : (written < 0 ? errno : EIO);
    ::close(fd);
    return error;
}

// A driver name that names one folder below the drivers folder and nothing else.
bool isPlainName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

PropertyRead unreadable(uint32_t error)
{
    return {false, {}, error};
}

PropertyRead hardwareIdOf(const fs::path &devicesDir, const std::string &name)
{
    const auto device = devicesDir / deviceNameOf(name);
    uint32_t error = 0;
    const auto vendor = readAttribute(device / "idVendor", error);
    const auto product = readAttribute(device / "idProduct", error);
    if (error)
        return unreadable(error);
    std::string id = "USB\\VID_" + upper(vendor) + "&PID_" + upper(product);
    uint32_t revisionError = 0;
    const auto revision = readAttribute(device / "bcdDevice", revisionError);
    if (!revisionError)
        id += "&REV_" + upper(revision);
    if (isInterfaceName(name)) {
        const auto number = readAttribute(devicesDir / name / "bInterfaceNumber", error);
        if (error)
            return unreadable(error);
        id += "&MI_" + upper(number);
    }
    return {true, utf8ToUtf16(id), 0};
}

PropertyRead serviceOf(const fs::path &devicesDir, const std::string &name)
{
    const auto driver = boundDriver(devicesDir / name);
    if (!isInterfaceName(name))
        return driver.empty() ? unreadable(ENOENT) : PropertyRead{true, utf8ToUtf16(driver), 0};
    if (driver == kSerialDriver)
        return {true, u"usbser", 0};
    if (driver.empty() || driver == kUserSpaceDriver)
        return {true, u"WinUSB", 0};
    return {true, utf8ToUtf16(driver), 0};
}

PropertyRead descriptionOf(const fs::path &devicesDir, const std::string &name)
{
    if (!isInterfaceName(name))
        return {true, u"USB Composite Device", 0};
    uint32_t error = 0;
    const auto text = readAttribute(devicesDir / name / "interface", error);
    return error ? unreadable(error) : PropertyRead{true, utf8ToUtf16(text), 0};
}

// Node names in a stable order; devices only, or devices and their interfaces.
std::vector<std::string> listNodes(const fs::path &devicesDir, NodeScope scope, uint32_t &error)
{
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(devicesDir, ec), end; !ec && it != end; it.increment(ec)) {
        const auto name = it->path().filename().string();
        if (scope == NodeScope::AllClasses || !isInterfaceName(name))
            names.push_back(name);
    }
    if (ec)
        error = static_cast<uint32_t>(ec.value());
    std::sort(names.begin(), names.end());
    return names;
}

class SysfsNodeSet : public DeviceNodeSet
{
public:
    SysfsNodeSet(fs::path devicesDir, std::vector<std::string> names)
        : devicesDir_(std::move(devicesDir)), names_(std::move(names))
    {
    }

    NodeStep next() override
    {
        if (index_ >= names_.size())
            return {NodeStep::End, 0};
        current_ = names_[index_++];
        return {NodeStep::Node, 0};
    }

    PropertyRead property(NodeProperty which) override
    {
        switch (which) {
        case NodeProperty::HardwareId:
            return hardwareIdOf(devicesDir_, current_);
        case NodeProperty::Service:
            return serviceOf(devicesDir_, current_);
        case NodeProperty::DeviceDescription:
            return descriptionOf(devicesDir_, current_);
        }
        return unreadable(EINVAL);
    }

private:
    fs::path devicesDir_;
    std::vector<std::string> names_;
    std::size_t index_ = 0;
    std::string current_;
};

} // namespace

SysfsDeviceNodeSource::SysfsDeviceNodeSource(fs::path root) : root_(std::move(root)) {}

fs::path SysfsDeviceNodeSource::devicesDir() const
{
    return root_ / "bus/usb/devices";
}

fs::path SysfsDeviceNodeSource::driversDir() const
{
    return root_ / "bus/usb/drivers";
}

std::unique_ptr<DeviceNodeSet> SysfsDeviceNodeSource::open(NodeScope scope, uint32_t &error)
{
    uint32_t listError = 0;
    auto names = listNodes(devicesDir(), scope, listError);
    if (listError) {
        error = listError;
        return nullptr;
    }
    return std::make_unique<SysfsNodeSet>(devicesDir(), std::move(names));
}

InstallOutcome SysfsDeviceNodeSource::installDriver(const std::u16string &hardwareId,
                                                    const std::u16string &packagePath)
{
    const auto driver = utf16ToUtf8(packagePath);
    if (!isPlainName(driver))
        return {false, false, EINVAL};
    uint32_t error = 0;
    const auto names = listNodes(devicesDir(), NodeScope::AllClasses, error);
    if (error)
        return {false, false, error};
    bool matched = false;
    for (const auto &name : names) {
        const auto id = hardwareIdOf(devicesDir(), name);
        if (!id.ok || id.value != hardwareId)
            continue;
        matched = true;
        if (const int bindError = rebind(devicesDir() / name, driver))
            return {false, false, static_cast<uint32_t>(bindError)};
    }
    return matched ? InstallOutcome{true, false, 0} : InstallOutcome{false, false, ENODEV};
}

std::string SysfsDeviceNodeSource::preparePackage(const std::string &,
                                                  const std::string &interfaceNumber)
{
    if (interfaceNumber == "01")
        return kSerialDriver;
    if (interfaceNumber == "00")
        return kUserSpaceDriver;
    return {};
}

int SysfsDeviceNodeSource::rebind(const fs::path &node, const std::string &driver) const
{
    const auto name = node.filename().string();
    const auto current = boundDriver(node);
    if (current == driver || (driver == kUserSpaceDriver && current.empty()))
        return 0;
    if (!current.empty()) {
        if (const int error = writeAttribute(node / "driver/unbind", name))
            return error;
    }
    if (driver == kUserSpaceDriver)
        return 0;
    return writeAttribute(driversDir() / driver / "bind", name);
}
