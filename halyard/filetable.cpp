#include "filetable.h"

#include <cstring>

// Contents, placed in read-only data by embeddedfiles.S.
extern "C" const uint8_t hy_file_0[], hy_file_1[], hy_file_2[], hy_file_3[], hy_file_4[],
    hy_file_5[], hy_file_6[], hy_file_7[], hy_file_8[], hy_file_9[], hy_file_10[];

namespace hy {

const embedded_file embedded_files[EMBEDDED_FILE_COUNT] = {
    {"amd64", "WdfCoInstaller01011.dll", 1795952, 1345172220, hy_file_0},
    {"amd64", "winusbcoinstaller2.dll", 1002728, 1338593726, hy_file_1},
    {".", "installer_x64.exe", 1214976, 1733560619, hy_file_2},
    {"", "winusb.inf.in", 2441, 1732688180, hy_file_3},
    {"", "libusb0.inf.in", 4231, 1732688180, hy_file_4},
    {"", "libusbk.inf.in", 4046, 1732688180, hy_file_5},
    {"", "usbser.inf.in", 1822, 1732688180, hy_file_6},
    {"", "winusb.cat.in", 166, 1732688180, hy_file_7},
    {"", "libusb0.cat.in", 182, 1732688180, hy_file_8},
    {"", "libusbk.cat.in", 216, 1732688180, hy_file_9},
    {"", "usbser.cat.in", 57, 1732688180, hy_file_10},
};

const embedded_file *find_template(const char *name)
{
    for (const embedded_file &f : embedded_files) {
        if (f.directory[0] == '\0' && strcmp(f.name, name) == 0)
            return &f;
    }
    return nullptr;
}

const embedded_file *find_embedded_file(const char *name)
{
    for (const embedded_file &f : embedded_files) {
        if (strcmp(f.name, name) == 0)
            return &f;
    }
    return nullptr;
}

} // namespace hy
