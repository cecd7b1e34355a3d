// Shared generator services on Windows: error texts, the diagnostic log, the version probe and
// the one-at-a-time guard.
#include "devicelist_win.h"
#include "diaglog_win.h"
#include "opguard_win.h"
#include "resolve_win.h"
#include "signing_win.h"
#include "winetestsupport.h"
#include "winversion.h"
#include "winversion_win.h"

#include <gtest/gtest.h>

using namespace hy;
using namespace hytest;

TEST(WindowsError, LastErrorTextKeepsTheLastError)
{
    EXPECT_EQ(GetFileAttributesA("Z:\\no\\such\\file.txt"), INVALID_FILE_ATTRIBUTES);
    DWORD error = GetLastError();
    std::string text = formatWindowsError(0);
    char prefix[16];
    snprintf(prefix, sizeof prefix, "[0x%08lX] ", error);
    EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
    EXPECT_GT(text.size(), strlen(prefix));
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(GetLastError(), error);

    EXPECT_STREQ(formatWindowsError(0x2A0FFFF), "Windows error code 0x02A0FFFF");
}

TEST(WindowsError, PkiTexts)
{
    EXPECT_STREQ(pkiErrorText(0x80090006), "Invalid Signature.");
    EXPECT_STREQ(pkiErrorText(0x80092025), "Unknown PKI error 0x80092025");
    EXPECT_EQ(std::string(pkiErrorText(ERROR_ACCESS_DENIED)).rfind("[0x00000005] ", 0), 0u);
    SetLastError(0x80092021);
    EXPECT_STREQ(pkiErrorText(0), "Invalid string.");
}

TEST(DiagnosticLog, FolderFileNameAndLinePrefix)
{
    remove_tree(current_dir() + "\\log");
    writeLog(HY_WARNING, "hy_create_list", "first %d", 1);
    writeLog(7, "CreateCat", "second\n");
    ASSERT_TRUE(directory_exists("log"));
    std::string text = log_text();
    long long now = time(nullptr);
    size_t a = text.find("[warning] [");
    ASSERT_EQ(a, 0u) << text;
    long long stamp = atoll(text.c_str() + 11);
    EXPECT_LE(now - stamp, 5);
    // A text-mode file: lines end in CR LF on Windows.
    EXPECT_NE(text.find("] [hy_create_list] first 1\r\n[unknown] ["), std::string::npos) << text;
    // A message that ends in a line feed leaves an empty line.
    EXPECT_EQ(text.substr(text.size() - 10), "second\r\n\r\n");
}

TEST(VersionProbe, WineWithoutManifestReportsWindows7)
{
    probe_windows_version();
    EXPECT_EQ(windowsVersion, WINDOWS_7);
}

TEST(OperationGuard, SecondHolderOfTheMutexIsBusy)
{
    {
        operation_guard first("hy_test_guard");
        EXPECT_EQ(first.result(), 0);
        operation_guard second("hy_test_guard");
        EXPECT_EQ(second.result(), HY_ERROR_BUSY);
    }
    operation_guard again("hy_test_guard");
    EXPECT_EQ(again.result(), 0); // every handle was closed
}

TEST(OperationGuard, AnotherProcessMakesTheListingBusy)
{
    held_mutex other("Global\\hy_create_list");
    ASSERT_TRUE(other.held());
    device_record *list = reinterpret_cast<device_record *>(1);
    EXPECT_EQ(hy_create_list(&list, nullptr), HY_ERROR_BUSY);
}

TEST(DeviceList, WineHasNoUsbDevices)
{
    device_record *list = reinterpret_cast<device_record *>(1);
    list_options all = {1, 1, 1};
    EXPECT_EQ(hy_create_list(&list, &all), HY_ERROR_NO_DEVICE);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(hy_destroy_list(nullptr), 0);
}

// The generator runs elevated: a DLL named like a system one in a folder the search would reach
// first must not be the one it loads.
TEST(Resolver, LoadsSystemDllsFromTheSystemFolderOnly)
{
    ASSERT_EQ(GetModuleHandleA("msimg32"), nullptr);
    ASSERT_TRUE(SetDllDirectoryA(PLANTED_DIR));
    FARPROC proc = hy::resolve_system_proc("Msimg32", "AlphaBlend");
    SetDllDirectoryA(nullptr);
    ASSERT_NE(proc, nullptr);
    HMODULE module = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(proc), &module));
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(_strnicmp(path, system, strlen(system)), 0) << path;
}
