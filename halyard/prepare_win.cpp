#include "prepare_win.h"

#include "androiddevices.h"
#include "catalog_win.h"
#include "catlist.h"
#include "diaglog_win.h"
#include "filetable.h"
#include "opguard_win.h"
#include "packagefiles_win.h"
#include "packagenames.h"
#include "resolve_win.h"
#include "signing_win.h"
#include "tokenizer.h"
#include "usbvendors.h"
#include "utf.h"
#include "winversion.h"
#include "winversion_win.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace hy {
namespace {

const char *const PREPARE = "hy_prepare_driver";

struct driver_type_info
{
    const char *display_name;
    const char *inf_template;
    const char *cat_template;
};

const driver_type_info driver_types[HY_DRIVER_TYPE_COUNT] = {
    {"WinUSB", "winusb.inf.in", "winusb.cat.in"},
    {"libusb0.sys", "libusb0.inf.in", "libusb0.cat.in"},
    {"libusbK.sys", "libusbk.inf.in", "libusbk.cat.in"},
    {"Generic USB CDC", "usbser.inf.in", "usbser.cat.in"},
    {"user driver", nullptr, nullptr},
};

struct free_deleter
{
    void operator()(char *p) const { free(p); }
};
using owned_text = std::unique_ptr<char, free_deleter>;

// Reads the whole file named by path for an external INF template.
int tokenize_file(const char *path, owned_text &out)
{
    const char *op = "hy_tokenize_file";
    FILE *file = fopen(path, "rb");
    if (file == nullptr) {
        writeLog(HY_ERROR, op, "Could not read file to tokenize");
        return HY_ERROR_ACCESS;
    }
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fseek(file, 0, SEEK_SET);
    std::unique_ptr<char[]> content(new (std::nothrow) char[size > 0 ? size : 1]);
    if (!content) {
        fclose(file);
        writeLog(HY_ERROR, op, "Could not allocate tokenization buffer");
        return HY_ERROR_RESOURCE;
    }
    size_t read = size > 0 ? fread(content.get(), 1, size, file) : 0;
    fclose(file);
    if (size <= 0 || read != static_cast<size_t>(size)) {
        writeLog(HY_ERROR, op, "Could not read file to tokenize");
        return HY_ERROR_ACCESS;
    }
    char *text = nullptr;
    int n = tokenize(content.get(), size, &text);
    out.reset(text);
    return n;
}

int tokenize_template(const char *name, owned_text &out)
{
    const embedded_file *file = name ? find_template(name) : nullptr;
    if (file == nullptr)
        return TEMPLATE_NOT_FOUND;
    char *text = nullptr;
    int n = tokenize(reinterpret_cast<const char *>(file->content), static_cast<long>(file->size),
                     &text);
    out.reset(text);
    return n;
}

// A fresh GUID, or false: a failed call leaves the all-zero GUID, which every package would share.
bool new_interface_guid(std::string &text)
{
    using co_create_guid = HRESULT(WINAPI *)(GUID *);
    auto coCreateGuid = reinterpret_cast<co_create_guid>(
        reinterpret_cast<void *>(resolve_proc("Ole32", "CoCreateGuid")));
    GUID guid = {};
    if (coCreateGuid == nullptr || FAILED(coCreateGuid(&guid)))
        return false;
    text = guid_text(guid.Data1, guid.Data2, guid.Data3, guid.Data4);
    return true;
}

std::string driver_date(const VS_FIXEDFILEINFO &version)
{
    SYSTEMTIME date = {};
    bool converted = false;
    if (version.dwFileDateMS != 0 || version.dwFileDateLS != 0) {
        FILETIME utc = {version.dwFileDateLS, version.dwFileDateMS};
        FILETIME local;
        converted = FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &date);
    }
    if (!converted)
        GetLocalTime(&date);
    return driver_date_text(date.wMonth, date.wDay, date.wYear);
}

bool is_elevated()
{
    using is_user_an_admin = BOOL(WINAPI *)();
    auto isUserAnAdmin = reinterpret_cast<is_user_an_admin>(
        reinterpret_cast<void *>(resolve_proc("Shell32", "IsUserAnAdmin")));
    return isUserAnAdmin != nullptr && isUserAnAdmin();
}

bool test_signing_enabled()
{
    using query_system_information = LONG(WINAPI *)(ULONG, void *, ULONG, ULONG *);
    auto query = reinterpret_cast<query_system_information>(
        reinterpret_cast<void *>(resolve_proc("Ntdll", "NtQuerySystemInformation")));
    if (query == nullptr)
        return false;
    struct
    {
        ULONG length;
        ULONG options;
    } integrity = {8, 0};
    ULONG size = 0;
    const ULONG codeIntegrityInformation = 103;
    bool enabled = query(codeIntegrityInformation, &integrity, sizeof integrity, &size) >= 0 &&
                   size == 8 && (integrity.options & 2) != 0;
    writeLog(HY_INFO, PREPARE, "Test signing is: %s", enabled ? "Enabled" : "Disabled");
    return enabled;
}

void set_inf_text_token(token_id id, const char *text)
{
    set_token(id, inf_string_value(text, TOKEN_VALUE_SIZE - 1).c_str());
}

// Catalog and signing failures only stop the package from Windows 10 on, unless test signing
// lets the unsigned package in anyway.
bool catalog_failure_is_fatal(bool testSigning)
{
    return windowsVersion >= WINDOWS_10 && !testSigning;
}

class preparation
{
public:
    preparation(device_record *record, const prepare_options *options)
        : record_(record), options_(options ? *options : prepare_options{}),
          hasOptions_(options != nullptr)
    {
    }

    int run(const char *folder, const char *infName, char *infPathOut)
    {
        if (record_ == nullptr || infName == nullptr) {
            writeLog(HY_ERROR, PREPARE, "One of the required parameter is NULL");
            return HY_ERROR_INVALID_PARAM;
        }
        infFileName_ = inf_file_name(infName);
        if (!has_inf_extension(infFileName_)) {
            writeLog(HY_ERROR, PREPARE, "Inf name provided must have a '.inf' extension");
            return HY_ERROR_INVALID_PARAM;
        }
        int r = make_folder(folder);
        if (r == HY_SUCCESS)
            r = choose_driver_type();
        if (r == HY_SUCCESS && record_->description == nullptr) {
            writeLog(HY_ERROR, PREPARE, "No device ID was given for the device - aborting");
            r = HY_ERROR_INVALID_PARAM;
        }
        if (r == HY_SUCCESS)
            r = extract_binaries(folder_.c_str());
        if (r == HY_SUCCESS)
            r = make_paths();
        if (r == HY_SUCCESS)
            r = fill_tokens();
        if (r != HY_SUCCESS)
            return r;
        r = write_inf(infName);
        if (r != HY_SUCCESS)
            return r;

        if (!is_elevated()) {
            writeLog(HY_INFO, PREPARE, "No .cat file generated (missing elevated privileges)");
            return finish(infPathOut);
        }
        if (options_.disable_catalog) {
            writeLog(HY_INFO, PREPARE, ".cat generation disabled by user");
            return finish(infPathOut);
        }
        r = make_signed_catalog();
        return r == HY_SUCCESS ? finish(infPathOut) : r;
    }

private:
    int make_folder(const char *folder)
    {
        if (folder != nullptr) {
            folder_ = std::string(folder).substr(0, PATH_SIZE - 1);
        } else {
            wchar_t temp[MAX_PATH];
            DWORD n = GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
            if (n == 0 || n >= MAX_PATH ||
                !utf16_to_utf8(reinterpret_cast<const char16_t *>(temp), folder_)) {
                writeLog(HY_ERROR, PREPARE, "No path provided and unable to use TEMP");
                return HY_ERROR_INVALID_PARAM;
            }
            writeLog(HY_INFO, PREPARE, "No path provided - extracting to '%s'", folder_.c_str());
        }
        return check_dir(folder_.c_str());
    }

    int choose_driver_type()
    {
        type_ = options_.driver_type;
        if (type_ < 0 || type_ >= HY_DRIVER_TYPE_COUNT) {
            writeLog(HY_ERROR, PREPARE, "Program assertion failed - Unknown driver type");
            return HY_ERROR_INVALID_PARAM;
        }
        if (type_ <= HY_LIBUSBK) {
            version_info_slots[type_] = VS_FIXEDFILEINFO{};
            get_version_info(type_, &version_info_slots[type_]);
        }
        if (type_ != HY_WINUSB && type_ != HY_CDC) {
            writeLog(HY_WARNING, PREPARE, "unsupported or no driver type specified, will use %s",
                     driver_types[HY_WINUSB].display_name);
            type_ = HY_WINUSB;
        }
        return HY_SUCCESS;
    }

    int make_paths()
    {
        if (!join_inf_path(folder_, infFileName_, infPath_)) {
            writeLog(HY_ERROR, PREPARE, "Qualified path for inf file is too long: '%s\\%s",
                     folder_.c_str(), infFileName_.c_str());
            return HY_ERROR_RESOURCE;
        }
        if (!catalog_path_for(infPath_, catPath_)) {
            writeLog(HY_ERROR, PREPARE, "Qualified path for inf file is too short: '%s",
                     infPath_.c_str());
            return HY_ERROR_RESOURCE;
        }
        return HY_SUCCESS;
    }

    int fill_tokens()
    {
        bool generic = options_.use_generic_driver;
        hardwareId_ = generic ? generic_hardware_id(type_)
                              : hardware_id_text(record_->vendor_id, record_->product_id,
                                                 record_->is_interface, record_->interface_number);
        // Texts from the device or the caller go into the INF as INF text, so that a quote, a
        // percent sign or a line break in a USB product string cannot change the package.
        set_inf_text_token(TK_INF_FILENAME, infFileName_.c_str());
        set_inf_text_token(TK_CAT_FILENAME, catalog_file_name(infFileName_).c_str());
        set_inf_text_token(TK_DEVICE_DESCRIPTION, record_->description);
        set_token(TK_DEVICE_HARDWARE_ID, hardwareId_.c_str());
        set_token(TK_USE_DEVICE_INTERFACE_GUID,
                  generic ? "NoDeviceInterfaceGUID" : "AddDeviceInterfaceGUID");

        if (generic) {
            set_token(TK_DEVICE_INTERFACE_GUID, "UNUSED");
        } else if (options_.interface_guid != nullptr) {
            set_token(TK_DEVICE_INTERFACE_GUID, options_.interface_guid);
        } else if (is_android_device(record_->vendor_id, record_->product_id)) {
            writeLog(HY_INFO, PREPARE, "Using Android Device Interface GUID");
            set_token(TK_DEVICE_INTERFACE_GUID, ANDROID_INTERFACE_GUID);
        } else {
            std::string guid;
            if (!new_interface_guid(guid)) {
                writeLog(HY_ERROR, PREPARE, "Could not create a device interface GUID");
                return HY_ERROR_RESOURCE;
            }
            set_token(TK_DEVICE_INTERFACE_GUID, guid.c_str());
        }

        const char *vendor =
            options_.vendor_name ? options_.vendor_name : usb_vendor_name(record_->vendor_id);
        set_inf_text_token(TK_DEVICE_MANUFACTURER, vendor ? vendor : "(Undefined Vendor)");
        char number[32];
        snprintf(number, sizeof number, "%05d", 1011);
        set_token(TK_WDF_VERSION, number);
        snprintf(number, sizeof number, "%d.%d", 1, 11);
        set_token(TK_KMDF_VERSION, number);
        const VS_FIXEDFILEINFO &version = version_info_slots[type_];
        set_token(TK_DRIVER_DATE, driver_date(version).c_str());
        set_token(TK_DRIVER_VERSION,
                  driver_version_text(version.dwFileVersionMS, version.dwFileVersionLS).c_str());
        return HY_SUCCESS;
    }

    int write_inf(const char *infName)
    {
        owned_text inf;
        int n = options_.external_inf ? tokenize_file(infName, inf)
                                      : tokenize_template(driver_types[type_].inf_template, inf);
        if (n <= 0) {
            writeLog(HY_ERROR, PREPARE, "Could not tokenize inf file (%d)", n);
            return HY_ERROR_ACCESS;
        }
        FILE *file = fopen_as_userU(infPath_.c_str());
        if (file == nullptr) {
            writeLog(HY_ERROR, PREPARE, "Failed to create file: %s", infPath_.c_str());
            return HY_ERROR_ACCESS;
        }
        std::u16string text;
        if (!utf8_to_utf16(std::string(inf.get(), n), text)) {
            fclose(file);
            writeLog(HY_ERROR, PREPARE, "Could not convert '%s' to UTF-16", infPath_.c_str());
            return HY_ERROR_RESOURCE;
        }
        std::vector<unsigned char> bytes = {0xFF, 0xFE};
        for (char16_t c : text) {
            bytes.push_back(static_cast<unsigned char>(c & 0xFF));
            bytes.push_back(static_cast<unsigned char>(c >> 8));
        }
        bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (fclose(file) != 0 || !written) {
            writeLog(HY_ERROR, PREPARE, "Failed to create file: %s", infPath_.c_str());
            return HY_ERROR_ACCESS;
        }
        writeLog(HY_INFO, PREPARE, "Successfully created '%s'", infPath_.c_str());
        return HY_SUCCESS;
    }

    int make_signed_catalog()
    {
        writeLog(HY_INFO, PREPARE, "Creating and self-signing a .cat file...");
        owned_text cat;
        int n = tokenize_template(driver_types[type_].cat_template, cat);
        if (n <= 0) {
            writeLog(HY_ERROR, PREPARE, "Could not tokenize cat file (%d)", n);
            return HY_ERROR_ACCESS;
        }
        catalog_list list = read_catalog_list(std::string(cat.get(), n), infFileName_);
        if (list.truncated)
            writeLog(HY_WARNING, PREPARE, "More than %d cat entries - ignoring the rest",
                     static_cast<int>(CATALOG_MAX_LISTED));
        std::string catalogId = catalog_hardware_id(hardwareId_);
        std::string subject = certificate_subject_for(catalogId);
        bool testSigning = test_signing_enabled();

        if (!CreateCat(catPath_.c_str(), catalogId.c_str(), folder_.c_str(), list.names)) {
            return catalog_failure(testSigning, "Could not create cat file", HY_ERROR_CAT_MISSING);
        }
        if (hasOptions_ && !options_.disable_signing &&
            !SelfSignFile(catPath_.c_str(), options_.certificate_subject
                                                ? options_.certificate_subject
                                                : subject.c_str()))
            return catalog_failure(testSigning, "Could not sign cat file", HY_ERROR_UNSIGNED);
        return HY_SUCCESS;
    }

    int catalog_failure(bool testSigning, const char *message, int code)
    {
        if (catalog_failure_is_fatal(testSigning)) {
            writeLog(HY_ERROR, PREPARE, "%s", message);
            return code;
        }
        writeLog(HY_WARNING, PREPARE, "%s", message);
        return HY_SUCCESS;
    }

    int finish(char *infPathOut)
    {
        writeLog(HY_INFO, PREPARE, "print inf_path '%s'", infPath_.c_str());
        if (infPathOut != nullptr)
            snprintf(infPathOut, PATH_SIZE, "%s", infPath_.c_str());
        return HY_SUCCESS;
    }

    device_record *record_;
    prepare_options options_;
    bool hasOptions_;
    std::string infFileName_;
    std::string folder_;
    std::string infPath_;
    std::string catPath_;
    std::string hardwareId_;
    int type_ = HY_WINUSB;
};

} // namespace

int hy_prepare_driver(device_record *record, const char *folder, const char *infName,
                      const prepare_options *options, char *infPathOut)
{
    operation_guard guard(PREPARE);
    if (guard.result() != HY_SUCCESS)
        return guard.result();
    if (windows_version() < WINDOWS_7) {
        writeLog(HY_ERROR, PREPARE, "This version of Windows is no longer supported");
        return HY_ERROR_NOT_SUPPORTED;
    }
    preparation prep(record, options);
    return prep.run(folder, infName, infPathOut);
}

} // namespace hy
