// Runs the Windows driver setup on a machine without the power station (Wine has no USB
// devices) and checks the generator hand-off of the SetupAPI source. Prints what it found;
// the exit code is the number of failed checks.
#include "compositedriversetup.h"
#include "win32devicenodesource_win.h"

#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void check(bool ok, const char *what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok)
        ++failures;
}

void printLog(const char *message)
{
    std::printf("generator: %s\n", message);
}

// Writes "<folder>\<interface>.inf" as the generator does, UTF-8 in and out.
int echoGenerator(const char *folder, const char *interfaceNumber, char *infPathOut,
                  halyard_log_fn log)
{
    log("generate");
    std::snprintf(infPathOut, 260, "%s\\%s.inf", folder, interfaceNumber);
    return 0;
}

// Fills the whole buffer without a terminating NUL.
int overflowingGenerator(const char *, const char *, char *infPathOut, halyard_log_fn)
{
    std::memset(infPathOut, 'x', 260);
    return 0;
}

int unusedGenerator(const char *, const char *, char *, halyard_log_fn)
{
    check(false, "no station, so no package is generated");
    return -4;
}

} // namespace

int main()
{
    CompositeDriverSetup setup(std::make_unique<Win32DeviceNodeSource>(&unusedGenerator, &printLog),
                               "C:/users/wine/usbDriver", [](const std::string &line) {
                                   std::printf("log: %s\n", line.c_str());
                               });

    bool composite = false;
    const bool present = setup.isUsbDevicePresent(composite);
    std::printf("%s\n", present ? "present" : "not present");
    check(!present && !composite, "the station is not present");
    check(!setup.areInterfaceDriversReady(), "interface drivers are not ready");
    check(!setup.installInterfaceDrivers(), "interface drivers cannot be installed");

    Win32DeviceNodeSource echo(&echoGenerator, &printLog);
    check(echo.preparePackage("C:/Users/Zo\xC3\xAB/usbDriver", "01") ==
              "C:/Users/Zo\xC3\xAB/usbDriver\\01.inf",
          "the package path comes back as UTF-8");
    Win32DeviceNodeSource overflowing(&overflowingGenerator, &printLog);
    check(overflowing.preparePackage("C:/x", "00") == std::string(260, 'x'),
          "an unterminated package path is cut at the buffer's end");

    std::fflush(stdout);
    return failures;
}
