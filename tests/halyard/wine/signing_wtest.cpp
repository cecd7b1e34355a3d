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

int deletions = 0;
// A store that reports deletions it does not make (it gives up after 1000).
BOOL WINAPI deletion_that_keeps(PCCERT_CONTEXT certificate)
{
    CertFreeCertificateContext(certificate);
    if (++deletions >= 1000) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

HCRYPTPROV open_key_container()
{
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, L"corvex key container", nullptr, PROV_RSA_FULL,
                              CRYPT_MACHINE_KEYSET | CRYPT_SILENT))
        return 0;
    return provider;
}

// A certificate for SUBJECT with a small key, quicker to make than the generator's.
PCCERT_CONTEXT quick_certificate()
{
    const wchar_t container[] = L"halyard test container";
    HCRYPTPROV provider = 0;
    CryptAcquireContextW(&provider, container, nullptr, PROV_RSA_FULL,
                         CRYPT_DELETEKEYSET | CRYPT_SILENT);
    if (!CryptAcquireContextW(&provider, container, nullptr, PROV_RSA_FULL,
                              CRYPT_NEWKEYSET | CRYPT_SILENT))
        return nullptr;
    HCRYPTKEY key = 0;
    CryptGenKey(provider, AT_SIGNATURE, 1024u << 16, &key);
    BYTE name[256];
    DWORD size = sizeof name;
    CertStrToNameA(X509_ASN_ENCODING, SUBJECT, CERT_X500_NAME_STR, nullptr, name, &size, nullptr);
    CERT_NAME_BLOB blob = {size, name};
    CRYPT_KEY_PROV_INFO keyInfo = {};
    keyInfo.pwszContainerName = const_cast<LPWSTR>(container);
    keyInfo.dwProvType = PROV_RSA_FULL;
    keyInfo.dwKeySpec = AT_SIGNATURE;
    PCCERT_CONTEXT certificate =
        CertCreateSelfSignCertificate(0, &blob, 0, &keyInfo, nullptr, nullptr, nullptr, nullptr);
    CryptDestroyKey(key);
    CryptReleaseContext(provider, 0);
    return certificate;
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

// Another account may have made the machine container first and keep access to it: the
// certificate's key must live in a container made afresh, and must not be exportable.
TEST_F(SigningTest, TheKeyIsMadeInANewContainerAndCannotBeExported)
{
    HCRYPTPROV planted = 0;
    ASSERT_TRUE(CryptAcquireContextW(&planted, L"corvex key container", nullptr, PROV_RSA_FULL,
                                     CRYPT_MACHINE_KEYSET | CRYPT_SILENT | CRYPT_NEWKEYSET) ||
                (planted = open_key_container()) != 0);
    HCRYPTKEY plantedKey = 0;
    ASSERT_TRUE(
        CryptGenKey(planted, AT_KEYEXCHANGE, (1024u << 16) | CRYPT_EXPORTABLE, &plantedKey));
    CryptDestroyKey(plantedKey);
    CryptReleaseContext(planted, 0);

    PCCERT_CONTEXT certificate = CreateSelfSignedCert(SUBJECT);
    ASSERT_NE(certificate, nullptr);
    HCRYPTPROV provider = open_key_container();
    ASSERT_NE(provider, 0u);
    HCRYPTKEY key = 0;
    EXPECT_FALSE(CryptGetUserKey(provider, AT_KEYEXCHANGE, &key)) << "the planted key survived";
    ASSERT_TRUE(CryptGetUserKey(provider, AT_SIGNATURE, &key));
    DWORD size = 0;
    EXPECT_FALSE(CryptExportKey(key, 0, PRIVATEKEYBLOB, 0, nullptr, &size));
    CryptDestroyKey(key);
    CryptReleaseContext(provider, 0);
    EXPECT_NE(log_text().find("Created new key container"), std::string::npos) << log_text();

    DeletePrivateKey(certificate);
    CertFreeCertificateContext(certificate);
    EXPECT_FALSE(key_container_exists());
}

TEST_F(SigningTest, RemovingCertificatesEndsWhenTheStoreKeepsThem)
{
    PCCERT_CONTEXT certificate = quick_certificate();
    ASSERT_NE(certificate, nullptr);
    ASSERT_TRUE(AddCertToStore(certificate, "Root"));
    CertFreeCertificateContext(certificate);

    deletions = 0;
    {
        function_override fakes({{"CertDeleteCertificateFromStore", as_proc(deletion_that_keeps)}});
        EXPECT_FALSE(RemoveCertFromStore(SUBJECT, "Root"));
    }
    EXPECT_LE(deletions, 64);
    EXPECT_NE(log_text().find("still in 'Root' store after 64 deletions"), std::string::npos);
}
