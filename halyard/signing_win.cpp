#include "signing_win.h"

#include "diaglog_win.h"
#include "hy_types.h"
#include "pkierrors.h"
#include "resolve_win.h"
#include "signer_win.h"
#include "utf.h"
#include "winversion.h"
#include "winversion_win.h"

#include <wintrust.h>

#include <cstdio>
#include <string>
#include <vector>

namespace hy {
namespace {

const wchar_t KEY_CONTAINER[] = L"corvex key container";
const wchar_t FRIENDLY_NAME[] = L"corvex";
const wchar_t ALT_NAME[] = L"halyard driver package generator <https://amperlane.example/halyard>";
const char CPS_ADDRESS[] = "https://amperlane.example/halyard/cps";
const char CODE_SIGNING_OID[] = "1.3.6.1.5.5.7.3.3";
const char CPS_QUALIFIER_OID[] = "1.3.6.1.5.5.7.2.1";
// Each signing leaves one certificate per subject; more than this are not ours to chase.
const int MAX_REMOVED_CERTIFICATES = 64;

// Encodes a structure, asking for its size first; false leaves out empty.
bool encode(decltype(&CryptEncodeObject) encodeObject, LPCSTR type, const void *value,
            std::vector<BYTE> &out)
{
    DWORD size = 0;
    if (!encodeObject(X509_ASN_ENCODING, type, value, nullptr, &size))
        return false;
    out.resize(size);
    if (!encodeObject(X509_ASN_ENCODING, type, value, out.data(), &size))
        return false;
    out.resize(size);
    return true;
}

bool encode_name(decltype(&CertStrToNameA) strToName, const char *subject, std::vector<BYTE> &out)
{
    DWORD size = 0;
    if (!strToName(X509_ASN_ENCODING, subject, CERT_X500_NAME_STR, nullptr, nullptr, &size,
                   nullptr))
        return false;
    out.resize(size);
    if (!strToName(X509_ASN_ENCODING, subject, CERT_X500_NAME_STR, nullptr, out.data(), &size,
                   nullptr))
        return false;
    out.resize(size);
    return true;
}

CRYPT_DATA_BLOB friendly_name_blob()
{
    CRYPT_DATA_BLOB blob;
    blob.cbData = sizeof FRIENDLY_NAME;
    blob.pbData = reinterpret_cast<BYTE *>(const_cast<wchar_t *>(FRIENDLY_NAME));
    return blob;
}

HCERTSTORE open_machine_store(decltype(&CertOpenStore) openStore, const char *storeName)
{
    return openStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, storeName);
}

// The three certificate extensions: code signing only, the generator's name, and its policy.
class certificate_extensions
{
public:
    bool build(decltype(&CryptEncodeObject) encodeObject, const char *op)
    {
        LPSTR usage = const_cast<LPSTR>(CODE_SIGNING_OID);
        CERT_ENHKEY_USAGE eku = {1, &usage};
        if (!encode(encodeObject, X509_ENHANCED_KEY_USAGE, &eku, eku_)) {
            writeLog(HY_WARNING, op, "Could not setup EKU for code signing: %s", pkiErrorText(0));
            return false;
        }
        CERT_ALT_NAME_ENTRY entry = {};
        entry.dwAltNameChoice = CERT_ALT_NAME_RFC822_NAME;
        entry.pwszRfc822Name = const_cast<LPWSTR>(ALT_NAME);
        CERT_ALT_NAME_INFO altName = {1, &entry};
        if (!encode(encodeObject, X509_ALTERNATE_NAME, &altName, altName_)) {
            writeLog(HY_WARNING, op, "Could not set Alt Name: %s", pkiErrorText(0));
            return false;
        }
        CERT_NAME_VALUE cps = {};
        cps.dwValueType = CERT_RDN_IA5_STRING;
        cps.Value.cbData = sizeof CPS_ADDRESS; // with its terminating NUL
        cps.Value.pbData = reinterpret_cast<BYTE *>(const_cast<char *>(CPS_ADDRESS));
        if (!encode(encodeObject, X509_NAME_VALUE, &cps, cps_)) {
            writeLog(HY_WARNING, op, "Could not setup CPS: %s", pkiErrorText(0));
            return false;
        }
        CERT_POLICY_QUALIFIER_INFO qualifier = {};
        qualifier.pszPolicyQualifierId = const_cast<LPSTR>(CPS_QUALIFIER_OID);
        qualifier.Qualifier.cbData = static_cast<DWORD>(cps_.size());
        qualifier.Qualifier.pbData = cps_.data();
        CERT_POLICY_INFO policy = {const_cast<LPSTR>(CPS_QUALIFIER_OID), 1, &qualifier};
        CERT_POLICIES_INFO policies = {1, &policy};
        if (!encode(encodeObject, X509_CERT_POLICIES, &policies, policies_)) {
            writeLog(HY_WARNING, op, "Could not setup Certificate Policies: %s", pkiErrorText(0));
            return false;
        }
        set(0, szOID_ENHANCED_KEY_USAGE, TRUE, eku_);
        set(1, szOID_SUBJECT_ALT_NAME, FALSE, altName_);
        set(2, szOID_CERT_POLICIES, FALSE, policies_);
        list_.cExtension = 3;
        list_.rgExtension = extensions_;
        return true;
    }

    CERT_EXTENSIONS *list() { return &list_; }

private:
    void set(int i, const char *oid, BOOL critical, std::vector<BYTE> &value)
    {
        extensions_[i].pszObjId = const_cast<LPSTR>(oid);
        extensions_[i].fCritical = critical;
        extensions_[i].Value.cbData = static_cast<DWORD>(value.size());
        extensions_[i].Value.pbData = value.data();
    }

    std::vector<BYTE> eku_, altName_, cps_, policies_;
    CERT_EXTENSION extensions_[3] = {};
    CERT_EXTENSIONS list_ = {};
};

// A new, empty key container. One of that name left from before goes first: any local account may
// create a machine container and keep access to it, so reusing one would hand that account the
// key made here with administrator rights.
bool make_key_container(HCRYPTPROV &provider, const char *op)
{
    HCRYPTPROV deleted = 0;
    if (CryptAcquireContextW(&deleted, KEY_CONTAINER, nullptr, PROV_RSA_FULL,
                             CRYPT_DELETEKEYSET | CRYPT_MACHINE_KEYSET | CRYPT_SILENT))
        writeLog(HY_DEBUG, op, "Deleted existing key container");
    if (CryptAcquireContextW(&provider, KEY_CONTAINER, nullptr, PROV_RSA_FULL,
                             CRYPT_NEWKEYSET | CRYPT_MACHINE_KEYSET | CRYPT_SILENT)) {
        writeLog(HY_DEBUG, op, "Created new key container");
        return true;
    }
    DWORD error = GetLastError();
    writeLog(HY_WARNING, op, "Could not obtain a key container: %s (0x%08X)", pkiErrorText(error),
             static_cast<unsigned>(error));
    return false;
}

// The self-signed certificate for the container's signature key.
PCCERT_CONTEXT certify_key(const char *subject, decltype(&CertStrToNameA) strToName,
                           decltype(&CertCreateSelfSignCertificate) createSelfSign,
                           certificate_extensions &extensions)
{
    const char *op = "CreateSelfSignedCert";
    std::vector<BYTE> name;
    if (!encode_name(strToName, subject, name)) {
        writeLog(HY_WARNING, op, "Could not encode subject name for self signed cert: %s",
                 pkiErrorText(0));
        return nullptr;
    }
    probe_windows_version();
    CRYPT_KEY_PROV_INFO keyInfo = {};
    keyInfo.pwszContainerName = const_cast<LPWSTR>(KEY_CONTAINER);
    keyInfo.dwProvType = PROV_RSA_FULL;
    keyInfo.dwFlags = CRYPT_MACHINE_KEYSET;
    keyInfo.dwKeySpec = AT_SIGNATURE;
    CRYPT_ALGORITHM_IDENTIFIER algorithm = {};
    algorithm.pszObjId =
        const_cast<LPSTR>(windowsVersion > WINDOWS_7 ? szOID_RSA_SHA256RSA : szOID_RSA_SHA1RSA);
    SYSTEMTIME end = {};
    end.wYear = 2029;
    end.wMonth = 1;
    end.wDay = 1;
    CERT_NAME_BLOB nameBlob = {static_cast<DWORD>(name.size()), name.data()};
    PCCERT_CONTEXT certificate =
        createSelfSign(0, &nameBlob, 0, &keyInfo, &algorithm, nullptr, &end, extensions.list());
    if (certificate != nullptr)
        writeLog(HY_INFO, op, "Created new self-signed certificate '%s'", subject);
    else
        writeLog(HY_WARNING, op, "Could not create self signed certificate: %s", pkiErrorText(0));
    return certificate;
}

// Trusts the certificate on this machine and signs the file with it.
bool trust_and_sign(PCCERT_CONTEXT certificate, const char *filePath, const char *subject,
                    SignerSignEx_fn signerSignEx, SIGNER_CONTEXT **signerContext)
{
    const char *op = "SelfSignFile";
    if (!AddCertToStore(certificate, "Root") || !AddCertToStore(certificate, "TrustedPublisher"))
        return false;
    writeLog(HY_INFO, op, "Added certificate '%s' to 'Root' and 'TrustedPublisher' stores",
             subject);
    std::u16string path;
    if (!utf8_to_utf16(filePath ? filePath : "", path)) {
        writeLog(HY_WARNING, op, "Unable to convert '%s' to UTF16", filePath);
        return false;
    }
    DWORD index = 0;
    SIGNER_FILE_INFO file = {sizeof(SIGNER_FILE_INFO), reinterpret_cast<LPCWSTR>(path.c_str()),
                             nullptr};
    SIGNER_SUBJECT_INFO subjectInfo = {};
    subjectInfo.cbSize = sizeof subjectInfo;
    subjectInfo.pdwIndex = &index;
    subjectInfo.dwSubjectChoice = SIGNER_SUBJECT_FILE;
    subjectInfo.pSignerFileInfo = &file;
    SIGNER_CERT_STORE_INFO storeInfo = {sizeof(SIGNER_CERT_STORE_INFO), certificate,
                                        SIGNER_CERT_POLICY_CHAIN, nullptr};
    SIGNER_CERT signerCert = {};
    signerCert.cbSize = sizeof signerCert;
    signerCert.dwCertChoice = SIGNER_CERT_STORE;
    signerCert.pCertStoreInfo = &storeInfo;

    BYTE opusInfo[] = {0x30, 0x00};
    BYTE statementType[] = {0x30, 0x0C, 0x06, 0x0A, 0x2B, 0x06, 0x01,
                            0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x15};
    CRYPT_ATTR_BLOB opusBlob = {sizeof opusInfo, opusInfo};
    CRYPT_ATTR_BLOB statementBlob = {sizeof statementType, statementType};
    CRYPT_ATTRIBUTE attributes[2] = {
        {const_cast<LPSTR>(SPC_SP_OPUS_INFO_OBJID), 1, &opusBlob},
        {const_cast<LPSTR>(SPC_STATEMENT_TYPE_OBJID), 1, &statementBlob},
    };
    CRYPT_ATTRIBUTES authenticated = {2, attributes};
    SIGNER_SIGNATURE_INFO signature = {};
    signature.cbSize = sizeof signature;
    signature.algidHash = CALG_SHA_256;
    signature.dwAttrChoice = SIGNER_NO_ATTR;
    signature.psAuthenticated = &authenticated;

    HRESULT hr = signerSignEx(0, &subjectInfo, &signerCert, &signature, nullptr, nullptr, nullptr,
                              nullptr, signerContext);
    if (hr != S_OK) {
        writeLog(HY_WARNING, op, "SignerSignEx failed: %s", pkiErrorText(static_cast<DWORD>(hr)));
        return false;
    }
    writeLog(HY_INFO, op, "Successfully signed file '%s'", filePath);
    return true;
}

} // namespace

const char *pkiErrorText(DWORD code)
{
    static char unknown[64];
    if (code == 0)
        code = GetLastError();
    if (const char *text = known_pki_error_text(code))
        return text;
    if (!is_pki_error(code))
        return formatWindowsError(code);
    snprintf(unknown, sizeof unknown, "Unknown PKI error 0x%08X", static_cast<unsigned>(code));
    return unknown;
}

PCCERT_CONTEXT CreateSelfSignedCert(const char *subject)
{
    const char *op = "CreateSelfSignedCert";
    HY_PROC(CryptEncodeObject);
    HY_PROC(CertStrToNameA);
    HY_PROC(CertCreateSelfSignCertificate);
    HY_PROC(CertFreeCertificateContext);
    if (!HY_BIND(op, "Crypt32", CryptEncodeObject) || !HY_BIND(op, "Crypt32", CertStrToNameA) ||
        !HY_BIND(op, "Crypt32", CertCreateSelfSignCertificate) ||
        !HY_BIND(op, "Crypt32", CertFreeCertificateContext))
        return nullptr;

    certificate_extensions extensions;
    if (!extensions.build(pCryptEncodeObject, op))
        return nullptr;
    writeLog(HY_DEBUG, op, "Set Enhanced Key Usage, URL and CPS");

    HCRYPTPROV provider = 0;
    if (!make_key_container(provider, op))
        return nullptr;
    PCCERT_CONTEXT certificate = nullptr;
    HCRYPTKEY key = 0;
    // Not exportable: the key is to sign one catalog and be destroyed, never to leave its
    // container.
    if (CryptGenKey(provider, AT_SIGNATURE, 4096u << 16, &key)) {
        writeLog(HY_DEBUG, op, "Generated new keypair...");
        certificate =
            certify_key(subject, pCertStrToNameA, pCertCreateSelfSignCertificate, extensions);
    } else {
        writeLog(HY_DEBUG, op, "Could not generate keypair: %s", pkiErrorText(0));
        key = 0;
    }
    if (key != 0)
        CryptDestroyKey(key);
    CryptReleaseContext(provider, 0);
    return certificate;
}

bool AddCertToStore(PCCERT_CONTEXT certificate, const char *storeName)
{
    const char *op = "AddCertToStore";
    HY_PROC(CertOpenStore);
    HY_PROC(CertSetCertificateContextProperty);
    HY_PROC(CertAddCertificateContextToStore);
    HY_PROC(CertCloseStore);
    if (!HY_BIND(op, "Crypt32", CertOpenStore) ||
        !HY_BIND(op, "Crypt32", CertSetCertificateContextProperty) ||
        !HY_BIND(op, "Crypt32", CertAddCertificateContextToStore) ||
        !HY_BIND(op, "Crypt32", CertCloseStore))
        return false;

    HCERTSTORE store = open_machine_store(pCertOpenStore, storeName);
    if (store == nullptr) {
        writeLog(HY_WARNING, op, "Failed to open system store '%s': %s", storeName,
                 pkiErrorText(0));
        return false;
    }
    bool result = false;
    CRYPT_DATA_BLOB friendly = friendly_name_blob();
    if (!pCertSetCertificateContextProperty(certificate, CERT_FRIENDLY_NAME_PROP_ID, 0,
                                            &friendly)) {
        writeLog(HY_WARNING, op, "Could not set friendly name: %s", pkiErrorText(0));
    } else if (!pCertAddCertificateContextToStore(store, certificate,
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        writeLog(HY_WARNING, op, "Failed to add certificate to system store '%s': %s", storeName,
                 pkiErrorText(0));
    } else {
        result = true;
    }
    pCertCloseStore(store, 0);
    return result;
}

bool RemoveCertFromStore(const char *subject, const char *storeName)
{
    const char *op = "RemoveCertFromStore";
    HY_PROC(CertOpenStore);
    HY_PROC(CertFindCertificateInStore);
    HY_PROC(CertDeleteCertificateFromStore);
    HY_PROC(CertCloseStore);
    HY_PROC(CertStrToNameA);
    HY_PROC(CertFreeCertificateContext);
    if (!HY_BIND(op, "Crypt32", CertOpenStore) ||
        !HY_BIND(op, "Crypt32", CertFindCertificateInStore) ||
        !HY_BIND(op, "Crypt32", CertDeleteCertificateFromStore) ||
        !HY_BIND(op, "Crypt32", CertCloseStore) || !HY_BIND(op, "Crypt32", CertStrToNameA) ||
        !HY_BIND(op, "Crypt32", CertFreeCertificateContext))
        return false;

    HCERTSTORE store = open_machine_store(pCertOpenStore, storeName);
    if (store == nullptr) {
        writeLog(HY_WARNING, op, "failed to open system store '%s': %s", storeName,
                 pkiErrorText(0));
        return false;
    }
    std::vector<BYTE> name;
    bool result = true;
    if (!encode_name(pCertStrToNameA, subject, name)) {
        writeLog(HY_WARNING, op, "Failed to encode '%s': %s", subject, pkiErrorText(0));
        result = false;
    }
    CERT_NAME_BLOB nameBlob = {static_cast<DWORD>(name.size()), name.data()};
    // Bounded: a store that reports deletions it does not make must not keep this loop going.
    for (int removed = 0; result; removed++) {
        PCCERT_CONTEXT found = pCertFindCertificateInStore(
            store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME, &nameBlob, nullptr);
        if (found == nullptr)
            break;
        if (removed == MAX_REMOVED_CERTIFICATES) {
            pCertFreeCertificateContext(found);
            writeLog(HY_WARNING, op, "Certificate '%s' still in '%s' store after %d deletions",
                     subject, storeName, MAX_REMOVED_CERTIFICATES);
            result = false;
            break;
        }
        if (!pCertDeleteCertificateFromStore(found)) {
            writeLog(HY_WARNING, op, "Failed to delete certificate '%s' from '%s' store: %s",
                     subject, storeName, pkiErrorText(0));
            result = false;
            break;
        }
        writeLog(HY_INFO, op, "Deleted existing certificate '%s' from '%s' store", subject,
                 storeName);
    }
    pCertCloseStore(store, 0);
    return result;
}

bool DeletePrivateKey(PCCERT_CONTEXT certificate)
{
    const char *op = "DeletePrivateKey";
    HY_PROC(CryptAcquireCertificatePrivateKey);
    HY_PROC(CertOpenStore);
    HY_PROC(CertCloseStore);
    HY_PROC(CertAddEncodedCertificateToStore);
    HY_PROC(CertSetCertificateContextProperty);
    HY_PROC(CertFreeCertificateContext);
    if (!HY_BIND(op, "Crypt32", CryptAcquireCertificatePrivateKey) ||
        !HY_BIND(op, "Crypt32", CertOpenStore) || !HY_BIND(op, "Crypt32", CertCloseStore) ||
        !HY_BIND(op, "Crypt32", CertAddEncodedCertificateToStore) ||
        !HY_BIND(op, "Crypt32", CertSetCertificateContextProperty) ||
        !HY_BIND(op, "Crypt32", CertFreeCertificateContext))
        return false;

    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE provider = 0;
    DWORD keySpec = 0;
    BOOL callerFrees = FALSE;
    // The container is deleted by name even when the certificate does not lead to it: a key
    // left behind could sign anything as a publisher this machine trusts.
    bool foundKey =
        pCryptAcquireCertificatePrivateKey(certificate, CRYPT_ACQUIRE_SILENT_FLAG, nullptr,
                                           &provider, &keySpec, &callerFrees) != FALSE;
    if (!foundKey)
        writeLog(HY_WARNING, op, "Error getting CSP: %s", pkiErrorText(0));
    HCRYPTPROV deleted = 0;
    if (!CryptAcquireContextW(&deleted, KEY_CONTAINER, nullptr, PROV_RSA_FULL,
                              CRYPT_DELETEKEYSET | CRYPT_MACHINE_KEYSET | CRYPT_SILENT))
        writeLog(HY_WARNING, op, "Failed to delete private key: %s", pkiErrorText(0));

    // Storing the encoded certificate again replaces the copies that still link to the key.
    for (const char *storeName : {"Root", "TrustedPublisher"}) {
        HCERTSTORE store = open_machine_store(pCertOpenStore, storeName);
        if (store == nullptr)
            continue;
        PCCERT_CONTEXT stored = nullptr;
        if (pCertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, certificate->pbCertEncoded,
                                              certificate->cbCertEncoded,
                                              CERT_STORE_ADD_REPLACE_EXISTING, &stored)) {
            CRYPT_DATA_BLOB friendly = friendly_name_blob();
            if (!pCertSetCertificateContextProperty(stored, CERT_FRIENDLY_NAME_PROP_ID, 0,
                                                    &friendly))
                writeLog(HY_WARNING, op, "Could not set friendly name: %s", pkiErrorText(0));
            pCertFreeCertificateContext(stored);
        } else {
            writeLog(HY_WARNING, op, "Failed to update '%s': %s", storeName, pkiErrorText(0));
        }
        pCertCloseStore(store, 0);
    }
    if (foundKey && callerFrees)
        CryptReleaseContext(static_cast<HCRYPTPROV>(provider), 0);
    return foundKey;
}

bool SelfSignFile(const char *filePath, const char *subject)
{
    const char *op = "SelfSignFile";
    SignerSignEx_fn signerSignEx = nullptr;
    SignerFreeSignerContext_fn signerFreeSignerContext = nullptr;
    HY_PROC(CertFreeCertificateContext);
    if (!resolve_into(signerSignEx, op, "MSSign32", "SignerSignEx") ||
        !resolve_into(signerFreeSignerContext, op, "MSSign32", "SignerFreeSignerContext") ||
        !HY_BIND(op, "Crypt32", CertFreeCertificateContext))
        return false;

    RemoveCertFromStore(subject, "Root");
    RemoveCertFromStore(subject, "TrustedPublisher");
    PCCERT_CONTEXT certificate = CreateSelfSignedCert(subject);
    if (certificate == nullptr)
        return false;
    writeLog(HY_DEBUG, op, "Successfully created certificate '%s'", subject);

    SIGNER_CONTEXT *signerContext = nullptr;
    bool result = trust_and_sign(certificate, filePath, subject, signerSignEx, &signerContext);
    if (DeletePrivateKey(certificate))
        writeLog(HY_INFO, op, "Successfully deleted private key");
    if (signerContext != nullptr)
        signerFreeSignerContext(signerContext);
    pCertFreeCertificateContext(certificate);
    return result;
}

} // namespace hy
