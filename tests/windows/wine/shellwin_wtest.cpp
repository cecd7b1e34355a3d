// The Win32 halves of the application shell under Wine: the single-instance marker and the
// session token file. A plain program: it prints each failed check and exits with 1.
#include "processguard.h"
#include "sessiontokenfile.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::printf("FAILED: %s\n", what);
        failures++;
    }
}

// An elevated instance's mutex as a normal process meets it: its access list lets nobody in.
int runAgainstALockedMutex()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;GA;;;WD)", SDDL_REVISION_1,
                                                         &descriptor, nullptr);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    const HANDLE locked = CreateMutexW(&attributes, FALSE, L"AmperlaneUniqueAppIdentifier");
    check(locked != nullptr, "the locked mutex is made");
    check(!claimInstanceMarker(), "a mutex that refuses access counts as held");
    check(instanceMarkerHeld(), "the launcher sees the locked mutex as held");
    return failures == 0 ? 0 : 1;
}

int runChild(const char *argument)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" ";
    for (const char *p = argument; *p; p++)
        commandLine += static_cast<wchar_t>(*p);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

void instanceMarker()
{
    check(runChild("locked") == 0, "the run against a locked mutex");
    check(!instanceMarkerHeld(), "no instance: the marker is free");
    check(claimInstanceMarker(), "the first instance claims the marker");
    check(instanceMarkerHeld(), "the marker is held while the instance runs");
    check(!claimInstanceMarker(), "a second start finds the marker taken");
}

std::string readFile(const std::wstring &path)
{
    std::string content;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[256];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0)
        content.append(buffer, n);
    CloseHandle(file);
    return content;
}

// Whether the file's access list lets `sid` in at all.
bool grants(const std::wstring &path, PSID sid)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return true;
    bool granted = dacl == nullptr;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; i++) {
        ACE_HEADER *ace = nullptr;
        if (GetAce(dacl, i, reinterpret_cast<void **>(&ace)) &&
            ace->AceType == ACCESS_ALLOWED_ACE_TYPE &&
            EqualSid(&reinterpret_cast<ACCESS_ALLOWED_ACE *>(ace)->SidStart, sid))
            granted = true;
    }
    LocalFree(descriptor);
    return granted;
}

PSID userSid()
{
    static BYTE buffer[256];
    HANDLE token = nullptr;
    DWORD size = 0;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
    CloseHandle(token);
    return reinterpret_cast<TOKEN_USER *>(buffer)->User.Sid;
}

void sessionTokenFile()
{
    // A folder with a name beyond ASCII: the path goes in as UTF-8.
    const std::wstring folder = L"C:\\users\\Public\\t\u00f6ken";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\websocket.token";
    const std::string utf8Path = "C:\\users\\Public\\t\xc3\xb6ken\\websocket.token";

    // A token file copied by the start-up bookkeeping: everybody may read it.
    PSECURITY_DESCRIPTOR open = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &open,
                                                         nullptr);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, open, FALSE};
    DeleteFileW(path.c_str());
    const HANDLE old =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(old, "an older and longer token", 25, &written, nullptr);
    CloseHandle(old);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    check(grants(path, everyone), "the old file is open to everybody");

    check(writeUserOnlyFile(utf8Path, "0123abcd"), "the token file is written");
    check(readFile(path) == "0123abcd", "the token file holds the token only");
    check(!grants(path, everyone), "nobody else may read the token file");
    check(grants(path, userSid()), "the user may read the token file");
    check(!writeUserOnlyFile("C:\\users\\Public\\missing\\websocket.token", "x"),
          "a token file in a missing folder is reported");
    FreeSid(everyone);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::string(argv[1]) == "locked")
        return runAgainstALockedMutex();
    instanceMarker();
    sessionTokenFile();
    std::printf("%s\n", failures == 0 ? "all checks passed" : "some checks failed");
    return failures == 0 ? 0 : 1;
}
