// Self-signing with Wine's certificate stores and key containers; Wine does not sign files, so
// SignerSignEx's answer is also replaced where a test needs a particular one.
#include "signing_win.h"
#include "winetestsupport.h"

#include <gtest/gtest.h>

#include <wincrypt.h>

using namespace hy;
using namespace hytest;

namespace {

const char SUBJECT[] = "CN=USB\\VID_3746&PID_00AB&MI_7F";
HRESULT signResult = S_OK;

HRESULT WINAPI fake_signer_sign_ex(DWORD, void *, void *, void *, void *, LPCWSTR, void *, void *,
                                   void **context)
{
    *context = nullptr;
    return signResult;
}

// Certificates with the test subject in a machine store.
int count_in_store(const char *storeName, std::wstring *friendlyName = nullptr)
{
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, storeName);
    if (store == nullptr)
        return -1;
    BYTE name[256];
    DWORD size = sizeof name;
    CertStrToNameA(X509_ASN_ENCODING, SUBJECT, CERT_X500_NAME_STR, nullptr, name, &size, nullptr);
    CERT_NAME_BLOB blob = {size, name};
    int count = 0;
    PCCERT_CONTEXT found = nullptr;
    while ((found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                               &blob, found)) != nullptr) {
        count++;
        wchar_t text[64] = {};
        DWORD textSize = sizeof text;
        if (friendlyName != nullptr &&
            CertGetCertificateContextProperty(found, CERT_FRIENDLY_NAME_PROP_ID, text, &textSize))
            *friendlyName = text;
    }
    CertCloseStore(store, 0);
    return count;
}

bool key_container_exists()
{
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, L"corvex key container", nullptr, PROV_RSA_FULL,
                              CRYPT_MACHINE_KEYSET | CRYPT_SILENT))
        return false;
    CryptReleaseContext(provider, 0);
    return true;
}

class SigningTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clear_log();
        file_ = fresh_dir("sign") + "\\station.cat";
        FILE *f = fopen(file_.c_str(), "wb");
        fputs("catalog", f);
        fclose(f);
    }
    void TearDown() override
    {
        RemoveCertFromStore(SUBJECT, "Root");
        RemoveCertFromStore(SUBJECT, "TrustedPublisher");
    }
    std::string file_;
};

} // namespace

// Wine keeps the certificates it is asked to delete from a system store, so "one certificate per
// subject" is checked only as far as the removal running before each signing.
TEST_F(SigningTest, FreshTrustedCertificateAndNoKeyLeftBehind)
{
    // Wine's own SignerSignEx only answers E_NOTIMPL.
    EXPECT_FALSE(SelfSignFile(file_.c_str(), SUBJECT));
    std::wstring friendly;
    EXPECT_GE(count_in_store("Root", &friendly), 1);
    EXPECT_EQ(friendly, L"corvex");
    EXPECT_GE(count_in_store("TrustedPublisher"), 1);
    EXPECT_FALSE(key_container_exists());
    std::string log = log_text();
    EXPECT_NE(log.find("Created new self-signed certificate '" + std::string(SUBJECT) + "'"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Added certificate '" + std::string(SUBJECT) +
                       "' to 'Root' and 'TrustedPublisher' stores"),
              std::string::npos);
    EXPECT_NE(log.find("SignerSignEx failed: "), std::string::npos);

    clear_log();
    signResult = 0x80090006;
    function_override fakes({{"SignerSignEx", as_proc(fake_signer_sign_ex)}});
    EXPECT_FALSE(SelfSignFile(file_.c_str(), SUBJECT));
    EXPECT_FALSE(key_container_exists());
    log = log_text();
    EXPECT_NE(log.find("Deleted existing certificate '" + std::string(SUBJECT) + "' from 'Root'"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("SignerSignEx failed: Invalid Signature."), std::string::npos);
}
