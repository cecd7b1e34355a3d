// Package preparation on "Windows 10" (Wine with a supportedOS manifest): catalog and signing
// failures are fatal unless test signing is on.
#include "fakecatalog.h"
#include "preparefixture.h"

#include "winversion.h"
#include "winversion_win.h"

using namespace hy;
using namespace hytest;

namespace {

ULONG codeIntegrityOptions = 0;

LONG WINAPI fake_query_system_information(ULONG, void *info, ULONG, ULONG *size)
{
    static_cast<ULONG *>(info)[1] = codeIntegrityOptions;
    *size = 8;
    return 0;
}

BOOL WINAPI failing_encode(DWORD, LPCSTR, const void *, BYTE *, DWORD *)
{
    SetLastError(static_cast<DWORD>(CRYPT_E_ASN1_ERROR));
    return FALSE;
}

} // namespace

class Windows10Test : public PrepareFixture
{
};

TEST_F(Windows10Test, ProbeReadsWindows10)
{
    probe_windows_version();
    EXPECT_EQ(windowsVersion, WINDOWS_10);
}

TEST_F(Windows10Test, CatalogThatCannotBeSavedIsFatal)
{
    EXPECT_EQ(prepare(HY_CDC, "Power_Station_(Interface_1).inf"), HY_ERROR_CAT_MISSING);
    EXPECT_TRUE(path_untouched());
    // Nothing is rolled back: the INF is there.
    EXPECT_TRUE(file_exists(folder_ + "\\Power_Station_(Interface_1).inf"));
    std::string log = log_text();
    EXPECT_NE(log.find("Test signing is: Disabled"), std::string::npos) << log;
    EXPECT_NE(log.find("[error] "), std::string::npos);
    EXPECT_NE(log.find("[hy_prepare_driver] Could not create cat file"), std::string::npos);
}

TEST_F(Windows10Test, TestSigningMakesCatalogFailuresWarnings)
{
    codeIntegrityOptions = 2;
    function_override fakes({{"NtQuerySystemInformation", as_proc(fake_query_system_information)}});
    EXPECT_EQ(prepare(HY_CDC, "a.inf"), 0);
    EXPECT_STREQ(infPath_, (folder_ + "\\a.inf").c_str());
    EXPECT_NE(log_text().find("Test signing is: Enabled"), std::string::npos);
}

// Wine cannot make SHA-256 certificates for a PROV_RSA_FULL key, which Windows 10 asks for; the
// signed path is exercised on Windows 7 (prepare tests) and checked on Windows itself.
TEST_F(Windows10Test, UnsignedCatalogIsFatal)
{
    std::map<std::string, FARPROC> fakes = working_catalog(S_OK);
    fakes["CryptEncodeObject"] = as_proc(failing_encode);
    function_override override(fakes);
    EXPECT_EQ(prepare(HY_CDC, "b.inf"), HY_ERROR_UNSIGNED);
    EXPECT_TRUE(path_untouched());
    std::string log = log_text();
    EXPECT_NE(log.find("[CreateSelfSignedCert] Could not setup EKU for code signing: "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[hy_prepare_driver] Could not sign cat file"), std::string::npos);
}
