// Package preparation on "Windows 7" (Wine without a manifest), elevated as Wine always is.
#include "preparefixture.h"

#include "fakecatalog.h"
#include "filetable.h"
#include "packagefiles_win.h"
#include "signing_win.h"
#include "tokenizer.h"

#include <setupapi.h>
#include <wincrypt.h>

using namespace hy;
using namespace hytest;

namespace {

std::wstring wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

HRESULT WINAPI failing_guid(GUID *guid)
{
    *guid = GUID{};
    return E_FAIL;
}

BOOL WINAPI not_an_admin()
{
    return FALSE;
}

// What the machine trusts after a signing: a code-signing certificate of the subject in the Root
// store that ends on 2029-01-01 and whose key is gone. (Wine keeps the copies of earlier runs,
// which the same code made.)
void expect_trusted_code_signing_certificate(const std::string &subject)
{
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    ASSERT_NE(store, nullptr);
    BYTE name[256];
    DWORD size = sizeof name;
    ASSERT_TRUE(CertStrToNameA(X509_ASN_ENCODING, subject.c_str(), CERT_X500_NAME_STR, nullptr,
                               name, &size, nullptr));
    CERT_NAME_BLOB blob = {size, name};
    int found = 0;
    PCCERT_CONTEXT c = nullptr;
    while ((c = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                           &blob, c)) != nullptr) {
        found++;
        char text[128] = {};
        CertNameToStrA(X509_ASN_ENCODING, &c->pCertInfo->Subject, CERT_X500_NAME_STR, text,
                       sizeof text);
        EXPECT_EQ(std::string(text), subject);

        const CERT_EXTENSION *eku = CertFindExtension(
            szOID_ENHANCED_KEY_USAGE, c->pCertInfo->cExtension, c->pCertInfo->rgExtension);
        ASSERT_NE(eku, nullptr);
        EXPECT_TRUE(eku->fCritical);
        BYTE usageBuffer[256];
        DWORD usageSize = sizeof usageBuffer;
        ASSERT_TRUE(CertGetEnhancedKeyUsage(c, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG,
                                            reinterpret_cast<CERT_ENHKEY_USAGE *>(usageBuffer),
                                            &usageSize));
        const auto *usage = reinterpret_cast<CERT_ENHKEY_USAGE *>(usageBuffer);
        ASSERT_EQ(usage->cUsageIdentifier, 1u);
        EXPECT_STREQ(usage->rgpszUsageIdentifier[0], szOID_PKIX_KP_CODE_SIGNING);

        SYSTEMTIME end = {};
        FileTimeToSystemTime(&c->pCertInfo->NotAfter, &end);
        EXPECT_EQ(end.wYear, 2029);
        EXPECT_EQ(end.wMonth, 1);
        EXPECT_EQ(end.wDay, 1);
        EXPECT_EQ(end.wHour * 3600 + end.wMinute * 60 + end.wSecond, 0);

        // Wine keeps the key link on the stored copy; the key it names must be gone.
        BYTE keyInfoBuffer[512];
        DWORD keySize = sizeof keyInfoBuffer;
        if (CertGetCertificateContextProperty(c, CERT_KEY_PROV_INFO_PROP_ID, keyInfoBuffer,
                                              &keySize)) {
            const auto *keyInfo = reinterpret_cast<CRYPT_KEY_PROV_INFO *>(keyInfoBuffer);
            HCRYPTPROV provider = 0;
            EXPECT_FALSE(CryptAcquireContextW(
                &provider, keyInfo->pwszContainerName, keyInfo->pwszProvName, keyInfo->dwProvType,
                (keyInfo->dwFlags & CRYPT_MACHINE_KEYSET) | CRYPT_SILENT))
                << "the trusted certificate still leads to its key";
        }
    }
    EXPECT_GE(found, 1);
    CertCloseStore(store, 0);
}

} // namespace

class PrepareTest : public PrepareFixture
{
};

TEST_F(PrepareTest, CdcPackageForInterface01)
{
    ASSERT_EQ(prepare(HY_CDC, "Power_Station_(Interface_1).inf"), 0);
    std::string infPath = folder_ + "\\Power_Station_(Interface_1).inf";
    EXPECT_STREQ(infPath_, infPath.c_str());

    std::string inf = inf_text("Power_Station_(Interface_1).inf");
    EXPECT_EQ(inf.rfind("; Power_Station_(Interface_1).inf\r\n", 0), 0u) << inf;
    for (std::string line :
         {std::string("%DeviceName% = CDC_Install, USB\\VID_3746&PID_00AB&MI_01\r\n"),
          std::string("CatalogFile = Power_Station_(Interface_1).cat\r\n"),
          "DriverVer   = " + today() + ", 0.0.0.0\r\n",
          std::string("ProviderName = \"(Undefined Vendor)\"\r\n"),
          std::string("DeviceName   = \"Power Station (Interface 1)\"\r\n"),
          std::string("AddReg = AddDeviceInterfaceGUID\r\n")})
        EXPECT_NE(inf.find(line), std::string::npos) << line;
    size_t guid = inf.find("DeviceInterfaceGUIDs,0x10000,\"{");
    ASSERT_NE(guid, std::string::npos);
    std::string value = inf.substr(guid + 30, 38);
    EXPECT_EQ(value.size(), 38u);
    EXPECT_EQ(value.back(), '}');
    EXPECT_EQ(value.find_first_of("abcdef"), std::string::npos) << value; // upper case

    // Byte-exact: the INF is the template filled with this preparation's values, as UTF-16LE
    // behind its byte-order mark, and the other files are the embedded ones.
    const embedded_file *cdc = find_template("usbser.inf.in");
    char *filled = nullptr;
    int n = tokenize(reinterpret_cast<const char *>(cdc->content), static_cast<long>(cdc->size),
                     &filled);
    ASSERT_GT(n, 0);
    EXPECT_TRUE(inf == std::string(filled, n));
    free(filled);
    EXPECT_EQ(read_file(infPath).size(), 2 + 2 * inf.size()); // ASCII text: two bytes each
    for (const embedded_file &f : embedded_files) {
        if (f.directory[0] == '\0')
            continue;
        std::string written = read_file(folder_ + "\\" + f.directory + "\\" + f.name);
        EXPECT_TRUE(written == std::string(reinterpret_cast<const char *>(f.content), f.size))
            << f.name;
    }

    // Wine cannot save catalogs; below Windows 10 that is only a warning.
    std::string log = log_text();
    EXPECT_NE(log.find("[warning] "), std::string::npos);
    EXPECT_NE(log.find("[hy_prepare_driver] Could not create cat file"), std::string::npos) << log;
    EXPECT_NE(log.find("[hy_prepare_driver] print inf_path '" + infPath + "'"), std::string::npos);
}

TEST_F(PrepareTest, WinUsbPackageTakesDateAndVersionFromTheCoInstaller)
{
    station(0);
    ASSERT_EQ(prepare(HY_WINUSB, "dir/sub\\Power_Station_(Interface_0).inf"), 0);
    EXPECT_STREQ(infPath_, (folder_ + "\\Power_Station_(Interface_0).inf").c_str());
    std::string inf = inf_text("Power_Station_(Interface_0).inf");
    // 2012-06-01 23:35:26 UTC, on a machine set to UTC
    EXPECT_NE(inf.find("DriverVer   = 06/01/2012, 2.0.0.0\r\n"), std::string::npos) << inf;
    EXPECT_NE(inf.find("USB\\VID_3746&PID_00AB&MI_00\r\n"), std::string::npos);
    EXPECT_NE(inf.find("WdfCoInstaller01011.dll = 1\r\n"), std::string::npos);
    EXPECT_NE(inf.find("KmdfLibraryVersion = 1.11\r\n"), std::string::npos);
}

// A USB product string is the device's to choose: a quote, a percent sign or a line break in it
// must stay text of its one INF value.
TEST_F(PrepareTest, DeviceTextsStayOneInfValue)
{
    description_ = "Evil \"Station\" 100%\r\n[DefaultInstall]\r\nAddReg=x";
    record_.description = &description_[0];
    prepare_options options = {};
    options.driver_type = HY_CDC;
    options.vendor_name = const_cast<char *>("50% \"Maker\"\n");
    ASSERT_EQ(hy_prepare_driver(&record_, folder_.c_str(), "100%_evil.inf", &options, infPath_), 0);

    const std::wstring path = wide(folder_ + "\\100%_evil.inf");
    HINF inf = SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    auto value = [&](const wchar_t *section, const wchar_t *key) {
        INFCONTEXT line;
        wchar_t text[512] = {};
        if (!SetupFindFirstLineW(inf, section, key, &line) ||
            !SetupGetStringFieldW(&line, 1, text, 512, nullptr))
            return std::wstring(L"<none>");
        return std::wstring(text);
    };
    EXPECT_EQ(value(L"Strings", L"DeviceName"), L"Evil \"Station\" 100%[DefaultInstall]AddReg=x");
    EXPECT_EQ(value(L"Strings", L"ProviderName"), L"50% \"Maker\"");
    EXPECT_EQ(value(L"Version", L"CatalogFile"), L"100%_evil.cat");
    EXPECT_EQ(SetupGetLineCountW(inf, L"DefaultInstall"), -1);
    SetupCloseInfFile(inf);
}

TEST_F(PrepareTest, NoPackageWithoutAFreshInterfaceGuid)
{
    function_override fakes({{"CoCreateGuid", as_proc(failing_guid)}});
    EXPECT_EQ(prepare(HY_CDC, "guid.inf"), HY_ERROR_RESOURCE);
    EXPECT_FALSE(file_exists(folder_ + "\\guid.inf"));
    EXPECT_TRUE(path_untouched());
    const std::string log = log_text();
    EXPECT_NE(log.find("[hy_prepare_driver] Could not create a device interface GUID"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[error] "), std::string::npos);
}

TEST_F(PrepareTest, NotElevatedWritesNoCatalog)
{
    function_override fakes({{"IsUserAnAdmin", as_proc(not_an_admin)}});
    ASSERT_EQ(prepare(HY_CDC, "station.inf"), 0);
    EXPECT_STREQ(infPath_, (folder_ + "\\station.inf").c_str());
    EXPECT_FALSE(file_exists(folder_ + "\\station.cat"));
    std::string log = log_text();
    EXPECT_NE(log.find("No .cat file generated (missing elevated privileges)"), std::string::npos);
    EXPECT_EQ(log.find("Creating and self-signing"), std::string::npos);
}

TEST_F(PrepareTest, InvalidRequestsAreRefused)
{
    struct
    {
        int driverType;
        const char *infName;
        bool withRecord;
        bool withDescription;
        const char *message;
    } cases[] = {
        {HY_CDC, nullptr, true, true, "One of the required parameter is NULL"},
        {HY_CDC, "a.inf", false, true, "One of the required parameter is NULL"},
        {HY_CDC, "upper.INF", true, true, "Inf name provided must have a '.inf' extension"},
        {HY_CDC, "inf", true, true, "Inf name provided must have a '.inf' extension"},
        {7, "a.inf", true, true, "Program assertion failed - Unknown driver type"},
        {HY_CDC, "a.inf", true, false, "No device ID was given for the device - aborting"},
    };
    for (const auto &c : cases) {
        clear_log();
        station(1);
        if (!c.withDescription)
            record_.description = nullptr;
        prepare_options options = {};
        options.driver_type = c.driverType;
        EXPECT_EQ(hy_prepare_driver(c.withRecord ? &record_ : nullptr, folder_.c_str(), c.infName,
                                    &options, infPath_),
                  HY_ERROR_INVALID_PARAM)
            << c.message;
        EXPECT_NE(log_text().find(std::string("[error] ")), std::string::npos);
        EXPECT_NE(log_text().find(c.message), std::string::npos) << c.message;
    }
    EXPECT_TRUE(path_untouched());
}

TEST_F(PrepareTest, UnsupportedTypesFallBackToWinUsb)
{
    ASSERT_EQ(prepare(HY_LIBUSBK, "k.inf"), 0);
    EXPECT_NE(log_text().find("unsupported or no driver type specified, will use WinUSB"),
              std::string::npos);
    EXPECT_NE(inf_text("k.inf").find("Needs   = WINUSB.NT\r\n"), std::string::npos);
}

TEST_F(PrepareTest, OptionsChangeTheFilledValues)
{
    std::string external = fresh_dir("template") + "\\mine.inf";
    FILE *f = fopen(external.c_str(), "wb");
    fputs("id=#DEVICE_HARDWARE_ID# guid=#DEVICE_INTERFACE_GUID# by=#DEVICE_MANUFACTURER# "
          "#USE_DEVICE_INTERFACE_GUID#",
          f);
    fclose(f);
    prepare_options options = {};
    options.driver_type = HY_CDC;
    options.vendor_name = const_cast<char *>("Maker");
    options.use_generic_driver = 1;
    options.external_inf = 1;
    options.disable_catalog = 1;
    ASSERT_EQ(hy_prepare_driver(&record_, folder_.c_str(), external.c_str(), &options, infPath_),
              0);
    EXPECT_EQ(inf_text("mine.inf"), "id=MS_COMP_USBSER guid=UNUSED by=Maker NoDeviceInterfaceGUID");
    EXPECT_NE(log_text().find(".cat generation disabled by user"), std::string::npos);
    EXPECT_STREQ(infPath_, (folder_ + "\\mine.inf").c_str());

    options.use_generic_driver = 0;
    options.interface_guid = const_cast<char *>("{GIVEN}");
    ASSERT_EQ(hy_prepare_driver(&record_, folder_.c_str(), external.c_str(), &options, infPath_),
              0);
    EXPECT_EQ(inf_text("mine.inf"), "id=VID_3746&PID_00AB&MI_01 guid={GIVEN} by=Maker "
                                    "AddDeviceInterfaceGUID");
}

TEST_F(PrepareTest, WithoutAFolderThePackageGoesToTemp)
{
    std::string temp = fresh_dir("temp");
    char saved[MAX_PATH];
    GetEnvironmentVariableA("TEMP", saved, MAX_PATH);
    SetEnvironmentVariableA("TEMP", temp.c_str());
    int result = hy_prepare_driver(&record_, nullptr, "t.inf", nullptr, infPath_);
    SetEnvironmentVariableA("TEMP", saved);
    ASSERT_EQ(result, 0);
    EXPECT_STREQ(infPath_, (temp + "\\t.inf").c_str());
    EXPECT_NE(log_text().find("No path provided - extracting to '" + temp + "'"),
              std::string::npos);
}

TEST_F(PrepareTest, InfPathTooLongForTheCallersBuffer)
{
    std::string name = std::string(258 - folder_.size(), 'n') + ".inf";
    EXPECT_EQ(prepare(HY_CDC, name.c_str()), HY_ERROR_RESOURCE);
    EXPECT_NE(log_text().find("Qualified path for inf file is too long"), std::string::npos);
    EXPECT_TRUE(path_untouched());
}

TEST_F(PrepareTest, BusyWhileAnotherProcessPrepares)
{
    held_mutex other("Global\\hy_prepare_driver");
    ASSERT_TRUE(other.held());
    EXPECT_EQ(prepare(HY_CDC, "busy.inf"), HY_ERROR_BUSY);
    EXPECT_FALSE(file_exists(folder_ + "\\busy.inf"));
}

TEST_F(PrepareTest, SignedPackageWhenTheSystemSaysSo)
{
    function_override fakes(working_catalog(S_OK));
    ASSERT_EQ(prepare(HY_CDC, "Power_Station_(Interface_1).inf"), 0);
    EXPECT_STREQ(infPath_, (folder_ + "\\Power_Station_(Interface_1).inf").c_str());
    std::string log = log_text();
    const std::string subject = "CN=USB\\VID_3746&PID_00AB&MI_01";
    EXPECT_NE(log.find("Created new self-signed certificate '" + subject + "'"), std::string::npos)
        << log;
    EXPECT_NE(
        log.find("Successfully signed file '" + folder_ + "\\Power_Station_(Interface_1).cat'"),
        std::string::npos);
    expect_trusted_code_signing_certificate(subject);
    RemoveCertFromStore(subject.c_str(), "Root");
    RemoveCertFromStore(subject.c_str(), "TrustedPublisher");
}
