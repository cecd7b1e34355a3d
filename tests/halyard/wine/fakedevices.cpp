#include "fakedevices.h"

#include "utf.h"

#include <cstring>

namespace hytest {
namespace {

std::vector<fake_node> machine;
int keysOpened = 0;
bool destroyed = false;
const HDEVINFO fakeSet = reinterpret_cast<HDEVINFO>(static_cast<intptr_t>(0x5e7));

const fake_node *node_of(PSP_DEVINFO_DATA dev)
{
    return dev != nullptr && dev->DevInst < machine.size() ? &machine[dev->DevInst] : nullptr;
}

// Copies text as a multi-string, as the system hands back string properties.
BOOL copy_out(const std::optional<std::string> &text, BYTE *buffer, DWORD size)
{
    if (!text || text->size() + 2 > size) {
        SetLastError(!text ? ERROR_INVALID_DATA : ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memset(buffer, 0, size);
    memcpy(buffer, text->data(), text->size());
    return TRUE;
}

BOOL copy_out_wide(const std::optional<std::string> &text, BYTE *buffer, DWORD size)
{
    std::u16string wide;
    if (!text || !hy::utf8_to_utf16(*text, wide) || (wide.size() + 1) * 2 > size) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    memset(buffer, 0, size);
    memcpy(buffer, wide.data(), wide.size() * 2);
    return TRUE;
}

HDEVINFO WINAPI get_class_devs(const GUID *, PCSTR, HWND, DWORD)
{
    destroyed = false;
    return fakeSet;
}

BOOL WINAPI enum_device_info(HDEVINFO, DWORD index, PSP_DEVINFO_DATA dev)
{
    if (index >= machine.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    dev->DevInst = index;
    return TRUE;
}

BOOL WINAPI get_registry_property(HDEVINFO, PSP_DEVINFO_DATA dev, DWORD property, PDWORD,
                                  PBYTE buffer, DWORD size, PDWORD)
{
    const fake_node *node = node_of(dev);
    if (node == nullptr)
        return FALSE;
    switch (property) {
    case SPDRP_DRIVER:
        return copy_out(node->driver_key, buffer, size);
    case SPDRP_SERVICE:
        return copy_out(node->service, buffer, size);
    case SPDRP_HARDWAREID:
        return copy_out(node->hardware_id, buffer, size);
    case SPDRP_COMPATIBLEIDS:
        return copy_out(node->compatible_id, buffer, size);
    case SPDRP_UPPERFILTERS:
        return copy_out(node->upper_filter, buffer, size);
    default:
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
}

BOOL WINAPI get_registry_property_w(HDEVINFO, PSP_DEVINFO_DATA dev, DWORD property, PDWORD,
                                    PBYTE buffer, DWORD size, PDWORD)
{
    const fake_node *node = node_of(dev);
    if (node == nullptr || property != SPDRP_DEVICEDESC) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return copy_out_wide(node->registry_description, buffer, size);
}

BOOL WINAPI get_device_property(HDEVINFO, PSP_DEVINFO_DATA dev, const DEVPROPKEY *,
                                DEVPROPTYPE *type, PBYTE buffer, DWORD size, PDWORD, DWORD)
{
    const fake_node *node = node_of(dev);
    if (node == nullptr)
        return FALSE;
    *type = DEVPROP_TYPE_STRING;
    return copy_out_wide(node->bus_description, buffer, size);
}

HKEY WINAPI open_driver_key(HDEVINFO, PSP_DEVINFO_DATA dev, DWORD, DWORD, DWORD, REGSAM)
{
    const fake_node *node = node_of(dev);
    if (node == nullptr || !node->driver_version)
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    keysOpened++;
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(dev->DevInst + 1));
}

LSTATUS WINAPI query_value(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    const size_t index = static_cast<size_t>(reinterpret_cast<intptr_t>(key)) - 1;
    if (index >= machine.size() || strcmp(name, "DriverVersion") != 0)
        return ERROR_FILE_NOT_FOUND;
    const std::string &version = *machine[index].driver_version;
    if (version.size() + 1 > *size)
        return ERROR_MORE_DATA;
    memcpy(data, version.c_str(), version.size() + 1);
    *size = static_cast<DWORD>(version.size() + 1);
    *type = REG_SZ;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI close_key(HKEY)
{
    return ERROR_SUCCESS;
}

BOOL WINAPI destroy_device_info_list(HDEVINFO set)
{
    destroyed = set == fakeSet;
    return TRUE;
}

CONFIGRET WINAPI get_device_id(DEVINST instance, PSTR buffer, ULONG size, ULONG)
{
    if (instance >= machine.size() || !machine[instance].device_id)
        return CR_NO_SUCH_DEVINST;
    snprintf(buffer, size, "%s", machine[instance].device_id->c_str());
    return CR_SUCCESS;
}

} // namespace

fake_node station_interface(const char *mi, const char *service)
{
    fake_node node;
    node.device_id = std::string("USB\\VID_3746&PID_00AB&MI_") + mi + "\\6&2C9E8F1&0&00" + mi;
    node.service = service;
    node.driver_key = "{36fc9e60-c465-11cf-8056-444553540000}\\0042";
    node.driver_version = "10.0.19041.1";
    node.hardware_id = std::string("USB\\VID_3746&PID_00AB&REV_0100&MI_") + mi;
    node.compatible_id = "USB\\Class_FF";
    node.bus_description = "Power Station";
    return node;
}

fake_machine::fake_machine(std::vector<fake_node> nodes)
{
    machine = std::move(nodes);
    keysOpened = 0;
    destroyed = false;
}

fake_machine::~fake_machine()
{
    machine.clear();
}

hy::device_list_calls fake_machine::calls() const
{
    return {
        get_class_devs,           enum_device_info, get_registry_property, get_registry_property_w,
        get_device_property,      open_driver_key,  query_value,           close_key,
        destroy_device_info_list, get_device_id};
}

int fake_machine::driver_keys_opened() const
{
    return keysOpened;
}

bool fake_machine::set_destroyed() const
{
    return destroyed;
}

} // namespace hytest
