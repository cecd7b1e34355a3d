// The embedded INF and catalog templates, filled as a preparation fills them.
#include "catlist.h"
#include "tokenizer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace hy;

namespace {

std::string read_template(const std::string &name)
{
    std::ifstream in(std::string(HALYARD_TEMPLATE_DIR) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string fill(const std::string &text)
{
    char *out = nullptr;
    int n = tokenize(text.c_str(), static_cast<long>(text.size()), &out);
    EXPECT_GT(n, 0);
    std::string result(out, n);
    free(out);
    return result;
}

class TemplatesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < TK_COUNT; i++)
            set_token(static_cast<token_id>(i), "");
        set_token(TK_INF_FILENAME, "Power_Station_(Interface_0).inf");
        set_token(TK_CAT_FILENAME, "Power_Station_(Interface_0).cat");
        set_token(TK_DEVICE_DESCRIPTION, "Power Station (Interface 0)");
        set_token(TK_DEVICE_HARDWARE_ID, "VID_3746&PID_00AB&MI_00");
        set_token(TK_DEVICE_INTERFACE_GUID, "{01234567-89AB-CDEF-0123-456789ABCDEF}");
        set_token(TK_DEVICE_MANUFACTURER, "(Undefined Vendor)");
        set_token(TK_DRIVER_DATE, "06/01/2012");
        set_token(TK_DRIVER_VERSION, "6.1.7601.16384");
        set_token(TK_USE_DEVICE_INTERFACE_GUID, "AddDeviceInterfaceGUID");
        set_token(TK_WDF_VERSION, "01011");
        set_token(TK_KMDF_VERSION, "1.11");
    }
};

} // namespace

TEST_F(TemplatesTest, InfTemplatesUseOnlyKnownTokens)
{
    for (const char *name :
         {"winusb.inf.in", "usbser.inf.in", "libusb0.inf.in", "libusbk.inf.in"}) {
        std::string inf = fill(read_template(name));
        EXPECT_EQ(inf.find('#'), std::string::npos) << name;
    }
}

TEST_F(TemplatesTest, FilledInfsNameTheDeviceAndTheirFiles)
{
    std::string winusb = fill(read_template("winusb.inf.in"));
    for (const char *line :
         {"%DeviceName% = USB_Install, USB\\VID_3746&PID_00AB&MI_00\r\n",
          "CatalogFile = Power_Station_(Interface_0).cat\r\n",
          "DriverVer   = 06/01/2012, 6.1.7601.16384\r\n", "WdfCoInstaller01011.dll = 1\r\n",
          "KmdfLibraryVersion = 1.11\r\n", "AddReg = AddDeviceInterfaceGUID\r\n",
          "\"{01234567-89AB-CDEF-0123-456789ABCDEF}\"\r\n"})
        EXPECT_NE(winusb.find(line), std::string::npos) << line;

    std::string cdc = fill(read_template("usbser.inf.in"));
    EXPECT_NE(cdc.find("AddService = usbser, 0x00000002, CDC_Service"), std::string::npos);
    EXPECT_NE(cdc.find("USB\\VID_3746&PID_00AB&MI_00\r\n"), std::string::npos);
}

TEST_F(TemplatesTest, CatalogTemplatesListThePackageFiles)
{
    catalog_list winusb = read_catalog_list(fill(read_template("winusb.cat.in")), "a.inf");
    EXPECT_EQ(winusb.names,
              (std::vector<std::string>{"winusbcoinstaller2.dll", "WdfCoInstaller01011.dll",
                                        "installer_x64.exe", "a.inf"}));
    catalog_list cdc = read_catalog_list(fill(read_template("usbser.cat.in")), "a.inf");
    EXPECT_EQ(cdc.names, (std::vector<std::string>{"installer_x64.exe", "a.inf"}));
}
