#include "win32devicenodesource_win.h"

#include <windows.h>

#include <newdev.h>
#include <setupapi.h>

#include <cstring>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

namespace {

// GUID_DEVINTERFACE_USB_DEVICE
const GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

constexpr DWORD kPropertyBufferBytes = 512;
constexpr std::size_t kInfPathBytes = HALYARD_INF_PATH_SIZE;

const wchar_t *wide(const std::u16string &text)
{
    return reinterpret_cast<const wchar_t *>(text.c_str());
}

DWORD registryCode(NodeProperty which)
{
    switch (which) {
    case NodeProperty::DeviceDescription:
        return SPDRP_DEVICEDESC;
    case NodeProperty::HardwareId:
        return SPDRP_HARDWAREID;
    case NodeProperty::Service:
        return SPDRP_SERVICE;
    }
    return SPDRP_HARDWAREID;
}

// The first string of a (multi-)string property; the read may fill the buffer without a final
// NUL, so the scan stops at its end.
std::u16string firstString(const BYTE *buffer)
{
    const auto *units = reinterpret_cast<const char16_t *>(buffer);
    std::size_t length = 0;
    while (length < kPropertyBufferBytes / sizeof(char16_t) && units[length] != 0)
        ++length;
    return std::u16string(units, length);
}

class Win32NodeSet : public DeviceNodeSet
{
public:
    explicit Win32NodeSet(HDEVINFO set) : set_(set) {}
    ~Win32NodeSet() override { SetupDiDestroyDeviceInfoList(set_); }
    Win32NodeSet(const Win32NodeSet &) = delete;
    Win32NodeSet &operator=(const Win32NodeSet &) = delete;

    NodeStep next() override
    {
        node_ = {};
        node_.cbSize = sizeof(SP_DEVINFO_DATA);
        if (SetupDiEnumDeviceInfo(set_, index_, &node_)) {
            ++index_;
            return {NodeStep::Node, 0};
        }
        const DWORD error = GetLastError();
        if (error == ERROR_SUCCESS || error == ERROR_NO_MORE_ITEMS)
            return {NodeStep::End, 0};
        return {NodeStep::Failed, error};
    }

    PropertyRead property(NodeProperty which) override
    {
        BYTE buffer[kPropertyBufferBytes] = {};
        if (!SetupDiGetDeviceRegistryPropertyW(set_, &node_, registryCode(which), nullptr, buffer,
                                               sizeof buffer, nullptr))
            return {false, {}, GetLastError()};
        return {true, firstString(buffer), 0};
    }

private:
    HDEVINFO set_;
    DWORD index_ = 0;
    SP_DEVINFO_DATA node_{};
};

} // namespace

Win32DeviceNodeSource::Win32DeviceNodeSource(GeneratorFn generator, GeneratorLogFn generatorLog)
    : generator_(generator), generatorLog_(generatorLog)
{
}

std::unique_ptr<DeviceNodeSet> Win32DeviceNodeSource::open(NodeScope scope, uint32_t &error)
{
    const bool usbDevices = scope == NodeScope::UsbDevices;
    const DWORD flags =
        usbDevices ? DIGCF_PRESENT | DIGCF_DEVICEINTERFACE : DIGCF_PRESENT | DIGCF_ALLCLASSES;
    HDEVINFO set = SetupDiGetClassDevsW(&kUsbDeviceInterface, nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return nullptr;
    }
    return std::make_unique<Win32NodeSet>(set);
}

InstallOutcome Win32DeviceNodeSource::installDriver(const std::u16string &hardwareId,
                                                    const std::u16string &packagePath)
{
    BOOL rebootRequired = FALSE;
    if (UpdateDriverForPlugAndPlayDevicesW(nullptr, wide(hardwareId), wide(packagePath),
                                           INSTALLFLAG_FORCE, &rebootRequired))
        return {true, rebootRequired != FALSE, 0};
    return {false, false, GetLastError()};
}

std::string Win32DeviceNodeSource::preparePackage(const std::string &folderUtf8,
                                                  const std::string &interfaceNumber)
{
    // The generator's result code is not needed: on failure, or when the interface is already
    // served, it leaves the buffer empty.
    char infPath[kInfPathBytes] = {};
    generator_(folderUtf8.c_str(), interfaceNumber.c_str(), infPath, generatorLog_);
    return std::string(infPath, strnlen(infPath, sizeof infPath));
}
