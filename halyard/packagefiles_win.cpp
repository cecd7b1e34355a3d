#include "packagefiles_win.h"

#include "diaglog_win.h"
#include "filetable.h"
#include "hy_types.h"
#include "packagenames.h"
#include "resolve_win.h"
#include "utf.h"

#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace hy {

VS_FIXEDFILEINFO version_info_slots[4];

namespace {

std::wstring wide(const std::string &utf8)
{
    std::u16string w;
    if (!utf8_to_utf16(utf8, w))
        return std::wstring();
    return std::wstring(w.begin(), w.end());
}

std::string narrow(const wchar_t *text)
{
    std::string out;
    utf16_to_utf8(reinterpret_cast<const char16_t *>(text), out);
    return out;
}

// A security descriptor that makes the current user the owner of what is created with it.
class owner_security
{
public:
    explicit owner_security(const char *operation)
    {
        sid_ = GetSid();
        if (sid_ != nullptr && InitializeSecurityDescriptor(&sd_, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorOwner(&sd_, sid_, FALSE)) {
            attributes_.nLength = sizeof attributes_;
            attributes_.lpSecurityDescriptor = &sd_;
            attributes_.bInheritHandle = FALSE;
            valid_ = true;
        } else {
            writeLog(HY_ERROR, operation, "Could not set security descriptor: %s",
                     formatWindowsError(0));
        }
    }
    ~owner_security()
    {
        if (sid_ != nullptr)
            LocalFree(sid_);
    }
    owner_security(const owner_security &) = delete;
    owner_security &operator=(const owner_security &) = delete;

    SECURITY_ATTRIBUTES *attributes() { return valid_ ? &attributes_ : nullptr; }

private:
    PSID sid_ = nullptr;
    SECURITY_DESCRIPTOR sd_ = {};
    SECURITY_ATTRIBUTES attributes_ = {};
    bool valid_ = false;
};

std::string unquoted(const std::string &path)
{
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        return path.substr(1, path.size() - 2);
    return path;
}

std::wstring executable_folder()
{
    wchar_t module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path(module, n);
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace

PSID GetSid()
{
    const char *op = "GetSid";
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        writeLog(HY_ERROR, op, "OpenProcessToken failed: %s", formatWindowsError(0));
        return nullptr;
    }
    PSID result = nullptr;
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        writeLog(HY_ERROR, op, "GetTokenInformation (pre) failed: %s", formatWindowsError(0));
        CloseHandle(token);
        return nullptr;
    }
    auto *user = static_cast<TOKEN_USER *>(calloc(1, size));
    char *sidText = nullptr;
    if (user == nullptr || !GetTokenInformation(token, TokenUser, user, size, &size)) {
        writeLog(HY_ERROR, op, "GetTokenInformation (real) failed: %s", formatWindowsError(0));
    } else if (!ConvertSidToStringSidA(user->User.Sid, &sidText)) {
        writeLog(HY_ERROR, op, "Unable to convert SID to string: %s", formatWindowsError(0));
    } else if (!ConvertStringSidToSidA(sidText, &result)) {
        writeLog(HY_ERROR, op, "Unable to convert string back to SID: %s", formatWindowsError(0));
        result = nullptr;
    }
    if (sidText != nullptr)
        LocalFree(sidText);
    free(user);
    CloseHandle(token);
    return result;
}

int check_dir(const char *path)
{
    const char *op = "check_dir";
    std::string plain = unquoted(path ? path : "");
    std::wstring widePath = wide(plain);
    // SHCreateDirectoryExW takes backslashes only; callers may write either.
    for (wchar_t &c : widePath) {
        if (c == L'/')
            c = L'\\';
    }
    DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return HY_SUCCESS;
        writeLog(HY_ERROR, op, "'%s' is a file, not a directory", plain.c_str());
        return HY_ERROR_ACCESS;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        writeLog(HY_ERROR, op, "Unable to read file attributes %s", formatWindowsError(error));
        return HY_ERROR_ACCESS;
    }

    owner_security security(op);
    int result = SHCreateDirectoryExW(nullptr, widePath.c_str(), security.attributes());
    if (result == ERROR_BAD_PATHNAME) {
        std::wstring full = executable_folder() + L"\\" + widePath;
        result = SHCreateDirectoryExW(nullptr, full.c_str(), security.attributes());
    }
    if (result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS)
        return HY_SUCCESS;
    if (result == ERROR_FILENAME_EXCED_RANGE) {
        writeLog(HY_ERROR, op, "Directory name '%s' is too long", plain.c_str());
        return HY_ERROR_INVALID_PARAM;
    }
    writeLog(HY_ERROR, op, "Unable to create directory '%s' (%s)", plain.c_str(),
             formatWindowsError(result));
    return HY_ERROR_ACCESS;
}

FILE *fopen_as_userU(const char *path)
{
    owner_security security("fopen_as_userU");
    HANDLE handle = CreateFileW(wide(path ? path : "").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                security.attributes(), CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    // Binary: package files are DLLs and UTF-16 text, which a text stream would corrupt.
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        DWORD error = GetLastError();
        CloseHandle(handle);
        SetLastError(error);
        return nullptr;
    }
    FILE *file = _fdopen(fd, "wb");
    if (file == nullptr)
        _close(fd);
    return file;
}

int extract_binaries(const char *folder)
{
    const char *op = "extract_binaries";
    std::string base = std::string(folder ? folder : "").substr(0, PATH_SIZE - 1);
    for (const embedded_file &f : embedded_files) {
        if (f.directory[0] == '\0')
            continue;
        std::string dir = base + "\\" + f.directory;
        int r = check_dir(dir.c_str());
        if (r != HY_SUCCESS)
            return r;
        std::string path = dir + "\\" + f.name;
        if (base.size() + strlen(f.directory) + strlen(f.name) > PATH_SIZE - 3) {
            writeLog(HY_ERROR, op, "Qualified path is too long: '%s'", path.c_str());
            return HY_ERROR_RESOURCE;
        }
        FILE *file = fopen_as_userU(path.c_str());
        if (file == nullptr) {
            writeLog(HY_ERROR, op, "Could not create file '%s' (%s)", path.c_str(),
                     formatWindowsError(0));
            return HY_ERROR_RESOURCE;
        }
        bool written = fwrite(f.content, 1, f.size, file) == f.size;
        if (fclose(file) != 0 || !written) {
            writeLog(HY_ERROR, op, "Could not write file '%s' (%s)", path.c_str(),
                     formatWindowsError(0));
            return HY_ERROR_ACCESS;
        }
    }
    writeLog(HY_INFO, op, "Successfully extracted driver files to '%s'", folder);
    return HY_SUCCESS;
}

namespace {

const char *const reference_files[4] = {"winusbcoinstaller2.dll", "libusb0.dll", "libusbK.dll",
                                        nullptr};

struct version_api
{
    HY_PROC(VerQueryValueW);
    HY_PROC(GetFileVersionInfoW);
    HY_PROC(GetFileVersionInfoSizeW);

    bool bind(const char *op)
    {
        return HY_BIND(op, "Version", VerQueryValueW) &&
               HY_BIND(op, "Version", GetFileVersionInfoW) &&
               HY_BIND(op, "Version", GetFileVersionInfoSizeW);
    }
};

// Reads the fixed version record of a file; false when any step fails.
bool read_fixed_version(const version_api &api, const std::wstring &path, VS_FIXEDFILEINFO &out)
{
    DWORD handle = 0;
    DWORD size = api.pGetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return false;
    void *data = malloc(size);
    bool ok = false;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT fixedSize = 0;
    if (data != nullptr && api.pGetFileVersionInfoW(path.c_str(), 0, size, data) &&
        api.pVerQueryValueW(data, L"\\", reinterpret_cast<void **>(&fixed), &fixedSize) &&
        fixed != nullptr && fixedSize >= sizeof(VS_FIXEDFILEINFO)) {
        out = *fixed;
        ok = true;
    }
    free(data);
    return ok;
}

} // namespace

int get_version_info(int driverType, VS_FIXEDFILEINFO *out)
{
    const char *op = "get_version_info";
    if (driverType < 0 || driverType > 3 || out == nullptr)
        return HY_ERROR_INVALID_PARAM;
    VS_FIXEDFILEINFO &slot = version_info_slots[driverType];
    if (slot.dwSignature != 0) {
        *out = slot;
        return HY_SUCCESS;
    }
    version_api api;
    if (!api.bind(op))
        return HY_ERROR_RESOURCE;
    const embedded_file *file =
        reference_files[driverType] ? find_embedded_file(reference_files[driverType]) : nullptr;
    if (file == nullptr)
        return HY_ERROR_NOT_FOUND;

    wchar_t temp[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        writeLog(HY_WARNING, op, "Unable to use TEMP to extract file");
        return HY_ERROR_RESOURCE;
    }
    std::string tempFolder = narrow(temp);
    int r = check_dir(tempFolder.c_str());
    if (r != HY_SUCCESS)
        return r;
    std::string path = tempFolder + "\\" + file->name;
    FILE *copy = fopen_as_userU(path.c_str());
    if (copy == nullptr) {
        writeLog(HY_WARNING, op, "Failed to create file '%s' (%s)", path.c_str(),
                 formatWindowsError(0));
        return HY_ERROR_RESOURCE;
    }
    fwrite(file->content, 1, file->size, copy);
    fclose(copy);

    VS_FIXEDFILEINFO info;
    int result = HY_SUCCESS;
    if (read_fixed_version(api, wide(path), info)) {
        uint64_t date = unix_to_filetime(file->time);
        info.dwFileDateMS = static_cast<DWORD>(date >> 32);
        info.dwFileDateLS = static_cast<DWORD>(date & 0xFFFFFFFF);
        slot = info;
        *out = info;
    } else {
        writeLog(HY_WARNING, op, "Unable to allocate buffer for version info");
        result = HY_ERROR_RESOURCE;
    }
    DeleteFileW(wide(path).c_str());
    return result;
}

} // namespace hy
