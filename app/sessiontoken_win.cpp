#include "sessiontokenfile.h"

#include <windows.h>

#include <vector>

namespace {

std::wstring widePath(const std::string &utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                      static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        &wide[0], n);
    return wide;
}

// The SID of the user the process runs as, in a buffer of its own.
std::vector<BYTE> currentUserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    std::vector<BYTE> sid;
    if (size != 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
        const PSID userSid = reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
        sid.assign(static_cast<BYTE *>(userSid),
                   static_cast<BYTE *>(userSid) + GetLengthSid(userSid));
    }
    CloseHandle(token);
    return sid;
}

// A security descriptor whose access list grants the user everything and nobody else anything,
// and takes nothing from the folder.
class UserOnlySecurity
{
public:
    bool build()
    {
        sid = currentUserSid();
        if (sid.empty())
            return false;
        const DWORD aclSize =
            sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid.data());
        acl.resize(aclSize);
        PACL list = reinterpret_cast<PACL>(acl.data());
        return InitializeAcl(list, aclSize, ACL_REVISION) &&
               AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, sid.data()) &&
               InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) &&
               SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }

    SECURITY_ATTRIBUTES attributes()
    {
        return SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};
    }

private:
    std::vector<BYTE> sid;
    std::vector<BYTE> acl;
    SECURITY_DESCRIPTOR descriptor = {};
};

} // namespace

bool writeUserOnlyFile(const std::string &path, const std::string &content)
{
    const std::wstring file = widePath(path);
    UserOnlySecurity security;
    if (file.empty() || !security.build())
        return false;
    if (!DeleteFileW(file.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    SECURITY_ATTRIBUTES attributes = security.attributes();
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size();
    return CloseHandle(handle) && ok;
}
